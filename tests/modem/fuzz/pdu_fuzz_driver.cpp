// The PDU fuzz body without libFuzzer, for a plain compiler: random octets and mutations of
// valid PDUs, a fixed seed so a fault can be replayed.
//
//   pdu_fuzz_driver [inputs] [seed]

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    const long inputs = argc > 1 ? std::atol(argv[1]) : 1000000;
    const unsigned seed = argc > 2 ? unsigned(std::atol(argv[2])) : 17u;
    const QList<QByteArray> seeds = {
        QByteArray::fromHex("07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"),
        QByteArray::fromHex("07914477581006500407D05076380F0000425071900350400BD4FB5B5D06CDC36CF21B"),
        QByteArray::fromHex("0791447758100650040B918406214365F700084221133295850A0E004800690020D83DDE000020015F"),
        QByteArray::fromHex(
            "0791447758100650440C9144770009103200004250719003504015050003AB0201E061391DF47697411B1E7EE303"),
        QByteArray::fromHex(
            "0791447758100650440B817007900021F30008425071900350401306080412340303041F04400438043204350442"),
        QByteArray::fromHex("0791447758100650440C91447700091032000442507190035040100B05040B8423F0000307020201FF0041"),
        QByteArray::fromHex("0791447758100650062A0C91447700091032425071900350404250719003214000"),
        QByteArray::fromHex("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"),
    };
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    for (long i = 0; i < inputs; ++i) {
        QByteArray input;
        if (i % 4 == 0) {
            input.resize(pick(180));
            for (char &c : input)
                c = char(rng());
        } else {
            input = seeds[pick(int(seeds.size()))];
            const int edits = 1 + pick(4);
            for (int e = 0; e < edits && !input.isEmpty(); ++e) {
                switch (pick(5)) {
                case 0: // one octet replaced
                    input[pick(int(input.size()))] = char(rng());
                    break;
                case 1: // one bit flipped
                    input[pick(int(input.size()))] ^= char(1 << pick(8));
                    break;
                case 2: // cut short
                    input.truncate(pick(int(input.size())));
                    break;
                case 3: // octets inserted
                    input.insert(pick(int(input.size()) + 1), QByteArray(1 + pick(8), char(rng())));
                    break;
                default: // a length field made extreme
                    input[pick(std::min<int>(int(input.size()), 30))] = char(pick(2) ? 0xFF : 0x00);
                    break;
                }
            }
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
    }
    std::printf("%ld inputs, seed %u: no fault\n", inputs, seed);
    return 0;
}

// Arbitrary octets as a modem might list them, through the PDU decoder; whatever decodes is
// written again, and its text split and encoded for sending, which must always succeed.
#include "modem/Pdu.h"

#include <cstddef>
#include <cstdint>

namespace {

void checkSendable(const QString &text)
{
    using namespace parlix::pdu;
    SubmitPdu base;
    base.destination.number = QStringLiteral("+447700900123");
    const auto parts = submitsForText(base, text, 7);
    if (!parts.ok())
        return; // more than 255 parts: refused with a message
    for (const SubmitPdu &p : *parts) {
        if (!encodeSubmit(p).ok())
            __builtin_trap(); // the split promised a part that fits
    }
    (void)countText(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace parlix::pdu;
    const QByteArray octets(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)decodePdu(octets); // as text: mostly not hex at all
    const QByteArray hex = octets.toHex();
    for (const int tpduLength : {-1, int(size), int(size) - 1 - (size ? data[0] : 0)}) {
        const auto decoded = decodePdu(hex, tpduLength);
        if (!decoded.ok()) {
            if (decoded.error().isEmpty())
                __builtin_trap(); // a failure always says why
            continue;
        }
        if (const auto *d = std::get_if<DeliverPdu>(&decoded.value())) {
            (void)encodeDeliver(*d);
            checkSendable(d->text);
        } else if (const auto *s = std::get_if<SubmitPdu>(&decoded.value())) {
            (void)encodeSubmit(*s);
            checkSendable(s->text);
        } else {
            (void)encodeStatusReport(std::get<StatusReport>(decoded.value()));
        }
    }
    return 0;
}

#include "modem/Pdu.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace parlix;
using namespace parlix::pdu;

namespace {

QString isoTime(const QDateTime &t)
{
    return t.isValid() ? t.toString(Qt::ISODate) : "invalid";
}

// The SMS-DELIVER vectors: the classic "hellohello" one from the early PDU-mode tutorials, and
// the rest built with an independent bit-string packer (alphanumeric sender, UCS-2 with an
// emoji, 8- and 16-bit concatenation references, a port element before the concatenation,
// the extension table).
struct DeliverCase
{
    const char *name;
    const char *hex;
    QString smsc;
    QString originator;
    Alphabet alphabet;
    QString text;
    QString time;
    std::optional<Concat> concat;
};

TEST(Pdu, DecodesDeliverVectors)
{
    const DeliverCase cases[] = {
        {"hellohello", "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", "+27381000015",
         "27838890001", Alphabet::Gsm7, "hellohello", "1999-03-29T15:16:59+02:00", std::nullopt},
        {"alphanumeric sender", "07914477581006500407D05076380F0000425071900350400BD4FB5B5D06CDC36CF21B",
         "+447785016005", "Play", Alphabet::Gsm7, "Twoje saldo", "2024-05-17T09:30:05+01:00", std::nullopt},
        {"ucs2 emoji", "0791447758100650040B918406214365F700084221133295850A0E004800690020D83DDE000020015F",
         "+447785016005", "+48601234567", Alphabet::Ucs2, "Hi 😀 ş", "2024-12-31T23:59:58-05:00", std::nullopt},
        {"7-bit part, 8-bit reference, fill bit",
         "0791447758100650440C9144770009103200004250719003504015050003AB0201E061391DF47697411B1E7EE303",
         "+447785016005", "+447700900123", Alphabet::Gsm7, "part one [x]", "2024-05-17T09:30:05+01:00",
         Concat{0xAB, 2, 1, false}},
        {"ucs2 part, 16-bit reference",
         "0791447758100650440B817007900021F30008425071900350401306080412340303041F04400438043204350442",
         "+447785016005", "07700900123", Alphabet::Ucs2, "Привет", "2024-05-17T09:30:05+01:00",
         Concat{0x1234, 3, 3, true}},
        {"8-bit data, port element skipped",
         "0791447758100650440C91447700091032000442507190035040100B05040B8423F0000307020201FF0041", "+447785016005",
         "+447700900123", Alphabet::Data8, QString::fromLatin1("\x01\xff\x00\x41", 4), "2024-05-17T09:30:05+01:00",
         Concat{7, 2, 2, false}},
        {"extension table", "0791447758100650040C91447700091032000042507190035040139B720DB441BDD79B1468D3DB5036C0CD0B",
         "+447785016005", "+447700900123", Alphabet::Gsm7, "€5 {ok} ~^|\\", "2024-05-17T09:30:05+01:00", std::nullopt},
    };
    for (const DeliverCase &c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = decodePdu(QByteArray(c.hex));
        ASSERT_TRUE(decoded.ok()) << decoded.error().toStdString();
        const auto *d = std::get_if<DeliverPdu>(&decoded.value());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->smsc, c.smsc);
        EXPECT_EQ(d->originator.number, c.originator);
        EXPECT_EQ(d->alphabet, c.alphabet);
        EXPECT_EQ(d->text, c.text);
        EXPECT_EQ(isoTime(d->serviceCentreTime), c.time);
        EXPECT_EQ(d->concat, c.concat);
        // The simulator writes what the engine reads: encoding the decoded form gives the same bytes.
        const auto again = encodeDeliver(*d);
        ASSERT_TRUE(again.ok()) << again.error().toStdString();
        if (c.alphabet != Alphabet::Data8 && std::string_view(c.name) != "hellohello") {
            EXPECT_EQ(again->hex, QByteArray(c.hex));
        }
    }
}

TEST(Pdu, DecodesStatusReports)
{
    struct Case
    {
        const char *hex;
        int tpduLength;
        int reference;
        QString recipient;
        StatusReport::Outcome outcome;
        QString discharge;
    } const cases[] = {
        {"0791447758100650062A0C91447700091032425071900350404250719003214000", -1, 0x2A, "+447700900123",
         StatusReport::Outcome::Delivered, "2024-05-17T09:30:12+01:00"},
        // The same report listed without its service centre field: its length says so.
        {"06FF0B817007900021F3425071900350884250819003508846", 25, 255, "07700900123", StatusReport::Outcome::Failed,
         "2024-05-18T09:30:05-02:00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hex);
        const auto decoded = decodePdu(QByteArray(c.hex), c.tpduLength);
        ASSERT_TRUE(decoded.ok()) << decoded.error().toStdString();
        const auto *r = std::get_if<StatusReport>(&decoded.value());
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->messageReference, c.reference);
        EXPECT_EQ(r->recipient.number, c.recipient);
        EXPECT_EQ(r->outcome(), c.outcome);
        EXPECT_EQ(isoTime(r->dischargeTime), c.discharge);
    }
}

// What goes out must come back whole: every field the engine sets survives encode + decode.
TEST(Pdu, SubmitRoundTrips)
{
    SubmitPdu classic;
    classic.destination.number = "+46708251358";
    classic.text = "hellohello";
    classic.validityMinutes = 4 * 24 * 60;
    const auto e = encodeSubmit(classic);
    ASSERT_TRUE(e.ok()) << e.error().toStdString();
    EXPECT_EQ(e->hex, QByteArray("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"));
    EXPECT_EQ(e->tpduLength, 23);

    SubmitPdu base;
    base.smsc = "+447785016005";
    base.destination.number = "07700900123";
    base.statusReportRequest = true;
    const QString texts[] = {
        "@£$ plain GSM, with an é",           "€[]{}|~^\\ cost two septets each", "Привет, мир! 😀👍🏽",
        QString(400, QLatin1Char('x')) + "€", QString(150, QChar(0x0434)) + "😀",
    };
    for (const QString &text : texts) {
        for (const int reference : {0x42, 0x142}) {
            SCOPED_TRACE(text.left(20).toStdString());
            const auto parts = submitsForText(base, text, reference);
            ASSERT_TRUE(parts.ok());
            QString joined;
            for (const SubmitPdu &part : *parts) {
                const auto encoded = encodeSubmit(part);
                ASSERT_TRUE(encoded.ok()) << encoded.error().toStdString();
                EXPECT_EQ(encoded->hex.size() / 2 - encoded->tpduLength, 8); // the service centre field
                const auto d = decodePdu(encoded->hex);
                ASSERT_TRUE(d.ok()) << d.error().toStdString();
                const auto &s = std::get<SubmitPdu>(d.value());
                EXPECT_EQ(s.destination.number, base.destination.number);
                EXPECT_TRUE(s.statusReportRequest);
                EXPECT_EQ(s.concat, part.concat);
                joined += s.text;
            }
            EXPECT_EQ(joined, text);
            if (parts->size() > 1) {
                EXPECT_EQ(parts->first().concat->reference, 0x42);
            }
        }
    }
}

TEST(Pdu, SplitsAtTheLimitsWithoutCuttingPairs)
{
    struct Case
    {
        QString text;
        Alphabet alphabet;
        QList<int> partSizes; // UTF-16 units per part
        int left;
    } const cases[] = {
        {QString(), Alphabet::Gsm7, {0}, 160},
        {QString(160, QLatin1Char('a')), Alphabet::Gsm7, {160}, 0},
        {QString(161, QLatin1Char('a')), Alphabet::Gsm7, {153, 8}, 145},
        {QString(81, QChar(0x20AC)), Alphabet::Gsm7, {76, 5}, 143}, // € is two septets
        {QString(152, QLatin1Char('a')) + "€bbbbbbb", Alphabet::Gsm7, {152, 8}, 144},
        {QString(70, QChar(0x0416)), Alphabet::Ucs2, {70}, 0},
        {QString(71, QChar(0x0416)), Alphabet::Ucs2, {67, 4}, 63},
        {QString(66, QChar(0x0416)) + "😀xxxx", Alphabet::Ucs2, {66, 6}, 61},
        {"tab\tneeds UCS-2", Alphabet::Ucs2, {15}, 55},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.left(20).toStdString());
        const SmsSplit split = splitText(c.text);
        EXPECT_EQ(split.alphabet, c.alphabet);
        QList<int> sizes;
        for (const QString &p : split.parts)
            sizes << int(p.size());
        EXPECT_EQ(sizes, c.partSizes);
        EXPECT_EQ(split.parts.join(QString()), c.text);
        const SmsCount count = countText(c.text);
        EXPECT_EQ(count.parts, c.partSizes.size());
        EXPECT_EQ(count.left, c.left);
    }
}

TEST(Pdu, RefusesWhatCannotBeSentOrRead)
{
    SubmitPdu s;
    s.destination.number = "+4477009001";
    s.text = QString(161, QLatin1Char('a'));
    EXPECT_FALSE(encodeSubmit(s).ok()); // too long for one SMS
    s.text = "ş";
    EXPECT_FALSE(encodeSubmit(s).ok()); // not in the GSM alphabet
    s.text = "ok";
    for (const QString &bad : QStringList{QString(), "+", "07700 900123", "Play", QString(21, QLatin1Char('1'))}) {
        s.destination.number = bad;
        EXPECT_FALSE(encodeSubmit(s).ok()) << bad.toStdString();
    }
    s.destination.number = "123";
    s.concat = Concat{1, 2, 3, false};
    EXPECT_FALSE(encodeSubmit(s).ok()); // part 3 of 2

    // Bad input from the modem gives an error with a reason, whatever was cut or garbled.
    // The last four: a header longer than the data, an element past the header, a 7-bit header
    // longer than the user data, a header flag with no data.
    const QStringList cases = QStringLiteral("|0|ZZ|00|FF0011|0003|00440B817007900021F3000042507190035040050A00030102|"
                                             "00440B817007900021F30004425071900350400605000401020304|"
                                             "00440B817007900021F3000042507190035040020600|"
                                             "00400B817007900021F300084250719003504000")
                                  .split(QLatin1Char('|'));
    for (const QString &hex : cases) {
        const auto d = decodePdu(hex.toLatin1());
        ASSERT_FALSE(d.ok()) << hex.toStdString();
        EXPECT_FALSE(d.error().isEmpty());
    }
    // Every proper prefix of a good PDU is incomplete.
    const QByteArray good(
        "0791447758100650440C9144770009103200004250719003504015050003AB0201E061391DF47697411B1E7EE303");
    for (qsizetype n = 0; n < good.size(); n += 2)
        EXPECT_FALSE(decodePdu(good.left(n)).ok()) << n;
}

} // namespace

#include "modem/ModemCharset.h"

#include "support/ModemTestSupport.h"

using namespace parlix;

namespace {

struct EncodeCase
{
    ModemCharset set;
    QString text;
    QByteArray bytes;
};

TEST(ModemCharset, EncodesEachSetAndReplacesVisibly)
{
    const EncodeCase cases[] = {
        {ModemCharset::Gsm, QStringLiteral("AT+CMGS=\"+44\"\r"), QByteArray("AT+CMGS=\"+44\"\r")},
        {ModemCharset::Gsm, QStringLiteral("@"), QByteArray("\x00", 1)},
        {ModemCharset::Gsm, QStringLiteral("£5"),
         QByteArray("\x01"
                    "5")},
        {ModemCharset::Gsm, QStringLiteral("é"), QByteArray("\x05")},
        {ModemCharset::Gsm, QStringLiteral("€"), QByteArray("\x1b\x65")},
        {ModemCharset::Gsm, QStringLiteral("[x]"),
         QByteArray("\x1b\x3c"
                    "x"
                    "\x1b\x3e")},
        {ModemCharset::Gsm, QStringLiteral("_$"), QByteArray("\x11\x02")},
        {ModemCharset::Gsm, QStringLiteral("Ξ"), QByteArray("?")}, // its code is Ctrl-Z
        {ModemCharset::Gsm, QStringLiteral("ß→ä"), QByteArray("\x1e?\x7b")},
        {ModemCharset::Ascii, QStringLiteral("£€é@[]"), QByteArray("???@[]")},
        {ModemCharset::Ascii, QStringLiteral("a😀b"), QByteArray("a?b")}, // one mark per character
        {ModemCharset::Ansi, QStringLiteral("£€é@[]"), QByteArray("\xa3\x80\xe9@[]")},
        {ModemCharset::Ansi, QStringLiteral("Ω"), QByteArray("?")},
    };
    for (const EncodeCase &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(encodeForModem(c.text, c.set), c.bytes);
    }
}

TEST(ModemCharset, DecodesWhatEncodingWrites)
{
    const QString text = QStringLiteral("£€é@[] {x}|~^\\ ÄÖÑÜ§¿äöñüà ΔΦΓΛΩΠΨΣΘ\r\n");
    EXPECT_EQ(decodeFromModem(encodeForModem(text, ModemCharset::Gsm), ModemCharset::Gsm), text);
    const QString ansi = QStringLiteral("£€é@[] „quoted“ – Œuvre ™");
    EXPECT_EQ(decodeFromModem(encodeForModem(ansi, ModemCharset::Ansi), ModemCharset::Ansi), ansi);
}

TEST(ModemCharset, UndefinedBytesBecomeReplacementCharacters)
{
    EXPECT_EQ(decodeFromModem("OK\xff", ModemCharset::Ascii), QStringLiteral("OK\uFFFD"));
    EXPECT_EQ(decodeFromModem("\x81", ModemCharset::Ansi), QStringLiteral("\uFFFD"));
    EXPECT_EQ(decodeFromModem("a\x90", ModemCharset::Gsm), QStringLiteral("a\uFFFD"));
    // An unknown extension code reads as the plain character; a lone escape at the end is marked.
    EXPECT_EQ(decodeFromModem("\x1b"
                              "A",
                              ModemCharset::Gsm),
              QStringLiteral("A"));
    EXPECT_EQ(decodeFromModem("x\x1b", ModemCharset::Gsm), QStringLiteral("x\uFFFD"));
}

TEST(ModemCharset, EscapeSplitOverTwoReadsStillDecodes)
{
    ModemTextDecoder decoder(ModemCharset::Gsm);
    QString out = decoder.decode("price 5\x1b");
    out += decoder.decode("\x65!");
    EXPECT_EQ(out, QStringLiteral("price 5€!"));
}

TEST(ModemCharset, SetNamesAsStoredInTheSettings)
{
    EXPECT_EQ(modemCharsetFromName(QStringLiteral(" gsm ")), ModemCharset::Gsm);
    EXPECT_EQ(modemCharsetFromName(QStringLiteral("ANSI")), ModemCharset::Ansi);
    EXPECT_EQ(modemCharsetFromName(QStringLiteral("ASCII")), ModemCharset::Ascii);
    EXPECT_EQ(modemCharsetFromName(QStringLiteral("IRA")), ModemCharset::Ascii);
    EXPECT_EQ(modemCharsetFromName(QString()), ModemCharset::Ascii);
}

TEST(ModemCharset, MessageBodiesCannotCarryControlCharacters)
{
    const QString raw = QStringLiteral("a\x1a"
                                       "b\x1b"
                                       "c\td\ne\rf");
    EXPECT_EQ(sanitizeMessageBody(raw), QStringLiteral("a?b?c?d\ne\rf"));
}

} // namespace

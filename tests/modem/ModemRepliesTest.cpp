#include "support/ModemTestSupport.h"

#include "modem/ModemCharset.h"
#include "modem/ModemReplies.h"
#include "modem/UnsolicitedFilter.h"

#include <QFile>
#include <QRegularExpression>

using namespace parlix;

namespace {

// Records as "index|status|number|text".
QStringList records(const SIMMessageList &list)
{
    QStringList out;
    for (const SIMMessage &m : list)
        out << m.Index + '|' + m.Status + '|' + m.Number + '|' + m.Text;
    return out;
}

const QString kHeader = "+CMGL: 1,\"REC UNREAD\",\"+447700900123\",,\"26/12/05,05:11:00+04\"";

TEST(CmglParser, RecordsStartOnlyAtHeadersThatValidate)
{
    struct Case
    {
        const char *name;
        QString reply;
        QStringList records;
        QString final;
        QStringList strays = {};
        bool pdu = false;
    };
    const Case cases[] = {
        {"two records, the last keeps the CR LF before OK",
         "\r\n" + kHeader +
             "\r\nMeet at 5\r\n+CMGL: 4,\"REC READ\",\"07700900456\",,\"26/12/05,06:00:00+04\"\r\n"
             "Second \"quoted\" line\r\nand more\r\n\r\nOK\r\n",
         {"1|REC UNREAD|+447700900123|Meet at 5", "4|REC READ|07700900456|Second \"quoted\" line\r\nand more\r\n"},
         "OK"},
        {"empty SIM", "\r\nOK\r\n", {}, "OK"},
        {"silent modem", "", {}, ""},
        {"refused", "\r\n+CMS ERROR: 321\r\n", {}, "+CMS ERROR: 321"},
        {"echo on",
         "AT+CMGL=\"ALL\"\r\r\n+CMGL: 2,\"STO UNSENT\",\"+4915\",,\r\nDraft\r\n\r\nOK\r\n",
         {"2|STO UNSENT|+4915|Draft\r\n"},
         "OK",
         {"AT+CMGL=\"ALL\""}},
        {"no blank after the colon, blanks after commas",
         "\r\n+CMGL:7, \"REC READ\", \"+4123\", \"2009/8/18,19:11:45\"\r\nHi\r\n\r\nOK\r\n",
         {"7|REC READ|+4123|Hi\r\n"},
         "OK"},
        {"texts that are or hold result words",
         "\r\n" + kHeader +
             "\r\nOK\r\n+CMGL: 2,\"REC READ\",\"+2\",,\"t\"\r\nPAYMENT ERROR\r\nOK see you\r\n\r\nOK\r\n",
         {"1|REC UNREAD|+447700900123|OK", "2|REC READ|+2|PAYMENT ERROR\r\nOK see you\r\n"},
         "OK"},
        {"still arriving", "\r\n" + kHeader + "\r\nOK see", {"1|REC UNREAD|+447700900123|OK see"}, ""},
        {"headers that do not validate are no records",
         "+CMGL: 9\r\n+CMGL: x,\"REC READ\",\"+1\"\r\n+CMGL: 3,\"UNKNOWN\",\"+1\"\r\n\r\nOK\r\n",
         {},
         "OK",
         {"+CMGL: 9", "+CMGL: x,\"REC READ\",\"+1\"", "+CMGL: 3,\"UNKNOWN\",\"+1\""}},
        {"body with bare LF",
         "\r\n+CMGL: 3,\"REC READ\",\"5433\",,\"t\"\r\nA\nB\nC\r\nOK\r\n",
         {"3|REC READ|5433|A\nB\nC"},
         "OK"},
        {"the length given keeps a forged header and call lines in the text",
         "\r\n+CMGL: 1,\"REC READ\",\"+44\",,\"26/12/05,05:11:00+04\",145,66\r\nHi\r\n+CMGL: 7,\"REC READ\","
         "\"+447700900666\",,\"26/01/01,00:00:00+00\"\r\nX\r\n\r\nRING\r\n+CMGL: 2,\"REC READ\",\"+1\",,\"t\",129,3\r\n"
         "€x\r\n\r\nOK\r\n\r\n+CMTI: \"SM\",3\r\n",
         {"1|REC READ|+44|Hi\r\n+CMGL: 7,\"REC READ\",\"+447700900666\",,\"26/01/01,00:00:00+00\"\r\nX",
          "2|REC READ|+1|€x"},
         "OK",
         {"RING", "+CMTI: \"SM\",3"}},
        {"status report: no body", "\r\n+CMGL: 3,\"REC READ\",6,12,,,\"t\",\"t\",0\r\n\r\nOK\r\n", {}, "OK"},
        {"PDU records around a stray line",
         "\r\n+CMGL: 5,1,,28\r\n07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37\r\n"
         "^RSSI:14\r\n+CMGL: 6,0,,28\r\nOK\r\n\r\nOK\r\n",
         {"5|REC READ|27838890001|hellohello", "6|REC UNREAD||"},
         "OK",
         {"^RSSI:14"},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CmglListing listing = c.pdu ? scanCmglPdu(c.reply) : scanCmglText(c.reply);
        EXPECT_EQ(records(listing.messages), c.records);
        EXPECT_EQ(listing.finalLine, c.final);
        EXPECT_EQ(listing.strayLines, c.strays);
    }
    const SIMMessageList pdu = parseCmglPdu(cases[std::size(cases) - 1].reply);
    ASSERT_EQ(pdu.size(), 2);
    EXPECT_EQ(pdu[0].Timestamp, "1999-03-29T15:16:59+02:00");
    EXPECT_FALSE(pdu[1].decodeError.isEmpty()); // "OK" is no PDU: the entry is left alone
}

using Parser = QString (*)(const QString &);

TEST(SingleLineParsers, Tables)
{
    const std::tuple<Parser, QString, QString> cases[] = {
        {finalResultLine, "\r\nOK\r\n", "OK"},
        {finalResultLine, "\r\n+CME ERROR: 4\r\n", "+CME ERROR: 4"},
        {finalResultLine, "ERROR", "ERROR"},
        {finalResultLine, "\r\nOK see you\r\n", ""},
        {finalResultLine, "\r\nPAYMENT ERROR\r\n", ""},
        {finalResultLine, "\r\nOK", ""},
        {parseCmgwIndex, "AT+CMGW=\"+1\"\r\r\n> Hello\x1a\r\n+CMGW: 3\r\n\r\nOK\r\n", "3"},
        {parseCmgwIndex, "\r\nOK\r\n", ""},
        {parseCmgwIndex, "+CMGW:", ""},
        {parseCallState, "\r\n+CLCC: 1,1,4,0,0,\"+919812345678\",145\r\n\r\nOK\r\n", "Incoming"},
        {parseCallState, "\r\n+CLCC: 1,0,0,0,0,\"5551234\",129\r\n\r\nOK\r\n", "Active"},
        {parseCallState, "+CLCC: 1, 1, 5, 0, 0, \"1\", 129", "Waiting"},
        {parseCallState, "+CLCC: 1,0,2,0,0,\"1\",129,\"\"\r\n+CLCC: 2,1,0,0,0", "Dialing"},
        {parseCallState, "+CLCC: 1,1,6,0,0", ""},
        {parseCallState, "+CLCC: 1,1", ""},
        {parseCallState, "\r\nOK\r\n", "\r\nOK\r\n"},
        {parseCallState, "\r\n+CME ERROR: 3\r\n", "ERROR"},
        {parseCallState, "", ""},
        {parseIdentificationLine, "AT+CGMM\r\r\n MULTIBAND  900E  1800 \r\n\r\nOK\r\n", "MULTIBAND  900E  1800"},
        {parseIdentificationLine, "\r\n+CGMI: SIMCOM_Ltd\r\n\r\nOK\r\n", "SIMCOM_Ltd"},
        {parseIdentificationLine, "OK", ""},
        {parseClipNumber, "\r\nRING\r\n\r\n+CLIP: \"+919812345678\",145,\"\",128,\"\",0\r\n", "+919812345678"},
        {parseClipNumber, "+CLIP: \"\",128,,,,1", ""},
        {parseClipNumber, "+CLIP: \"+49", ""},
        {parseClccNumber, "+CLCC: 1, 1, 4, 0, 0, \"13800138000\", 129", "13800138000"},
        {parseClccNumber, "+CLCC: 1,1,0,0,1", ""},
    };
    for (const auto &[parse, reply, expected] : cases)
        EXPECT_EQ(parse(reply), expected) << reply.toStdString();
    EXPECT_EQ(parseCmsErrorCode("\r\n+CMS ERROR: 500\r\n"), 500);
    EXPECT_EQ(parseCmsErrorCode("+CME ERROR: 515"), 515);
    EXPECT_EQ(parseCmsErrorCode("+CMS ERROR: numeric parameter out of bounds"), -1);
    EXPECT_EQ(parseCmsErrorCode("\r\nOK\r\n"), -1);
}

// The framing works on the bytes as read, before the character set decodes them.
TEST(UnsolicitedFilter, TakesCodesOutOfRepliesButNeverOutOfListings)
{
    using Context = UnsolicitedFilter::Context;
    struct Case
    {
        const char *name;
        Context context;
        QList<QByteArray> chunks; // as successive reads deliver them
        QByteArray reply;         // what reaches the reply (after a final flush)
        QStringList codes;
    };
    const Case cases[] = {
        {"codes before the answer, two CRs (SIMCom)",
         Context::Reply,
         {"\r\nRING\r\n\r\n+CDSI: \"SR\",4\r\n\r\r\n+CRING: VOICE\r\r\n\r\nOK\r\n"},
         "\r\nOK\r\n",
         {"RING", "+CDSI: \"SR\",4", "+CRING: VOICE"}},
        {"code and its blank line split over reads",
         Context::Reply,
         {"\r\n", "RI", "NG\r", "\n\r\nOK\r\n"},
         "\r\nOK\r\n",
         {"RING"}},
        {"no carrier, new SMS and vendor codes amid GSM bytes",
         Context::Reply,
         {"\r\nNO CARRIER\r\n\r\n+CMTI: \"SM\",3\r\n^SRVST:0\r\n\r\n\x11\x1e\r\n\r\nMISSED_CALL: 1 2\r\n\r\nOK\r\n"},
         "\r\n\x11\x1e\r\n\r\nOK\r\n",
         {"NO CARRIER", "+CMTI: \"SM\",3", "^SRVST:0", "MISSED_CALL: 1 2"}},
        {"pushed call list",
         Context::Reply,
         {"\r\n+CLCC: 1,1,4,0,0,\"+1\",145\r\n"},
         "",
         {"+CLCC: 1,1,4,0,0,\"+1\",145"}},
        {"call list is the answer to AT+CLCC",
         Context::CallList,
         {"\r\n+CLCC: 1,1,4,0,0,\"+1\",145\r\n\r\n^BOOT:1,0,0\r\n\r\nOK\r\n"},
         "\r\n+CLCC: 1,1,4,0,0,\"+1\",145\r\n\r\nOK\r\n",
         {"^BOOT:1,0,0"}},
        {"a listing passes whole",
         Context::MessageList,
         {"\r\n+CMGL: 1,\"REC READ\",\"+1\",,\"t\"\r\nHi\r\n\r\nRI", "NG\r\n\r\nOK\r\n"},
         "\r\n+CMGL: 1,\"REC READ\",\"+1\",,\"t\"\r\nHi\r\n\r\nRING\r\n\r\nOK\r\n",
         {}},
        {"pushed delivery report split over reads, before a prompt",
         Context::Reply,
         {"\r\n+CDS: 2", "5\r\n0006", "2A0B91\r\n\r\n> "},
         "\r\n> ",
         {"+CDS: 25\n00062A0B91"}},
        {"echo and words that only start like codes",
         Context::Reply,
         {"RINGTONE\r\n+CLIPBOARD\r\nNO\r\n"},
         "RINGTONE\r\n+CLIPBOARD\r\nNO\r\n",
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UnsolicitedFilter filter;
        filter.setContext(c.context);
        QStringList codes;
        QByteArray reply;
        for (const QByteArray &chunk : c.chunks)
            reply += filter.feed(chunk, codes);
        reply += filter.flush();
        EXPECT_EQ(reply, c.reply);
        EXPECT_EQ(codes, c.codes);
    }
}

// ---- Character sets ----------------------------------------------------------------------

TEST(ModemCharset, EncodesEachSetAndReplacesVisibly)
{
    const std::tuple<ModemCharset, QString, QByteArray> cases[] = {
        {ModemCharset::Gsm, "AT+CMGS=\"+44\"\r", QByteArray("AT+CMGS=\"+44\"\r")},
        {ModemCharset::Gsm, "@", QByteArray("\x00", 1)},
        {ModemCharset::Gsm, "£5", QByteArray("\0015")},
        {ModemCharset::Gsm, "€", QByteArray("\x1b\x65")},
        {ModemCharset::Gsm, "[x]", QByteArray("\033<x\033>")},
        {ModemCharset::Gsm, "Ξ", QByteArray("?")}, // its code is Ctrl-Z
        {ModemCharset::Gsm, "ß→ä", QByteArray("\x1e?\x7b")},
        {ModemCharset::Ascii, "£€é@[]", QByteArray("???@[]")},
        {ModemCharset::Ascii, "a😀b", QByteArray("a?b")}, // one mark per character
        {ModemCharset::Ansi, "£€é@[]", QByteArray("\xa3\x80\xe9@[]")},
        {ModemCharset::Ansi, "Ω", QByteArray("?")},
    };
    for (const auto &[set, text, bytes] : cases)
        EXPECT_EQ(encodeForModem(text, set), bytes) << text.toStdString();
}

TEST(ModemCharset, DecodesWhatEncodingWritesAndMarksWhatNoSetDefines)
{
    const QString text = "£€é@[] {x}|~^\\ ÄÖÑÜ§¿äöñüà ΔΦΓΛΩΠΨΣΘ\r\n";
    EXPECT_EQ(decodeFromModem(encodeForModem(text, ModemCharset::Gsm), ModemCharset::Gsm), text);
    const QString ansi = "£€é@[] „quoted“ – Œuvre ™";
    EXPECT_EQ(decodeFromModem(encodeForModem(ansi, ModemCharset::Ansi), ModemCharset::Ansi), ansi);

    EXPECT_EQ(decodeFromModem("OK\xff", ModemCharset::Ascii), "OK\uFFFD");
    EXPECT_EQ(decodeFromModem("\x81", ModemCharset::Ansi), "\uFFFD");
    EXPECT_EQ(decodeFromModem("a\x90", ModemCharset::Gsm), "a\uFFFD");
    // An unknown extension code reads as the plain character; a lone escape at the end is marked.
    EXPECT_EQ(decodeFromModem("\033A", ModemCharset::Gsm), "A");
    EXPECT_EQ(decodeFromModem("x\x1b", ModemCharset::Gsm), "x\uFFFD");
    // An escape split over two reads still decodes.
    ModemTextDecoder decoder(ModemCharset::Gsm);
    QString out = decoder.decode("price 5\x1b");
    out += decoder.decode("\x65!");
    EXPECT_EQ(out, "price 5€!");
}

TEST(ModemCharset, SetNamesAndMessageBodies)
{
    EXPECT_EQ(modemCharsetFromName(" gsm "), ModemCharset::Gsm);
    EXPECT_EQ(modemCharsetFromName("ANSI"), ModemCharset::Ansi);
    EXPECT_EQ(modemCharsetFromName("IRA"), ModemCharset::Ascii);
    EXPECT_EQ(modemCharsetFromName(QString()), ModemCharset::Ascii);
    // A message body cannot carry control characters but its line breaks.
    EXPECT_EQ(sanitizeMessageBody("a\032b\033c\td\ne\rf"), "a?b?c?d\ne\rf");
}

// ---- Replies recorded from real modems (read from the shared test data, never copied) ------

// The fenced blocks under one "### " heading of transcripts.md, with the <CR>/<LF> notation
// turned back into bytes. A physical line break right after <LF> is only layout; any other
// stands for the CR LF a V.250 modem puts after each line.
QStringList transcriptBlocks(const QString &markdown, const QString &heading)
{
    const qsizetype start = markdown.indexOf(heading);
    if (start < 0)
        return {};
    const qsizetype end = markdown.indexOf("\n### ", start + heading.size());
    static const QRegularExpression fence("```\\n(.*?)```", QRegularExpression::DotMatchesEverythingOption);
    QStringList blocks;
    for (auto it = fence.globalMatch(markdown.mid(start, end < 0 ? -1 : end - start)); it.hasNext();) {
        QString block = it.next().captured(1);
        block.replace("<LF>\n", "<LF>");
        block.replace(QLatin1Char('\n'), "\r\n");
        block.replace("<CR>", "\r").replace("<LF>", "\n");
        blocks << block;
    }
    return blocks;
}

class RealReplies : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto path = test::sharedTestData("modem/transcripts.md");
        if (!path)
            GTEST_SKIP() << "the shared modem test data is not here (set PARLIX_TESTDATA to its testdata folder)";
        QFile file(*path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        markdown = QString::fromUtf8(file.readAll());
    }
    QString markdown;
};

TEST_F(RealReplies, SingleAnswersOfSeveralVendors)
{
    // The heading, which block under it, and what its parser reads there.
    const std::tuple<const char *, int, Parser, QString> cases[] = {
        {"### 6a ", 0, parseIdentificationLine, "huawei"}, {"### 6b ", 0, parseIdentificationLine, "E1750"},
        {"### 13a ", 0, parseCallState, "Dialing"},        {"### 13c ", 1, parseCallState, "Incoming"},
        {"### 13c ", 2, parseCallState, "Active"},         {"### 13c ", 1, parseClccNumber, "123456789"},
        {"### 14b ", 0, parseClipNumber, "+48xxxxxxxxx"},  {"### 14c ", 0, parseClipNumber, "+1234567890"},
    };
    for (const auto &[heading, block, parse, expected] : cases) {
        const QStringList blocks = transcriptBlocks(markdown, QString::fromLatin1(heading));
        ASSERT_GT(blocks.size(), block) << heading;
        EXPECT_EQ(parse(blocks[block]), expected) << heading;
    }
    EXPECT_EQ(parseCmsErrorCode(transcriptBlocks(markdown, "### 12a ").value(0)), 500);
}

TEST_F(RealReplies, TextModeListingsFromASim)
{
    const QStringList blocks = transcriptBlocks(markdown, "### 7h ");
    ASSERT_EQ(blocks.size(), 2);
    const CmglListing three = scanCmglText(blocks[0]);
    EXPECT_EQ(three.finalLine, "OK");
    QStringList heads; // this SIM counts from 0
    for (const SIMMessage &m : three.messages)
        heads << m.Index + '|' + m.Status + '|' + m.Number + '|' + QString::number(m.Text.size());
    EXPECT_EQ(heads, (QStringList{"0|REC UNREAD|+27748577604|18", "1|REC READ|+2784000153099999|159",
                                  "2|REC READ|+27840001463|159"}));

    // A body with bare LF line breaks keeps them; the operator's short code stays as written.
    const SIMMessageList lf = parseCmglText(blocks[1]);
    ASSERT_EQ(lf.size(), 1);
    EXPECT_EQ(lf[0].Number, "5433");
    EXPECT_EQ(lf[0].Text.count(QLatin1Char('\n')), 2);

    // Corrupted real lines do not break the parser.
    const SIMMessageList corrupted = parseCmglText(transcriptBlocks(markdown, "### 7i ").value(0));
    ASSERT_EQ(corrupted.size(), 1);
    EXPECT_EQ(corrupted[0].Index + '|' + corrupted[0].Status, "1|REC READ");
}

} // namespace

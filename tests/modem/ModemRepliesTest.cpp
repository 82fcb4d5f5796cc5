#include "support/ModemTestSupport.h"

#include "modem/ModemReplies.h"

#include <QFile>
#include <QRegularExpression>

using namespace parlix;

namespace {

const QString kListing = QStringLiteral("\r\n+CMGL: 1,\"REC UNREAD\",\"+447700900123\",,\"26/12/05,05:11:00+04\"\r\n"
                                        "Meet at 5\r\n"
                                        "+CMGL: 4,\"REC READ\",\"07700900456\",,\"26/12/05,06:00:00+04\"\r\n"
                                        "Second \"quoted\" line\r\nand more\r\n"
                                        "\r\nOK\r\n");

TEST(CmglParser, SplitsRecordsAndKeepsTheLastTextsTrailingBreak)
{
    const SIMMessageList list = parseCmglText(kListing);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0], (SIMMessage{"1", "REC UNREAD", "+447700900123", "Meet at 5"}));
    EXPECT_EQ(list[1], (SIMMessage{"4", "REC READ", "07700900456", "Second \"quoted\" line\r\nand more\r\n"}));
}

struct CmglCase
{
    const char *name;
    QString reply;
    int count;
    SIMMessage first;
};

TEST(CmglParser, AwkwardReplies)
{
    const CmglCase cases[] = {
        {"empty SIM", "\r\nOK\r\n", 0, {}},
        {"silent modem", "", 0, {}},
        {"echo on",
         "AT+CMGL=\"ALL\"\r\r\n+CMGL: 2,\"STO UNSENT\",\"+4915\",,\r\nDraft\r\n\r\nOK\r\n",
         1,
         {"2", "STO UNSENT", "+4915", "Draft\r\n"}},
        {"no blank after the colon",
         "\r\n+CMGL:7,\"REC READ\",\"+1\",,\"x\"\r\nHi\r\n\r\nOK\r\n",
         1,
         {"7", "REC READ", "+1", "Hi\r\n"}},
        {"blanks after commas",
         "\r\n+CMGL: 3, \"REC READ\", \"+4123\", \"2009/8/18,19:11:45\"\r\nBody\r\n\r\nOK\r\n",
         1,
         {"3", "REC READ", "+4123", "Body\r\n"}},
        {"header only, no line break",
         "\r\n+CMGL: 1,\"REC READ\",\"+79\",\"1\",\"15/09/23,00:34:17+24\"",
         1,
         {"", "", "", ""}},
        {"missing fields", "+CMGL: 9\r\nText\r\n\r\nOK\r\n", 1, {"9", "", "", "Text\r\n"}},
        {"record without any line break", "+CMGL: garbage", 1, {"", "", "", ""}},
        {"final OK missing", "\r\n+CMGL: 1,\"REC READ\",\"+1\",,\"t\"\r\nCut off", 1, {"1", "REC READ", "+1", ""}},
        {"+CMS ERROR", "\r\n+CMS ERROR: 321\r\n", 0, {}},
        {"body with bare LF",
         "\r\n+CMGL: 3,\"REC READ\",\"5433\",,\"t\"\r\nA\nB\nC\r\nOK\r\n",
         1,
         {"3", "REC READ", "5433", "A\nB\nC"}},
    };
    for (const CmglCase &c : cases) {
        SCOPED_TRACE(c.name);
        const SIMMessageList list = parseCmglText(c.reply);
        ASSERT_EQ(list.size(), c.count);
        if (c.count > 0) {
            EXPECT_EQ(list[0], c.first);
        }
    }
}

TEST(SingleLineParsers, Tables)
{
    struct Case
    {
        QString (*parse)(const QString &);
        QString reply;
        QString expected;
    };
    const Case cases[] = {
        {parseCmgwIndex, "\r\n+CMGW: 5\r\n\r\nOK\r\n", "5"},
        {parseCmgwIndex, "\r\n> \r\n+CMGW: 12\r\n\r\nOK\r\n", "12"},
        {parseCmgwIndex, "AT+CMGW=\"+1\"\r\r\n> Hello\x1a\r\n+CMGW: 3\r\n\r\nOK\r\n", "3"},
        {parseCmgwIndex, "\r\nOK\r\n", ""},
        {parseCmgwIndex, "", ""},
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
        {parseIdentificationLine, "\r\nhuawei\r\n\r\nOK\r\n", "huawei"},
        {parseIdentificationLine, "AT+CGMM\r\r\n MULTIBAND  900E  1800 \r\n\r\nOK\r\n", "MULTIBAND  900E  1800"},
        {parseIdentificationLine, "\r\n+CGMI: SIMCOM_Ltd\r\n\r\nOK\r\n", "SIMCOM_Ltd"},
        {parseIdentificationLine, "OK", ""},
        {parseClipNumber, "\r\nRING\r\n\r\n+CLIP: \"+919812345678\",145,\"\",128,\"\",0\r\n", "+919812345678"},
        {parseClipNumber, "+CLIP: \"+1234567890\",145,,,,0", "+1234567890"},
        {parseClipNumber, "+CLIP: \"\",128,,,,1", ""},
        {parseClipNumber, "+CLIP: \"+49", ""},
        {parseClccNumber, "+CLCC: 1,1,4,0,0,\"+4477\",145", "+4477"},
        {parseClccNumber, "+CLCC: 1, 1, 4, 0, 0, \"13800138000\", 129", "13800138000"},
        {parseClccNumber, "+CLCC: 1,1,0,0,1", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        EXPECT_EQ(c.parse(c.reply), c.expected);
    }
    EXPECT_EQ(parseCmsErrorCode("\r\n+CMS ERROR: 500\r\n"), 500);
    EXPECT_EQ(parseCmsErrorCode("+CME ERROR: 515"), 515);
    EXPECT_EQ(parseCmsErrorCode("+CMS ERROR: numeric parameter out of bounds"), -1);
    EXPECT_EQ(parseCmsErrorCode("\r\nOK\r\n"), -1);
}

// ---- Replies recorded from real modems (read from the shared test data, never copied) ------

// The fenced blocks of a piece of transcripts.md, with the <CR>/<LF> notation turned back
// into bytes. A physical line break right after <LF> is only layout; any other stands for the
// CR LF a V.250 modem puts after each line.
QStringList fencedBlocks(const QString &markdown)
{
    QStringList blocks;
    static const QRegularExpression fence(QStringLiteral("```\\n(.*?)```"),
                                          QRegularExpression::DotMatchesEverythingOption);
    for (auto it = fence.globalMatch(markdown); it.hasNext();) {
        QString block = it.next().captured(1);
        block.replace(QStringLiteral("<LF>\n"), QStringLiteral("<LF>"));
        block.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        block.replace(QStringLiteral("<CR>"), QStringLiteral("\r"))
            .replace(QStringLiteral("<LF>"), QStringLiteral("\n"));
        blocks << block;
    }
    return blocks;
}

// The blocks under one "### " heading.
QStringList transcriptBlocks(const QString &markdown, const QString &heading)
{
    const qsizetype start = markdown.indexOf(heading);
    if (start < 0)
        return {};
    const qsizetype end = markdown.indexOf(QStringLiteral("\n### "), start + heading.size());
    return fencedBlocks(markdown.mid(start, end < 0 ? -1 : end - start));
}

class RealReplies : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto path = test::sharedTestData(QStringLiteral("modem/transcripts.md"));
        if (!path)
            GTEST_SKIP() << "the shared modem test data is not here (set PARLIX_TESTDATA to its testdata folder)";
        QFile file(*path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        markdown = QString::fromUtf8(file.readAll());
    }
    QString markdown;
};

TEST_F(RealReplies, IdentificationLinesOfSeveralVendors)
{
    const QStringList huawei = transcriptBlocks(markdown, QStringLiteral("### 6a "));
    ASSERT_FALSE(huawei.isEmpty());
    EXPECT_EQ(parseIdentificationLine(huawei[0]), QStringLiteral("huawei"));
    const QStringList e1750 = transcriptBlocks(markdown, QStringLiteral("### 6b "));
    ASSERT_FALSE(e1750.isEmpty());
    EXPECT_EQ(parseIdentificationLine(e1750[0]), QStringLiteral("E1750"));

    const auto wavecom = test::sharedTestData(QStringLiteral("modem/raw/gammu/at-model/06.dump"));
    ASSERT_TRUE(wavecom);
    QFile dump(*wavecom);
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    EXPECT_EQ(parseIdentificationLine(QString::fromLatin1(dump.readAll())), QStringLiteral("MULTIBAND  900E  1800"));
}

TEST_F(RealReplies, TextModeListingsFromASim)
{
    const QStringList blocks = transcriptBlocks(markdown, QStringLiteral("### 7h "));
    ASSERT_EQ(blocks.size(), 2);
    const SIMMessageList three = parseCmglText(blocks[0]);
    ASSERT_EQ(three.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(three[i].Index, QString::number(i)); // this SIM counts from 0
        EXPECT_TRUE(three[i].Number.startsWith(QLatin1Char('+')));
        EXPECT_FALSE(three[i].Text.trimmed().isEmpty());
        EXPECT_FALSE(three[i].Text.trimmed().contains(QLatin1String("\r\n")));
    }
    EXPECT_EQ(three[0].Status, QStringLiteral("REC UNREAD"));
    EXPECT_EQ(three[1].Status, QStringLiteral("REC READ"));
    EXPECT_FALSE(three[2].Text.endsWith(QLatin1String("\n"))); // no blank line before this modem's OK

    // A body with bare LF line breaks keeps them; the operator's short code stays as written.
    const SIMMessageList lf = parseCmglText(blocks[1]);
    ASSERT_EQ(lf.size(), 1);
    EXPECT_EQ(lf[0].Number, QStringLiteral("5433"));
    EXPECT_EQ(lf[0].Text.count(QLatin1Char('\n')), 2);
}

TEST_F(RealReplies, CorruptedListingLineDoesNotBreakTheParser)
{
    const QStringList blocks = transcriptBlocks(markdown, QStringLiteral("### 7i "));
    ASSERT_FALSE(blocks.isEmpty());
    const SIMMessageList list = parseCmglText(blocks[0]);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].Index, QStringLiteral("1"));
    EXPECT_EQ(list[0].Status, QStringLiteral("REC READ"));
}

TEST_F(RealReplies, CallListsAndCallerLines)
{
    const QStringList sim800 = transcriptBlocks(markdown, QStringLiteral("### 13a "));
    ASSERT_FALSE(sim800.isEmpty());
    EXPECT_EQ(parseCallState(sim800[0]), QStringLiteral("Dialing"));
    const QStringList multi = transcriptBlocks(markdown, QStringLiteral("### 13c "));
    ASSERT_GE(multi.size(), 3);
    EXPECT_EQ(parseCallState(multi[1]), QStringLiteral("Incoming"));
    EXPECT_EQ(parseCallState(multi[2]), QStringLiteral("Active"));
    EXPECT_EQ(parseClccNumber(multi[1]), QStringLiteral("123456789"));

    for (const QString &heading : {QStringLiteral("### 14b "), QStringLiteral("### 14c ")}) {
        const QStringList clip = transcriptBlocks(markdown, heading);
        ASSERT_FALSE(clip.isEmpty());
        EXPECT_TRUE(parseClipNumber(clip[0]).startsWith(QLatin1Char('+'))) << heading.toStdString();
    }
    const QStringList cms = transcriptBlocks(markdown, QStringLiteral("### 12a "));
    ASSERT_FALSE(cms.isEmpty());
    EXPECT_EQ(parseCmsErrorCode(cms[0]), 500);
}

} // namespace

#include "modem/UnsolicitedFilter.h"

#include "support/ModemTestSupport.h"

using namespace parlix;
using Context = UnsolicitedFilter::Context;

namespace {

struct FramingCase
{
    const char *name;
    Context context;
    QStringList chunks; // as successive reads deliver them
    QString reply;      // what reaches the reply (after a final flush)
    QStringList codes;
};

TEST(UnsolicitedFilter, TakesCallCodesOutOfReplies)
{
    const FramingCase cases[] = {
        {"plain reply", Context::Reply, {"\r\nOK\r\n"}, "\r\nOK\r\n", {}},
        {"ring before the answer", Context::Reply, {"\r\nRING\r\n\r\nOK\r\n"}, "\r\nOK\r\n", {"RING"}},
        {"ring and caller line after a prompt",
         Context::Reply,
         {"\r\n> ", "\r\nRING\r\n\r\n+CLIP: \"+4477\",145,,,,0\r\n"},
         "\r\n> ",
         {"RING", "+CLIP: \"+4477\",145,,,,0"}},
        {"code split over reads", Context::Reply, {"\r\nRI", "NG\r", "\n\r\nOK\r\n"}, "\r\nOK\r\n", {"RING"}},
        {"blank line of a code in an earlier read",
         Context::Reply,
         {"\r\n", "RING\r\n", "\r\nOK\r\n"},
         "\r\nOK\r\n",
         {"RING"}},
        {"two CRs (SIMCom)", Context::Reply, {"\r\r\n+CRING: VOICE\r\r\n\r\nOK\r\n"}, "\r\nOK\r\n", {"+CRING: VOICE"}},
        {"no carrier, new SMS and vendor codes",
         Context::Reply,
         {"\r\nNO CARRIER\r\n\r\n+CMTI: \"SM\",3\r\n^SRVST:0\r\n\r\nOK\r\n"},
         "\r\nOK\r\n",
         {"NO CARRIER", "+CMTI: \"SM\",3", "^SRVST:0"}},
        {"pushed call list",
         Context::Reply,
         {"\r\n+CLCC: 1,1,4,0,0,\"+1\",145\r\n"},
         "",
         {"+CLCC: 1,1,4,0,0,\"+1\",145"}},
        {"call list is the answer to AT+CLCC",
         Context::CallList,
         {"\r\n+CLCC: 1,1,4,0,0,\"+1\",145\r\n\r\nOK\r\n"},
         "\r\n+CLCC: 1,1,4,0,0,\"+1\",145\r\n\r\nOK\r\n",
         {}},
        {"a message text reading RING stays",
         Context::MessageList,
         {"\r\n+CMGL: 1,\"REC READ\",\"+1\",,\"t\"\r\nRING\r\n\r\nOK\r\n"},
         "\r\n+CMGL: 1,\"REC READ\",\"+1\",,\"t\"\r\nRING\r\n\r\nOK\r\n",
         {}},
        {"a framed code inside a listing goes",
         Context::MessageList,
         {"\r\n+CMGL: 1,\"REC READ\",\"+1\",,\"t\"\r\nHi\r\n\r\nRING\r\n\r\nOK\r\n"},
         "\r\n+CMGL: 1,\"REC READ\",\"+1\",,\"t\"\r\nHi\r\n\r\nOK\r\n",
         {"RING"}},
        {"pushed delivery report split over reads, before a prompt",
         Context::Reply,
         {"\r\n+CDS: 2", "5\r\n0006", "2A0B91\r\n\r\n> "},
         "\r\n> ",
         {"+CDS: 25\n00062A0B91"}},
        {"report stored on the SIM",
         Context::Reply,
         {"\r\n+CDSI: \"SR\",4\r\n\r\nOK\r\n"},
         "\r\nOK\r\n",
         {"+CDSI: \"SR\",4"}},
        {"echo and words that only start like codes",
         Context::Reply,
         {"RINGTONE\r\n+CLIPBOARD\r\nNO\r\n"},
         "RINGTONE\r\n+CLIPBOARD\r\nNO\r\n",
         {}},
    };
    for (const FramingCase &c : cases) {
        SCOPED_TRACE(c.name);
        UnsolicitedFilter filter;
        filter.setContext(c.context);
        QStringList codes;
        QString reply;
        for (const QString &chunk : c.chunks)
            reply += filter.feed(chunk, codes);
        reply += filter.flush();
        EXPECT_EQ(reply, c.reply);
        EXPECT_EQ(codes, c.codes);
    }
}

TEST(UnsolicitedFilter, HoldsBackOnlyWhatCouldStillBecomeACode)
{
    UnsolicitedFilter filter;
    QStringList codes;
    // The prompt and ordinary partial lines are passed on at once: an exchange waits for them.
    EXPECT_EQ(filter.feed(QStringLiteral("\r\n> "), codes), QStringLiteral("\r\n> "));
    EXPECT_EQ(filter.feed(QStringLiteral("+C"), codes), QString()); // could be +CLIP
    EXPECT_EQ(filter.feed(QStringLiteral("MGS: 1"), codes), QStringLiteral("+CMGS: 1"));
    EXPECT_EQ(filter.feed(QStringLiteral("2\r\n"), codes), QStringLiteral("2\r\n"));
    EXPECT_EQ(filter.feed(QStringLiteral("OK"), codes), QStringLiteral("OK"));
    EXPECT_TRUE(codes.isEmpty());
}

} // namespace

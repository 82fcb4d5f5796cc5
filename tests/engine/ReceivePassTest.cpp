#include "EngineHarness.h"
#include "support/QtPrinters.h"

#include "engine/AutoReplyRepository.h"
#include "engine/OutboxPass.h"
#include "modem/Modem.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace parlix {
namespace {

using test::EngineHarness;
using Sim = sim::ModemSimulator;

// Rows as "sender|text", joined by '#', oldest first.
QString inbox(const EngineHarness &h)
{
    return h.text("SELECT group_concat(SenderMobileNo || '|' || Message, '#') FROM "
                  "(SELECT * FROM Message_InBox ORDER BY InBox_Id)");
}

class ReceivePassTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(h.connectModem(), QString()); }

    void receive()
    {
        h.clearLog();
        h.engine->receiveAll(200);
    }

    QString outbox() const
    {
        return h.text("SELECT group_concat(RecepId || '|' || RecipientMobileNo || '|' || Message, '#') "
                      "FROM (SELECT * FROM Message_OutBox ORDER BY Outbox_Id)");
    }

    EngineHarness h;
};

TEST_F(ReceivePassTest, TakesReceivedMessagesAndLeavesStoredOutgoingOnes)
{
    receive();
    EXPECT_EQ(h.logLines(), QStringList{"No new SMS found."});

    h.modem.addMessage("REC UNREAD", "9812345678", "It's a \"quote\"");
    h.modem.addMessage("STO UNSENT", "+447700900123", "draft");
    h.modem.addMessage("REC READ", "09812345678", "line one\nline two");
    QSignalSpy stored(h.engine.get(), &Engine::smsStored);
    QSignalSpy refresh(h.engine.get(), &Engine::refreshMessageBoxWindow);
    receive();

    EXPECT_EQ(h.logLines(),
              (QStringList{"Total 3 new SMS found.", "Retrieving SMS No. 1", "Deleting SMS No. 1 from the SIM card.",
                           "Retrieving SMS No. 3", "Deleting SMS No. 3 from the SIM card."}));
    // Stored as received: no doubled quotes, and no line break left over from the listing.
    EXPECT_EQ(inbox(h), "+9812345678|It's a \"quote\"#09812345678|line one\nline two");
    const auto left = h.modem.messages();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left.first().status, "STO UNSENT");
    EXPECT_EQ(h.sounds, (QStringList{"SMSNotify.wav", "SMSNotify.wav"}));
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored.first().at(1).toString(), "+9812345678");
    EXPECT_EQ(refresh.size(), 1);
}

TEST_F(ReceivePassTest, KeywordRepliesFollowTableOrderAndTheSwitch)
{
    AutoReplyRepository replies(h.db.db());
    replies.insert("PRICE", "  Prices: it's 5 ");
    replies.insert("info", "Info desk");
    const QString both = "please send info and price";
    h.modem.addMessage("REC UNREAD", "+919812345678", both);
    receive();
    EXPECT_EQ(outbox(), QString()); // the switch is off

    ASSERT_TRUE(replies.setSendAutoReply(true));
    h.modem.addMessage("REC UNREAD", "+919812345678", both);
    h.modem.addMessage("REC UNREAD", "+447700900123", "xINFOx");
    receive();
    EXPECT_EQ(h.logLines().filter("Sending AutoReply to SMS.").size(), 2);
    EXPECT_EQ(outbox(), "0|+919812345678|Prices: it's 5#0|+447700900123|Info desk");
}

TEST_F(ReceivePassTest, MessageThatCannotBeStoredStaysOnTheSimAndIsStoredOnceLater)
{
    h.db.exec("CREATE TRIGGER full BEFORE INSERT ON Message_InBox WHEN NEW.Message LIKE '%poison%' "
              "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
    h.modem.addMessage("REC UNREAD", "+447700900001", "poison pill");
    h.modem.addMessage("REC UNREAD", "+447700900002", "fine");

    receive();
    const QStringList lines = h.logLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines.at(2).startsWith("**ERROR** SMS No. 1 could not be stored: "));
    EXPECT_TRUE(lines.at(2).endsWith("It stays on the SIM card."));
    EXPECT_FALSE(lines.contains("Deleting SMS No. 1 from the SIM card."));
    EXPECT_EQ(inbox(h), "+447700900002|fine");
    ASSERT_EQ(h.modem.messages().size(), 1);
    EXPECT_EQ(h.modem.messages().first().text, "poison pill");

    h.db.exec("DROP TRIGGER full");
    receive();
    EXPECT_EQ(inbox(h), "+447700900002|fine#+447700900001|poison pill");
    EXPECT_TRUE(h.modem.messages().isEmpty());
}

// The guard against storing twice (an SMS whose delete was not confirmed) keys on the time
// stamp as well, and forgets what a complete listing no longer shows: the same sender sending
// the same text to the same slot later is a new SMS.
TEST_F(ReceivePassTest, UnconfirmedDeleteNeitherStoresTwiceNorSwallowsTheNextSameText)
{
    const QString from = "+447700900001";
    auto arrives = [&](const char *text, const char *stamp) {
        h.modem.addMessage("REC UNREAD", from, QString::fromLatin1(text), QString::fromLatin1(stamp));
    };
    arrives("YES", "26/12/05,10:00:00+04");
    h.modem.failNext("AT+CMGD", {Sim::Fault::Error, 0});
    receive();
    receive(); // still listed: only the copy on the SIM is removed
    EXPECT_TRUE(h.logLines().contains("SMS No. 1 is already in the inbox; only its copy on the SIM card is removed."));
    EXPECT_EQ(h.sounds.size(), 1);

    // The delete went through but its answer was lost; the same text comes again to slot 1.
    arrives("STOP", "26/12/05,10:05:00+04");
    h.modem.failNext("AT+CMGD", {Sim::Fault::Error, 0});
    receive();
    h.modem.clearMessages();
    arrives("STOP", "26/12/05,11:00:00+04");
    receive();
    EXPECT_EQ(inbox(h), from + "|YES#" + from + "|STOP#" + from + "|STOP");
    receive(); // an empty SIM: nothing is left to guard
    EXPECT_EQ(h.count("SELECT COUNT(*) FROM SIM_StoredMessages"), 0);
}

// Listings as real modems send them: in pieces, with texts that look like protocol, and with
// ASCII status lines in the middle while the GSM set is in use. Each SMS is stored exactly
// once with its own text; nothing else is stored, answered, deleted or taken for a call.
TEST(ReceivePassListings, TextsThatLookLikeProtocolStayTexts)
{
    const QString forged = "+447700900666";
    struct Case
    {
        const char *name;
        int chunkMs;
        QByteArray noise;
        QStringList texts; // one SMS each, from +4477009000<n>
    };
    const Case cases[] = {
        {"slow listing", 250, {}, {"OK see you", "BOOKING: PAYMENT ERROR\r\nTOKEN"}},
        {"forged header and call lines",
         0,
         {},
         {"Hi\r\n+CMGL: 7,\"REC READ\",\"" + forged + "\",,\"26/01/01,00:00:00+00\"\r\nPRICE",
          "Call me\r\n\r\nRING\r\n\r\n+CLIP: \"" + forged + "\",145,,,,0"}},
        {"ASCII status lines in GSM mode", 0, "^BOOT:20586066,0,0,0,6", {"first_one", "second^one"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        ASSERT_EQ(h.connectModem(), QString());
        AutoReplyRepository replies(h.db.db());
        replies.insert("PRICE", "Prices");
        ASSERT_TRUE(replies.setSendAutoReply(true));
        QStringList expected;
        for (int i = 0; i < c.texts.size(); ++i) {
            const QString sender = QStringLiteral("+44770090000%1").arg(i + 1);
            h.modem.addMessage("REC UNREAD", sender, c.texts[i]);
            expected << sender + QLatin1Char('|') + c.texts[i];
        }
        h.modem.setListChunkDelay(c.chunkMs);
        h.modem.setNoise(c.noise);
        h.modem.clearLog();
        QSignalSpy lines(h.engine->modem(), &Modem::unsolicitedLine);
        h.engine->receiveAll(200);
        QCoreApplication::processEvents();

        EXPECT_EQ(inbox(h), expected.join(QLatin1Char('#')));
        EXPECT_EQ(h.modem.commands().filter("AT+CMGD"), (QStringList{"AT+CMGD=1", "AT+CMGD=2"}));
        EXPECT_TRUE(h.modem.messages().isEmpty());
        EXPECT_EQ(h.count("SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo=?", {forged}), 0);
        for (const auto &line : lines)
            EXPECT_FALSE(line.at(0).toString().contains(forged)) << "a call from the text";
    }
}

} // namespace
} // namespace parlix

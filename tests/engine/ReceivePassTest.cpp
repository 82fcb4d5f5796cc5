#include "EngineHarness.h"
#include "support/QtPrinters.h"

#include "engine/AutoReplyRepository.h"
#include "engine/OutboxPass.h"
#include "modem/Modem.h"

#include "store/Query.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace parlix {
namespace {

using test::EngineHarness;
using Sim = sim::ModemSimulator;

class ReceivePassTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(h.connectModem(), QString()); }

    void receive()
    {
        h.clearLog();
        h.engine->receiveAll(200);
    }

    QStringList inbox() const
    {
        QStringList rows;
        auto q =
            sql::run(h.db.db(), QStringLiteral("SELECT SenderMobileNo,Message FROM Message_InBox ORDER BY InBox_Id"));
        while (q.value().next())
            rows.append(q.value().value(0).toString() + QLatin1Char('|') + q.value().value(1).toString());
        return rows;
    }

    QStringList outbox() const
    {
        QStringList rows;
        auto q =
            sql::run(h.db.db(),
                     QStringLiteral("SELECT RecepId,RecipientMobileNo,Message FROM Message_OutBox ORDER BY Outbox_Id"));
        while (q.value().next())
            rows.append(q.value().value(0).toString() + QLatin1Char('|') + q.value().value(1).toString() +
                        QLatin1Char('|') + q.value().value(2).toString());
        return rows;
    }

    EngineHarness h;
};

TEST_F(ReceivePassTest, EmptySimLogsNoNewSmsOnly)
{
    receive();
    EXPECT_EQ(h.logLines(), QStringList{QStringLiteral("No new SMS found.")});
}

TEST_F(ReceivePassTest, TakesReceivedMessagesAndLeavesStoredOutgoingOnes)
{
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("9812345678"), QStringLiteral("It's a \"quote\""));
    h.modem.addMessage(QStringLiteral("STO UNSENT"), QStringLiteral("+447700900123"), QStringLiteral("draft"));
    h.modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("09812345678"), QStringLiteral("line one\nline two"));
    QSignalSpy stored(h.engine.get(), &Engine::smsStored);
    QSignalSpy refresh(h.engine.get(), &Engine::refreshMessageBoxWindow);

    receive();

    EXPECT_EQ(
        h.logLines(),
        (QStringList{QStringLiteral("Total 3 new SMS found."), QStringLiteral("Retrieving SMS No. 1"),
                     QStringLiteral("Deleting SMS No. 1 from the SIM card."), QStringLiteral("Retrieving SMS No. 3"),
                     QStringLiteral("Deleting SMS No. 3 from the SIM card.")}));
    // Stored as received: no doubled quotes, and no line break left over from the listing.
    EXPECT_EQ(inbox(), (QStringList{QStringLiteral("+9812345678|It's a \"quote\""),
                                    QStringLiteral("09812345678|line one\nline two")}));
    const auto left = h.modem.messages();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left.first().status, QStringLiteral("STO UNSENT"));
    EXPECT_EQ(h.sounds, (QStringList{QStringLiteral("SMSNotify.wav"), QStringLiteral("SMSNotify.wav")}));
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored.first().at(1).toString(), QStringLiteral("+9812345678"));
    EXPECT_EQ(refresh.size(), 1);
}

TEST_F(ReceivePassTest, KeywordRepliesFollowTableOrderAndTheSwitch)
{
    AutoReplyRepository replies(h.db.db());
    replies.insert(QStringLiteral("PRICE"), QStringLiteral("  Prices: it's 5 "));
    replies.insert(QStringLiteral("info"), QStringLiteral("Info desk"));
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+919812345678"),
                       QStringLiteral("please send info and price"));
    receive();
    EXPECT_TRUE(outbox().isEmpty()); // the switch is off

    ASSERT_TRUE(replies.setSendAutoReply(true));
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+919812345678"),
                       QStringLiteral("please send info and price"));
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900123"), QStringLiteral("xINFOx"));
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900124"), QStringLiteral("hello"));
    receive();
    EXPECT_EQ(h.logLines().filter(QStringLiteral("Sending AutoReply to SMS.")).size(), 2);
    EXPECT_EQ(outbox(), (QStringList{QStringLiteral("0|+919812345678|Prices: it's 5"),
                                     QStringLiteral("0|+447700900123|Info desk")}));
}

TEST_F(ReceivePassTest, MessageThatCannotBeStoredStaysOnTheSimAndIsStoredOnceLater)
{
    h.db.exec(QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON Message_InBox WHEN NEW.Message LIKE '%poison%' "
                             "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"));
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900001"), QStringLiteral("poison pill"));
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900002"), QStringLiteral("fine"));

    receive();
    const QStringList lines = h.logLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines.at(2).startsWith(QStringLiteral("**ERROR** SMS No. 1 could not be stored: ")));
    EXPECT_TRUE(lines.at(2).endsWith(QStringLiteral("It stays on the SIM card.")));
    EXPECT_FALSE(lines.contains(QStringLiteral("Deleting SMS No. 1 from the SIM card.")));
    EXPECT_EQ(inbox(), QStringList{QStringLiteral("+447700900002|fine")});
    ASSERT_EQ(h.modem.messages().size(), 1);
    EXPECT_EQ(h.modem.messages().first().text, QStringLiteral("poison pill"));

    h.db.exec(QStringLiteral("DROP TRIGGER full"));
    receive();
    EXPECT_EQ(inbox().size(), 2);
    EXPECT_TRUE(h.modem.messages().isEmpty());
}

TEST_F(ReceivePassTest, FailedDeleteAfterTheStoreDoesNotStoreTheMessageTwice)
{
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900001"), QStringLiteral("once only"));
    h.modem.failNext(QStringLiteral("AT+CMGD"), {Sim::Fault::Error, 0}, -1);
    receive();
    EXPECT_EQ(inbox().size(), 1);
    EXPECT_EQ(h.modem.messages().size(), 1);

    h.modem.clearFaults();
    receive();
    EXPECT_EQ(inbox().size(), 1);
    EXPECT_TRUE(h.logLines().contains(
        QStringLiteral("SMS No. 1 is already in the inbox; only its copy on the SIM card is removed.")));
    EXPECT_TRUE(h.modem.messages().isEmpty());
    EXPECT_EQ(h.sounds.size(), 1);

    // The same text arriving again later is a new message.
    h.modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900001"), QStringLiteral("once only"));
    receive();
    EXPECT_EQ(inbox().size(), 2);
}

TEST(ReceivePass, WithoutModemLinkTheOperatorIsTold)
{
    EngineHarness h;
    h.engine->receiveAll(200);
    EXPECT_EQ(h.prompt.texts(), QStringList{kNotCommunicatingText});
    EXPECT_TRUE(h.logLines().isEmpty());
}

} // namespace
} // namespace parlix

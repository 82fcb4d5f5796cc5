// The outbox and receive passes over a real database, the modem simulator and an SMTP server.
#include "EngineHarness.h"
#include "support/QtPrinters.h"
#include "testservers/SmtpServer.h"

#include "engine/AutoReplyRepository.h"
#include "engine/OutboxPass.h"
#include "engine/SmtpGateway.h"
#include "modem/Modem.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace parlix {
namespace {

using test::EngineHarness;
using test::SmtpServer;
using Sim = sim::ModemSimulator;

const QString kReasons =
    " (Possible Reasons: 1> Phone out of coverage area   2> No balance credit on your SIM   3> Problem "
    "connecting to remote SMS SMTP server.)";

// Points the harness at an SMTP test server, with short timeouts.
void useSmtpServer(EngineHarness &h, const SmtpServer &server)
{
    h.settings.SMSSMTPServer = "127.0.0.1";
    h.settings.SMSSMTPPort = qint16(server.port());
    h.settings.SMSSMTPYourEmailAddress = "office@corp.example";
    h.settings.SMSSMTPEmailPostfix = "sms.example";
    SmtpOptions options;
    options.connectTimeoutSeconds = 5;
    options.totalTimeoutSeconds = 15;
    h.engine->setSmtpOptions(options);
}

TEST(OutboxPass, WithoutModemLinkTheRowWaitsAndAReceiveTellsTheOperator)
{
    EngineHarness h;
    const qint64 id = h.queue("+447700900123", "hi");
    h.engine->sendAll();
    EXPECT_EQ(h.logLines(), (QStringList{"Total 1 SMS to be sent.", kNotCommunicatingText}));
    EXPECT_EQ(h.outboxColumn(id), "<null>");

    h.clearLog();
    h.engine->receiveAll(200);
    EXPECT_EQ(h.prompt.texts(), QStringList{kNotCommunicatingText});
    EXPECT_TRUE(h.logLines().isEmpty());
}

struct ModeCase
{
    SimDeliveryMode mode;
    const char *method;
    const char *via;
};

TEST(OutboxPass, SendsWaitingRowsParksFaultyNumbersAndLogsEachStep)
{
    const ModeCase modes[] = {{SimDeliveryMode::DirectDeliver, "DIRECT DELIVERY", "AT+CMGS"},
                              {SimDeliveryMode::StoreAndDeliver, "STORE & DELIVER", "AT+CMSS"}};
    for (const ModeCase &m : modes) {
        SCOPED_TRACE(m.via);
        EngineHarness h;
        h.settings.SIMCardDeliveryMode = m.mode;
        h.applySettings();
        ASSERT_EQ(h.connectModem(), QString());
        const qint64 good = h.queue(" +447700900123 ", "  Hello there  ");
        const qint64 faulty = h.queue("98AB77", "x");
        const qint64 plain = h.queue("07700900456", "Second");
        h.clearLog();
        h.clock.set(QDateTime(QDate(2026, 12, 6), QTime(14, 30, 5)));

        h.engine->sendAll();

        const QStringList lines = h.logLines();
        EXPECT_EQ(lines.first(), "Total 3 SMS to be sent.");
        EXPECT_TRUE(lines.contains(QStringLiteral("Sending SMS to  +447700900123  using GSM modem and method - %1.")
                                       .arg(QLatin1String(m.method))))
            << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.filter("98AB77").isEmpty()); // a faulty number is not logged

        EXPECT_EQ(h.outboxColumn(good), "SENT");
        EXPECT_EQ(h.outboxColumn(good, "DeliveryDatetime"), "2026-12-06 14:30:05");
        EXPECT_EQ(h.outboxColumn(plain), "SENT");
        EXPECT_EQ(h.outboxColumn(faulty), "FAULTY NUMBER");

        const auto sent = h.modem.sentMessages();
        ASSERT_EQ(sent.size(), 2);
        EXPECT_EQ(sent[0].number, "+447700900123");
        EXPECT_EQ(sent[0].text, "Hello there");
        EXPECT_EQ(sent[0].via, QString::fromLatin1(m.via));
        EXPECT_TRUE(h.modem.messages().isEmpty()); // store-and-deliver removes its stored copy

        // Nothing waits any more: the next pass finds no row, the faulty one included.
        h.clearLog();
        h.engine->sendAll();
        EXPECT_EQ(h.logLines(), QStringList{"Total 0 SMS to be sent."});
    }
}

TEST(OutboxPass, RowDeletedByTheOperatorDuringThePassIsNotSent)
{
    EngineHarness h;
    ASSERT_EQ(h.connectModem(), QString());
    h.queue("+447700900001", "first");
    const qint64 second = h.queue("+447700900002", "second");
    const qint64 third = h.queue("+447700900003", "third");
    // The operator deletes one row and another pass sends the other while the first is sent.
    QObject::connect(h.engine.get(), &Engine::smsSent, h.engine.get(), [&](qint64 id) {
        if (id == second - 1) {
            h.db.exec("DELETE FROM Message_OutBox WHERE Outbox_Id=?", {second});
            h.db.exec("UPDATE Message_OutBox SET DeliveryStatus='SENT' WHERE Outbox_Id=?", {third});
        }
    });
    h.engine->sendAll();
    const auto sent = h.modem.sentMessages();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].text, "first");
}

class OutboxGatewayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.startError().isEmpty()) << server.startError().toStdString();
        useSmtpServer(h, server);
        h.settings.SMSSMTPFromName = "Office";
        h.settings.SMSSMTPEncodeType = 1;
    }

    SmtpServer server{{QString(), QString(), false, "5550"}};
    EngineHarness h;
};

TEST_F(OutboxGatewayTest, RefusalKeepsTheRowWaitingWithTheServersReasonAndTheNextRowGoes)
{
    h.settings.SMSDeliveryMedia = DeliveryMedium::SmtpGateway;
    // A blank in the address makes a local part that must be quoted on the envelope.
    h.settings.SMSSMTPYourEmailAddress = "Head Office@corp.example";
    // A login stored but not asked for: none may be tried (this server offers none).
    h.settings.SMSSMTPAuthenticationType = 2;
    h.settings.SMSSMTPUserName = "someone";
    h.settings.SMSSMTPPassword = "stale-secret";
    h.applySettings();
    const qint64 refused = h.queue("+15550001", "no");
    const qint64 ok = h.queue("+447700900123", "yes", " Sales ");

    h.engine->sendAll();

    const QStringList lines = h.logLines();
    EXPECT_TRUE(lines.contains("Sending SMS to +15550001@sms.example using external SMS gateway "
                               "'127.0.0.1' using Encode-Type: 1"));
    EXPECT_TRUE(lines.contains("**ERROR** SMS delivery failed. Error 550: 5.1.1 "
                               "<+15550001@sms.example>: Recipient address rejected: no such "
                               "subscriber\r\n"))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("**ERROR** SMS could not be sent to +15550001") + kReasons));
    EXPECT_EQ(
        lines.mid(lines.size() - 7),
        (QStringList{QStringLiteral("Connecting to 127.0.0.1:%1.").arg(server.port()), "Connected to 127.0.0.1.",
                     "Sending from Head Office@corp.example.", "Sending to +447700900123@sms.example.",
                     "Sending the message.", "Message sent.", "SMS sent successfully. Now removing it from outbox."}));
    EXPECT_EQ(h.outboxColumn(refused), QString());
    EXPECT_EQ(h.outboxColumn(ok), "SENT");
    ASSERT_EQ(server.mails().size(), 1);
    EXPECT_EQ(server.mails().first().value("from").toString(), "\"Head Office\"@corp.example");
    const QString data = server.mails().first().value("data").toString();
    EXPECT_TRUE(data.contains("From: \"Sales\" <\"Head Office\"@corp.example>")) << data.toStdString();
    EXPECT_TRUE(data.contains("\r\n\r\nyes\r\n")) << data.toStdString();
}

TEST_F(OutboxGatewayTest, MixModeRoutesByPrefixAndReportsModemRowsWithoutLink)
{
    h.settings.SMSDeliveryMedia = DeliveryMedium::MixMode;
    h.settings.MixModeMobileNumbers = "44,91";
    h.settings.MixModeDeliveryMedia = DeliveryMedium::Modem;
    h.settings.MaskedEmailDomain = "corp.example";
    h.applySettings();
    const qint64 viaModem = h.queue("+447700900123", "modem");
    const qint64 viaGateway = h.queue("07700900456", "gateway");

    h.engine->sendAll(); // no modem connected

    const QStringList lines = h.logLines();
    const QStringList expectedStart = {
        "Total 2 SMS to be sent.",
        "Checking the rules for MIX-MODE SMS delivery for number: 447700900123.",
        "Rule matched! Number is starting with '44'",
        kNotCommunicatingText,
        QStringLiteral("**ERROR** SMS could not be sent to +447700900123") + kReasons,
        "Checking the rules for MIX-MODE SMS delivery for number: 7700900456.",
        "Sending SMS to 07700900456@sms.example using external SMS gateway '127.0.0.1' using "
        "Encode-Type: 1",
    };
    EXPECT_EQ(lines.mid(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(h.outboxColumn(viaModem), QString());
    EXPECT_EQ(h.outboxColumn(viaGateway), "SENT");
    ASSERT_EQ(server.mails().size(), 1);
    EXPECT_EQ(server.mails().first().value("to").toArray().first().toString(), "07700900456@sms.example");
    // The masked sender: the sender name at the account's own domain.
    EXPECT_EQ(server.mails().first().value("from").toString(), "Office@corp.example");

    // With the modem connected, the matched row goes through it.
    ASSERT_EQ(h.connectModem(), QString());
    h.engine->sendAll();
    EXPECT_EQ(h.outboxColumn(viaModem), "SENT");
    ASSERT_EQ(h.modem.sentMessages().size(), 1);
    EXPECT_EQ(h.modem.sentMessages().first().number, "+447700900123");
}

TEST(OutboxPass, PasswordGoesWithoutTlsOnlyOnceTheOperatorAllowsIt)
{
    SmtpServer server({"gw", "pw", false}); // login, no STARTTLS
    ASSERT_TRUE(server.startError().isEmpty()) << server.startError().toStdString();
    EngineHarness h;
    useSmtpServer(h, server);
    h.settings.SMSDeliveryMedia = DeliveryMedium::SmtpGateway;
    h.settings.IsSMSSMTPAuthenticationRequired = true;
    h.settings.SMSSMTPAuthenticationType = 2;
    h.settings.SMSSMTPUserName = "gw";
    h.settings.SMSSMTPPassword = "pw";
    h.applySettings();
    const qint64 id = h.queue("+447700900123", "hi");

    h.engine->sendAll();
    EXPECT_TRUE(h.logLines().contains(
        "**ERROR** SMS delivery failed. Error 1005: The SMTP server '127.0.0.1' offers no secure connection, so the "
        "password was not sent. If this server takes logins only without encryption, tick \"Allow the password to be "
        "sent without encryption (not recommended)\" in Advanced SMTP Parlix Settings.\r\n"))
        << h.logLines().join('\n').toStdString();
    EXPECT_TRUE(server.events().isEmpty());
    EXPECT_EQ(h.outboxColumn(id), QString());

    h.settings.SMSSMTPAllowClearTextLogin = true;
    h.applySettings();
    h.engine->sendAll();
    EXPECT_EQ(h.outboxColumn(id), "SENT") << h.logLines().join('\n').toStdString();
    EXPECT_EQ(server.mails().size(), 1);
}

// ---- receiving ---------------------------------------------------------------------------------

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

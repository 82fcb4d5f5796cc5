#include "webmail/WebmailPoller.h"

#include "WebmailTestSupport.h"
#include "store/OutboxRepository.h"
#include "store/Query.h"
#include "support/DovecotServer.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/TempDatabase.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace parlix {
namespace {

using test::logEntries;
using test::plainEmail;
using test::tagged;

const QString kChecking = QStringLiteral("Checking POP3 account for Webmail-to-SMS on the server: 127.0.0.1");
const QString kPop3ErrorStart =
    QStringLiteral("**ERROR** WebMail - To - SMS Error While Checking For Your Emails.\r\nError No.: ");

QString total(int n)
{
    return QStringLiteral("Total %1 new emails found.").arg(n);
}
QString parsing(int i)
{
    return QStringLiteral("Parsing email no. %1 contents.").arg(i);
}
QString queuedLine(const QString &user, const QString &number)
{
    return QStringLiteral("Webmail-To-SMS sent to Outbox from SMS Account: '%1' to mobile number '%2'")
        .arg(user, number);
}

class WebmailPollerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const Status started = server.start();
        ASSERT_TRUE(started.ok) << "the POP3 test server cannot run: " << started.error.toStdString();
        addAccount(QStringLiteral("Asha"), QStringLiteral("Secret"), 10);
        poller.initialise();
        poller.applySettings(settings());
    }

    RuntimeSettings settings(const QString &password = QStringLiteral("secret")) const
    {
        RuntimeSettings s;
        s.POP3MailServer = QStringLiteral("127.0.0.1");
        s.POP3Port = server.port();
        s.POP3UserName = server.userName();
        s.POP3Password = password;
        s.EmailCheckInterval = QStringLiteral("3600");
        s.WebMailToSMSEnabled = true;
        s.webMailTimerMs = 3600 * 1000; // never fires on its own here; tests tick by hand
        return s;
    }

    void addAccount(const QString &user, const QString &password, int credits)
    {
        db.exec(QStringLiteral("INSERT INTO SMS_UserAccounts (SMSUserName,SMSPassword,SMSFromName,SMSBalanceCredits) "
                               "VALUES (?,?,?,?)"),
                {user, password, QString(user + QStringLiteral(" Travels")), credits});
    }

    void deliver(const QByteArray &raw)
    {
        const Status s = server.deliver(raw);
        ASSERT_TRUE(s.ok) << s.error.toStdString();
    }

    QStringList poll()
    {
        log.clear();
        poller.tick();
        return logEntries(log);
    }

    QVariantMap account(const QString &user)
    {
        auto row = sql::firstRow(db.db(), QStringLiteral("SELECT * FROM SMS_UserAccounts WHERE SMSUserName=?"), {user});
        return row.ok() && row.value() ? *row.value() : QVariantMap();
    }
    QVector<QVariantMap> rows(const QString &table)
    {
        QVector<QVariantMap> out;
        auto q = sql::run(db.db(), QStringLiteral("SELECT * FROM ") + table);
        while (q.ok() && q.value().next())
            out.append(sql::rowOf(q.value()));
        return out;
    }
    QVector<OutboxRow> outbox() { return OutboxRepository(db.db()).pending().value(); }

    test::DovecotServer server;
    test::TempDatabase db;
    test::ManualClock clock;
    ActivityLog log{clock};
    test::PromptRecorder prompt;
    WebmailPoller poller{EngineContext{db.path(), &log, &prompt, &clock}};
};

TEST_F(WebmailPollerTest, EmptyMailboxReportsTheCountOnly)
{
    EXPECT_EQ(poll(), QStringList({kChecking, total(0)}));
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(WebmailPollerTest, ValidCommandIsQueuedChargedStoredAndDeleted)
{
    deliver(plainEmail(tagged("Asha", "Secret", "98100-12345, 98100 54321", "Meet at 5\r\nRoom 4"), "Booking",
                       "Tue, 05 Dec 2006 10:20:30 +0530"));

    EXPECT_EQ(poll(), QStringList({kChecking, total(1), parsing(1), queuedLine(QStringLiteral("Asha"), "9810012345"),
                                   queuedLine(QStringLiteral("Asha"), "9810054321"), QStringLiteral("Success")}));

    const auto queued = outbox();
    ASSERT_EQ(queued.size(), 2);
    EXPECT_EQ(queued[0].message, QStringLiteral("Meet at 5\nRoom 4"));
    EXPECT_EQ(queued[1].smsFromName, QStringLiteral("Asha Travels"));
    EXPECT_EQ(account(QStringLiteral("Asha")).value(QStringLiteral("SMSBalanceCredits")).toInt(), 8);
    EXPECT_EQ(account(QStringLiteral("Asha")).value(QStringLiteral("SMSBalanceCreditsUpdatedOn")).toString(),
              QStringLiteral("2026-12-05 05:11:00"));

    const auto stored = rows(QStringLiteral("WebMailToSMS_MessagesReceived"));
    ASSERT_EQ(stored.size(), 1);
    const QVariantMap &row = stored[0];
    EXPECT_EQ(row.value(QStringLiteral("EmailFromName")).toString(), QStringLiteral("Asha Rao"));
    EXPECT_EQ(row.value(QStringLiteral("EmailFromAddress")).toString(), QStringLiteral("asha@example.com"));
    EXPECT_EQ(row.value(QStringLiteral("EmailSubject")).toString(), QStringLiteral("Booking"));
    EXPECT_EQ(row.value(QStringLiteral("EmailDateTime")).toString(), QStringLiteral("2006-12-05 10:20:30"));
    EXPECT_EQ(row.value(QStringLiteral("EmailContentType")).toString(), QStringLiteral("text/plain"));
    EXPECT_TRUE(
        row.value(QStringLiteral("EmailTextMessage")).toString().startsWith(QLatin1String("<SMSUSERNAME>Asha")));
    EXPECT_EQ(row.value(QStringLiteral("MessageReceivedOn")).toString(), QStringLiteral("2026-12-05 05:11:00"));
    EXPECT_EQ(row.value(QStringLiteral("IsEmailSentToSMS")).toInt(), 1);
    EXPECT_TRUE(row.value(QStringLiteral("ReasonForNotSendingSMS")).isNull());

    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_EQ(poll(), QStringList({kChecking, total(0)}));
    EXPECT_TRUE(rows(QStringLiteral("WebMailToSMS_ProcessedUidl")).isEmpty()) << "deleted mail is forgotten";
    EXPECT_EQ(outbox().size(), 2);
}

TEST_F(WebmailPollerTest, RefusedCommandsAreStoredWithTheirReasonAndDeleted)
{
    addAccount(QStringLiteral("Bala"), QStringLiteral("pw"), 2);
    struct Case
    {
        QByteArray body;
        QString outcome;
    };
    const Case cases[] = {
        {tagged("Asha", "Secret", "", "no numbers"), QStringLiteral("Incoming email is not in valid syntax")},
        {tagged("Nobody", "Secret", "1", "m"),
         QStringLiteral("**WARNING** SMS user authentication failed for SMSUserName 'Nobody'")},
        {tagged("Asha", "wrong", "1", "m"),
         QStringLiteral("**WARNING** SMS user authentication failed for SMSUserName 'Asha'")},
        {tagged("Bala", "pw", "111,222,333", "three"),
         QStringLiteral("**WARNING** SMSUserName 'Bala' does not have enough balance credits to send SMS")},
    };
    for (const Case &c : cases)
        deliver(plainEmail(c.body));

    const QStringList entries = poll();
    EXPECT_EQ(entries,
              QStringList({kChecking, total(4), parsing(1), cases[0].outcome, parsing(2), cases[1].outcome, parsing(3),
                           cases[2].outcome, parsing(4), queuedLine(QStringLiteral("Bala"), QStringLiteral("111")),
                           queuedLine(QStringLiteral("Bala"), QStringLiteral("222")), cases[3].outcome}));

    const auto stored = rows(QStringLiteral("WebMailToSMS_MessagesReceived"));
    ASSERT_EQ(stored.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(stored[i].value(QStringLiteral("IsEmailSentToSMS")).toInt(), 0);
        EXPECT_EQ(stored[i].value(QStringLiteral("ReasonForNotSendingSMS")).toString(), cases[i].outcome);
    }
    EXPECT_EQ(outbox().size(), 2) << "rows queued before the credits ran out stay";
    EXPECT_EQ(account(QStringLiteral("Bala")).value(QStringLiteral("SMSBalanceCredits")).toInt(), 0);
    EXPECT_FALSE(account(QStringLiteral("Bala")).value(QStringLiteral("SMSBalanceCreditsUpdatedOn")).isNull());
    EXPECT_EQ(account(QStringLiteral("Asha")).value(QStringLiteral("SMSBalanceCredits")).toInt(), 10);
    EXPECT_EQ(server.messageCount(), 0);
}

TEST_F(WebmailPollerTest, BodiesAreDecodedAndDatesKeptAsWritten)
{
    deliver("From: =?ISO-8859-1?Q?Jos=E9?= <jose@example.com>\r\n"
            "Subject: SMS\r\nDate: Sun, 7 Feb 2010 14:02:38 -0800 (PST)\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/alternative; boundary=\"xx\"\r\n\r\n"
            "--xx\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
            "<p>&lt;smsusername&gt;Asha&lt;/smsusername&gt;</p>\r\n"
            "--xx\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
            tagged("Asha", "Secret", "111", "Grüße aus Köln").toBase64() + "\r\n--xx--\r\n");
    deliver("From: jose@example.com\r\nSubject: SMS\r\nDate: 5 Dec 2006 23:20:30 EST\r\n"
            "Content-Type: text/plain; charset=ISO-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
            "<smsusername>Asha</smsusername><smspassword>Secret</smspassword>\r\n"
            "<tomobilenumbers>222</tomobilenumbers><message>Caf=E9 at 5, =\r\nsee you</message>\r\n");
    deliver(plainEmail(tagged("Asha", "Secret", "333", "m"), "SMS", "sometime last week"));

    poll();
    const auto queued = outbox();
    ASSERT_EQ(queued.size(), 3);
    EXPECT_EQ(queued[0].message, QStringLiteral("Grüße aus Köln"));
    EXPECT_EQ(queued[1].message, QStringLiteral("Café at 5, see you"));

    const auto stored = rows(QStringLiteral("WebMailToSMS_MessagesReceived"));
    ASSERT_EQ(stored.size(), 3);
    EXPECT_EQ(stored[0].value(QStringLiteral("EmailFromName")).toString(), QStringLiteral("José"));
    EXPECT_EQ(stored[0].value(QStringLiteral("EmailContentType")).toString(), QStringLiteral("multipart/alternative"));
    EXPECT_EQ(stored[0].value(QStringLiteral("EmailDateTime")).toString(), QStringLiteral("2010-02-07 14:02:38"));
    EXPECT_EQ(stored[1].value(QStringLiteral("EmailDateTime")).toString(), QStringLiteral("2006-12-05 23:20:30"));
    EXPECT_TRUE(stored[2].value(QStringLiteral("EmailDateTime")).isNull());
    EXPECT_EQ(stored[2].value(QStringLiteral("IsEmailSentToSMS")).toInt(), 1);
}

TEST_F(WebmailPollerTest, EmailWithoutTextBodyIsLeftAloneAndNotLogged)
{
    deliver("From: x@example.com\r\nSubject: html\r\nContent-Type: text/html\r\n\r\n"
            "<p>&lt;smsusername&gt;Asha&lt;/smsusername&gt;</p>\r\n");
    deliver(plainEmail(tagged("Asha", "Secret", "1", "m")));

    EXPECT_EQ(poll(), QStringList({kChecking, total(2), parsing(2), queuedLine(QStringLiteral("Asha"), "1"),
                                   QStringLiteral("Success")}));
    EXPECT_EQ(rows(QStringLiteral("WebMailToSMS_MessagesReceived")).size(), 1);
    EXPECT_EQ(server.messageCount(), 1);

    EXPECT_EQ(poll(), QStringList({kChecking, total(1)}));
    const auto remembered = rows(QStringLiteral("WebMailToSMS_ProcessedUidl"));
    ASSERT_EQ(remembered.size(), 1);
    EXPECT_TRUE(remembered[0].value(QStringLiteral("MessagesReceivedId")).isNull());
    EXPECT_EQ(server.messageCount(), 1);
}

TEST_F(WebmailPollerTest, MailboxFailuresLogTheErrorWithNumberAndDescription)
{
    deliver(plainEmail(tagged("Asha", "Secret", "1", "m")));
    QTcpServer silent; // the kernel accepts its connections, but it never greets
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    int closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    poller.setExchangeTimeoutMs(1000);
    struct Case
    {
        const char *name;
        int port;
        QString password;
        QString error;
    };
    const Case cases[] = {
        {"wrongPassword", server.port(), QStringLiteral("not-the-password"),
         QStringLiteral("67: Login denied (-ERR [AUTH] Authentication failed.)")},
        {"silentServer", int(silent.serverPort()), server.password(), QStringLiteral("28: ")},
        {"nothingListening", closedPort, server.password(), QStringLiteral("7: ")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RuntimeSettings s = settings(c.password);
        s.POP3Port = c.port;
        poller.applySettings(s);
        QElapsedTimer waited;
        waited.start();
        const QStringList entries = poll();
        EXPECT_LT(waited.elapsed(), 5000);
        ASSERT_EQ(entries.size(), 2);
        EXPECT_EQ(entries[0], kChecking);
        EXPECT_TRUE(entries[1].startsWith(kPop3ErrorStart + c.error)) << entries[1].toStdString();
        EXPECT_FALSE(log.text().contains(QLatin1String("not-the-password")));
    }
    EXPECT_TRUE(outbox().isEmpty());
    EXPECT_EQ(server.messageCount(), 1);
}

TEST_F(WebmailPollerTest, ConnectionCutAfterCommitNeverChargesTwice)
{
    deliver(plainEmail(tagged("Asha", "Secret", "111,222", "once only")));
    poller.setAfterCommitHook([this](int) { server.kill(); });

    const QStringList first = poll();
    ASSERT_EQ(first.size(), 7);
    EXPECT_EQ(first[5], QStringLiteral("Success"));
    EXPECT_TRUE(first[6].startsWith(kPop3ErrorStart)) << first[6].toStdString();
    EXPECT_EQ(outbox().size(), 2);
    EXPECT_EQ(server.messageCount(), 1) << "the delete never reached the server";

    poller.setAfterCommitHook({});
    const Status restarted = server.start();
    ASSERT_TRUE(restarted.ok) << restarted.error.toStdString();
    EXPECT_EQ(poll(), QStringList({kChecking, total(1)}));
    EXPECT_EQ(outbox().size(), 2);
    EXPECT_EQ(account(QStringLiteral("Asha")).value(QStringLiteral("SMSBalanceCredits")).toInt(), 8);
    EXPECT_EQ(rows(QStringLiteral("WebMailToSMS_MessagesReceived")).size(), 1);
    EXPECT_EQ(server.messageCount(), 0);
}

TEST_F(WebmailPollerTest, StoreFailureRollsTheEmailBackAndKeepsItInTheMailbox)
{
    db.exec(QStringLiteral("DROP TABLE WebMailToSMS_MessagesReceived"));
    deliver(plainEmail(tagged("Asha", "Secret", "111", "m")));
    deliver(plainEmail(tagged("Asha", "Secret", "222", "m")));

    EXPECT_EQ(poll(), QStringList({kChecking, total(2), parsing(1)}));
    ASSERT_EQ(prompt.texts().size(), 1);
    EXPECT_TRUE(prompt.lastText().startsWith(QLatin1String("Error 1000: "))) << prompt.lastText().toStdString();
    EXPECT_EQ(prompt.requests().constLast().icon, Prompt::Icon::Critical);
    EXPECT_TRUE(outbox().isEmpty());
    EXPECT_EQ(account(QStringLiteral("Asha")).value(QStringLiteral("SMSBalanceCredits")).toInt(), 10);
    EXPECT_TRUE(rows(QStringLiteral("WebMailToSMS_ProcessedUidl")).isEmpty());
    EXPECT_EQ(server.messageCount(), 2);
}

TEST_F(WebmailPollerTest, SwitchedOffTickLogsNothingAndStopsTheTimer)
{
    deliver(plainEmail(tagged("Asha", "Secret", "1", "m")));
    EXPECT_TRUE(poller.timer().isActive());
    RuntimeSettings off = settings();
    off.WebMailToSMSEnabled = false;
    off.webMailTimerMs = 0;
    poller.applySettings(off);
    EXPECT_FALSE(poller.timer().isActive());
    EXPECT_TRUE(poll().isEmpty());
    EXPECT_EQ(server.messageCount(), 1);
}

TEST_F(WebmailPollerTest, HostPollsOnItsOwnThreadFromTheTimer)
{
    deliver(plainEmail(tagged("Asha", "Secret", "1", "m")));
    WebmailHost host(EngineContext{db.path(), &log, &prompt, &clock});
    QSignalSpy polled(host.poller(), &WebmailPoller::pollFinished);
    host.start();
    RuntimeSettings fast = settings();
    fast.webMailTimerMs = 50;
    host.applySettings(fast);

    ASSERT_TRUE(polled.wait(10000));
    const auto summary = polled.takeFirst().at(0).value<WebmailPollSummary>();
    EXPECT_EQ(summary.inMailbox, 1);
    EXPECT_EQ(summary.stored, 1);
    EXPECT_EQ(host.poller()->thread()->objectName(), QStringLiteral("webmail"));
    host.stop();
    EXPECT_EQ(outbox().size(), 1);
    EXPECT_EQ(server.messageCount(), 0);
}

} // namespace
} // namespace parlix

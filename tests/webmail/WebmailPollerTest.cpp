#include "webmail/WebmailPoller.h"

#include "core/ActivityLog.h"
#include "store/OutboxRepository.h"
#include "store/Query.h"
#include "support/BackendTest.h"
#include "support/ManualClock.h"
#include "support/MessageTestData.h"
#include "support/PromptRecorder.h"
#include "support/TempDatabase.h"
#include "testservers/DovecotServer.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace parlix {
namespace {

// The activity log as entries, oldest first, without their "[date] : " prefix. An entry may
// span lines (the POP3 error line does), so entries are split where a new "[" line begins.
QStringList logEntries(const ActivityLog &log)
{
    static const QRegularExpression entryStart("(?:^|\\r\\n)\\[[^\\]]*\\] : ");
    QStringList newestFirst = log.text().split(entryStart, Qt::SkipEmptyParts);
    QStringList out;
    for (auto it = newestFirst.crbegin(); it != newestFirst.crend(); ++it) {
        QString entry = *it;
        if (entry.endsWith(QLatin1String("\r\n")))
            entry.chop(2);
        out.append(entry);
    }
    return out;
}

// A plain single-part email as an account holder's mail client would write it.
QByteArray plainEmail(const QByteArray &body, const QByteArray &subject = "SMS")
{
    return "From: \"Asha Rao\" <asha@example.com>\r\nTo: gw@example.com\r\nSubject: " + subject +
           "\r\nDate: Tue, 05 Dec 2006 10:20:30 +0530\r\nMIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" +
           body + "\r\n";
}

QByteArray tagged(const QByteArray &user, const QByteArray &password, const QByteArray &numbers,
                  const QByteArray &message)
{
    return "<SMSUSERNAME>" + user + "</SMSUSERNAME>\r\n<SMSPASSWORD>" + password +
           "</SMSPASSWORD>\r\n"
           "<TOMOBILENUMBERS>" +
           numbers + "</TOMOBILENUMBERS>\r\n<MESSAGE>" + message + "</MESSAGE>";
}

const QString kChecking = "Checking POP3 account for Webmail-to-SMS on the server: 127.0.0.1";
const QString kPop3ErrorStart = "**ERROR** WebMail - To - SMS Error While Checking For Your Emails.\r\nError No.: ";

class WebmailPollerTest : public ::testing::Test
{
protected:
    static QString total(int n) { return QStringLiteral("Total %1 new emails found.").arg(n); }
    static QString parsing(int i) { return QStringLiteral("Parsing email no. %1 contents.").arg(i); }
    static QString queuedLine(const QString &user, const QString &number)
    {
        return QStringLiteral("Webmail-To-SMS sent to Outbox from SMS Account: '%1' to mobile number '%2'")
            .arg(user, number);
    }

    void SetUp() override
    {
        const Status tls = server.enableTls();
        ASSERT_TRUE(tls.ok) << tls.error.toStdString();
        // Every poll below logs in over STLS: the password is never allowed in clear here.
        poller.setPop3Options({5000, server.caFile()});
        const Status started = server.start();
        ASSERT_TRUE(started.ok) << "the POP3 test server cannot run: " << started.error.toStdString();
        addAccount("Asha", "Secret", 10);
        poller.initialise();
        poller.applySettings(settings());
    }

    RuntimeSettings settings(const QString &password = "secret") const
    {
        RuntimeSettings s;
        s.POP3MailServer = "127.0.0.1";
        s.POP3Port = server.port();
        s.POP3UserName = server.userName();
        s.POP3Password = password;
        s.EmailCheckInterval = "3600";
        s.WebMailToSMSEnabled = true;
        s.webMailTimerMs = 3600 * 1000; // never fires on its own here; tests tick by hand
        return s;
    }

    void addAccount(const QString &user, const QString &password, int credits)
    {
        db.exec("INSERT INTO SMS_UserAccounts (SMSUserName,SMSPassword,SMSFromName,SMSBalanceCredits) "
                "VALUES (?,?,?,?)",
                {user, password, QString(user + " Travels"), credits});
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

    qint64 credits(const QString &user)
    {
        return sql::scalar(db.db(), "SELECT SMSBalanceCredits FROM SMS_UserAccounts WHERE SMSUserName=?", {user})
            .value();
    }
    QVector<QVariantMap> rows(const QString &table)
    {
        QVector<QVariantMap> out;
        auto q = sql::run(db.db(), QStringLiteral("SELECT * FROM ") + table);
        while (q.ok() && q.value().next())
            out.append(sql::rowOf(q.value()));
        return out;
    }
    QVector<OutboxRow> outbox() { return test::undeliveredOutbox(db.db()); }

    test::DovecotServer server;
    test::TempDatabase db;
    test::ManualClock clock;
    ActivityLog log{clock};
    test::PromptRecorder prompt;
    WebmailPoller poller{EngineContext{db.path(), &log, &prompt, &clock, {}}};
};

TEST_F(WebmailPollerTest, ValidCommandIsQueuedChargedStoredAndDeleted)
{
    deliver(plainEmail(tagged("Asha", "Secret", "98100-12345, 98100 54321", "Meet at 5\r\nRoom 4"), "Booking"));

    EXPECT_EQ(poll(), QStringList({kChecking, total(1), parsing(1), queuedLine("Asha", "9810012345"),
                                   queuedLine("Asha", "9810054321"), "Success"}));

    const auto queued = outbox();
    ASSERT_EQ(queued.size(), 2);
    EXPECT_EQ(queued[0].message, "Meet at 5\nRoom 4");
    EXPECT_EQ(queued[1].smsFromName, "Asha Travels");
    EXPECT_EQ(credits("Asha"), 8);
    EXPECT_EQ(rows("SMS_UserAccounts")[0].value("SMSBalanceCreditsUpdatedOn").toString(), "2026-12-05 05:11:00");

    const auto stored = rows("WebMailToSMS_MessagesReceived");
    ASSERT_EQ(stored.size(), 1);
    const QVariantMap &row = stored[0];
    QStringList columns;
    for (const char *column : {"EmailFromName", "EmailFromAddress", "EmailSubject", "EmailDateTime", "EmailContentType",
                               "MessageReceivedOn", "IsEmailSentToSMS"})
        columns << row.value(QLatin1String(column)).toString();
    EXPECT_EQ(columns, QStringList({"Asha Rao", "asha@example.com", "Booking", "2006-12-05 10:20:30", "text/plain",
                                    "2026-12-05 05:11:00", "1"}));
    EXPECT_TRUE(row.value("EmailTextMessage").toString().startsWith(QLatin1String("<SMSUSERNAME>Asha")));
    EXPECT_TRUE(row.value("ReasonForNotSendingSMS").isNull());

    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_EQ(poll(), QStringList({kChecking, total(0)}));
    EXPECT_TRUE(rows("WebMailToSMS_ProcessedUidl").isEmpty()) << "deleted mail is forgotten";
    EXPECT_EQ(outbox().size(), 2);

    // An account added while running serves the next poll.
    addAccount("Ravi", "pw", 1);
    deliver(plainEmail(tagged("Ravi", "pw", "1", "m")));
    EXPECT_EQ(poll().last(), "Success");
}

TEST_F(WebmailPollerTest, RefusedCommandsAreStoredWithTheirReasonAndDeleted)
{
    addAccount("Bala", "pw", 2);
    struct Case
    {
        QByteArray body;
        QString outcome;
    };
    // Every refusal is the command's (tested there); two kinds show what the poller does with one.
    const Case cases[] = {
        {tagged("Asha", "wrong", "1", "m"), "**WARNING** SMS user authentication failed for SMSUserName 'Asha'"},
        {tagged("Bala", "pw", "111,222,333", "three"),
         "**WARNING** SMSUserName 'Bala' does not have enough balance credits to send SMS"},
    };
    for (const Case &c : cases)
        deliver(plainEmail(c.body));

    EXPECT_EQ(poll(), QStringList({kChecking, total(2), parsing(1), cases[0].outcome, parsing(2),
                                   queuedLine("Bala", "111"), queuedLine("Bala", "222"), cases[1].outcome}));

    const auto stored = rows("WebMailToSMS_MessagesReceived");
    ASSERT_EQ(stored.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(stored[i].value("IsEmailSentToSMS").toInt(), 0);
        EXPECT_EQ(stored[i].value("ReasonForNotSendingSMS").toString(), cases[i].outcome);
    }
    EXPECT_EQ(outbox().size(), 2) << "rows queued before the credits ran out stay";
    EXPECT_EQ(credits("Bala"), 0);
    EXPECT_EQ(server.messageCount(), 0);
}

// Decoding and dates are the parser's (tested there). The poller queues the decoded text,
// stores what it could not read as null, and leaves an email without a text body alone.
TEST_F(WebmailPollerTest, DecodedTextIsQueuedAndAnEmailWithoutTextLeftAlone)
{
    deliver("From: x@example.com\r\nSubject: html\r\nContent-Type: text/html\r\n\r\n"
            "<p>&lt;smsusername&gt;Asha&lt;/smsusername&gt;</p>\r\n");
    deliver("From: =?ISO-8859-1?Q?Jos=E9?= <jose@example.com>\r\n"
            "Subject: SMS\r\nDate: sometime last week\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/alternative; boundary=\"xx\"\r\n\r\n"
            "--xx\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
            "<p>&lt;smsusername&gt;Asha&lt;/smsusername&gt;</p>\r\n"
            "--xx\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
            tagged("Asha", "Secret", "111", "Grüße aus Köln").toBase64() + "\r\n--xx--\r\n");

    EXPECT_EQ(poll(), QStringList({kChecking, total(2), parsing(2), queuedLine("Asha", "111"), "Success"}));
    const auto queued = outbox();
    ASSERT_EQ(queued.size(), 1);
    EXPECT_EQ(queued[0].message, "Grüße aus Köln");
    const auto stored = rows("WebMailToSMS_MessagesReceived");
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].value("EmailFromName").toString(), "José");
    EXPECT_EQ(stored[0].value("EmailContentType").toString(), "multipart/alternative");
    EXPECT_TRUE(stored[0].value("EmailDateTime").isNull());
    EXPECT_EQ(server.messageCount(), 1);

    EXPECT_EQ(poll(), QStringList({kChecking, total(1)}));
    const auto remembered = rows("WebMailToSMS_ProcessedUidl");
    ASSERT_EQ(remembered.size(), 1);
    EXPECT_TRUE(remembered[0].value("MessagesReceivedId").isNull());
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
        {"wrongPassword", server.port(), "not-the-password", "67: Login denied (-ERR [AUTH] Authentication failed.)"},
        {"silentServer", int(silent.serverPort()), server.password(), "28: "},
        {"nothingListening", closedPort, server.password(), "7: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RuntimeSettings s = settings(c.password);
        s.POP3Port = c.port;
        poller.applySettings(s);
        const QStringList entries = poll();
        ASSERT_EQ(entries.size(), 2);
        EXPECT_EQ(entries[0], kChecking);
        EXPECT_TRUE(entries[1].startsWith(kPop3ErrorStart + c.error)) << entries[1].toStdString();
        EXPECT_FALSE(log.text().contains(QLatin1String("not-the-password")));
    }
    EXPECT_TRUE(outbox().isEmpty());
    EXPECT_EQ(server.messageCount(), 1);
}

TEST_F(WebmailPollerTest, PasswordGoesInClearOnlyWhenTheOperatorAllowsIt)
{
    test::DovecotServer plain; // offers no STLS
    const Status started = plain.start();
    ASSERT_TRUE(started.ok) << started.error.toStdString();
    ASSERT_TRUE(plain.deliver(plainEmail(tagged("Asha", "Secret", "1", "m"))).ok);

    for (const bool allowed : {false, true}) {
        SCOPED_TRACE(allowed);
        RuntimeSettings s = settings();
        s.POP3Port = plain.port();
        s.POP3AllowClearTextLogin = allowed;
        poller.applySettings(s);
        const QStringList entries = poll();
        if (allowed) {
            EXPECT_EQ(entries.last(), "Success");
            EXPECT_EQ(plain.messageCount(), 0);
        } else {
            ASSERT_EQ(entries.size(), 2);
            EXPECT_TRUE(entries[1].startsWith(kPop3ErrorStart) && entries[1].contains("IsPOP3ClearTextLoginAllowed") &&
                        entries[1].contains("Allow the password to be sent without encryption"))
                << entries[1].toStdString();
            EXPECT_EQ(plain.messageCount(), 1);
            EXPECT_TRUE(outbox().isEmpty());
        }
    }
}

TEST_F(WebmailPollerTest, EmailOverTheSizeLimitIsSkippedOnceAndNeverRead)
{
    RuntimeSettings s = settings();
    s.MaxEmailSizeKB = 1;
    poller.applySettings(s);
    deliver(plainEmail(tagged("Asha", "Secret", "1", "before")));
    deliver(plainEmail(tagged("Asha", "Secret", "2", QByteArray(3000, 'x'))));
    deliver(plainEmail(tagged("Asha", "Secret", "3", "after")));

    const QStringList first = poll();
    const QString warning = "**WARNING** Email no. 2 is larger than the limit of 1 KB (4 KB) and is "
                            "skipped; it stays in the mailbox.";
    EXPECT_EQ(first.count(warning), 1) << first.join('\n').toStdString();
    EXPECT_EQ(first.count("Success"), 2);
    QStringList numbers;
    for (const OutboxRow &row : outbox())
        numbers << row.recipientMobileNo;
    EXPECT_EQ(numbers, QStringList({"1", "3"}));
    EXPECT_EQ(server.messageCount(), 1);

    EXPECT_EQ(poll(), QStringList({kChecking, total(1)}));
    EXPECT_EQ(credits("Asha"), 8);

    // Switched off, a tick logs nothing and the timer stops.
    s.WebMailToSMSEnabled = false;
    s.webMailTimerMs = 0;
    poller.applySettings(s);
    EXPECT_FALSE(poller.timer().isActive());
    EXPECT_TRUE(poll().isEmpty());
}

TEST_F(WebmailPollerTest, ConnectionCutAfterCommitNeverChargesTwice)
{
    deliver(plainEmail(tagged("Asha", "Secret", "111,222", "once only")));
    poller.setAfterCommitHook([this](int) { server.kill(); });

    const QStringList first = poll();
    ASSERT_EQ(first.size(), 7);
    EXPECT_EQ(first[5], "Success");
    EXPECT_TRUE(first[6].startsWith(kPop3ErrorStart)) << first[6].toStdString();
    EXPECT_EQ(outbox().size(), 2);
    EXPECT_EQ(server.messageCount(), 1) << "the delete never reached the server";

    poller.setAfterCommitHook({});
    const Status restarted = server.start();
    ASSERT_TRUE(restarted.ok) << restarted.error.toStdString();
    EXPECT_EQ(poll(), QStringList({kChecking, total(1)}));
    EXPECT_EQ(outbox().size(), 2);
    EXPECT_EQ(credits("Asha"), 8);
    EXPECT_EQ(rows("WebMailToSMS_MessagesReceived").size(), 1);
    EXPECT_EQ(server.messageCount(), 0);
}

TEST_F(WebmailPollerTest, StoreFailureRollsTheEmailBackAndKeepsItInTheMailbox)
{
    db.exec("DROP TABLE WebMailToSMS_MessagesReceived");
    deliver(plainEmail(tagged("Asha", "Secret", "111", "m")));
    deliver(plainEmail(tagged("Asha", "Secret", "222", "m")));

    EXPECT_EQ(poll(), QStringList({kChecking, total(2), parsing(1)}));
    ASSERT_EQ(prompt.texts().size(), 1);
    EXPECT_TRUE(prompt.lastText().startsWith(QLatin1String("Error 1000: "))) << prompt.lastText().toStdString();
    EXPECT_EQ(prompt.requests().constLast().icon, Prompt::Icon::Critical);
    EXPECT_TRUE(outbox().isEmpty());
    EXPECT_EQ(credits("Asha"), 10);
    EXPECT_TRUE(rows("WebMailToSMS_ProcessedUidl").isEmpty());
    EXPECT_EQ(server.messageCount(), 2);
}

TEST_F(WebmailPollerTest, HostPollsOnItsOwnThreadFromTheTimer)
{
    deliver(plainEmail(tagged("Asha", "Secret", "1", "m")));
    WebmailHost host(EngineContext{db.path(), &log, &prompt, &clock, {}});
    QSignalSpy polled(host.poller(), &WebmailPoller::pollFinished);
    host.poller()->setPop3Options({5000, server.caFile()}); // before its thread runs
    host.start();
    RuntimeSettings fast = settings();
    fast.webMailTimerMs = 50;
    host.applySettings(fast);

    ASSERT_TRUE(polled.wait(10000));
    const auto summary = polled.takeFirst().at(0).value<WebmailPollSummary>();
    EXPECT_EQ(summary.inMailbox, 1);
    EXPECT_EQ(summary.stored, 1);
    host.stop();
    EXPECT_EQ(outbox().size(), 1);
    EXPECT_EQ(server.messageCount(), 0);
}

// ---- several stations on one database -----------------------------------------------------------

constexpr int kIntervalSecs = 60;

// One running Parlix as far as the webmail is concerned: its poller, log and prompt.
struct Station
{
    Station(const QString &database, const QString &name, const Clock &clock)
        : log(clock)
        , poller(EngineContext{database, &log, &prompt, &clock, {}}, name)
    {
        poller.initialise();
    }
    // The tick's log; whether it reached the mailbox shows in it.
    QString tick()
    {
        log.clear();
        poller.tick();
        return log.text();
    }
    bool polled() { return tick().contains(QLatin1String("Checking POP3 account")); }

    ActivityLog log;
    test::PromptRecorder prompt;
    WebmailPoller poller;
};

class WebmailStationsTest : public test::BackendTest
{
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        const Status started = server.start();
        ASSERT_TRUE(started.ok) << "the POP3 test server cannot run: " << started.error.toStdString();
        t.exec("INSERT INTO SMS_UserAccounts (SMSUserName,SMSPassword,SMSBalanceCredits) "
               "VALUES ('Asha','Secret',10)");
        RuntimeSettings s;
        s.POP3MailServer = "127.0.0.1";
        s.POP3Port = server.port();
        s.POP3UserName = server.userName();
        s.POP3Password = server.password();
        s.POP3AllowClearTextLogin = true;
        s.WebMailToSMSEnabled = true;
        s.webMailTimerMs = kIntervalSecs * 1000;
        for (Station *station : {&north, &south})
            station->poller.applySettings(s);
    }

    // What a station's process dying does to its hold: on PostgreSQL the server ends its
    // session (waiting up to 5 s for it to end); on SQLite nothing, the lease only stops being
    // renewed.
    void killNorth()
    {
        if (onPostgres())
            t.exec("SELECT pg_terminate_backend(pid, 5000) FROM pg_locks WHERE locktype='advisory' "
                   "AND database=(SELECT oid FROM pg_database WHERE datname=current_database())");
    }

    test::DovecotServer server;
    test::ManualClock clock;
    Station north{t.path(), "north", clock};
    Station south{t.path(), "south", clock};
};

TEST_P(WebmailStationsTest, OneStationPollsAndAnotherTakesOverWithinAnIntervalOfItsStop)
{
    EXPECT_TRUE(north.polled());
    EXPECT_EQ(south.tick().count(QLatin1String("station north checks the mailbox; this station skips it.")), 1);
    clock.advanceSecs(kIntervalSecs);
    EXPECT_TRUE(north.polled());
    EXPECT_TRUE(south.tick().isEmpty()) << "the holder is named once";

    killNorth();
    bool tookOver = false;
    for (int tick = 0; tick < 2 && !tookOver; ++tick) { // the tick north missed, then the next
        clock.advanceSecs(kIntervalSecs);
        const QString log = south.tick();
        tookOver = log.contains(QLatin1String("Checking POP3 account"));
        if (tookOver) {
            EXPECT_TRUE(log.contains(QLatin1String("this station (south) checks the mailbox now.")));
        }
    }
    EXPECT_TRUE(tookOver);
    if (!onPostgres()) { // north's session lives on; a lease it still thinks it has is gone
        EXPECT_FALSE(north.polled());
    }
}

// The holder loses its hold right after charging the first email (its lease ran out, or its
// session ended); the station taking over finds the mailbox as the holder left it.
TEST_P(WebmailStationsTest, EachEmailIsChargedOnceWhenTheHolderStopsInTheMiddleOfAPoll)
{
    for (const char *number : {"111", "222", "333"})
        ASSERT_TRUE(server.deliver(plainEmail(tagged("Asha", "Secret", number, "m"))).ok);
    north.poller.setAfterCommitHook([this](int number) {
        if (number != 1)
            return;
        killNorth();
        clock.advanceSecs(3 * kIntervalSecs);
        EXPECT_TRUE(south.polled());
    });
    north.tick();
    south.tick();

    QStringList numbers;
    auto q = sql::run(t.db(), "SELECT RecipientMobileNo FROM Message_OutBox ORDER BY 1");
    while (q && q.value().next())
        numbers << q.value().value(0).toString();
    EXPECT_EQ(numbers, QStringList({"111", "222", "333"}));
    EXPECT_EQ(sql::scalar(t.db(), "SELECT SMSBalanceCredits FROM SMS_UserAccounts").value(), 7);
    EXPECT_EQ(server.messageCount(), 0);
}

PARLIX_ON_BOTH_BACKENDS(WebmailStationsTest);

} // namespace
} // namespace parlix

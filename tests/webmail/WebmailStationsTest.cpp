#include "webmail/WebmailPoller.h"

#include "WebmailTestSupport.h"
#include "store/Query.h"
#include "support/BackendTest.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "testservers/DovecotServer.h"

#include <gtest/gtest.h>

#include <memory>

namespace parlix {
namespace {

using test::plainEmail;
using test::tagged;

constexpr int kIntervalSecs = 60;

// One running Parlix as far as the webmail is concerned: its poller, log and prompt.
struct Station
{
    Station(const QString &database, const QString &name, const Clock &clock)
        : log(clock)
        , poller(EngineContext{database, &log, &prompt, &clock}, name)
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

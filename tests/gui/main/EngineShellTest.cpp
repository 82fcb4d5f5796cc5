// The shell over the real engine thread and the modem simulator: the connect toggle follows
// the engine, and the windows stay responsive while the engine waits for a silent modem.
#include "../EngineWindowFixture.h"
#include "gui/common/WaitWindow.h"
#include "gui/messages/MessageBoxWindow.h"
#include "store/OutboxRepository.h"

#include <QElapsedTimer>
#include <QTimer>

namespace parlix::test {
namespace {

class EngineShellTest : public EngineWindowFixture
{
protected:
    bool waitForLog(const QString &text, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return log.text().contains(text); }, ms);
    }
    void expectShownConnected(bool connected)
    {
        EXPECT_EQ(window->showsConnected(), connected);
        EXPECT_EQ(action("tbConnect")->text(), connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
        EXPECT_EQ(action("start")->isEnabled(), !connected);
        EXPECT_EQ(action("mnustop")->isEnabled(), connected);
    }
};

// How the connection itself behaves is the engine's (tested there); the toggle must follow it.
TEST_F(EngineShellTest, ToggleFollowsConnectFailedConnectAndDisconnect)
{
    startSimulator();
    useModemAt(modem.devicePath());
    openWindow(); // the load connects
    ASSERT_TRUE(waitForConnected()) << log.text().toStdString();
    expectShownConnected(true);

    action("tbConnect")->trigger();
    ASSERT_TRUE(waitForConnected(false));
    expectShownConnected(false);

    // A port that is not there: the button stays "Connect".
    useModemAt(QStringLiteral("/dev/parlix-no-such-modem"));
    prompt.scriptAnswers({false}); // "No modem found …": do not open the settings
    action("start")->trigger();
    ASSERT_TRUE(waitForLog(QStringLiteral("Connection to GSM modem failed.")));
    expectShownConnected(false);
    // Yes to it while the window sits in the tray: the window comes back with the settings on it.
    window->hide();
    prompt.scriptAnswers({true});
    action("tbConnect")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChild<QWidget *>("frm_Settings") != nullptr; }, 5000));
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());
    EXPECT_TRUE(window->findChild<QWidget *>("frm_Settings")->isVisible());
    expectShownConnected(false);
}

TEST_F(EngineShellTest, ToolbarExitDisconnectsBeforeTheEnd)
{
    openConnected();
    QSignalSpy quit(window.get(), &MainWindow::quitRequested);
    action("tbExit")->trigger();
    EXPECT_EQ(quit.count(), 1);
    // The engine has stopped by now, after its disconnect command.
    EXPECT_TRUE(log.text().contains(QStringLiteral("GSM Modem disconnected.")));
}

TEST_F(EngineShellTest, WindowsKeepWorkingWhileTheEngineWaitsForASilentModem)
{
    startSimulator();
    // ATE0 gets no answer; with the delay factor 20 the engine waits a few seconds on its
    // thread before it gives up.
    modem.failNext(QStringLiteral("ATE0"), {sim::ModemSimulator::Fault::Silence, 0}, -1);
    useModemAt(modem.devicePath(), 20, QStringLiteral("TEXT"));
    openWindow();
    ASSERT_TRUE(waitForLog(QStringLiteral("Connection to GSM Modem successful.")));

    // The GUI thread's own timer goes on ticking at its pace.
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestGap = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    beat.start(20);

    // A menu command opens its window at once, while the engine still waits for the modem.
    QElapsedTimer opening;
    opening.start();
    action("mnuSMSMessageBox")->trigger();
    EXPECT_NE(window->openedWindow(WindowEntry::MessageBox), nullptr);
    EXPECT_LT(opening.elapsed(), 1000);
    EXPECT_FALSE(log.text().contains(QStringLiteral("Response for ATE0")));

    // The engine gives up in the end; as before, the port is shown connected. The timer ticked
    // all along: a frozen window would show the whole wait, several seconds.
    EXPECT_TRUE(waitForLog(QStringLiteral("Response for ATE0"), 10000));
    EXPECT_LT(longestGap, 1500);
    EXPECT_TRUE(waitForConnected());
}

// Receive All is the keyword reply test's; Send All shows the folder counts after the engine's pass.
TEST_F(EngineShellTest, SendAllGoesThroughTheEngine)
{
    startSimulator();
    useModemAt(modem.devicePath(), 1, QStringLiteral("TEXT"));
    OutboxRepository(db.db()).insertPending(QStringLiteral("+447700900123"), QStringLiteral("out we go"), clock.now());
    openWindow();
    ASSERT_TRUE(waitForConnected());
    ASSERT_TRUE(waitForLog(QStringLiteral("AT+CMGF=1")));

    action("tbMessageBox")->trigger();
    auto *box = qobject_cast<MessageBoxWindow *>(window->openedWindow(WindowEntry::MessageBox));
    ASSERT_NE(box, nullptr);
    auto *tree = box->findChild<QTreeWidget *>(QStringLiteral("TreeView1"));
    EXPECT_EQ(tree->topLevelItem(0)->child(1)->text(0), QStringLiteral("Outbox(1)"));

    box->findChild<QAction *>(QStringLiteral("tbSendAll"))->trigger();
    auto *wait = box->findChild<WaitWindow *>();
    ASSERT_NE(wait, nullptr);
    EXPECT_TRUE(wait->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !wait->isVisible(); }, 10000)) << log.text().toStdString();
    EXPECT_EQ(tree->topLevelItem(0)->child(1)->text(0), QStringLiteral("Outbox"));
    ASSERT_EQ(modem.sentMessages().size(), 1);
    EXPECT_EQ(modem.sentMessages().first().text, QStringLiteral("out we go"));
}

} // namespace
} // namespace parlix::test

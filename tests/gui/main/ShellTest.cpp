// The operator shell without the engine: menus and toolbar, the load, the home page's counts,
// links and log, the tray menu, About, and the way out.
#include "../WindowFixture.h"
#include "core/ActivityLog.h"
#include "gui/common/LinkLabel.h"
#include "gui/main/AboutWindow.h"
#include "gui/main/HomePage.h"
#include "gui/main/MainWindow.h"
#include "gui/main/TrayIcon.h"
#include "gui/messages/MessageBoxWindow.h"
#include "store/CallRepository.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"

#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

namespace parlix::test {
namespace {

class ShellTest : public WindowFixture
{
protected:
    ShellTest()
        : log(clock)
        , window({&log, &db.conn(), nullptr, &prompt, &clock})
    {
    }
    template <typename T> T *child(const char *name) const { return window.findChild<T *>(QLatin1String(name)); }
    LinkLabel *link(const char *name) const { return child<LinkLabel>(name); }
    QString linkText(const char *name) const { return link(name)->text(); }
    void click(const char *name) { QTest::mouseClick(link(name), Qt::LeftButton); }

    ActivityLog log;
    MainWindow window;
};

TEST_F(ShellTest, LoadWritesTheInitialisingLinesAndShowsTheHomePage)
{
    ASSERT_TRUE(window.load()) << window.loadError().toStdString();
    // The start-up lines and their order are the headless start's too (tested there).
    EXPECT_TRUE(log.text().contains(QStringLiteral("Initializing Timer Properties.")));
    HomePage *home = window.homePage();
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->findChild<QLabel *>(QStringLiteral("lblToday"))->text(), QStringLiteral("05-December-2026"));
    EXPECT_FALSE(link("lblStart")->isEnabled());
    EXPECT_FALSE(link("lblStart")->font().underline());
    EXPECT_TRUE(link("lblStop")->isEnabled());
    EXPECT_TRUE(child<QAction>("start")->isEnabled());
    EXPECT_FALSE(child<QAction>("mnustop")->isEnabled());
    if (!TrayIcon::isAvailable()) {
        EXPECT_TRUE(window.isVisible()); // no tray: the window stays reachable
    }
}

TEST_F(ShellTest, CountsFollowRowsWrittenByAnotherConnection)
{
    ASSERT_TRUE(window.load());
    EXPECT_EQ(linkText("LblMissCall"), QStringLiteral("Missed Calls (0)"));
    EXPECT_EQ(linkText("lblInBox"), QStringLiteral("Inbox (0)"));
    EXPECT_EQ(linkText("lblOutBox"), QStringLiteral("Outbox (0)"));

    auto other = db.conn().openAnother();
    ASSERT_TRUE(other);
    const QSqlDatabase engineSide = other.value()->db();
    InboxRepository(engineSide).insert(QStringLiteral("1"), QStringLiteral("a"), clock.now());
    InboxRepository(engineSide).insert(QStringLiteral("2"), QStringLiteral("b"), clock.now());
    OutboxRepository outbox(engineSide);
    const qint64 waiting = outbox.insertPending(QStringLiteral("3"), QStringLiteral("c"), clock.now()).value();
    outbox.insertPending(QStringLiteral("4"), QStringLiteral("d"), clock.now());
    // "SENDING" still counts until delivered.
    outbox.claimWaiting(QStringLiteral("here"), clock.now().addSecs(300), 1, waiting);
    const qint64 sent = outbox.insertPending(QStringLiteral("5"), QStringLiteral("e"), clock.now()).value();
    outbox.markSent(sent, clock.now());
    CallRepository calls(engineSide);
    calls.insert(QStringLiteral("6"), clock.now(), true);
    calls.insert(QStringLiteral("7"), clock.now().addDays(-1), true);
    calls.insert(QStringLiteral("8"), clock.now(), false);

    EXPECT_TRUE(QTest::qWaitFor([&] { return linkText("lblInBox") == QStringLiteral("Inbox (2)"); }, 2000));
    EXPECT_EQ(linkText("lblOutBox"), QStringLiteral("Outbox (2)"));
    EXPECT_EQ(linkText("LblMissCall"), QStringLiteral("Missed Calls (1)"));
}

TEST_F(ShellTest, ActivityLogNewestFirstWithStartStopAndClear)
{
    ASSERT_TRUE(window.load());
    auto *box = child<QPlainTextEdit>("txtActivityLog");
    log.WriteActivityLog(QStringLiteral("first"));
    clock.advanceSecs(1);
    log.WriteActivityLog(QStringLiteral("second"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box->toPlainText().isEmpty(); }));
    EXPECT_TRUE(box->toPlainText().startsWith(
        QStringLiteral("[12/5/2026 5:11:01 AM] : second\n[12/5/2026 5:11:00 AM] : first")));

    click("lblStop");
    EXPECT_FALSE(log.isEnabled());
    EXPECT_TRUE(link("lblStart")->isEnabled());
    EXPECT_FALSE(link("lblStop")->isEnabled());
    log.WriteActivityLog(QStringLiteral("lost"));
    click("lblClear");
    EXPECT_TRUE(QTest::qWaitFor([&] { return box->toPlainText().isEmpty(); }));
    EXPECT_FALSE(log.isEnabled()); // clearing keeps the paused state

    click("lblStart");
    log.WriteActivityLog(QStringLiteral("back"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box->toPlainText().isEmpty(); }));
    EXPECT_EQ(box->toPlainText(), QStringLiteral("[12/5/2026 5:11:01 AM] : back"));
    EXPECT_FALSE(box->toPlainText().contains(QStringLiteral("lost")));
}

TEST_F(ShellTest, HomePageLinksOpenTheMessageBoxOnTheirFolder)
{
    ASSERT_TRUE(window.load());
    click("lblOutBox");
    auto *box = qobject_cast<MessageBoxWindow *>(window.openedWindow(WindowEntry::MessageBox));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isOutBoxSelected());
    EXPECT_TRUE(window.homePage()->msgType().isEmpty());

    click("lblInBox"); // already open: raised and switched
    EXPECT_EQ(window.openedWindow(WindowEntry::MessageBox), box);
    EXPECT_TRUE(box->isInBoxSelected());

    child<QAction>("mnuSMSMessageBox")->trigger(); // from the menu: no folder change
    EXPECT_TRUE(box->isInBoxSelected());
}

TEST_F(ShellTest, TrayMenuMinimizesAndShowsMaximised)
{
    ASSERT_TRUE(window.load());
    TrayIcon *tray = window.tray();
    window.showNormal();
    tray->menu()->findChild<QAction *>(QStringLiteral("mnuMinimize"))->trigger();
    EXPECT_FALSE(window.isVisible());
    tray->menu()->findChild<QAction *>(QStringLiteral("mnuShow"))->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);

    // Changing the tip before the icon is shown changes nothing.
    tray->changeToolTip(QStringLiteral("elsewhere"));
    EXPECT_NE(tray->toolTip(), QStringLiteral("elsewhere"));

    if (!TrayIcon::isAvailable())
        GTEST_SKIP() << "no system tray on this platform: the icon itself cannot be shown";
    window.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }));
    EXPECT_TRUE(tray->isRunningInTray());
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Kovax Parlix"));
    tray->menu()->findChild<QAction *>(QStringLiteral("mnuShow"))->trigger();
    EXPECT_FALSE(tray->isRunningInTray());
}

TEST_F(ShellTest, ExitAndClosingEndTheProcess)
{
    QSignalSpy quit(&window, &MainWindow::quitRequested);
    ASSERT_TRUE(window.load());
    child<QAction>("mnuExit")->trigger();
    EXPECT_EQ(quit.count(), 1);
    EXPECT_FALSE(window.isVisible());
    window.close(); // once only
    EXPECT_EQ(quit.count(), 1);
}

} // namespace
} // namespace parlix::test

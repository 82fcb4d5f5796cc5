// The operator shell without the engine: menus and toolbar, the load, the home page's counts,
// links and log, the tray menu and the way out.
#include "../WindowFixture.h"
#include "gui/common/LinkLabel.h"
#include "gui/main/HomePage.h"
#include "gui/main/MainWindow.h"
#include "gui/main/TrayIcon.h"
#include "gui/messages/MessageBoxWindow.h"
#include "store/CallRepository.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"

#include <QMenu>

namespace parlix::test {
namespace {

class ShellTest : public WindowFixture
{
protected:
    ShellTest()
        : window({&log, &db.conn(), nullptr, &prompt, &clock})
    {
    }
    template <typename T> T *child(const char *name) const { return window.findChild<T *>(QLatin1String(name)); }
    LinkLabel *link(const char *name) const { return child<LinkLabel>(name); }
    QString linkText(const char *name) const { return link(name)->text(); }
    void click(const char *name) { QTest::mouseClick(link(name), Qt::LeftButton); }

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
    EXPECT_FALSE(link("lblStart")->isEnabled()); // the log runs; the connect actions are the engine suite's
    if (!TrayIcon::isAvailable()) {
        EXPECT_TRUE(window.isVisible()); // no tray: the window stays reachable
    }
}

// Which rows count is the store's (tested there); the links follow what another connection writes.
TEST_F(ShellTest, CountsFollowRowsWrittenByAnotherConnection)
{
    ASSERT_TRUE(window.load());
    auto other = db.conn().openAnother();
    ASSERT_TRUE(other);
    const QSqlDatabase engineSide = other.value()->db();
    InboxRepository(engineSide).insert(QStringLiteral("1"), QStringLiteral("a"), clock.now());
    InboxRepository(engineSide).insert(QStringLiteral("2"), QStringLiteral("b"), clock.now());
    OutboxRepository(engineSide).insertPending(QStringLiteral("3"), QStringLiteral("c"), clock.now());
    CallRepository(engineSide).insert(QStringLiteral("6"), clock.now(), true);

    EXPECT_TRUE(QTest::qWaitFor([&] { return linkText("lblInBox") == QStringLiteral("Inbox (2)"); }, 2000));
    EXPECT_EQ(linkText("lblOutBox"), QStringLiteral("Outbox (1)"));
    EXPECT_EQ(linkText("LblMissCall"), QStringLiteral("Missed Calls (1)"));
}

// The lines' stamps and order are the log's (tested there); the box and the links follow it.
TEST_F(ShellTest, ActivityLogBoxWithStartStopAndClear)
{
    ASSERT_TRUE(window.load());
    auto *box = child<QPlainTextEdit>("txtActivityLog");
    log.WriteActivityLog(QStringLiteral("first"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return box->toPlainText().contains(QStringLiteral("] : first")); }));

    click("lblStop");
    EXPECT_FALSE(log.isEnabled());
    EXPECT_TRUE(link("lblStart")->isEnabled());
    EXPECT_FALSE(link("lblStop")->isEnabled());
    click("lblClear");
    EXPECT_TRUE(QTest::qWaitFor([&] { return box->toPlainText().isEmpty(); }));
    EXPECT_FALSE(log.isEnabled()); // clearing keeps the paused state
    click("lblStart");
    EXPECT_TRUE(log.isEnabled());
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

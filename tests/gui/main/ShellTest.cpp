// The operator shell without the engine: menus and toolbar, the load, the home page's counts,
// links and log, the tray menu, About, and the way out.
#include "gui/messages/MessageBoxWindow.h"
#include "gui/main/AboutWindow.h"
#include "core/ActivityLog.h"
#include "gui/main/HomePage.h"
#include "gui/common/LinkLabel.h"
#include "gui/main/MainWindow.h"
#include "gui/main/TrayIcon.h"
#include "store/CallRepository.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/TempDatabase.h"

#include <QApplication>
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

class ShellTest : public ::testing::Test
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

    TempDatabase db;
    ManualClock clock;
    PromptRecorder prompt;
    ActivityLog log;
    MainWindow window;
};

TEST_F(ShellTest, MenusCarryTheirCaptionsAndUnbuiltWindowsAreDisabled)
{
    struct Item
    {
        const char *menu;
        const char *text;
        bool enabled;
    } expected[] = {
        {"Masters", "Manage SMS User Accounts", false},
        {"Masters", "Manage Country", true},
        {"Settings", "System Settings", true},
        {"Settings", "AutoReply SMS on Missed Call", false},
        {"Settings", "Low-Level SIM Access", false},
        {"Connect / Disconnect Modem", "Connect", true},
        {"Connect / Disconnect Modem", "Disconnect", false},
        {"Message Box", "SMS Message Box", true},
        {"Message Box", "POP3 Inbox For Web-To-SMS", false},
    };
    QList<QAction *> top = window.menuBar()->actions();
    QStringList topTexts;
    for (QAction *a : top)
        topTexts << a->text();
    EXPECT_EQ(topTexts,
              (QStringList{"Masters", "Settings", "Connect / Disconnect Modem", "Message Box", "About", "Exit"}));

    int checked = 0;
    for (QAction *menuAction : top) {
        if (menuAction->menu() == nullptr)
            continue;
        for (QAction *item : menuAction->menu()->actions()) {
            const Item &e = expected[checked++];
            EXPECT_EQ(menuAction->text(), QLatin1String(e.menu));
            EXPECT_EQ(item->text(), QLatin1String(e.text));
            EXPECT_EQ(item->isEnabled(), e.enabled) << e.text;
        }
    }
    EXPECT_EQ(checked, int(std::size(expected)));
    EXPECT_EQ(child<QAction>("start")->text(), QStringLiteral("Connect"));
    EXPECT_EQ(child<QAction>("mnustop")->text(), QStringLiteral("Disconnect"));
}

TEST_F(ShellTest, ToolbarButtonsTipsAndReportsDropDown)
{
    auto *bar = child<QToolBar>("Toolbar1");
    ASSERT_NE(bar, nullptr);
    QStringList texts, tips;
    for (QAction *a : bar->actions()) {
        if (a->isSeparator())
            continue;
        texts << a->text();
        tips << a->toolTip();
    }
    EXPECT_EQ(texts, (QStringList{"Connect", "Message Box", "Reports", "Exit"}));
    EXPECT_EQ(tips,
              (QStringList{"Connect to Modem.", "Open Message box.", "Manage Dial Logs", "Quit the application."}));
    QMenu *reports = child<QAction>("tbReports")->menu();
    ASSERT_NE(reports, nullptr);
    ASSERT_EQ(reports->actions().size(), 2);
    EXPECT_EQ(reports->actions()[0]->objectName(), QStringLiteral("MR"));
    EXPECT_EQ(reports->actions()[0]->text(), QStringLiteral("Missed Calls Report"));
    EXPECT_EQ(reports->actions()[1]->objectName(), QStringLiteral("SMSR"));
    EXPECT_EQ(reports->actions()[1]->text(), QStringLiteral("Received SMS Report"));
}

TEST_F(ShellTest, LoadWritesTheInitialisingLinesAndShowsTheHomePage)
{
    ASSERT_TRUE(window.load()) << window.loadError().toStdString();
    const QString text = log.text();
    const QStringList order = {"Initializing WebMail-To-SMS Properties.", "Initializing SMS Delivery Properties.",
                               "Initializing AutoReply On MissedCall Properties.", "Initializing Timer Properties."};
    // Newest first: the last group's line is at the top.
    qsizetype previous = text.size();
    for (const QString &line : order) {
        const qsizetype at = text.indexOf(line);
        ASSERT_GE(at, 0) << line.toStdString();
        EXPECT_LT(at, previous) << line.toStdString();
        previous = at;
    }
    HomePage *home = window.homePage();
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->windowTitle(), QStringLiteral("Home"));
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
    outbox.insertPending(QStringLiteral("3"), QStringLiteral("c"), clock.now());
    const qint64 sending = outbox.insertPending(QStringLiteral("4"), QStringLiteral("d"), clock.now()).value();
    outbox.claimForSending(sending); // "SENDING" still counts until delivered
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
    QStringList items;
    for (QAction *a : tray->menu()->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, (QStringList{"Minimize", "Show", "-", "About", "-", "Exit"}));
    EXPECT_EQ(tray->menu()->objectName(), QStringLiteral("mnuMainMenu"));

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

TEST_F(ShellTest, AboutShowsTitleAndVersion)
{
    AboutWindow about;
    EXPECT_EQ(about.objectName(), QStringLiteral("frm_About"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about.findChild<QPlainTextEdit *>(QStringLiteral("txtAbout"))->toPlainText(),
              QStringLiteral("Version 1.0.0\nKovax - Parlix"));
    EXPECT_TRUE(about.findChild<QPlainTextEdit *>(QStringLiteral("txtAbout"))->isReadOnly());

    // The menu and the tray's "About" open it modally.
    bool shown = false;
    QTimer::singleShot(50, [&] {
        if (auto *open = qobject_cast<AboutWindow *>(QApplication::activeModalWidget())) {
            shown = true;
            open->accept();
        }
    });
    window.tray()->menu()->findChild<QAction *>(QStringLiteral("mnuAbout"))->trigger();
    EXPECT_TRUE(shown);
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

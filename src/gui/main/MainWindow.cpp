#include "gui/main/MainWindow.h"

#include "config/Startup.h"
#include "core/ActivityLog.h"
#include "core/Prompt.h"
#include "engine/Engine.h"
#include "gui/common/GuiPrompt.h"
#include "gui/common/Icons.h"
#include "gui/main/AboutWindow.h"
#include "gui/main/HomePage.h"
#include "gui/main/TrayIcon.h"
#include "store/Database.h"
#include "webmail/WebmailPoller.h"

#include <QCloseEvent>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace parlix {

namespace {

QAction *namedAction(QObject *parent, const QString &name, const QString &text)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(name);
    return action;
}

// Keeps the home page open for the life of the frame: the counts and the log live on it.
class HomePageFrame final : public QMdiSubWindow
{
public:
    using QMdiSubWindow::QMdiSubWindow;
    bool ending = false;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (ending)
            event->accept();
        else
            event->ignore();
    }
};

} // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget *parent)
    : QMainWindow(parent)
    , m_services(services)
    , m_mdi(new QMdiArea(this))
    , m_tray(new TrayIcon(this, this))
    , m_refreshTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("MDI_Frmmanage"));
    setWindowTitle(appTitle());
    setWindowIcon(icons::app());
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setBackground(QColor(0x5a, 0x6e, 0x82));
    setCentralWidget(m_mdi);
    resize(1024, 768);

    buildMenus();
    buildToolbar();
    setShownConnected(false);

    // The home page's counts tick from creation, as the frame's one-second timer.
    m_refreshTimer->setObjectName(QStringLiteral("timerRefreshHomePage"));
    m_refreshTimer->setInterval(1000);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] {
        if (m_homePage != nullptr)
            m_homePage->RefreshCounts();
    });
    m_refreshTimer->start();

    connect(m_tray, &TrayIcon::aboutRequested, this, &MainWindow::showAbout);
    connect(m_tray, &TrayIcon::exitRequested, this, &QWidget::close);

    wireEngine();
    registerOperatorWindows(*this);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();

    QMenu *masters = bar->addMenu(QStringLiteral("Masters"));
    masters->setObjectName(QStringLiteral("mnuMasters"));
    QAction *accounts =
        namedAction(this, QStringLiteral("mnuSMSUserAccounts"), QStringLiteral("Manage SMS User Accounts"));
    QAction *country = namedAction(this, QStringLiteral("mnuCountry"), QStringLiteral("Manage Country"));
    masters->addActions({accounts, country});
    bindEntry(accounts, WindowEntry::SmsUserAccounts);
    bindEntry(country, WindowEntry::Country);

    QMenu *settings = bar->addMenu(QStringLiteral("Settings"));
    settings->setObjectName(QStringLiteral("mnuSettings"));
    QAction *system = namedAction(this, QStringLiteral("mnuSystemSettings"), QStringLiteral("System Settings"));
    QAction *missed =
        namedAction(this, QStringLiteral("mnuAutoReplyOnMissedCall"), QStringLiteral("AutoReply SMS on Missed Call"));
    QAction *sim = namedAction(this, QStringLiteral("mnuLowLevelSIMAccess"), QStringLiteral("Low-Level SIM Access"));
    settings->addActions({system, missed, sim});
    bindEntry(system, WindowEntry::SystemSettings);
    bindEntry(missed, WindowEntry::MissedCallReply);
    bindEntry(sim, WindowEntry::SimAccess);

    QMenu *modem = bar->addMenu(QStringLiteral("Connect / Disconnect Modem"));
    modem->setObjectName(QStringLiteral("mnuConnectDisconnect"));
    m_connect = namedAction(this, QStringLiteral("start"), QStringLiteral("Connect"));
    m_disconnect = namedAction(this, QStringLiteral("mnustop"), QStringLiteral("Disconnect"));
    modem->addActions({m_connect, m_disconnect});
    connect(m_connect, &QAction::triggered, this, &MainWindow::connectModem);
    connect(m_disconnect, &QAction::triggered, this, &MainWindow::disconnectModem);

    QMenu *box = bar->addMenu(QStringLiteral("Message Box"));
    box->setObjectName(QStringLiteral("mnuMessageBox"));
    QAction *sms = namedAction(this, QStringLiteral("mnuSMSMessageBox"), QStringLiteral("SMS Message Box"));
    QAction *pop3 = namedAction(this, QStringLiteral("mnuPOP3InBox"), QStringLiteral("POP3 Inbox For Web-To-SMS"));
    box->addActions({sms, pop3});
    bindEntry(sms, WindowEntry::MessageBox);
    bindEntry(pop3, WindowEntry::WebmailInbox);

    QAction *about = namedAction(this, QStringLiteral("mnuAbout"), QStringLiteral("About"));
    bar->addAction(about);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
    QAction *exit = namedAction(this, QStringLiteral("mnuExit"), QStringLiteral("Exit"));
    bar->addAction(exit);
    connect(exit, &QAction::triggered, this, &MainWindow::exitFromMenu);
}

void MainWindow::buildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(32, 32));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    m_toggle = namedAction(this, QStringLiteral("tbConnect"), QStringLiteral("Connect"));
    m_toggle->setToolTip(QStringLiteral("Connect to Modem."));
    connect(m_toggle, &QAction::triggered, this, &MainWindow::toggleConnection);
    m_toolbar->addAction(m_toggle);

    QAction *box = namedAction(this, QStringLiteral("tbMessageBox"), QStringLiteral("Message Box"));
    box->setIcon(icons::messageBox());
    box->setToolTip(QStringLiteral("Open Message box."));
    bindEntry(box, WindowEntry::MessageBox);
    m_toolbar->addAction(box);

    auto *reportsMenu = new QMenu(this);
    reportsMenu->setObjectName(QStringLiteral("mnuReports"));
    QAction *missed = namedAction(reportsMenu, QStringLiteral("MR"), QStringLiteral("Missed Calls Report"));
    QAction *received = namedAction(reportsMenu, QStringLiteral("SMSR"), QStringLiteral("Received SMS Report"));
    reportsMenu->addActions({missed, received});
    bindEntry(missed, WindowEntry::MissedCallsReport, WindowSpec::Show::Modal);
    bindEntry(received, WindowEntry::ReceivedSmsReport, WindowSpec::Show::Modal);
    QAction *reports = namedAction(this, QStringLiteral("tbReports"), QStringLiteral("Reports"));
    reports->setIcon(icons::reports());
    reports->setToolTip(QStringLiteral("Manage Dial Logs"));
    reports->setMenu(reportsMenu);
    m_toolbar->addAction(reports);
    if (auto *button = qobject_cast<QToolButton *>(m_toolbar->widgetForAction(reports))) {
        button->setPopupMode(QToolButton::InstantPopup); // a drop-down only; the button itself does nothing
        button->setObjectName(QStringLiteral("tbReportsButton"));
    }

    m_toolbar->addSeparator();
    QAction *exit = namedAction(this, QStringLiteral("tbExit"), QStringLiteral("Exit"));
    exit->setIcon(icons::exit());
    exit->setToolTip(QStringLiteral("Quit the application."));
    connect(exit, &QAction::triggered, this, &MainWindow::exitFromToolbar);
    m_toolbar->addAction(exit);
}

void MainWindow::bindEntry(QAction *action, WindowEntry entry, std::optional<WindowSpec::Show> show)
{
    m_entryActions[entry].append(action);
    action->setEnabled(hasWindow(entry));
    connect(action, &QAction::triggered, this, [this, entry, show] { openWindow(entry, show); });
}

void MainWindow::registerWindow(WindowEntry entry, WindowSpec spec)
{
    m_specs.insert(entry, std::move(spec));
    for (QAction *action : m_entryActions.value(entry))
        action->setEnabled(true);
    if (entry == WindowEntry::MissedCallsReport && m_homePage != nullptr)
        m_homePage->setMissedCallsLinkActive(true);
}

QWidget *MainWindow::openedWindow(WindowEntry entry) const
{
    return m_open.value(entry);
}

QWidget *MainWindow::openWindow(WindowEntry entry, std::optional<WindowSpec::Show> show)
{
    const auto it = m_specs.constFind(entry);
    if (it == m_specs.constEnd() || m_ending)
        return nullptr;
    const WindowSpec &spec = it.value();
    const WindowSpec::Show mode = show.value_or(spec.show);

    if (QPointer<QWidget> existing = m_open.value(entry)) {
        if (!spec.reopen) {
            if (auto *frame = qobject_cast<QMdiSubWindow *>(existing->parentWidget())) {
                frame->showNormal();
                m_mdi->setActiveSubWindow(frame);
            } else {
                existing->raise();
                existing->activateWindow();
            }
            if (spec.reuse)
                spec.reuse(existing, *this);
            return existing;
        }
        if (auto *frame = qobject_cast<QMdiSubWindow *>(existing->parentWidget()))
            frame->close();
        else
            existing->close();
        delete existing.data();
    }

    QWidget *window = spec.create(*this);
    if (window == nullptr)
        return nullptr;

    if (mode == WindowSpec::Show::Modal) {
        auto *dialog = qobject_cast<QDialog *>(window);
        if (dialog == nullptr) {
            // A child window asked for modally gets a dialog around it.
            dialog = new QDialog(this);
            dialog->setWindowTitle(window->windowTitle());
            auto *layout = new QVBoxLayout(dialog);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(window);
        }
        dialog->setAttribute(Qt::WA_DeleteOnClose, false);
        m_open.insert(entry, window);
        dialog->exec();
        delete dialog; // the window too, when it sits inside a dialog made for it
        return nullptr;
    }

    window->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *frame = m_mdi->addSubWindow(window);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowIcon(window->windowIcon().isNull() ? icons::app() : window->windowIcon());
    m_open.insert(entry, window);
    window->show();
    m_mdi->setActiveSubWindow(frame);
    return window;
}

void MainWindow::showHomePage()
{
    if (m_homePage != nullptr)
        return;
    m_homePage = new HomePage(m_services.db->db(), *m_services.log, *m_services.clock);
    auto *frame = new HomePageFrame;
    frame->setWidget(m_homePage);
    frame->setWindowIcon(icons::app());
    m_homeFrame = frame;
    m_mdi->addSubWindow(frame);
    frame->showMaximized();
    connect(m_homePage, &HomePage::messageBoxRequested, this, [this] { openWindow(WindowEntry::MessageBox); });
    connect(m_homePage, &HomePage::missedCallsRequested, this,
            [this] { openWindow(WindowEntry::MissedCallsReport, WindowSpec::Show::Child); });
    m_homePage->setMissedCallsLinkActive(hasWindow(WindowEntry::MissedCallsReport));
}

bool MainWindow::load()
{
    showHomePage();
    startInTray();
    m_services.log->setEnabled(true);

    auto settings = loadSettingsAtStartup(*m_services.db, *m_services.log);
    if (!settings) {
        m_loadError = settings.error();
        return false;
    }
    m_settings = settings.value();
    setShownConnected(false);
    applySettings(m_settings);
    m_homePage->RefreshCounts();
    // The engine connects unless SMS go out through the SMTP gateway alone.
    if (Engine *e = engine())
        QMetaObject::invokeMethod(e, &Engine::startGateway, Qt::QueuedConnection);
    Q_EMIT loaded();
    return true;
}

void MainWindow::applySettings(const RuntimeSettings &settings)
{
    m_settings = settings;
    if (m_services.engine != nullptr)
        m_services.engine->applySettings(m_settings);
    if (m_services.webmail != nullptr)
        m_services.webmail->applySettings(m_settings);
}

void MainWindow::startInTray()
{
    // Without a notification area a minimised window could only come back through the task
    // bar, if there is one; so Parlix then starts with its window on screen.
    if (TrayIcon::isAvailable())
        showMinimized();
    else
        showMaximized();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !TrayIcon::isAvailable())
        return;
    if (isMinimized()) {
        m_tray->showIcon(m_homePage != nullptr ? m_homePage->windowTitle() : QStringLiteral("Home"));
        m_tray->changeToolTip(QStringLiteral("Kovax Parlix"));
        // Hiding from inside the state change confuses some window managers; do it next.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
    } else {
        m_tray->removeIcon();
    }
}

void MainWindow::setShownConnected(bool connected)
{
    m_showsConnected = connected;
    m_connect->setEnabled(!connected);
    m_disconnect->setEnabled(connected);
    m_toggle->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    m_toggle->setIcon(connected ? icons::disconnect() : icons::connect());
}

Engine *MainWindow::engine() const
{
    return m_services.engine != nullptr ? m_services.engine->engine() : nullptr;
}

void MainWindow::wireEngine()
{
    Engine *e = engine();
    if (e == nullptr)
        return;
    // Automatic connections: the engine emits on its thread, the slots run here.
    connect(e, &Engine::connectedChanged, this, &MainWindow::setShownConnected);
    connect(e, &Engine::portConnectedChanged, this, [this](bool connected) {
        m_portConnected = connected;
        Q_EMIT portConnectedChanged(connected);
    });
    connect(e, &Engine::settingsWindowRequested, this, [this] {
        // The window may sit minimised in the tray: the settings would open where nobody sees them.
        showMaximized();
        raise();
        activateWindow();
        openWindow(WindowEntry::SystemSettings, WindowSpec::Show::Child);
    });
}

// The commands only queue work for the engine, which reports back through its signals; the
// menus never wait for the modem.
void MainWindow::connectModem()
{
    if (Engine *e = engine())
        QMetaObject::invokeMethod(e, &Engine::connectModem, Qt::QueuedConnection);
}

void MainWindow::disconnectModem()
{
    if (Engine *e = engine())
        QMetaObject::invokeMethod(e, &Engine::disconnectModem, Qt::QueuedConnection);
}

void MainWindow::toggleConnection()
{
    // The engine decides from the port's real state when the command reaches it.
    if (Engine *e = engine())
        QMetaObject::invokeMethod(e, &Engine::toggleConnection, Qt::QueuedConnection);
}

void MainWindow::showAbout()
{
    AboutWindow about(isVisible() ? this : nullptr);
    about.exec();
}

void MainWindow::exitFromMenu()
{
    endProcess(false);
}

void MainWindow::exitFromToolbar()
{
    endProcess(true);
}

void MainWindow::endProcess(bool disconnectFirst)
{
    if (m_ending)
        return;
    m_ending = true;
    m_refreshTimer->stop();
    if (auto *frame = static_cast<HomePageFrame *>(m_homeFrame))
        frame->ending = true;
    if (auto *prompt = dynamic_cast<GuiPrompt *>(m_services.prompt))
        prompt->setClosing(); // an engine question must not hold up the engine's stop
    if (m_services.engine != nullptr) {
        if (disconnectFirst && m_portConnected)
            disconnectModem();
        // Closes the port; the engine's own queue keeps the disconnect ahead of it.
        m_services.engine->stop();
    }
    if (m_services.webmail != nullptr)
        m_services.webmail->stop();
    Q_EMIT quitRequested();
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    endProcess(false);
    event->accept();
}

} // namespace parlix

#pragma once

#include "config/RuntimeSettings.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <optional>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QTimer;
class QToolBar;

namespace parlix {

class ActivityLog;
class Clock;
class DbConnection;
class Engine;
class EngineHost;
class HomePage;
class Prompt;
class TrayIcon;
class WebmailHost;

// Everything the main window is given by start-up; it owns none of it. The engine and the
// webmail poller may be absent (tests of the windows alone).
struct MainWindowServices
{
    ActivityLog *log = nullptr;
    DbConnection *db = nullptr;
    EngineHost *engine = nullptr;
    Prompt *prompt = nullptr;
    const Clock *clock = nullptr;
    WebmailHost *webmail = nullptr;
};

// The operator windows the main window opens from its menus, toolbar and home page links.
enum class WindowEntry {
    SmsUserAccounts,
    Country,
    SystemSettings,
    MissedCallReply,
    SimAccess,
    MessageBox,
    WebmailInbox,
    MissedCallsReport,
    ReceivedSmsReport,
    KeywordAutoReply,
};

class MainWindow;

// How one operator window is made and shown. Modal windows must be dialogs.
struct WindowSpec
{
    enum class Show { Child, Modal };
    Show show = Show::Child;
    bool reopen = false; // an open instance is closed and a fresh one made, instead of raised
    std::function<QWidget *(MainWindow &)> create;
    // Runs when the window is asked for while already open (it is raised, not made again).
    std::function<void(QWidget *, MainWindow &)> reuse;
};

// MDI_Frmmanage: the frame every operator window opens in, with the menus and toolbar that
// command the engine. It never waits for the engine: commands go over as queued calls and the
// engine's state comes back as signals.
class MainWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(MainWindowServices services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The load, in its fixed order: home page, settings into the engine, the connection
    // unless SMS go out through the SMTP gateway alone. False (with the reason in
    // loadError()) when a setting stops the start-up.
    bool load();
    const QString &loadError() const { return m_loadError; }
    const RuntimeSettings &settings() const { return m_settings; }
    // The settings windows change the settings; the engine gets every new copy.
    void applySettings(const RuntimeSettings &settings);

    QMdiArea *mdiArea() const { return m_mdi; }
    const MainWindowServices &services() const { return m_services; }
    HomePage *homePage() const { return m_homePage; }
    TrayIcon *tray() const { return m_tray; }

    // One place maps each entry to the code that makes its window; an entry's menu and
    // toolbar items are enabled from the moment it is registered.
    void registerWindow(WindowEntry entry, WindowSpec spec);
    bool hasWindow(WindowEntry entry) const { return m_specs.contains(entry); }
    // Shows the entry's window (as its spec says, or as asked). A child window is returned;
    // a modal one has been closed again by the time this returns, so null is returned.
    QWidget *openWindow(WindowEntry entry, std::optional<WindowSpec::Show> show = {});
    QWidget *openedWindow(WindowEntry entry) const;

    // The connection state the menus and the toolbar's first button show.
    bool showsConnected() const { return m_showsConnected; }
    // Whether the engine reports the serial port open.
    bool portConnected() const { return m_portConnected; }
    // The engine on its thread, or null; call its slots only through queued calls.
    Engine *engine() const;

public Q_SLOTS:
    void connectModem();    // the connect command
    void disconnectModem(); // the disconnect command
    void toggleConnection();
    void exitFromMenu();
    void exitFromToolbar();
    void showAbout();

Q_SIGNALS:
    void loaded();
    // The process should end now; start-up connects this to the application's quit.
    void quitRequested();
    // The engine's port state, re-announced on this thread for windows that follow it.
    void portConnectedChanged(bool connected);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenus();
    void buildToolbar();
    void bindEntry(QAction *action, WindowEntry entry, std::optional<WindowSpec::Show> show = {});
    void showHomePage();
    void startInTray();
    void wireEngine();
    void setShownConnected(bool connected);
    void endProcess(bool disconnectFirst);

    MainWindowServices m_services;
    QMdiArea *m_mdi;
    RuntimeSettings m_settings;
    QString m_loadError;
    HomePage *m_homePage = nullptr;
    QMdiSubWindow *m_homeFrame = nullptr;
    TrayIcon *m_tray;
    QTimer *m_refreshTimer;
    QToolBar *m_toolbar = nullptr;
    QAction *m_connect = nullptr;
    QAction *m_disconnect = nullptr;
    QAction *m_toggle = nullptr;
    bool m_showsConnected = false;
    bool m_portConnected = false;
    bool m_ending = false;

    QHash<WindowEntry, WindowSpec> m_specs;
    QHash<WindowEntry, QList<QAction *>> m_entryActions;
    QHash<WindowEntry, QPointer<QWidget>> m_open;
};

// Registers every operator window built so far; OperatorWindows.cpp is the one place to add one.
void registerOperatorWindows(MainWindow &window);

} // namespace parlix

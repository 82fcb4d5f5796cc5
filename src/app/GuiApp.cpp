#include "app/GuiApp.h"

#include "app/Headless.h"
#include "config/SettingsWatcher.h"
#include "config/Startup.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "engine/Engine.h"
#include "gui/common/GuiPrompt.h"
#include "gui/main/MainWindow.h"
#include "gui/main/SplashWindow.h"
#include "store/Database.h"
#include "webmail/WebmailPoller.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace parlix {

int runGui(const QString &databasePath, const QString &station)
{
    auto db = DbConnection::open(databasePath);
    if (!db) {
        const int status = reportFatal(db.error());
        QMessageBox::critical(nullptr, appTitle(), db.error());
        return status;
    }

    GuiPrompt prompt;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size();
        if (screenNeedsQuestion(size) && !prompt.question(screenQuestionText(size), Prompt::Icon::None))
            return 0;
    }

    SplashWindow splash;
    splash.exec();

    ActivityLog log(SystemClock::instance());
    EngineHost engine({db.value()->path(), &log, &prompt, &SystemClock::instance(), station});
    engine.start();
    WebmailHost webmail({db.value()->path(), &log, &prompt, &SystemClock::instance(), station});
    webmail.start();

    MainWindow window({&log, db.value().get(), &engine, &prompt, &SystemClock::instance(), &webmail});
    prompt.setOwner(&window);
    QObject::connect(&window, &MainWindow::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    // The load shows the window: minimised into the tray, or on screen where there is no tray.
    if (!window.load()) {
        webmail.stop();
        engine.stop();
        const int status = reportFatal(window.loadError());
        QMessageBox::critical(nullptr, appTitle(), window.loadError());
        return status;
    }
    // `parlix settings set` from a shell reaches the running gateway and the windows.
    SettingsWatcher watcher(db.value()->db());
    QObject::connect(&watcher, &SettingsWatcher::settingsChanged, &window, &MainWindow::applySettings);
    const int status = QApplication::exec();
    webmail.stop();
    engine.stop();
    return status;
}

} // namespace parlix

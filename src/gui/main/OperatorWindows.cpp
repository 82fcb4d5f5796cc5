#include "engine/Engine.h"
#include "gui/autoreply/KeywordReplyWindow.h"
#include "gui/autoreply/MissedCallReplyWindow.h"
#include "gui/main/HomePage.h"
#include "gui/main/MainWindow.h"
#include "gui/messages/MessageBoxWindow.h"
#include "gui/reports/MissedCallsReportWindow.h"
#include "gui/reports/SmsReportWindow.h"
#include "gui/settings/CountryWindow.h"
#include "gui/settings/SettingsWindow.h"
#include "gui/sim/SimManagerWindow.h"
#include "gui/webmail/SmsAccountsWindow.h"
#include "gui/webmail/WebmailInboxWindow.h"
#include "store/Database.h"

#include <QTabWidget>

#include <cmath>
#include <memory>

// The one place that knows which operator windows exist and how each is made. A window that
// is not registered here keeps its menu and toolbar items visible but disabled.

namespace parlix {

namespace {

// The home page's link choice is read once by the message box and then forgotten.
QString takeMsgType(MainWindow &main)
{
    HomePage *home = main.homePage();
    if (home == nullptr)
        return {};
    const QString type = home->msgType();
    home->setMsgType({});
    return type;
}

// Queues an engine pass and runs done once the engine reports that pass finished.
template <typename Finished, typename Start>
void runPass(Engine *engine, QObject *context, Finished finished, Start start, std::function<void()> done)
{
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(engine, finished, context, [connection, done] {
        QObject::disconnect(*connection);
        done();
    });
    QMetaObject::invokeMethod(engine, start, Qt::QueuedConnection);
}

MessageBoxServices messageBoxServices(MainWindow &main)
{
    const MainWindowServices &s = main.services();
    MessageBoxServices services;
    services.db = s.db->db();
    services.prompt = s.prompt;
    services.clock = s.clock;
    services.pduMode = [&main] { return main.settings().PduMode; };
    if (Engine *engine = main.engine()) {
        services.sendAll = [engine, &main](std::function<void()> done) {
            runPass(
                engine, &main, &Engine::sendAllFinished, [engine] { engine->sendAll(); }, std::move(done));
        };
        services.receiveAll = [engine, &main](std::function<void()> done) {
            // The window lists the SIM with half the receive timer's wait; halves round to even.
            const int delay = int(std::lrint(main.settings().ModemDelayFactor * 200));
            runPass(
                engine, &main, &Engine::receiveAllFinished, [engine, delay] { engine->receiveAll(delay); },
                std::move(done));
        };
    }
    if (main.hasWindow(WindowEntry::KeywordAutoReply))
        services.openAutoReply = [&main] { main.openWindow(WindowEntry::KeywordAutoReply, WindowSpec::Show::Child); };
    if (main.hasWindow(WindowEntry::SystemSettings)) {
        services.openSettings = [&main] {
            QWidget *settings = main.openWindow(WindowEntry::SystemSettings, WindowSpec::Show::Child);
            if (settings == nullptr)
                return;
            if (auto *tabs = settings->findChild<QTabWidget *>())
                tabs->setCurrentIndex(1); // "SMS Timer Settings"
        };
    }
    return services;
}

QWidget *createMessageBox(MainWindow &main)
{
    auto *box = new MessageBoxWindow(messageBoxServices(main), takeMsgType(main));
    if (Engine *engine = main.engine()) {
        QObject::connect(engine, &Engine::refreshMessageBoxWindow, box, &MessageBoxWindow::RefreshMessageBoxWindow);
        QObject::connect(engine, &Engine::smsStored, box, &MessageBoxWindow::addReceivedRow);
    }
    return box;
}

QWidget *createSettings(MainWindow &main)
{
    const MainWindowServices &s = main.services();
    SettingsServices services;
    services.db = s.db->db();
    services.prompt = s.prompt;
    services.currentSettings = [&main] { return main.settings(); };
    auto *window = new SettingsWindow(services, main.portConnected());
    QObject::connect(window, &SettingsWindow::settingsSaved, &main, &MainWindow::applySettings);
    QObject::connect(&main, &MainWindow::portConnectedChanged, window, &SettingsWindow::setPortConnected);
    return window;
}

QWidget *createMissedCallsReport(MainWindow &main)
{
    const MainWindowServices &s = main.services();
    return new MissedCallsReportWindow(s.db->db(), *s.prompt, *s.clock);
}

QWidget *createSmsReport(MainWindow &main)
{
    const MainWindowServices &s = main.services();
    return new SmsReportWindow({s.db, s.prompt, s.clock, {}});
}

QWidget *createMissedCallReply(MainWindow &main)
{
    const MainWindowServices &s = main.services();
    SettingsServices services;
    services.db = s.db->db();
    services.prompt = s.prompt;
    services.currentSettings = [&main] { return main.settings(); };
    auto *window = new MissedCallReplyWindow(services, &main);
    // The engine gets the new reply with the rest of the settings, as after the settings window.
    QObject::connect(window, &MissedCallReplyWindow::settingsSaved, &main, &MainWindow::applySettings);
    return window;
}

} // namespace

void registerOperatorWindows(MainWindow &window)
{
    using Show = WindowSpec::Show;
    window.registerWindow(WindowEntry::MessageBox,
                          {Show::Child, false, &createMessageBox, [](QWidget *open, MainWindow &main) {
                               const QString type = takeMsgType(main);
                               if (auto *box = qobject_cast<MessageBoxWindow *>(open))
                                   box->showFolderFor(type);
                           }});
    window.registerWindow(WindowEntry::SystemSettings, {Show::Child, false, &createSettings, {}});
    window.registerWindow(WindowEntry::MissedCallsReport, {Show::Modal, false, &createMissedCallsReport, {}});
    window.registerWindow(WindowEntry::ReceivedSmsReport, {Show::Modal, true, &createSmsReport, {}});
    window.registerWindow(WindowEntry::Country, {Show::Modal,
                                                 true,
                                                 [](MainWindow &main) -> QWidget * {
                                                     return new CountryWindow(main.services().db->db(),
                                                                              *main.services().prompt);
                                                 },
                                                 {}});
    window.registerWindow(WindowEntry::SmsUserAccounts,
                          {Show::Modal,
                           true,
                           [](MainWindow &main) -> QWidget * {
                               return new SmsAccountsWindow(main.services().db->db(), *main.services().prompt, &main);
                           },
                           {}});
    window.registerWindow(WindowEntry::WebmailInbox, {Show::Child,
                                                      false,
                                                      [](MainWindow &main) -> QWidget * {
                                                          const MainWindowServices &s = main.services();
                                                          return new WebmailInboxWindow(s.db->db(), *s.prompt,
                                                                                        *s.clock);
                                                      },
                                                      {}});
    window.registerWindow(
        WindowEntry::SimAccess,
        {Show::Child,
         true,
         [](MainWindow &main) -> QWidget * { return new SimManagerWindow(main.engine(), *main.services().prompt); },
         {}});
    window.registerWindow(WindowEntry::KeywordAutoReply, {Show::Child,
                                                          false,
                                                          [](MainWindow &main) -> QWidget * {
                                                              return new KeywordReplyWindow(main.services().db->db(),
                                                                                            *main.services().prompt);
                                                          },
                                                          {}});
    window.registerWindow(WindowEntry::MissedCallReply, {Show::Modal, false, &createMissedCallReply, {}});
}

} // namespace parlix

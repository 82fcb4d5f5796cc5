#include "messages/MessageBoxWindow.h"
#include "shell/HomePage.h"
#include "shell/MainWindow.h"
#include "store/Database.h"

#include <QTabWidget>

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

MessageBoxServices messageBoxServices(MainWindow &main)
{
    const MainWindowServices &s = main.services();
    MessageBoxServices services;
    services.db = s.db->db();
    services.prompt = s.prompt;
    services.clock = s.clock;
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

} // namespace

void registerOperatorWindows(MainWindow &window)
{
    window.registerWindow(WindowEntry::MessageBox,
                          {WindowSpec::Show::Child, false,
                           [](MainWindow &main) -> QWidget * {
                               return new MessageBoxWindow(messageBoxServices(main), takeMsgType(main));
                           },
                           [](QWidget *open, MainWindow &main) {
                               const QString type = takeMsgType(main);
                               if (auto *box = qobject_cast<MessageBoxWindow *>(open))
                                   box->showFolderFor(type);
                           }});
}

} // namespace parlix

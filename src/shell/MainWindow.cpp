#include "shell/MainWindow.h"

#include "engine/Engine.h"
#include "shell/ActivityLog.h"
#include "shell/Prompt.h"
#include "shell/Startup.h"
#include "store/Database.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiArea>

namespace parlix {

MainWindow::MainWindow(MainWindowServices services, QWidget *parent)
    : QMainWindow(parent)
    , m_services(services)
    , m_mdi(new QMdiArea(this))
{
    setObjectName(QStringLiteral("MDI_Frmmanage"));
    setWindowTitle(appTitle());
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setBackground(QColor(0x5a, 0x6e, 0x82));
    setCentralWidget(m_mdi);
    resize(1024, 768);
}

bool MainWindow::load()
{
    m_services.log->setEnabled(true);
    auto settings = loadSettingsAtStartup(*m_services.db, *m_services.log);
    if (!settings) {
        m_loadError = settings.error();
        return false;
    }
    m_settings = settings.value();
    if (m_services.engine != nullptr) {
        Engine *engine = m_services.engine->engine();
        QMetaObject::invokeMethod(
            engine, [engine, s = m_settings] { engine->applySettings(s); }, Qt::QueuedConnection);
    }
    Q_EMIT loaded();
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the frame ends the program; the engine closes the port on its way out.
    if (m_services.engine != nullptr)
        m_services.engine->stop();
    event->accept();
    QCoreApplication::quit();
}

} // namespace parlix

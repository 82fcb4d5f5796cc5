#include "gui/main/TrayIcon.h"

#include "gui/common/Icons.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace parlix {

TrayIcon::TrayIcon(QWidget *mainWindow, QObject *parent)
    : QObject(parent)
    , m_window(mainWindow)
    , m_menu(new QMenu(QStringLiteral("MainMenu")))
    , m_icon(new QSystemTrayIcon(icons::app(), this))
{
    m_menu->setObjectName(QStringLiteral("mnuMainMenu"));
    QAction *minimize = m_menu->addAction(QStringLiteral("Minimize"));
    minimize->setObjectName(QStringLiteral("mnuMinimize"));
    QAction *show = m_menu->addAction(QStringLiteral("Show"));
    show->setObjectName(QStringLiteral("mnuShow"));
    m_menu->addSeparator();
    QAction *about = m_menu->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    m_menu->addSeparator();
    QAction *exit = m_menu->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("mnuExit"));

    connect(minimize, &QAction::triggered, this, [this] {
        if (m_window)
            m_window->hide();
    });
    connect(show, &QAction::triggered, this, [this] {
        if (!m_window)
            return;
        m_window->showMaximized();
        m_window->raise();
        m_window->activateWindow();
    });
    connect(about, &QAction::triggered, this, &TrayIcon::aboutRequested);
    connect(exit, &QAction::triggered, this, &TrayIcon::exitRequested);

    // Only the menu's "Show" brings the window back; clicks on the icon itself do nothing.
    m_icon->setContextMenu(m_menu);
}

TrayIcon::~TrayIcon()
{
    m_icon->hide();
    delete m_menu; // a context menu is not owned by the icon
}

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::showIcon(const QString &tip)
{
    m_icon->setToolTip(tip);
    m_icon->show();
    m_runningInTray = true;
}

void TrayIcon::removeIcon()
{
    m_icon->hide();
    if (QWidget *window = m_window; window && !window->isVisible())
        window->show();
    m_runningInTray = false;
}

void TrayIcon::changeToolTip(const QString &tip)
{
    if (m_runningInTray)
        m_icon->setToolTip(tip);
}

QString TrayIcon::toolTip() const
{
    return m_icon->toolTip();
}

} // namespace parlix

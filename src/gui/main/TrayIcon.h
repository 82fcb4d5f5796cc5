#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace parlix {

// cls_SysTrayCls and its menu: the main window's icon in the notification area while the
// window is minimised. Where the platform has no notification area the icon is never shown,
// and the main window must stay on screen (see MainWindow).
class TrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    explicit TrayIcon(QWidget *mainWindow, QObject *parent = nullptr);
    ~TrayIcon() override;

    static bool isAvailable();

    bool isRunningInTray() const { return m_runningInTray; }
    // The icon's tip is the home page caption as it is added; changeToolTip then renames it.
    void showIcon(const QString &tip);
    void removeIcon();
    // Only while the icon is shown; otherwise nothing changes.
    void changeToolTip(const QString &tip);
    QString toolTip() const;

    // mnuMainMenu: Minimize, Show, About, Exit.
    QMenu *menu() const { return m_menu; }

Q_SIGNALS:
    void aboutRequested();
    void exitRequested();

private:
    QPointer<QWidget> m_window;
    QMenu *m_menu;
    QSystemTrayIcon *m_icon;
    bool m_runningInTray = false;
};

} // namespace parlix

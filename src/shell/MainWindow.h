#pragma once

#include "shell/RuntimeSettings.h"

#include <QMainWindow>

class QMdiArea;

namespace parlix {

class ActivityLog;
class DbConnection;
class EngineHost;
class Prompt;
class Clock;

// Everything the main window is given by start-up; it owns none of it.
struct MainWindowServices
{
    ActivityLog *log = nullptr;
    DbConnection *db = nullptr;
    EngineHost *engine = nullptr;
    Prompt *prompt = nullptr;
    const Clock *clock = nullptr;
};

// MDI_Frmmanage: the frame every operator window opens in.
class MainWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(MainWindowServices services, QWidget *parent = nullptr);

    // The load: settings into the engine, in the fixed order. False (with the reason in
    // loadError()) when a setting stops the start-up.
    bool load();
    const QString &loadError() const { return m_loadError; }
    const RuntimeSettings &settings() const { return m_settings; }
    QMdiArea *mdiArea() const { return m_mdi; }
    const MainWindowServices &services() const { return m_services; }

Q_SIGNALS:
    void loaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    MainWindowServices m_services;
    QMdiArea *m_mdi;
    RuntimeSettings m_settings;
    QString m_loadError;
};

} // namespace parlix

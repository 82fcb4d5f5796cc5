#pragma once

#include "shell/RuntimeSettings.h"
#include "store/Database.h"

#include <QObject>
#include <QThread>

#include <memory>

namespace parlix {

class ActivityLog;
class Clock;
class Prompt;

// What every engine-side object needs from the process around it. The objects pointed to
// outlive the engine and are safe to use from its thread.
struct EngineContext
{
    QString databasePath;
    ActivityLog *log = nullptr;
    Prompt *prompt = nullptr;
    const Clock *clock = nullptr;
};

// Lives on the engine thread: owns that thread's database connection, the serial port, the
// modem flags and timers, and runs the passes. Other threads talk to it only through queued
// slot calls and its signals.
class Engine : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Engine)

public:
    explicit Engine(EngineContext context, QObject *parent = nullptr);
    ~Engine() override;

    const RuntimeSettings &settings() const { return m_settings; }

public Q_SLOTS:
    // Runs first on the engine thread: opens the engine's own database connection.
    void initialise();
    // A new copy of the settings, sent by start-up and the settings windows.
    void applySettings(const parlix::RuntimeSettings &settings);
    // Stops the timers and closes the port; the last call before the thread ends.
    void shutdown();

Q_SIGNALS:
    void initialised(bool ok, const QString &error);
    void settingsApplied();
    void stopped();

protected:
    EngineContext m_context;
    RuntimeSettings m_settings;
    DbConnectionPtr m_db;
};

// Owns the engine thread and the engine on it.
class EngineHost
{
    Q_DISABLE_COPY_MOVE(EngineHost)

public:
    explicit EngineHost(EngineContext context);
    ~EngineHost();

    Engine *engine() const { return m_engine; }

    void start();
    // Asks the engine to shut down, waits for it, and ends the thread.
    void stop();

private:
    QThread m_thread;
    Engine *m_engine = nullptr;
};

} // namespace parlix

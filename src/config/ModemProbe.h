#pragma once

#include "config/SettingsServices.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>

namespace parlix {

class ActivityLog;
class Prompt;

struct FoundModem
{
    QString port;         // the system's name of the port
    QString manufacturer; // the AT+CGMI answer, empty when the modem gave none
    QString model;        // the AT+CGMM answer, likewise
    bool pduMode = false; // the modem accepted AT+CMGF=0
};

// The ports a search probes, in order: the system's serial ports, then the extra paths;
// each name once.
QStringList modemSearchPortList(const ModemSearchPorts &ports);

// Searches the given ports for a modem: each is opened at 115200 8N1 and sent "AT"; a port
// that answers anything is asked for its manufacturer and model. Lives on a worker thread;
// run() blocks that thread for the whole search, cancel() may be called from any thread and
// stops the search at the next step.
class ModemProbe : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModemProbe)

public:
    ModemProbe(QStringList ports, double delayFactor, ActivityLog &log, Prompt &prompt, QObject *parent = nullptr);

    // The flag cancel() sets; a copy lets an owner cancel without touching the probe.
    std::shared_ptr<std::atomic<bool>> cancelFlag() const { return m_cancelled; }
    void cancel() { *m_cancelled = true; }
    bool isCancelled() const { return *m_cancelled; }

public Q_SLOTS:
    void run();

Q_SIGNALS:
    // Before each port is probed: the share of ports reached so far, 1 to 100.
    void progress(int percent, const QString &port);
    // Once, at the end; found is empty and cancelled true after cancel().
    void finished(const QVector<parlix::FoundModem> &found, bool cancelled);

private:
    QStringList m_ports;
    double m_delayFactor;
    ActivityLog &m_log;
    Prompt &m_prompt;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
};

// Runs a ModemProbe on a thread of its own, so the windows stay responsive. The thread and the
// probe delete themselves when the search ends, also when its owner is gone: a cancelled
// probe may still be waiting for one port's answer.
class ModemSearch : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModemSearch)

public:
    ModemSearch(QStringList ports, double delayFactor, ActivityLog &log, Prompt &prompt, QObject *parent = nullptr);
    ~ModemSearch() override;

    void start();
    void cancel();

    // Waits until every search thread of the process has ended (for shutdown and tests).
    static bool waitForAll(int timeoutMs);

Q_SIGNALS:
    void progress(int percent, const QString &port);
    void finished(const QVector<parlix::FoundModem> &found, bool cancelled);

private:
    ModemProbe *m_probe = nullptr; // deleted with its thread
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    bool m_started = false;
};

} // namespace parlix

Q_DECLARE_METATYPE(parlix::FoundModem)

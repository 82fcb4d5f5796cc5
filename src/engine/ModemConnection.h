#pragma once

#include "config/RuntimeSettings.h"

#include <QObject>
#include <QSqlDatabase>
#include <QTimer>

namespace parlix {

class ActivityLog;
class Modem;
class Prompt;

// The connect and disconnect commands: reads the ModemSettings row, configures and opens the
// port, initialises the modem, and tells the engine which timer periods to use and the GUI
// which state to show. Lives on the engine thread beside the Modem it drives.
//
// After the port disappeared by itself (an unplugged USB modem) — not after the operator's
// Disconnect — it probes the port quietly, and runs the connect command again once the port
// opens. Without an operator (headless) it also keeps trying after a connect that found no
// modem or a modem that did not answer, the pause growing from a few seconds to a minute. A
// try that fails as the one before did is not logged again. Disconnect stops the probing.
class ModemConnection : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModemConnection)

public:
    ModemConnection(Modem &modem, ActivityLog &log, Prompt &prompt, QObject *parent = nullptr);
    ~ModemConnection() override;

    // The engine thread's database connection, read by every connect command.
    void setDatabase(QSqlDatabase db) { m_db = std::move(db); }
    // SMSDeliveryMedia, ReceiveIntervalSeconds, SendIntervalSeconds, and ModemDelayFactor,
    // PduMode and DeliveryReportsRequested (handed on to the Modem) are used.
    void setSettings(const RuntimeSettings &settings);

    // The connect command (menu Connect, first toolbar button, start-up).
    void connectModem();
    // The disconnect command (menu Disconnect, first toolbar button, Exit).
    void disconnectModem();

    // The state the menus and toolbar show: true from a connect that opened the port (even
    // when the initialisation then failed) until Disconnect.
    bool isConnected() const { return m_connected; }
    bool isReconnecting() const { return m_reconnectTimer.isActive(); }

    // The pause before the first try, doubled after each failed try up to maxMs.
    void setReconnectPauses(int firstMs, int maxMs);
    // Headless: no operator answers the question a failed connect asks, so keep trying.
    void setKeepTrying(bool on) { m_keepTrying = on; }

Q_SIGNALS:
    // Connect disabled / Disconnect enabled / toolbar "Disconnect" when true; the reverse when false.
    void connectedChanged(bool connected);
    // The periods of the receive timer and the send timer; 0 stops them.
    void timerPeriodsSet(int receiveMs, int sendMs);
    // Without a modem in gateway or mix mode: the send timer gets this period and starts.
    void sendTimerStarted(int sendMs);
    // Show the settings window (no ModemSettings row, or Yes to "No modem found …").
    void settingsWindowRequested();

private:
    void setConnected(bool on);
    void onPortLost(const QString &portName);
    void startRetrying(const QString &portName);
    void stopRetrying();
    void tryReconnect();

    Modem &m_modem;
    ActivityLog &m_log;
    Prompt &m_prompt;
    QSqlDatabase m_db;
    RuntimeSettings m_settings;
    bool m_connected = false;
    bool m_keepTrying = false;
    QString m_lostPort;
    QString m_lastTrouble;      // what the last failed try found, logged once
    bool m_modemSilent = false; // the port opens but the modem does not answer
    int m_firstPauseMs;
    int m_maxPauseMs;
    int m_pauseMs = 0;
    bool m_retryingNow = false; // the connect command runs from a retry
    QTimer m_reconnectTimer;
};

} // namespace parlix

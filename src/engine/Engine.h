#pragma once

#include "config/RuntimeSettings.h"
#include "core/EngineContext.h"
#include "core/WorkerThread.h"
#include "modem/ModemReplies.h"
#include "store/Database.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace parlix {

class ActivityLog;
class CallWatcher;
class Clock;
class GatewayTimer;
class Modem;
class ModemConnection;
class OutboxPass;
class Prompt;
class ReceivePass;
class SmtpGateway;
struct SmtpOptions;

// Lives on the engine thread: owns that thread's database connection, the modem (serial port,
// flags, AT operations), the receive timer, the send timer and the one-second
// call-watch timer, and runs the outbox and receive passes. Every slot is meant to be called
// from other threads with a queued call (QMetaObject::invokeMethod(engine, "sendAll",
// Qt::QueuedConnection)); it returns at once for the caller and reports through the signals
// below, which a window connects to with queued (automatic) connections.
//
// Everything the modem, the timers and the passes need is created in initialise(), on the
// engine thread, so it all belongs to that thread.
class Engine : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Engine)

public:
    explicit Engine(EngineContext context, QObject *parent = nullptr);
    ~Engine() override;

    const RuntimeSettings &settings() const { return m_settings; }

    // Safe from any thread: the pass in flight ends after its current exchange, so that the
    // shutdown queued behind it runs soon.
    void requestStop() { m_stopRequested = true; }

    // ---- For tests and benchmarks, on the engine thread, after initialise() ------------------
    Modem *modem() const { return m_modem.get(); }
    ModemConnection *connection() const { return m_connection.get(); }
    CallWatcher *callWatcher() const { return m_callWatcher.get(); }
    OutboxPass *outboxPass() const { return m_outbox.get(); }
    ReceivePass *receivePass() const { return m_receive.get(); }
    GatewayTimer *receiveTimer() const { return m_receiveTimer.get(); }
    GatewayTimer *sendTimer() const { return m_sendTimer.get(); }
    GatewayTimer *callTimer() const { return m_callTimer.get(); }
    void setSmtpOptions(const SmtpOptions &options);
    // Replaces playing the shipped sound of that name (tests record the sounds asked for).
    void setPlaySound(std::function<void(const QString &fileName)> play);
    // Replaces the process-wide BlockingWindowOpen() flag.
    void setBlockingWindowOpen(std::function<bool()> open);

    // The tick handlers, run by the timers; tests call them directly instead of waiting.
    void receiveTick(); // the receive timer: a receive pass
    void sendTick();    // the send timer: an outbox pass
    void refreshTick(); // every second: call state and the missed-call reply

public Q_SLOTS:
    // Runs first on the engine thread: opens the engine's own database connection and creates
    // the modem, the timers and the passes. initialised(false, why) when the database fails.
    void initialise();
    // A new copy of the settings, sent by start-up and the settings windows.
    void applySettings(const parlix::RuntimeSettings &settings);
    // The last start-up step: connects to the modem unless SMS go out through the SMTP gateway
    // alone (start-up must have applied the settings first).
    void startGateway();
    // Starts the send timer without a modem, as a failed connect does in gateway or mix mode.
    // Headless runs with the SMTP gateway alone use it, having no Connect command.
    void startSendTimer();
    // Stops the timers and closes the port; the last call before the thread ends.
    void shutdown();

    // Menu and toolbar commands.
    void connectModem();
    void disconnectModem();
    // The first toolbar button: disconnect when the port is connected, else connect.
    void toggleConnection();

    // Message box commands. Each ends with its ...Finished signal.
    void sendAll();                   // one outbox pass
    void receiveAll(int listDelayMs); // one receive pass (the window passes factor × 200)

    // SIM message manager. Without a modem link each shows the "not communicating" message.
    // listSimMessages lists the given statuses in order (fixed 1500 ms delay), one
    // simMessagesListed per status, then simListingFinished.
    void listSimMessages(const QStringList &statuses);
    void deleteSimMessages(const QList<int> &indexes);
    void deleteSimMessagesByStatus(const QStringList &statuses);

Q_SIGNALS:
    void initialised(bool ok, const QString &error);
    void settingsApplied();
    void stopped();

    // Menus and toolbar: Connect disabled / Disconnect enabled / button "Disconnect" when true.
    void connectedChanged(bool connected);
    void portConnectedChanged(bool portConnected);
    void modemReadyChanged(bool ready);
    // The settings window should open (no modem settings, or Yes to "No modem found …").
    void settingsWindowRequested();

    // RefreshMessageBoxWindow: the message box, when open, rebuilds its tree and refreshes.
    void refreshMessageBoxWindow();
    // A received SMS was stored; the message box shows it at the top of an open inbox list.
    void smsStored(qint64 inboxId, const QString &sender, const QString &message, const QDateTime &when);
    // An outbox row became SENT.
    void smsSent(qint64 outboxId);
    // Progress of an outbox pass: rows handled of those waiting when it began.
    void outboxProgress(int done, int total);
    void sendAllFinished();
    void receiveAllFinished();

    void simMessagesListed(const QString &status, const parlix::SIMMessageList &messages);
    void simListingFinished();
    void simMessagesDeleted();

    // A caller's number was read and recorded at the first ring of a call.
    void incomingCall(const QString &number);

protected:
    EngineContext m_context;
    RuntimeSettings m_settings;
    DbConnectionPtr m_db;

private:
    bool requireModemLink();
    void reportLeftSending();
    void afterBusyWork(GatewayTimer *ran = nullptr);
    void playSound(const QString &fileName);

    std::unique_ptr<Modem> m_modem;
    std::unique_ptr<ModemConnection> m_connection;
    std::unique_ptr<SmtpGateway> m_smtp;
    std::unique_ptr<GatewayTimer> m_receiveTimer;
    std::unique_ptr<GatewayTimer> m_sendTimer;
    std::unique_ptr<GatewayTimer> m_callTimer;
    std::unique_ptr<OutboxPass> m_outbox;
    std::unique_ptr<ReceivePass> m_receive;
    std::unique_ptr<CallWatcher> m_callWatcher;
    std::function<void(const QString &)> m_playSound;
    std::function<bool()> m_blockingWindowOpen;
    bool m_busy = false;
    std::atomic<bool> m_stopRequested = false;
};

// Owns the engine thread and the engine on it.
class EngineHost : public WorkerThread<Engine>
{
    Q_DISABLE_COPY_MOVE(EngineHost)

public:
    explicit EngineHost(EngineContext context);
    ~EngineHost();

    Engine *engine() const { return worker(); }

    // Asks the engine to shut down, waits for it, and ends the thread.
    void stop();
};

} // namespace parlix

Q_DECLARE_METATYPE(parlix::SIMMessage)

#pragma once

#include "engine/CallerIdentity.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace parlix {

class ActivityLog;
class Clock;
class GatewayTimer;
class Modem;
class Prompt;
struct RuntimeSettings;

// Watches incoming calls without answering them: logs and records each call at its first
// identified ring, keeps the modem locked and the gateway timers paused while a call is in
// progress, and queues the missed-call reply once the line is idle again. Fed by the modem's
// unsolicited lines and by the one-second tick; lives on the engine thread.
class CallWatcher : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CallWatcher)

public:
    struct State
    {
        int RingCounter = 1;
        int CLIPFoundCounter = 0;
        bool IncomingCallFlag = false;
        QString LastCallStatus;
        QString LastCallerNumber;
        bool IsLastCallerNumberMobile = false;
        CallerIdentity lastIdentity; // the fields IdentifyCallerNumber sets
    };

    CallWatcher(QSqlDatabase db, ActivityLog &log, Prompt &prompt, const Clock &clock, Modem &modem,
                GatewayTimer &receiveTimer, GatewayTimer &sendTimer, QObject *parent = nullptr);
    ~CallWatcher() override;

    void setSettings(const RuntimeSettings &settings);
    void setPlaySound(std::function<void(const QString &fileName)> play) { m_playSound = std::move(play); }
    // Whether a window that keeps callers unidentified is open (settings, modem search).
    void setBlockingWindowOpen(std::function<bool()> open) { m_blockingWindowOpen = std::move(open); }

    const State &state() const { return m_state; }

    // A line the modem sent on its own.
    void onUnsolicitedLine(const QString &line);
    // The call-state part of the one-second tick. The missed-call reply is decided right after
    // it, once the lines that arrived during the call-state query have been handled.
    void onTick();

Q_SIGNALS:
    // A caller's number was read at the first ring of a call.
    void callRecorded(const QString &number);
    void missedCallReplyQueued(qint64 outboxId, const QString &number);

private:
    void takeCallerNumber(const QString &number);
    void RecordIncomingCall(const QString &number);
    void showCloseFormsNotice();
    void queueMissedCallReply(quint64 callLinesAtPoll);
    void resumeTimers();

    QSqlDatabase m_db;
    ActivityLog &m_log;
    Prompt &m_prompt;
    const Clock &m_clock;
    Modem &m_modem;
    GatewayTimer &m_receiveTimer;
    GatewayTimer &m_sendTimer;
    std::function<void(const QString &)> m_playSound;
    std::function<bool()> m_blockingWindowOpen;

    State m_state;
    bool m_awaitingNumber = false; // a RING came and its caller line has not yet
    quint64 m_callLines = 0;       // RING, +CLIP and +CLCC lines seen so far
    bool m_replyEnabled = false;
    QString m_replyMessage;
    std::shared_ptr<std::atomic<bool>> m_noticeShowing = std::make_shared<std::atomic<bool>>(false);
};

} // namespace parlix

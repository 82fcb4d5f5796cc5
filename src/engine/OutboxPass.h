#pragma once

#include "config/RuntimeSettings.h"

#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <functional>

namespace parlix {

class ActivityLog;
class Clock;
class Modem;
class OutboxRepository;
class SmtpGateway;
struct OutboxRow;

// The text both passes log (or show) when a modem command is asked for without a modem link.
inline const QString kNotCommunicatingText =
    QStringLiteral("Computer is not communicating with the modem. Please select the option 'Listen To Modem' before "
                   "executing any modem commands.");

// The outbox pass: sends every waiting row of Message_OutBox, one after another, through the
// modem or the SMTP gateway, and records each outcome. Runs on the engine thread.
class OutboxPass
{
public:
    struct Hooks
    {
        std::function<void()> refreshMessageBox;      // RefreshMessageBoxWindow
        std::function<void(qint64 outboxId)> smsSent; // a row became SENT
        std::function<void(int done, int total)> progress;
    };

    OutboxPass(QSqlDatabase db, ActivityLog &log, const Clock &clock, Modem &modem, const SmtpGateway &smtp);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    // The pause after each successful send, which paces the modem; 100 ms.
    void setPauseAfterSendMs(int ms) { m_pauseMs = ms; }

    // The station this pass sends for, and how long a claim on a row lasts unless renewed; the
    // host's name and five minutes unless set.
    void setStation(const QString &station) { m_station = station; }
    void setLeaseSeconds(int seconds) { m_leaseSeconds = seconds; }

    // Set when the program is stopping: the pass ends after the exchange in flight, between
    // rows or between the parts of a long SMS (the rest of it goes at the next start).
    void setStopFlag(const std::atomic<bool> *stop) { m_stop = stop; }

    // One pass over the rows waiting when it starts: each is claimed for this station just
    // before it goes, so stations sharing the outbox never send the same row. Leases that ran
    // out are ended first.
    void SendOutboxSMS(const RuntimeSettings &settings);

private:
    // How a row went, and so how the pass goes on: Skipped when the operator deleted or
    // changed the row since the pass began, Abort on a database fault (the pass ends).
    enum class Outcome { Sent, Failed, Skipped, Abort, Stopped };
    // Sends one claimed row: checks the number, picks the medium, holds the row for it, sends
    // it and records the outcome. A faulty number is parked and counts as Failed.
    Outcome sendRow(const RuntimeSettings &settings, const OutboxRow &row, OutboxRepository &outbox);
    // The medium for one row: the delivery medium, or in mix mode the one its number's rule picks.
    DeliveryMedium mediumFor(const RuntimeSettings &settings, const OutboxRow &row);
    Outcome sendThroughModem(const RuntimeSettings &settings, const OutboxRow &row);
    Outcome sendThroughGateway(const RuntimeSettings &settings, const OutboxRow &row);
    // Records the medium on the claimed row and renews its lease; Skipped when this station no
    // longer holds it, Abort on a database fault.
    Outcome hold(qint64 id, const QString &medium);
    QDateTime leaseEnd() const;
    void expireLeases(OutboxRepository &outbox);
    void logDatabaseError(const QString &error);
    bool stopping() const { return m_stop != nullptr && m_stop->load(); }

    QSqlDatabase m_db;
    ActivityLog &m_log;
    const Clock &m_clock;
    Modem &m_modem;
    const SmtpGateway &m_smtp;
    Hooks m_hooks;
    int m_pauseMs = 100;
    QString m_station;
    int m_leaseSeconds = 300;
    const std::atomic<bool> *m_stop = nullptr;
};

} // namespace parlix

#pragma once

#include "store/StationRepository.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <functional>

namespace parlix {

class ActivityLog;
class Clock;
class Modem;
class Prompt;
struct SIMMessage;

// The receive pass: copies every received SMS on the SIM into Message_InBox, removes it from
// the SIM once its row is committed, and queues a keyword auto-reply. Runs on the engine thread.
class ReceivePass
{
public:
    struct Hooks
    {
        // A new inbox row, for the message box to show at the top of its inbox list.
        std::function<void(qint64 inboxId, const QString &sender, const QString &message, const QDateTime &when)>
            smsStored;
        std::function<void()> refreshMessageBox; // fillTreeView and a refresh
        std::function<void(const QString &fileName)> playSound;
    };

    ReceivePass(QSqlDatabase db, ActivityLog &log, Prompt &prompt, const Clock &clock, Modem &modem);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    // How long kept parts of a long SMS wait for the rest before they are stored as they are.
    void setPartsWaitHours(double hours) { m_partsWaitHours = hours; }
    // Set when the program is stopping: the pass ends between two records.
    void setStopFlag(const std::atomic<bool> *stop) { m_stop = stop; }
    // The station the stored SMS are marked as received by.
    void setStation(const QString &station) { m_station = station; }

    // listDelay is handed to the SIM listing unchanged (ModemDelayFactor × 400 from the timer,
    // × 200 from the message box).
    void ReceiveSIMMessages(qint16 listDelay);
    // A delivery report the modem pushed ("+CDS: <length>\n<PDU>", as the modem hands it on):
    // recorded on its outbox row; one nobody asked for is only logged.
    void takePushedReport(const QString &line);

private:
    void queueKeywordReply(const QString &sender, const QString &message);
    void storeStaleParts();
    // Each returns whether the entry may leave the SIM.
    bool takePart(const SIMMessage &entry, const QString &sender);
    bool takeReport(const SIMMessage &entry);
    bool recordReport(int reference, const QString &recipient, int status);
    void announce(qint64 id, const QString &sender, const QString &text, const QDateTime &when);

    QSqlDatabase m_db;
    ActivityLog &m_log;
    Prompt &m_prompt;
    const Clock &m_clock;
    Modem &m_modem;
    Hooks m_hooks;
    double m_partsWaitHours = 24;
    const std::atomic<bool> *m_stop = nullptr;
    QString m_station = thisStation();
};

} // namespace parlix

#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <optional>

namespace parlix {

// The values of Message_OutBox.DeliveryStatus; null or empty means waiting.
namespace delivery {
inline const QString kSending = QStringLiteral("SENDING");
inline const QString kSent = QStringLiteral("SENT");
inline const QString kFaultyNumber = QStringLiteral("FAULTY NUMBER");
} // namespace delivery

// The values of Message_OutBox.ReportStatus, from the phone's delivery reports; null while no
// report was asked for or none came yet.
namespace report {
inline const QString kDelivered = QStringLiteral("DELIVERED");
inline const QString kFailed = QStringLiteral("FAILED");
inline const QString kPending = QStringLiteral("PENDING"); // reports of some parts still awaited
} // namespace report

// One part of an outgoing SMS as recorded: planned when its row starts sending, confirmed once
// the modem accepted it.
struct OutboxPart
{
    int partNo = 0; // 1-based
    int partCount = 0;
    int concatRef = 0;
    int messageRef = -1; // the modem's "+CMGS: n"; -1 when none is known
    bool confirmed = false;
};

// Where a delivery report belongs.
struct ReportTarget
{
    qint64 outboxId = 0;
    int partNo = 0;
};

struct OutboxRow
{
    qint64 id = 0;
    QString recipientMobileNo;
    QString message;
    QDateTime outBoxDateTime;
    QDateTime deliveryDatetime;
    QString deliveryStatus;
    QString smsFromName;
    QString reportStatus; // see report::
    QDateTime reportDatetime;
    QString claimedBy; // the station sending it, while "SENDING"
    QString sentBy;    // the station that sent it
};

// The medium a claimed row is being sent by, recorded before anything goes out: what an
// expired lease means depends on it.
namespace claim {
inline const QString kModem = QStringLiteral("MODEM");
inline const QString kSmtp = QStringLiteral("SMTP");
} // namespace claim

// What expireLeases did.
struct ExpiredLeases
{
    qint64 returnedToWaiting = 0; // nothing can have gone out: waiting again
    qint64 leftSending = 0;       // the modem may have sent it: "SENDING", the station named
};

// The two folders the message box makes of the outbox table: rows without a delivery time
// (still to go, whatever their status) and rows with one.
enum class OutboxFolder { Waiting, Sent };
// Default is the folder's own order and its date column's: the waiting rows oldest first,
// the sent rows newest delivery first.
enum class OutboxSort { Default, Recipient, Message };

struct OutboxQuery
{
    OutboxFolder folder = OutboxFolder::Waiting;
    QString number; // an operator's number search (see sql::numberMatch)
    OutboxSort sort = OutboxSort::Default;
};

// Every statement on Message_OutBox.
class OutboxRepository
{
public:
    explicit OutboxRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    // Queues one pending SMS. fromName is stored as null when empty.
    Result<qint64> insertPending(const QString &recipient, const QString &message, const QDateTime &when,
                                 const QString &fromName = {});

    // Rows without a delivery time (waiting, sending or parked); what the home page counts.
    Result<qint64> countUndelivered();

    // SentBy is station, or when none is given the station that held the row.
    Status markSent(qint64 id, const QDateTime &when, const QString &station = {});
    Status markFaultyNumber(qint64 id);
    Status markPending(qint64 id);
    // Puts rows stuck in "SENDING" back to waiting; returns how many. Given now, a row a
    // station holds on a lease still running is left alone: it is being sent.
    Result<qint64> resetSending(const QDateTime &now = {});
    // Rows at "SENDING": left so by a process that was killed while it sent them. Given a
    // station, only the rows it holds (or that no station holds).
    Result<qint64> countSending(const QString &station = {});

    // ---- Claims of several stations on one outbox ----
    //
    // A station claims waiting rows with one conditional update that sets "SENDING", the
    // station and the lease's end, so each row is claimed once however many stations try at
    // the same moment (PostgreSQL: a batch under FOR UPDATE SKIP LOCKED, claimers never wait for
    // each other; SQLite: one writer at a time). The holder records the medium before it sends
    // and renews the lease while it works; a row another station holds is never sent.

    // Claims up to limit waiting rows, oldest first, for station until leaseEnd; the rows claimed.
    // Only rows with afterId < Outbox_Id <= upToId are taken when those are given: a pass goes
    // once over the rows that waited when it began.
    Result<QVector<OutboxRow>> claimWaiting(const QString &station, const QDateTime &leaseEnd, int limit,
                                            qint64 afterId = 0, qint64 upToId = -1);
    // The highest Outbox_Id of a waiting row and how many wait; {0, 0} when none.
    Result<std::pair<qint64, qint64>> waitingExtent();
    // Records the medium and renews the lease; false when station no longer holds the row (its
    // lease ran out and the row went back or to another station): it must not be sent then.
    Result<bool> holdForSending(qint64 id, const QString &station, const QString &medium, const QDateTime &leaseEnd);
    // Ends the leases that ran out before now: rows on the SMTP path or without a medium go back
    // to waiting; rows on the modem path stay "SENDING" with their station named, for the
    // operator to decide (the SMS may have gone out).
    Result<ExpiredLeases> expireLeases(const QDateTime &now);

    Result<OutboxRow> find(qint64 id);

    // One page of a folder and the folder's size; see InboxRepository::page.
    Result<qint64> count(const OutboxQuery &query);
    Result<QVector<OutboxRow>> page(const OutboxQuery &query, qint64 limit, qint64 offset, qint64 total = -1);
    // Deletes a row only while it is still in the folder the operator saw it in, so a row
    // delivered in the meantime is not deleted from the outbox view, nor the other way round.
    // Returns whether a row was deleted.
    Result<bool> removeFromFolder(qint64 id, OutboxFolder folder);

    // ---- Parts (Message_OutBox_Parts) ----

    Result<QVector<OutboxPart>> parts(qint64 outboxId);
    // Records the plan for a row: partCount parts under concatRef. Parts already recorded with
    // the same count are kept (confirmed ones stay confirmed); a different count replaces them,
    // the text having been cut differently.
    Status planParts(qint64 outboxId, int partCount, int concatRef);
    // The modem accepted the part; messageRef < 0 when it named no reference.
    Status confirmPart(qint64 outboxId, int partNo, int messageRef, const QDateTime &when);
    // The most recent confirmed part sent to recipient (compared by the last ten digits) under
    // this message reference; no value when none matches.
    Result<std::optional<ReportTarget>> findReportTarget(int messageRef, const QString &recipient);
    // Stores a part's report (TP-Status) and sets the row's ReportStatus from all its parts:
    // DELIVERED when every part was delivered, FAILED when one failed for good, else PENDING.
    Status recordReport(const ReportTarget &target, int status, const QDateTime &when);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

namespace parlix {

// The values of Message_OutBox.DeliveryStatus; null or empty means waiting.
namespace delivery {
inline const QString kSending = QStringLiteral("SENDING");
inline const QString kSent = QStringLiteral("SENT");
inline const QString kFaultyNumber = QStringLiteral("FAULTY NUMBER");
} // namespace delivery

struct OutboxRow
{
    qint64 id = 0;
    QString recipientMobileNo;
    QString message;
    QDateTime outBoxDateTime;
    QDateTime deliveryDatetime;
    QString deliveryStatus;
    QString smsFromName;
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
    explicit OutboxRepository(QSqlDatabase db) : m_db(std::move(db)) {}

    // Queues one pending SMS. fromName is stored as null when empty.
    Result<qint64> insertPending(const QString &recipient, const QString &message, const QDateTime &when,
                                 const QString &fromName = {});

    // Rows waiting to be sent: no delivery time and an empty or null status, oldest first.
    Result<QVector<OutboxRow>> pending();
    // Rows without a delivery time (waiting, sending or parked); what the home page counts.
    Result<qint64> countUndelivered();

    // Claims a waiting row for sending. False (and no change) when the row is gone, already
    // sent, or no longer waiting: the operator deleted or changed it after the pass began.
    Result<bool> claimForSending(qint64 id);
    Status markSent(qint64 id, const QDateTime &when);
    Status markFaultyNumber(qint64 id);
    Status markPending(qint64 id);
    // Puts rows stuck in "SENDING" back to waiting; returns how many.
    Result<qint64> resetSending();

    Result<OutboxRow> find(qint64 id);

    // One page of a folder and the folder's size; see InboxRepository::page.
    Result<qint64> count(const OutboxQuery &query);
    Result<QVector<OutboxRow>> page(const OutboxQuery &query, qint64 limit, qint64 offset, qint64 total = -1);
    // Deletes a row only while it is still in the folder the operator saw it in, so a row
    // delivered in the meantime is not deleted from the outbox view, nor the other way round.
    // Returns whether a row was deleted.
    Result<bool> removeFromFolder(qint64 id, OutboxFolder folder);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

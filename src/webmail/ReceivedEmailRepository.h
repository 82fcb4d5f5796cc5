#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace parlix {

// One email as it is stored for the webmail inbox viewer.
struct ReceivedEmail
{
    QString fromName;
    QString fromAddress;
    QString subject;
    QDateTime emailDateTime; // the wall-clock time written in the email; invalid stores null
    QString contentType;
    QString textMessage;
    QDateTime receivedOn;
    bool sentToSms = false;
    QString reasonForNotSending; // stored as null when empty
};

// What the webmail inbox viewer lists: by outcome, a part of the sender's address, the SMS
// user name written right after the opening user-name tag, and the email's date from the
// start of `from` to the end of `to`. Blank texts filter nothing.
struct ReceivedEmailFilter
{
    enum class Outcome { All, SentToSms, NotSentToSms };
    Outcome outcome = Outcome::All;
    QString sender;
    QString userName;
    QDate from;
    QDate to;
};

// One row of the viewer's list.
struct ReceivedEmailRow
{
    qint64 id = 0;
    QDateTime emailDateTime;
    QString fromAddress;
    QString subject;
    QDateTime receivedOn;
    QString reasonForNotSending;
};

// Every statement on WebMailToSMS_MessagesReceived and WebMailToSMS_ProcessedUidl.
//
// A ProcessedUidl row says a mailbox message has been dealt with: MessagesReceivedId names the
// stored email whose SMS were queued (the message only waits to be deleted from the mailbox),
// or is null for a message left in the mailbox on purpose because it has no text body.
class ReceivedEmailRepository
{
public:
    explicit ReceivedEmailRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    Result<qint64> insert(const ReceivedEmail &email);

    // The viewer's list, newest email first; pages as InboxRepository's.
    Result<qint64> count(const ReceivedEmailFilter &filter);
    Result<QVector<ReceivedEmailRow>> page(const ReceivedEmailFilter &filter, qint64 limit, qint64 offset,
                                           qint64 total = -1);
    // The text of one stored email; no value when it is gone.
    Result<std::optional<QString>> textOf(qint64 id);
    // Removes the stored email only: what the mailbox poller remembers of it stays, so a
    // message still waiting in the mailbox is never charged again.
    Status remove(qint64 id);

    // Remembered messages whose key starts with prefix: key -> stored email id (null when left
    // in the mailbox).
    Result<QHash<QString, std::optional<qint64>>> processedWithPrefix(const QString &prefix);
    // False when the key was remembered already: another poller got there first (the row
    // waits for the end of its transaction), and this one must leave the message alone.
    Result<bool> rememberProcessed(const QString &key, std::optional<qint64> messagesReceivedId, const QDateTime &when);
    Status linkProcessed(const QString &key, qint64 messagesReceivedId);
    Status forgetProcessed(const QStringList &keys);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

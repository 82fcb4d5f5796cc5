#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

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

    // Remembered messages whose key starts with prefix: key -> stored email id (null when left
    // in the mailbox).
    Result<QHash<QString, std::optional<qint64>>> processedWithPrefix(const QString &prefix);
    Status rememberProcessed(const QString &key, std::optional<qint64> messagesReceivedId, const QDateTime &when);
    Status linkProcessed(const QString &key, qint64 messagesReceivedId);
    Status forgetProcessed(const QStringList &keys);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

#include "webmail/ReceivedEmailRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

namespace parlix {

namespace {

QVariant textOrNull(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

QVariant idOrNull(std::optional<qint64> id)
{
    return id ? QVariant(*id) : QVariant(QMetaType(QMetaType::LongLong));
}

} // namespace

Result<qint64> ReceivedEmailRepository::insert(const ReceivedEmail &email)
{
    auto q = sql::run(m_db,
                      QStringLiteral("INSERT INTO WebMailToSMS_MessagesReceived (EmailFromName,EmailFromAddress,"
                                     "EmailSubject,EmailDateTime,EmailContentType,EmailTextMessage,MessageReceivedOn,"
                                     "IsEmailSentToSMS,ReasonForNotSendingSMS) VALUES (?,?,?,?,?,?,?,?,?)"),
                      {email.fromName, email.fromAddress, email.subject, sql::dateValue(email.emailDateTime),
                       email.contentType, email.textMessage, sql::dateValue(email.receivedOn),
                       sql::boolValue(email.sentToSms), textOrNull(email.reasonForNotSending)});
    if (!q)
        return Result<qint64>::failure(q.error());
    return q.value().lastInsertId().toLongLong();
}

Result<QHash<QString, std::optional<qint64>>> ReceivedEmailRepository::processedWithPrefix(const QString &prefix)
{
    using R = Result<QHash<QString, std::optional<qint64>>>;
    auto q = sql::run(m_db,
                      QStringLiteral("SELECT Uidl,MessagesReceivedId FROM WebMailToSMS_ProcessedUidl "
                                     "WHERE substr(Uidl,1,?)=?"),
                      {prefix.size(), prefix});
    if (!q)
        return R::failure(q.error());
    QHash<QString, std::optional<qint64>> out;
    while (q.value().next()) {
        const QVariant id = q.value().value(1);
        out.insert(q.value().value(0).toString(), id.isNull() ? std::nullopt : std::optional<qint64>(id.toLongLong()));
    }
    return out;
}

Status ReceivedEmailRepository::rememberProcessed(const QString &key, std::optional<qint64> messagesReceivedId,
                                                  const QDateTime &when)
{
    return sql::run(m_db,
                    QStringLiteral("INSERT INTO WebMailToSMS_ProcessedUidl (Uidl,MessagesReceivedId,ProcessedOn) "
                                   "VALUES (?,?,?)"),
                    {key, idOrNull(messagesReceivedId), sql::dateValue(when)})
        .status();
}

Status ReceivedEmailRepository::linkProcessed(const QString &key, qint64 messagesReceivedId)
{
    return sql::run(m_db, QStringLiteral("UPDATE WebMailToSMS_ProcessedUidl SET MessagesReceivedId=? WHERE Uidl=?"),
                    {messagesReceivedId, key})
        .status();
}

Status ReceivedEmailRepository::forgetProcessed(const QStringList &keys)
{
    for (const QString &key : keys) {
        if (Status s =
                sql::run(m_db, QStringLiteral("DELETE FROM WebMailToSMS_ProcessedUidl WHERE Uidl=?"), {key}).status();
            !s)
            return s;
    }
    return Status::success();
}

} // namespace parlix

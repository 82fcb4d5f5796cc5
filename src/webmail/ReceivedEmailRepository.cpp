#include "webmail/ReceivedEmailRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <QStringList>

#include <algorithm>

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

// The name index holds this many characters after the tag (see the schema).
constexpr int kIndexedNameLength = 64;
const QString kUserNameTag = QStringLiteral("<smsusername>");

QString containing(const QString &text)
{
    return QLatin1Char('%') + text + QLatin1Char('%');
}

// The rows of a trigram index that hold text: a phrase lookup (the index alone answers it)
// unless the text has LIKE's wildcards, whose meaning a phrase would not keep. Either finds at
// least every row whose column contains the text; the caller's LIKE on the table decides.
QString indexLookup(const QString &table, const QString &column, const QString &text, QVariantList *values)
{
    if (text.contains(QLatin1Char('%')) || text.contains(QLatin1Char('_'))) {
        *values << containing(text);
        return QStringLiteral("id IN (SELECT rowid FROM %1 WHERE %2 LIKE ?)").arg(table, column);
    }
    *values << QString(QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                       QLatin1Char('"'));
    return QStringLiteral("id IN (SELECT rowid FROM %1 WHERE %1 MATCH ?)").arg(table);
}

QString whereClause(const QSqlDatabase &db, const ReceivedEmailFilter &filter, QVariantList *values)
{
    QStringList conditions;
    switch (filter.outcome) {
    case ReceivedEmailFilter::Outcome::SentToSms:
        conditions << QStringLiteral("IsEmailSentToSMS=1");
        break;
    case ReceivedEmailFilter::Outcome::NotSentToSms:
        conditions << QStringLiteral("IsEmailSentToSMS=0");
        break;
    case ReceivedEmailFilter::Outcome::All:
        break;
    }
    const QString sender = filter.sender.trimmed();
    if (!sender.isEmpty()) {
        // The trigram index needs three characters to look anything up. PostgreSQL's is on the
        // column itself and serves the LIKE below.
        if (sender.size() >= 3 && sql::hasTrigramTables(db))
            conditions << indexLookup(QStringLiteral("WebMailToSMS_Senders"), QStringLiteral("EmailFromAddress"),
                                      sender, values);
        conditions << sql::likeCondition(db, QStringLiteral("EmailFromAddress"));
        *values << containing(sender);
    }
    const QString userName = filter.userName.trimmed();
    if (!userName.isEmpty()) {
        // Every stored email has the tag, so a lookup that includes it reads the whole index;
        // the name alone is far more selective once it is long enough to look up.
        const QString indexed = userName.left(kIndexedNameLength);
        if (sql::hasTrigramTables(db)) {
            conditions << indexLookup(QStringLiteral("WebMailToSMS_UserNameTags"), QStringLiteral("Tags"),
                                      indexed.size() >= 3 ? indexed : kUserNameTag + indexed, values);
        }
        conditions << sql::likeCondition(db, QStringLiteral("EmailTextMessage"));
        *values << containing(kUserNameTag + userName);
    }
    conditions << QStringLiteral("EmailDateTime>=?") << QStringLiteral("EmailDateTime<=?");
    *values << sql::dateValue(filter.from.startOfDay()) << sql::dateValue(QDateTime(filter.to, QTime(23, 59, 59)));
    return QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

} // namespace

Result<qint64> ReceivedEmailRepository::count(const ReceivedEmailFilter &filter)
{
    QVariantList values;
    const QString where = whereClause(m_db, filter, &values);
    return sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived") + where, values);
}

Result<QVector<ReceivedEmailRow>> ReceivedEmailRepository::page(const ReceivedEmailFilter &filter, qint64 limit,
                                                                qint64 offset, qint64 total)
{
    using R = Result<QVector<ReceivedEmailRow>>;
    const sql::PageWindow window = sql::pageWindow(limit, offset, total);
    QVariantList values;
    const QString where = whereClause(m_db, filter, &values);
    values << window.limit << window.offset;
    auto q = sql::run(m_db,
                      sql::pageOf(QStringLiteral("id,EmailDateTime,EmailFromAddress,EmailSubject,MessageReceivedOn,"
                                                 "ReasonForNotSendingSMS"),
                                  QStringLiteral("WebMailToSMS_MessagesReceived"), QStringLiteral("id"), where,
                                  sql::orderBy({{"EmailDateTime", true}, {"id", true}}, window.reversed)),
                      values);
    if (!q)
        return R::failure(q.error());
    QVector<ReceivedEmailRow> rows;
    while (q.value().next()) {
        rows.append(ReceivedEmailRow{q.value().value(0).toLongLong(), sql::dateFrom(q.value().value(1)),
                                     q.value().value(2).toString(), q.value().value(3).toString(),
                                     sql::dateFrom(q.value().value(4)), q.value().value(5).toString()});
    }
    if (window.reversed)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

Result<std::optional<QString>> ReceivedEmailRepository::textOf(qint64 id)
{
    using R = Result<std::optional<QString>>;
    auto q =
        sql::run(m_db, QStringLiteral("SELECT EmailTextMessage FROM WebMailToSMS_MessagesReceived WHERE id=?"), {id});
    if (!q)
        return R::failure(q.error());
    if (!q.value().next())
        return std::optional<QString>();
    return std::optional<QString>(q.value().value(0).toString());
}

Status ReceivedEmailRepository::remove(qint64 id)
{
    return sql::run(m_db, QStringLiteral("DELETE FROM WebMailToSMS_MessagesReceived WHERE id=?"), {id}).status();
}

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

Result<bool> ReceivedEmailRepository::rememberProcessed(const QString &key, std::optional<qint64> messagesReceivedId,
                                                        const QDateTime &when)
{
    auto q = sql::run(m_db,
                      QStringLiteral("INSERT INTO WebMailToSMS_ProcessedUidl (Uidl,MessagesReceivedId,ProcessedOn) "
                                     "VALUES (?,?,?) ON CONFLICT (Uidl) DO NOTHING"),
                      {key, idOrNull(messagesReceivedId), sql::dateValue(when)});
    if (!q)
        return Result<bool>::failure(q.error());
    return q.value().numRowsAffected() > 0;
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

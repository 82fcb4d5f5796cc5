#include "store/InboxRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

namespace parlix {

Result<qint64> InboxRepository::insert(const QString &sender, const QString &message, const QDateTime &when)
{
    auto q = sql::run(m_db,
                      QStringLiteral("INSERT INTO Message_InBox (SenderMobileNo,SenderId,Message,InboxDateTime,IsRead) "
                                     "VALUES (?,0,?,?,0)"),
                      {sender, message, sql::dateValue(when)});
    if (!q)
        return Result<qint64>::failure(q.error());
    return q.value().lastInsertId().toLongLong();
}

Result<qint64> InboxRepository::countUnread()
{
    return sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM Message_InBox WHERE IsRead=0"));
}

Result<InboxRow> InboxRepository::find(qint64 id)
{
    auto row = sql::firstRow(m_db,
                             QStringLiteral("SELECT InBox_Id,SenderMobileNo,Message,InboxDateTime,IsRead "
                                            "FROM Message_InBox WHERE InBox_Id=?"),
                             {id});
    if (!row)
        return Result<InboxRow>::failure(row.error());
    if (!row.value())
        return Result<InboxRow>::failure(QStringLiteral("The message %1 no longer exists.").arg(id));
    const QVariantMap &r = *row.value();
    return InboxRow{r.value(QStringLiteral("InBox_Id")).toLongLong(),
                    r.value(QStringLiteral("SenderMobileNo")).toString(),
                    r.value(QStringLiteral("Message")).toString(),
                    sql::dateFrom(r.value(QStringLiteral("InboxDateTime"))),
                    sql::boolFrom(r.value(QStringLiteral("IsRead")))};
}

Status InboxRepository::markRead(qint64 id)
{
    return sql::run(m_db, QStringLiteral("UPDATE Message_InBox SET IsRead=1 WHERE InBox_Id=?"), {id}).status();
}

Status InboxRepository::remove(qint64 id)
{
    return sql::run(m_db, QStringLiteral("DELETE FROM Message_InBox WHERE InBox_Id=?"), {id}).status();
}

} // namespace parlix

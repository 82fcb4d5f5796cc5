#include "store/OutboxRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <algorithm>

namespace parlix {

namespace {

const QString kColumns = QStringLiteral(
    "Outbox_Id,RecipientMobileNo,Message,OutBoxDateTime,DeliveryDatetime,DeliveryStatus,SMSFromName");

OutboxRow rowFrom(const QSqlQuery &q)
{
    return OutboxRow{q.value(0).toLongLong(),       q.value(1).toString(),
                     q.value(2).toString(),         sql::dateFrom(q.value(3)),
                     sql::dateFrom(q.value(4)),     q.value(5).toString(),
                     q.value(6).toString()};
}

QString folderCondition(OutboxFolder folder)
{
    return folder == OutboxFolder::Sent ? QStringLiteral("DeliveryDatetime IS NOT NULL")
                                        : QStringLiteral("DeliveryDatetime IS NULL");
}

QString whereClause(const OutboxQuery &query, QVariantList *values)
{
    QString where = QStringLiteral(" WHERE ") + folderCondition(query.folder);
    const sql::NumberMatch match = sql::numberMatch(QStringLiteral("RecipientMobileNo"), query.number,
                                                      QStringLiteral("Outbox_Id"), QStringLiteral("Message_OutBox_Numbers"));
    if (!match.isEmpty()) {
        where += QStringLiteral(" AND ") + match.condition;
        *values << match.value;
    }
    return where;
}

QString orderClause(const OutboxQuery &query, bool reversed)
{
    switch (query.sort) {
    case OutboxSort::Recipient: return sql::orderBy({{"RecipientMobileNo"}, {"Outbox_Id"}}, reversed);
    case OutboxSort::Message: return sql::orderBy({{"Message"}, {"Outbox_Id"}}, reversed);
    case OutboxSort::Default: break;
    }
    return query.folder == OutboxFolder::Sent
               ? sql::orderBy({{"DeliveryDatetime", true}, {"Outbox_Id", true}}, reversed)
               : sql::orderBy({{"OutBoxDateTime"}, {"Outbox_Id"}}, reversed);
}

} // namespace

Result<qint64> OutboxRepository::insertPending(const QString &recipient, const QString &message, const QDateTime &when,
                                               const QString &fromName)
{
    auto q = sql::run(m_db,
                      QStringLiteral("INSERT INTO Message_OutBox (RecepId,RecipientMobileNo,Message,OutBoxDateTime,"
                                     "SMSFromName) VALUES (0,?,?,?,?)"),
                      {recipient, message, sql::dateValue(when),
                       fromName.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(fromName)});
    if (!q)
        return Result<qint64>::failure(q.error());
    return q.value().lastInsertId().toLongLong();
}

Result<QVector<OutboxRow>> OutboxRepository::pending()
{
    auto q = sql::run(m_db, QStringLiteral("SELECT ") + kColumns
                                + QStringLiteral(" FROM Message_OutBox WHERE DeliveryDatetime IS NULL AND "
                                                 "(DeliveryStatus IS NULL OR DeliveryStatus='') ORDER BY Outbox_Id"));
    if (!q)
        return Result<QVector<OutboxRow>>::failure(q.error());
    QVector<OutboxRow> rows;
    while (q.value().next())
        rows.append(rowFrom(q.value()));
    return rows;
}

Result<qint64> OutboxRepository::countUndelivered()
{
    return sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL"));
}

Result<bool> OutboxRepository::claimForSending(qint64 id)
{
    auto q = sql::run(m_db,
                      QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus=? WHERE Outbox_Id=? AND "
                                     "DeliveryDatetime IS NULL AND (DeliveryStatus IS NULL OR DeliveryStatus='')"),
                      {delivery::kSending, id});
    if (!q)
        return Result<bool>::failure(q.error());
    return q.value().numRowsAffected() == 1;
}

Status OutboxRepository::markSent(qint64 id, const QDateTime &when)
{
    return sql::run(m_db, QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus=?,DeliveryDatetime=? WHERE Outbox_Id=?"),
                    {delivery::kSent, sql::dateValue(when), id})
        .status();
}

Status OutboxRepository::markFaultyNumber(qint64 id)
{
    return sql::run(m_db, QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus=? WHERE Outbox_Id=?"),
                    {delivery::kFaultyNumber, id})
        .status();
}

Status OutboxRepository::markPending(qint64 id)
{
    return sql::run(m_db, QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus='' WHERE Outbox_Id=?"), {id}).status();
}

Result<qint64> OutboxRepository::resetSending()
{
    auto q = sql::run(m_db, QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus='' WHERE DeliveryStatus=?"),
                      {delivery::kSending});
    if (!q)
        return Result<qint64>::failure(q.error());
    return qint64(q.value().numRowsAffected());
}

Result<OutboxRow> OutboxRepository::find(qint64 id)
{
    auto q = sql::run(m_db, QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM Message_OutBox WHERE Outbox_Id=?"),
                      {id});
    if (!q)
        return Result<OutboxRow>::failure(q.error());
    if (!q.value().next())
        return Result<OutboxRow>::failure(QStringLiteral("The message %1 no longer exists.").arg(id));
    return rowFrom(q.value());
}

Result<qint64> OutboxRepository::count(const OutboxQuery &query)
{
    QVariantList values;
    const QString where = whereClause(query, &values);
    return sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM Message_OutBox") + where, values);
}

Result<QVector<OutboxRow>> OutboxRepository::page(const OutboxQuery &query, qint64 limit, qint64 offset,
                                                   qint64 total)
{
    const sql::PageWindow window = sql::pageWindow(limit, offset, total);
    QVariantList values;
    const QString where = whereClause(query, &values);
    values << window.limit << window.offset;
    auto q = sql::run(m_db,
                      QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM Message_OutBox") + where
                          + orderClause(query, window.reversed) + sql::pageClause(),
                      values);
    if (!q)
        return Result<QVector<OutboxRow>>::failure(q.error());
    QVector<OutboxRow> rows;
    while (q.value().next())
        rows.append(rowFrom(q.value()));
    if (window.reversed)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

Result<bool> OutboxRepository::removeFromFolder(qint64 id, OutboxFolder folder)
{
    auto q = sql::run(m_db,
                      QStringLiteral("DELETE FROM Message_OutBox WHERE ") + folderCondition(folder)
                          + QStringLiteral(" AND Outbox_Id=?"),
                      {id});
    if (!q)
        return Result<bool>::failure(q.error());
    return q.value().numRowsAffected() > 0;
}

} // namespace parlix

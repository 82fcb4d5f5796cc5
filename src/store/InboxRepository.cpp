#include "store/InboxRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <algorithm>

namespace parlix {

namespace {

// The conditions of a query and their values, in binding order.
QString whereClause(const QSqlDatabase &db, const InboxQuery &query, QVariantList *values)
{
    QStringList conditions;
    if (query.unreadOnly)
        conditions << QStringLiteral("IsRead=0");
    const sql::NumberMatch match =
        sql::numberMatch(db, QStringLiteral("SenderMobileNo"), query.number, QStringLiteral("InBox_Id"),
                         QStringLiteral("Message_InBox_Numbers"));
    if (!match.isEmpty()) {
        conditions << match.condition;
        *values << match.value;
    }
    if (query.from.isValid()) {
        conditions << QStringLiteral("InboxDateTime>=?");
        *values << sql::dateValue(query.from);
    }
    if (query.to.isValid()) {
        conditions << QStringLiteral("InboxDateTime<=?");
        *values << sql::dateValue(query.to);
    }
    return conditions.isEmpty() ? QString() : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

QString orderClause(InboxSort sort, bool reversed)
{
    switch (sort) {
    case InboxSort::Sender:
        return sql::orderBy({{"SenderMobileNo"}, {"InBox_Id"}}, reversed);
    case InboxSort::Message:
        return sql::orderBy({{"Message"}, {"InBox_Id"}}, reversed);
    case InboxSort::OldestFirst:
        return sql::orderBy({{"InboxDateTime"}, {"InBox_Id"}}, reversed);
    case InboxSort::NewestFirst:
        break;
    }
    return sql::orderBy({{"InboxDateTime", true}, {"InBox_Id", true}}, reversed);
}

} // namespace

Result<qint64> InboxRepository::insert(const QString &sender, const QString &message, const QDateTime &when,
                                       const QString &receivedBy)
{
    auto q = sql::run(m_db,
                      QStringLiteral("INSERT INTO Message_InBox (SenderMobileNo,SenderId,Message,InboxDateTime,IsRead,"
                                     "ReceivedBy) VALUES (?,0,?,?,0,?)"),
                      {sender, message, sql::dateValue(when),
                       receivedBy.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(receivedBy)});
    if (!q)
        return Result<qint64>::failure(q.error());
    return q.value().lastInsertId().toLongLong();
}

Result<qint64> InboxRepository::countUnread()
{
    InboxQuery unread;
    unread.unreadOnly = true;
    return count(unread);
}

Result<InboxRow> InboxRepository::find(qint64 id)
{
    auto row = sql::firstRow(m_db,
                             QStringLiteral("SELECT InBox_Id,SenderMobileNo,Message,InboxDateTime,IsRead,ReceivedBy "
                                            "FROM Message_InBox WHERE InBox_Id=?"),
                             {id});
    if (!row)
        return Result<InboxRow>::failure(row.error());
    if (!row.value())
        return Result<InboxRow>::failure(QStringLiteral("The message %1 no longer exists.").arg(id));
    const QVariantMap &r = *row.value();
    return InboxRow{
        r.value(QStringLiteral("InBox_Id")).toLongLong(), r.value(QStringLiteral("SenderMobileNo")).toString(),
        r.value(QStringLiteral("Message")).toString(),    sql::dateFrom(r.value(QStringLiteral("InboxDateTime"))),
        sql::boolFrom(r.value(QStringLiteral("IsRead"))), r.value(QStringLiteral("ReceivedBy")).toString()};
}

Status InboxRepository::markRead(qint64 id)
{
    return sql::run(m_db, QStringLiteral("UPDATE Message_InBox SET IsRead=1 WHERE InBox_Id=?"), {id}).status();
}

Status InboxRepository::remove(qint64 id)
{
    return sql::run(m_db, QStringLiteral("DELETE FROM Message_InBox WHERE InBox_Id=?"), {id}).status();
}

Result<qint64> InboxRepository::count(const InboxQuery &query)
{
    QVariantList values;
    const QString where = whereClause(m_db, query, &values);
    // PostgreSQL keeps the counts of the whole inbox by trigger (see the schema).
    if (values.isEmpty() && sql::backendOf(m_db) == sql::Backend::Postgres) {
        return sql::keptCount(m_db,
                              QStringLiteral("SELECT COALESCE(SUM(%1),0),COUNT(*) FROM Message_InBox_Totals")
                                  .arg(query.unreadOnly ? QStringLiteral("Unread") : QStringLiteral("Total")),
                              QStringLiteral("Message_InBox_Totals"),
                              {QStringLiteral("Total"), QStringLiteral("Unread")});
    }
    return sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM Message_InBox") + where, values);
}

Result<QVector<InboxRow>> InboxRepository::page(const InboxQuery &query, qint64 limit, qint64 offset, qint64 total)
{
    const sql::PageWindow window = sql::pageWindow(limit, offset, total);
    QVariantList values;
    const QString where = whereClause(m_db, query, &values);
    values << window.limit << window.offset;
    auto q = sql::run(m_db,
                      sql::pageOf(QStringLiteral("InBox_Id,SenderMobileNo,Message,InboxDateTime,IsRead,ReceivedBy"),
                                  QStringLiteral("Message_InBox"), QStringLiteral("InBox_Id"), where,
                                  orderClause(query.sort, window.reversed)),
                      values);
    if (!q)
        return Result<QVector<InboxRow>>::failure(q.error());
    QVector<InboxRow> rows;
    while (q.value().next()) {
        rows.append(InboxRow{q.value().value(0).toLongLong(), q.value().value(1).toString(),
                             q.value().value(2).toString(), sql::dateFrom(q.value().value(3)),
                             sql::boolFrom(q.value().value(4)), q.value().value(5).toString()});
    }
    if (window.reversed)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

Status InboxRepository::remove(const QVector<qint64> &ids)
{
    return sql::inTransaction(m_db, [&]() -> Status {
        for (const qint64 id : ids) {
            if (Status s = remove(id); !s)
                return s;
        }
        return Status::success();
    });
}

Result<QVector<InboxExportRow>> InboxRepository::receivedPage(const QDateTime &from, const QDateTime &to,
                                                              const std::optional<InboxExportKey> &after, int limit)
{
    // The index range starts where the last page ended: given only as a row value, the start
    // would be the range's beginning, and every page would step over all the pages before it.
    QVariantList values{after ? QVariant(after->inboxDateTime) : sql::dateValue(from), sql::dateValue(to)};
    QString text = QStringLiteral("SELECT InBox_Id,SenderMobileNo,Message,InboxDateTime FROM Message_InBox "
                                  "WHERE InboxDateTime>=? AND InboxDateTime<=?");
    if (after) {
        text += QStringLiteral(" AND (InboxDateTime,InBox_Id)>(?,?)");
        values << after->inboxDateTime << after->id;
    }
    text += sql::orderBy({{"InboxDateTime"}, {"InBox_Id"}}) + QStringLiteral(" LIMIT ?");
    values << limit;
    auto q = sql::run(m_db, text, values);
    if (!q)
        return Result<QVector<InboxExportRow>>::failure(q.error());
    QVector<InboxExportRow> rows;
    rows.reserve(limit);
    QSqlQuery &query = q.value();
    while (query.next()) {
        rows.append(InboxExportRow{query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString(),
                                   query.value(3).toString()});
    }
    return rows;
}

Status InboxRepository::insertPart(const ReceivedPart &part, const QDateTime &when)
{
    return sql::run(m_db,
                    QStringLiteral("INSERT INTO Message_InBox_Parts (SenderMobileNo,ConcatRef,PartCount,PartNo,"
                                   "Message,ReceivedOn) VALUES (?,?,?,?,?,?) ON CONFLICT DO NOTHING"),
                    {part.sender, part.concatRef, part.partCount, part.partNo, part.text, sql::dateValue(when)})
        .status();
}

Result<std::optional<qint64>> InboxRepository::completeMessage(const ReceivedPart &part, const QDateTime &when,
                                                               const QString &receivedBy)
{
    std::optional<qint64> id;
    const QVariantList key = {part.sender, part.concatRef, part.partCount};
    const QString where =
        QStringLiteral(" FROM Message_InBox_Parts WHERE SenderMobileNo=? AND ConcatRef=? AND PartCount=?");
    const Status s = sql::inTransaction(m_db, [&]() -> Status {
        auto q =
            sql::run(m_db, QStringLiteral("SELECT PartNo,Message") + where + QStringLiteral(" ORDER BY PartNo"), key);
        if (!q)
            return q.status();
        QString text;
        int kept = 0;
        while (q.value().next()) {
            text += q.value().value(1).toString();
            ++kept;
        }
        if (kept < part.partCount)
            return Status::success();
        auto stored = insert(part.sender, text, when, receivedBy);
        if (!stored)
            return stored.status();
        id = stored.value();
        return sql::run(m_db, QStringLiteral("DELETE") + where, key).status();
    });
    if (!s)
        return Result<std::optional<qint64>>::failure(s.error);
    return id;
}

Result<QVector<StoredMessage>> InboxRepository::storeIncomplete(const QDateTime &olderThan,
                                                                const QString &missingMarker, const QDateTime &when,
                                                                const QString &receivedBy)
{
    QVector<StoredMessage> stored;
    const Status s = sql::inTransaction(m_db, [&]() -> Status {
        auto groups = sql::run(m_db,
                               QStringLiteral("SELECT SenderMobileNo,ConcatRef,PartCount FROM Message_InBox_Parts "
                                              "GROUP BY SenderMobileNo,ConcatRef,PartCount HAVING MIN(ReceivedOn)<?"),
                               {sql::dateValue(olderThan)});
        if (!groups)
            return groups.status();
        QVector<QVariantList> keys;
        while (groups.value().next())
            keys.append({groups.value().value(0), groups.value().value(1), groups.value().value(2)});
        const QString where =
            QStringLiteral(" FROM Message_InBox_Parts WHERE SenderMobileNo=? AND ConcatRef=? AND PartCount=?");
        for (const QVariantList &key : keys) {
            auto q = sql::run(
                m_db, QStringLiteral("SELECT PartNo,Message") + where + QStringLiteral(" ORDER BY PartNo"), key);
            if (!q)
                return q.status();
            QString text;
            int expected = 1;
            while (q.value().next()) {
                const int partNo = q.value().value(0).toInt();
                for (; expected < partNo; ++expected)
                    text += missingMarker;
                text += q.value().value(1).toString();
                expected = partNo + 1;
            }
            for (; expected <= key.at(2).toInt(); ++expected)
                text += missingMarker;
            auto id = insert(key.at(0).toString(), text, when, receivedBy);
            if (!id)
                return id.status();
            stored.append(StoredMessage{id.value(), key.at(0).toString(), text});
            if (const Status d = sql::run(m_db, QStringLiteral("DELETE") + where, key).status(); !d)
                return d;
        }
        return Status::success();
    });
    if (!s)
        return Result<QVector<StoredMessage>>::failure(s.error);
    return stored;
}

} // namespace parlix

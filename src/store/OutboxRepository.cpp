#include "store/OutboxRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <algorithm>
#include <limits>

namespace parlix {

namespace {

const QString kColumns =
    QStringLiteral("Outbox_Id,RecipientMobileNo,Message,OutBoxDateTime,DeliveryDatetime,DeliveryStatus,SMSFromName,"
                   "ReportStatus,ReportDatetime,ClaimedBy,SentBy");

OutboxRow rowFrom(const QSqlQuery &q)
{
    return OutboxRow{q.value(0).toLongLong(),   q.value(1).toString(), q.value(2).toString(), sql::dateFrom(q.value(3)),
                     sql::dateFrom(q.value(4)), q.value(5).toString(), q.value(6).toString(), q.value(7).toString(),
                     sql::dateFrom(q.value(8)), q.value(9).toString(), q.value(10).toString()};
}

// The index ix_outbox_waiting has this condition word for word: keep them the same, or claims
// stop using it.
const QString kWaiting = QStringLiteral("DeliveryDatetime IS NULL AND (DeliveryStatus IS NULL OR DeliveryStatus='')");
const QString kReleased = QStringLiteral("ClaimedBy=NULL,LeaseExpiresOn=NULL,ClaimMedium=NULL");

QString folderCondition(OutboxFolder folder)
{
    return folder == OutboxFolder::Sent ? QStringLiteral("DeliveryDatetime IS NOT NULL")
                                        : QStringLiteral("DeliveryDatetime IS NULL");
}

QString whereClause(const QSqlDatabase &db, const OutboxQuery &query, QVariantList *values)
{
    QString where = QStringLiteral(" WHERE ") + folderCondition(query.folder);
    const sql::NumberMatch match =
        sql::numberMatch(db, QStringLiteral("RecipientMobileNo"), query.number, QStringLiteral("Outbox_Id"),
                         QStringLiteral("Message_OutBox_Numbers"));
    if (!match.isEmpty()) {
        where += QStringLiteral(" AND ") + match.condition;
        *values << match.value;
    }
    return where;
}

QString orderClause(const OutboxQuery &query, bool reversed)
{
    switch (query.sort) {
    case OutboxSort::Recipient:
        return sql::orderBy({{"RecipientMobileNo"}, {"Outbox_Id"}}, reversed);
    case OutboxSort::Message:
        return sql::orderBy({{"Message"}, {"Outbox_Id"}}, reversed);
    case OutboxSort::Default:
        break;
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

Result<qint64> OutboxRepository::countUndelivered()
{
    return sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL"));
}

Status OutboxRepository::markSent(qint64 id, const QDateTime &when, const QString &station)
{
    return sql::prepared(m_db,
                         QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus=?,DeliveryDatetime=?,"
                                        "SentBy=COALESCE(?,ClaimedBy),") +
                             kReleased + QStringLiteral(" WHERE Outbox_Id=?"),
                         {delivery::kSent, sql::dateValue(when),
                          station.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(station), id})
        .status();
}

Status OutboxRepository::markFaultyNumber(qint64 id)
{
    return sql::run(m_db,
                    QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus=?,") + kReleased +
                        QStringLiteral(" WHERE Outbox_Id=?"),
                    {delivery::kFaultyNumber, id})
        .status();
}

Status OutboxRepository::markPending(qint64 id)
{
    return sql::run(m_db,
                    QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus='',") + kReleased +
                        QStringLiteral(" WHERE Outbox_Id=?"),
                    {id})
        .status();
}

Result<qint64> OutboxRepository::resetSending(const QDateTime &now)
{
    QString text = QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus='',") + kReleased +
                   QStringLiteral(" WHERE DeliveryStatus=?");
    QVariantList values{delivery::kSending};
    if (now.isValid()) {
        text += QStringLiteral(" AND (LeaseExpiresOn IS NULL OR LeaseExpiresOn<?)");
        values << sql::dateValue(now);
    }
    auto q = sql::run(m_db, text, values);
    if (!q)
        return Result<qint64>::failure(q.error());
    return qint64(q.value().numRowsAffected());
}

Result<qint64> OutboxRepository::countSending(const QString &station)
{
    if (station.isEmpty())
        return sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryStatus=?"),
                           {delivery::kSending});
    return sql::scalar(m_db,
                       QStringLiteral("SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryStatus=? AND "
                                      "(ClaimedBy=? OR ClaimedBy IS NULL)"),
                       {delivery::kSending, station});
}

Result<std::pair<qint64, qint64>> OutboxRepository::waitingExtent()
{
    auto q = sql::run(m_db, QStringLiteral("SELECT MAX(Outbox_Id),COUNT(*) FROM Message_OutBox WHERE ") + kWaiting);
    if (!q)
        return Result<std::pair<qint64, qint64>>::failure(q.error());
    if (!q.value().next())
        return std::pair<qint64, qint64>(0, 0);
    return std::pair<qint64, qint64>(q.value().value(0).toLongLong(), q.value().value(1).toLongLong());
}

Result<QVector<OutboxRow>> OutboxRepository::claimWaiting(const QString &station, const QDateTime &leaseEnd, int limit,
                                                          qint64 afterId, qint64 upToId)
{
    // The rows are picked first, then claimed only if still waiting when the update reaches
    // them. PostgreSQL locks the picked rows and skips those another claimer has locked instead
    // of waiting for it (and picks in a WITH query, which runs once; a LIMIT inside IN may
    // not). A row it locks is waiting (a row changed since the query began is checked again
    // before the lock) and stays so until the update, so the update finds them by id alone:
    // repeating the conditions there let the planner, before statistics exist on a new outbox,
    // scan every waiting row for each claim. SQLite lets one writer in at a time.
    const QString set = QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus=?,ClaimedBy=?,LeaseExpiresOn=?,"
                                       "ClaimMedium=NULL");
    const QString pick = QStringLiteral("SELECT Outbox_Id AS PickedId FROM Message_OutBox WHERE ") + kWaiting +
                         QStringLiteral(" AND Outbox_Id>? AND Outbox_Id<=? ORDER BY Outbox_Id LIMIT ?");
    const QVariantList range{afterId, upToId < 0 ? std::numeric_limits<qint64>::max() : upToId, limit};
    const QVariantList claim{delivery::kSending, station, sql::dateValue(leaseEnd)};
    auto q =
        sql::backendOf(m_db) == sql::Backend::Postgres
            ? sql::prepared(m_db,
                            QStringLiteral("WITH Picked AS (") + pick + QStringLiteral(" FOR UPDATE SKIP LOCKED) ") +
                                set + QStringLiteral(" FROM Picked WHERE Outbox_Id=PickedId RETURNING ") + kColumns,
                            range + claim)
            : sql::prepared(m_db,
                            set + QStringLiteral(" WHERE Outbox_Id IN (") + pick + QStringLiteral(") AND ") + kWaiting +
                                QStringLiteral(" RETURNING ") + kColumns,
                            claim + range);
    if (!q)
        return Result<QVector<OutboxRow>>::failure(q.error());
    QVector<OutboxRow> rows;
    while (q.value()->next())
        rows.append(rowFrom(q.value().query()));
    std::sort(rows.begin(), rows.end(), [](const OutboxRow &a, const OutboxRow &b) { return a.id < b.id; });
    return rows;
}

Result<bool> OutboxRepository::holdForSending(qint64 id, const QString &station, const QString &medium,
                                              const QDateTime &leaseEnd)
{
    auto q =
        sql::prepared(m_db,
                      QStringLiteral("UPDATE Message_OutBox SET ClaimMedium=?,LeaseExpiresOn=? WHERE Outbox_Id=? AND "
                                     "DeliveryStatus=? AND ClaimedBy=? AND DeliveryDatetime IS NULL"),
                      {medium, sql::dateValue(leaseEnd), id, delivery::kSending, station});
    if (!q)
        return Result<bool>::failure(q.error());
    return q.value()->numRowsAffected() == 1;
}

Result<ExpiredLeases> OutboxRepository::expireLeases(const QDateTime &now)
{
    ExpiredLeases done;
    const Status s = sql::inTransaction(m_db, [&]() -> Status {
        const QString expired = QStringLiteral(" WHERE DeliveryStatus=? AND DeliveryDatetime IS NULL AND "
                                               "LeaseExpiresOn IS NOT NULL AND LeaseExpiresOn<? AND ");
        auto back = sql::run(m_db,
                             QStringLiteral("UPDATE Message_OutBox SET DeliveryStatus='',") + kReleased + expired +
                                 QStringLiteral("(ClaimMedium IS NULL OR ClaimMedium<>?)"),
                             {delivery::kSending, sql::dateValue(now), claim::kModem});
        if (!back)
            return back.status();
        done.returnedToWaiting = back.value().numRowsAffected();
        // The lease ends but the claim stays: no station takes the row by itself again.
        auto kept = sql::run(m_db,
                             QStringLiteral("UPDATE Message_OutBox SET LeaseExpiresOn=NULL") + expired +
                                 QStringLiteral("ClaimMedium=?"),
                             {delivery::kSending, sql::dateValue(now), claim::kModem});
        if (!kept)
            return kept.status();
        done.leftSending = kept.value().numRowsAffected();
        return Status::success();
    });
    if (!s)
        return Result<ExpiredLeases>::failure(s.error);
    return done;
}

Result<OutboxRow> OutboxRepository::find(qint64 id)
{
    auto q = sql::run(
        m_db, QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM Message_OutBox WHERE Outbox_Id=?"), {id});
    if (!q)
        return Result<OutboxRow>::failure(q.error());
    if (!q.value().next())
        return Result<OutboxRow>::failure(QStringLiteral("The message %1 no longer exists.").arg(id));
    return rowFrom(q.value());
}

Result<qint64> OutboxRepository::count(const OutboxQuery &query)
{
    QVariantList values;
    const QString where = whereClause(m_db, query, &values);
    // PostgreSQL keeps the count of the whole outbox by trigger (see the schema); the waiting
    // rows are few and indexed.
    if (values.isEmpty() && query.folder == OutboxFolder::Sent && sql::backendOf(m_db) == sql::Backend::Postgres) {
        return sql::keptCount(m_db,
                              QStringLiteral("SELECT (SELECT COALESCE(SUM(Total),0) FROM Message_OutBox_Totals)-"
                                             "(SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL),"
                                             "(SELECT COUNT(*) FROM Message_OutBox_Totals)"),
                              QStringLiteral("Message_OutBox_Totals"), {QStringLiteral("Total")});
    }
    return sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM Message_OutBox") + where, values);
}

Result<QVector<OutboxRow>> OutboxRepository::page(const OutboxQuery &query, qint64 limit, qint64 offset, qint64 total)
{
    const sql::PageWindow window = sql::pageWindow(limit, offset, total);
    QVariantList values;
    const QString where = whereClause(m_db, query, &values);
    values << window.limit << window.offset;
    auto q = sql::run(m_db,
                      sql::pageOf(kColumns, QStringLiteral("Message_OutBox"), QStringLiteral("Outbox_Id"), where,
                                  orderClause(query, window.reversed)),
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
                      QStringLiteral("DELETE FROM Message_OutBox WHERE ") + folderCondition(folder) +
                          QStringLiteral(" AND Outbox_Id=?"),
                      {id});
    if (!q)
        return Result<bool>::failure(q.error());
    return q.value().numRowsAffected() > 0;
}

Result<QVector<OutboxPart>> OutboxRepository::parts(qint64 outboxId)
{
    auto q =
        sql::run(m_db,
                 QStringLiteral("SELECT PartNo,PartCount,ConcatRef,MessageRef,IsConfirmed FROM Message_OutBox_Parts "
                                "WHERE Outbox_Id=? ORDER BY PartNo"),
                 {outboxId});
    if (!q)
        return Result<QVector<OutboxPart>>::failure(q.error());
    QVector<OutboxPart> parts;
    while (q.value().next()) {
        const QSqlQuery &r = q.value();
        parts.append(OutboxPart{r.value(0).toInt(), r.value(1).toInt(), r.value(2).toInt(),
                                r.value(3).isNull() ? -1 : r.value(3).toInt(), sql::boolFrom(r.value(4))});
    }
    return parts;
}

Status OutboxRepository::planParts(qint64 outboxId, int partCount, int concatRef)
{
    return sql::inTransaction(m_db, [&]() -> Status {
        Status s = sql::run(m_db, QStringLiteral("DELETE FROM Message_OutBox_Parts WHERE Outbox_Id=? AND PartCount<>?"),
                            {outboxId, partCount})
                       .status();
        for (int part = 1; s && part <= partCount; ++part) {
            s = sql::run(m_db,
                         QStringLiteral("INSERT INTO Message_OutBox_Parts (Outbox_Id,PartNo,PartCount,ConcatRef)"
                                        " VALUES (?,?,?,?) ON CONFLICT DO NOTHING"),
                         {outboxId, part, partCount, concatRef})
                    .status();
        }
        return s;
    });
}

Status OutboxRepository::confirmPart(qint64 outboxId, int partNo, int messageRef, const QDateTime &when)
{
    return sql::run(m_db,
                    QStringLiteral("UPDATE Message_OutBox_Parts SET IsConfirmed=1,MessageRef=?,ConfirmedOn=? "
                                   "WHERE Outbox_Id=? AND PartNo=?"),
                    {messageRef < 0 ? QVariant(QMetaType(QMetaType::Int)) : QVariant(messageRef), sql::dateValue(when),
                     outboxId, partNo})
        .status();
}

Result<std::optional<ReportTarget>> OutboxRepository::findReportTarget(int messageRef, const QString &recipient)
{
    auto q = sql::run(m_db,
                      QStringLiteral("SELECT p.Outbox_Id,p.PartNo FROM Message_OutBox_Parts p JOIN Message_OutBox o "
                                     "ON o.Outbox_Id=p.Outbox_Id WHERE p.MessageRef=? AND p.IsConfirmed=1 AND ") +
                          sql::lastTenDigits(m_db, QStringLiteral("o.RecipientMobileNo")) +
                          QStringLiteral("=? ORDER BY p.ConfirmedOn DESC, p.Outbox_Id DESC LIMIT 1"),
                      {messageRef, sql::lastTen(recipient.trimmed())});
    if (!q)
        return Result<std::optional<ReportTarget>>::failure(q.error());
    if (!q.value().next())
        return std::optional<ReportTarget>();
    return std::optional<ReportTarget>(ReportTarget{q.value().value(0).toLongLong(), q.value().value(1).toInt()});
}

Status OutboxRepository::recordReport(const ReportTarget &target, int status, const QDateTime &when)
{
    return sql::inTransaction(m_db, [&]() -> Status {
        Status s = sql::run(m_db,
                            QStringLiteral("UPDATE Message_OutBox_Parts SET ReportStatus=?,ReportDatetime=? "
                                           "WHERE Outbox_Id=? AND PartNo=?"),
                            {status, sql::dateValue(when), target.outboxId, target.partNo})
                       .status();
        if (!s)
            return s;
        // TP-Status: below 0x20 delivered, 0x20-0x3F still trying, 0x40 and up failed for good.
        auto q = sql::run(m_db,
                          QStringLiteral("SELECT COUNT(*),SUM(CASE WHEN ReportStatus<32 THEN 1 ELSE 0 END),"
                                         "SUM(CASE WHEN ReportStatus>=64 THEN 1 ELSE 0 END) FROM Message_OutBox_Parts "
                                         "WHERE Outbox_Id=?"),
                          {target.outboxId});
        if (!q)
            return q.status();
        if (!q.value().next())
            return Status::success();
        const qint64 total = q.value().value(0).toLongLong();
        const qint64 delivered = q.value().value(1).toLongLong();
        const qint64 failed = q.value().value(2).toLongLong();
        const QString rowStatus = failed > 0           ? report::kFailed
                                  : delivered == total ? report::kDelivered
                                                       : report::kPending;
        return sql::run(m_db,
                        QStringLiteral("UPDATE Message_OutBox SET ReportStatus=?,ReportDatetime=? WHERE Outbox_Id=?"),
                        {rowStatus, sql::dateValue(when), target.outboxId})
            .status();
    });
}

} // namespace parlix

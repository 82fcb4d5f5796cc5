#include "store/CallRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

namespace parlix {

Result<qint64> CallRepository::insert(const QString &callerNumber, const QDateTime &when, bool isMissCall)
{
    auto q = sql::run(
        m_db, QStringLiteral("INSERT INTO MissedCallStatistics (callDateTime,callerNumber,IsMissCall) VALUES (?,?,?)"),
        {sql::dateValue(when), callerNumber, sql::boolValue(isMissCall)});
    if (!q)
        return Result<qint64>::failure(q.error());
    return q.value().lastInsertId().toLongLong();
}

Status CallRepository::setMissCall(qint64 id, bool isMissCall)
{
    return sql::run(m_db, QStringLiteral("UPDATE MissedCallStatistics SET IsMissCall=? WHERE id=?"),
                    {sql::boolValue(isMissCall), id})
        .status();
}

Result<qint64> CallRepository::countMissedOn(const QDate &day)
{
    return sql::scalar(m_db,
                       QStringLiteral("SELECT COUNT(*) FROM MissedCallStatistics WHERE callDateTime>=? AND "
                                      "callDateTime<=? AND IsMissCall=1"),
                       {sql::dateValue(day.startOfDay()), sql::dateValue(QDateTime(day, QTime(23, 59, 59)))});
}

Result<QVector<CallRow>> CallRepository::missedBetween(const QDate &first, const QDate &last)
{
    auto q = sql::run(m_db,
                      QStringLiteral("SELECT id,callerNumber,callDateTime FROM MissedCallStatistics WHERE "
                                     "callDateTime>=? AND callDateTime<=? AND IsMissCall=1") +
                          sql::orderBy({{"callDateTime"}, {"id"}}),
                      {sql::dateValue(first.startOfDay()), sql::dateValue(QDateTime(last, QTime(23, 59, 59)))});
    if (!q)
        return Result<QVector<CallRow>>::failure(q.error());
    QVector<CallRow> rows;
    while (q.value().next()) {
        rows.append(
            CallRow{q.value().value(0).toLongLong(), q.value().value(1).toString(), sql::dateFrom(q.value().value(2))});
    }
    return rows;
}

Status CallRepository::remove(const QVector<qint64> &ids)
{
    return sql::inTransaction(m_db, [&]() -> Status {
        for (const qint64 id : ids) {
            const Status s =
                sql::run(m_db, QStringLiteral("DELETE FROM MissedCallStatistics WHERE id=?"), {id}).status();
            if (!s)
                return s;
        }
        return Status::success();
    });
}

} // namespace parlix

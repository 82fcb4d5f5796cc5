#pragma once

#include "core/Result.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>

namespace parlix {

// Every statement on MissedCallStatistics.
class CallRepository
{
public:
    explicit CallRepository(QSqlDatabase db) : m_db(std::move(db)) {}

    Result<qint64> insert(const QString &callerNumber, const QDateTime &when, bool isMissCall);
    Status setMissCall(qint64 id, bool isMissCall);
    // Missed calls recorded on the given day, any time from midnight to the end of the day.
    Result<qint64> countMissedOn(const QDate &day);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

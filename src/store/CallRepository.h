#pragma once

#include "core/Result.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QVector>

namespace parlix {

// Every statement on MissedCallStatistics.
struct CallRow
{
    qint64 id = 0;
    QString callerNumber;
    QDateTime callDateTime;
};

class CallRepository
{
public:
    explicit CallRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    Result<qint64> insert(const QString &callerNumber, const QDateTime &when, bool isMissCall);
    Status setMissCall(qint64 id, bool isMissCall);
    // Missed calls recorded on the given day, any time from midnight to the end of the day.
    Result<qint64> countMissedOn(const QDate &day);
    // Missed calls from the start of the first day to the end of the last, oldest first.
    Result<QVector<CallRow>> missedBetween(const QDate &first, const QDate &last);
    // Deletes the rows together: all of them or, on a failure, none.
    Status remove(const QVector<qint64> &ids);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

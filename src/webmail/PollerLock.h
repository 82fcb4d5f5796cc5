#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

namespace parlix {

// Which station polls the webmail mailbox, so that one poller at a time works on it however
// many stations share the database. Statements on WebMailToSMS_PollerLease.
//
// On SQLite the lock is the lease row: a station takes it when it is free, its own or ended,
// by one conditional update, and renews it at every poll. On PostgreSQL it is a session
// advisory lock on the poller's own connection, which the server releases when the station's
// process dies; the row then only names the holder for the others' log.
class PollerLock
{
public:
    PollerLock(QSqlDatabase db, QString station);

    // Takes or keeps the lock, the lease running until leaseEnd; true while this station holds it.
    Result<bool> acquire(const QDateTime &now, const QDateTime &leaseEnd);
    // The station last recorded as holder; empty when none.
    Result<QString> holder();
    // Lets the lock go at once, so another station need not wait for the lease to end.
    Status release();

private:
    bool onPostgres() const;

    QSqlDatabase m_db;
    QString m_station;
    bool m_sessionLockHeld = false;
};

} // namespace parlix

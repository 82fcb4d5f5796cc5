#include "webmail/PollerLock.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

namespace parlix {

namespace {

// The advisory lock's two keys: this program's, then the webmail poller's among its locks.
constexpr int kProgramKey = 0x50726c78;
constexpr int kPollerKey = 1;

} // namespace

PollerLock::PollerLock(QSqlDatabase db, QString station)
    : m_db(std::move(db))
    , m_station(std::move(station))
{
}

bool PollerLock::onPostgres() const
{
    return sql::backendOf(m_db) == sql::Backend::Postgres;
}

Result<bool> PollerLock::acquire(const QDateTime &now, const QDateTime &leaseEnd)
{
    if (onPostgres()) {
        // A session lock taken twice must be released twice, so a held lock is only checked.
        auto held = m_sessionLockHeld
                        ? sql::scalar(m_db,
                                      QStringLiteral("SELECT COUNT(*) FROM pg_locks WHERE locktype='advisory' AND "
                                                     "pid=pg_backend_pid() AND classid=CAST(? AS INTEGER) AND "
                                                     "objid=CAST(? AS INTEGER) AND objsubid=2 AND granted"),
                                      {kProgramKey, kPollerKey})
                        : sql::scalar(m_db,
                                      QStringLiteral("SELECT CASE WHEN pg_try_advisory_lock(CAST(? AS INTEGER), "
                                                     "CAST(? AS INTEGER)) THEN 1 ELSE 0 END"),
                                      {kProgramKey, kPollerKey});
        m_sessionLockHeld = held && held.value() > 0;
        if (!held)
            return Result<bool>::failure(held.error());
        if (!m_sessionLockHeld)
            return false;
        auto named =
            sql::run(m_db, QStringLiteral("UPDATE WebMailToSMS_PollerLease SET HolderStation=?,LeaseExpiresOn=?"),
                     {m_station, sql::dateValue(leaseEnd)});
        return named ? Result<bool>(true) : Result<bool>::failure(named.error());
    }
    auto q = sql::run(m_db,
                      QStringLiteral("UPDATE WebMailToSMS_PollerLease SET HolderStation=?,LeaseExpiresOn=? WHERE "
                                     "HolderStation IS NULL OR HolderStation=? OR LeaseExpiresOn IS NULL OR "
                                     "LeaseExpiresOn<?"),
                      {m_station, sql::dateValue(leaseEnd), m_station, sql::dateValue(now)});
    if (!q)
        return Result<bool>::failure(q.error());
    return q.value().numRowsAffected() > 0;
}

Result<QString> PollerLock::holder()
{
    auto q = sql::run(m_db, QStringLiteral("SELECT HolderStation FROM WebMailToSMS_PollerLease"));
    if (!q)
        return Result<QString>::failure(q.error());
    return q.value().next() ? q.value().value(0).toString() : QString();
}

Status PollerLock::release()
{
    if (onPostgres() && m_sessionLockHeld) {
        m_sessionLockHeld = false;
        if (Status s =
                sql::run(m_db, QStringLiteral("SELECT pg_advisory_unlock(CAST(? AS INTEGER), CAST(? AS INTEGER))"),
                         {kProgramKey, kPollerKey})
                    .status();
            !s)
            return s;
    }
    return sql::run(m_db,
                    QStringLiteral("UPDATE WebMailToSMS_PollerLease SET HolderStation=NULL,LeaseExpiresOn=NULL WHERE "
                                   "HolderStation=?"),
                    {m_station})
        .status();
}

} // namespace parlix

#include "engine/SimLedgerRepository.h"

#include "store/InboxRepository.h"
#include "store/Query.h"
#include "store/SqlDialect.h"

namespace parlix {

Result<qint64> SimLedgerRepository::storeReceived(const QString &messageKey, const QString &sender,
                                                  const QString &message, const QDateTime &when)
{
    qint64 id = 0;
    const Status s = sql::inTransaction(m_db, [&] {
        auto inserted = InboxRepository(m_db).insert(sender, message, when, m_station);
        if (!inserted)
            return inserted.status();
        id = inserted.value();
        return sql::run(m_db,
                        QStringLiteral("INSERT INTO SIM_StoredMessages (MessageKey,InBox_Id,StoredOn) VALUES (?,?,?)"),
                        {QString(m_prefix + messageKey), id, sql::dateValue(when)})
            .status();
    });
    if (!s)
        return Result<qint64>::failure(s.error);
    return id;
}

Result<bool> SimLedgerRepository::isStored(const QString &messageKey)
{
    auto n = sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM SIM_StoredMessages WHERE MessageKey=?"),
                         {QString(m_prefix + messageKey)});
    if (!n)
        return Result<bool>::failure(n.error());
    return n.value() > 0;
}

Status SimLedgerRepository::forget(const QString &messageKey)
{
    return sql::run(m_db, QStringLiteral("DELETE FROM SIM_StoredMessages WHERE MessageKey=?"),
                    {QString(m_prefix + messageKey)})
        .status();
}

} // namespace parlix

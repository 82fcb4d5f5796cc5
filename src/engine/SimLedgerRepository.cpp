#include "engine/SimLedgerRepository.h"

#include "store/InboxRepository.h"
#include "store/Query.h"
#include "store/SqlDialect.h"

#include <QSet>

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

Status SimLedgerRepository::forgetAllBut(const QStringList &messageKeys)
{
    // Only this station's keys: another station's SIM still holds what its own listing shows.
    const QSet<QString> shown(messageKeys.cbegin(), messageKeys.cend());
    return sql::inTransaction(m_db, [&] {
        auto rows =
            sql::run(m_db, QStringLiteral("SELECT MessageKey FROM SIM_StoredMessages WHERE substr(MessageKey,1,?)=?"),
                     {int(m_prefix.size()), m_prefix});
        if (!rows)
            return rows.status();
        QStringList gone;
        while (rows.value().next()) {
            const QString key = rows.value().value(0).toString().mid(m_prefix.size());
            if (!shown.contains(key))
                gone << key;
        }
        for (const QString &key : std::as_const(gone)) {
            if (const Status s = forget(key); !s)
                return s;
        }
        return Status::success();
    });
}

} // namespace parlix

#pragma once

#include "core/Result.h"
#include "store/StationRepository.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace parlix {

// Every statement on SIM_StoredMessages: the SIM messages already copied into the inbox whose
// delete from the SIM has not been confirmed yet, so that a later pass never stores one twice.
// Each station has its own ledger: its SIM card is not another station's.
class SimLedgerRepository
{
public:
    explicit SimLedgerRepository(QSqlDatabase db, const QString &station = thisStation())
        : m_db(std::move(db))
        , m_station(station)
        , m_prefix(simLedgerKeyPrefix(station))
    {
    }

    // Stores the received SMS in Message_InBox, marked as received by the station, and its key
    // here in one transaction.
    Result<qint64> storeReceived(const QString &messageKey, const QString &sender, const QString &message,
                                 const QDateTime &when);
    Result<bool> isStored(const QString &messageKey);
    // The message has left the SIM, so its key may come back for a new message.
    Status forget(const QString &messageKey);
    // Forgets every key but these: the messages a complete listing still shows.
    Status forgetAllBut(const QStringList &messageKeys);

private:
    QSqlDatabase m_db;
    QString m_station;
    QString m_prefix;
};

} // namespace parlix

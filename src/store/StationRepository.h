#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

namespace parlix {

// The name a station goes by unless told otherwise: its host's.
QString defaultStationName();

// The station this process is: set once by main from --station before any thread starts, read
// by whatever reads or writes this station's own rows (its modem settings). The host's name
// unless set.
QString thisStation();
void setThisStation(const QString &name);

// What a station's keys in the SIM ledger (SIM_StoredMessages) begin with.
QString simLedgerKeyPrefix(const QString &station);

// Every statement on Stations: the running Parlix programs that share this database.
class StationRepository
{
public:
    explicit StationRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    // Records the station at its start; a name already known is kept as it is.
    Status registerStation(const QString &name, const QDateTime &when);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

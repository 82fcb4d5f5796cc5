#include "store/StationRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <QSysInfo>

namespace parlix {

QString defaultStationName()
{
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? QStringLiteral("localhost") : host;
}

namespace {

QString &stationOfProcess()
{
    static QString name;
    return name;
}

} // namespace

QString simLedgerKeyPrefix(const QString &station)
{
    return station + QLatin1Char('\x1f');
}

QString thisStation()
{
    const QString &set = stationOfProcess();
    return set.isEmpty() ? defaultStationName() : set;
}

void setThisStation(const QString &name)
{
    stationOfProcess() = name;
}

Status StationRepository::registerStation(const QString &name, const QDateTime &when)
{
    return sql::run(
               m_db,
               QStringLiteral("INSERT INTO Stations (StationName,RegisteredOn) VALUES (?,?) ON CONFLICT DO NOTHING"),
               {name, sql::dateValue(when)})
        .status();
}

} // namespace parlix

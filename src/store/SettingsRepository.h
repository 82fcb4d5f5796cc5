#pragma once

#include "core/Result.h"
#include "store/StationRepository.h"

#include <QSqlDatabase>
#include <QVariantMap>

#include <optional>

namespace parlix {

// The first row of each settings table, as stored (column name -> value); empty when the
// table has no row.
struct SettingsRows
{
    std::optional<QVariantMap> pop3;             // WebMailToSMS_POP3Settings
    std::optional<QVariantMap> timer;            // Timer_Setting
    std::optional<QVariantMap> missedCallActive; // AutoReply_OnMissedCall, first row with IsActive not 0
    std::optional<QVariantMap> modem;            // ModemSettings: the station's row
};

// Reads and writes the single-row settings tables. ModemSettings has one row per station (its
// Station column); a row without a station serves every station that has none of its own, and
// becomes the first of them to save its modem settings.
class SettingsRepository
{
public:
    explicit SettingsRepository(QSqlDatabase db, QString station = thisStation())
        : m_db(std::move(db))
        , m_station(std::move(station))
    {
    }

    Result<SettingsRows> readAll();
    Result<std::optional<QVariantMap>> modemSettings();
    Result<std::optional<QVariantMap>> timerSettings();
    Result<std::optional<QVariantMap>> pop3Settings();
    Result<std::optional<QVariantMap>> activeMissedCallReply();
    // The first row of AutoReply_OnMissedCall, whether active or not.
    Result<std::optional<QVariantMap>> missedCallReply();

    // Writes the given columns into the table's single row (ModemSettings: the station's), adding
    // the row when it is missing. Column names come from the program, never from the operator.
    Status saveSingleRow(const QString &table, const QVariantMap &columns);

private:
    QSqlDatabase m_db;
    QString m_station;

    Status saveStationRow(const QStringList &names, const QVariantList &values);
};

} // namespace parlix

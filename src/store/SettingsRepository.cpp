#include "store/SettingsRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <QStringList>

namespace parlix {

namespace {

const QStringList kSingleRowTables = {
    QStringLiteral("SMS_AutoReplySettings"),
    QStringLiteral("AutoReply_OnMissedCall"),
    QStringLiteral("ModemSettings"),
    QStringLiteral("Timer_Setting"),
    QStringLiteral("WebMailToSMS_POP3Settings"),
};

bool isIdentifier(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_')) || c.unicode() > 127)
            return false;
    }
    return true;
}

} // namespace

Result<std::optional<QVariantMap>> SettingsRepository::modemSettings()
{
    return sql::firstRow(m_db,
                         QStringLiteral("SELECT * FROM ModemSettings WHERE Station=? OR Station IS NULL ORDER BY "
                                        "CASE WHEN Station IS NULL THEN 1 ELSE 0 END,%1 LIMIT 1")
                             .arg(sql::rowKey(m_db)),
                         {m_station});
}

Result<std::optional<QVariantMap>> SettingsRepository::timerSettings()
{
    return sql::firstRow(m_db, QStringLiteral("SELECT * FROM Timer_Setting LIMIT 1"));
}

Result<std::optional<QVariantMap>> SettingsRepository::pop3Settings()
{
    return sql::firstRow(m_db, QStringLiteral("SELECT * FROM WebMailToSMS_POP3Settings LIMIT 1"));
}

Result<std::optional<QVariantMap>> SettingsRepository::activeMissedCallReply()
{
    return sql::firstRow(m_db, QStringLiteral("SELECT * FROM AutoReply_OnMissedCall WHERE IsActive<>0 LIMIT 1"));
}

Result<std::optional<QVariantMap>> SettingsRepository::missedCallReply()
{
    return sql::firstRow(
        m_db, QStringLiteral("SELECT * FROM AutoReply_OnMissedCall ORDER BY %1 LIMIT 1").arg(sql::rowKey(m_db)));
}

Result<SettingsRows> SettingsRepository::readAll()
{
    SettingsRows rows;
    auto pop3 = pop3Settings();
    if (!pop3)
        return Result<SettingsRows>::failure(pop3.error());
    rows.pop3 = pop3.value();
    auto timer = timerSettings();
    if (!timer)
        return Result<SettingsRows>::failure(timer.error());
    rows.timer = timer.value();
    auto missed = activeMissedCallReply();
    if (!missed)
        return Result<SettingsRows>::failure(missed.error());
    rows.missedCallActive = missed.value();
    auto modem = modemSettings();
    if (!modem)
        return Result<SettingsRows>::failure(modem.error());
    rows.modem = modem.value();
    return rows;
}

Status SettingsRepository::saveSingleRow(const QString &table, const QVariantMap &columns)
{
    if (!kSingleRowTables.contains(table))
        return Status::failure(QStringLiteral("%1 is not a settings table.").arg(table));
    QStringList names;
    QVariantList values;
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        if (!isIdentifier(it.key()))
            return Status::failure(QStringLiteral("%1 is not a column name.").arg(it.key()));
        names << it.key();
        values << it.value();
    }
    if (names.isEmpty())
        return Status::success();
    if (table == QLatin1String("ModemSettings"))
        return saveStationRow(names, values);
    return sql::inTransaction(m_db, [&]() -> Status {
        auto count = sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM ") + table);
        if (!count)
            return count.status();
        QString text;
        if (count.value() == 0) {
            text = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(table, names.join(QLatin1Char(',')),
                            QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        } else {
            QStringList sets;
            for (const QString &n : names)
                sets << n + QStringLiteral("=?");
            text = QStringLiteral("UPDATE %1 SET %2 WHERE %3=(SELECT min(%3) FROM %1)")
                       .arg(table, sets.join(QLatin1Char(',')), sql::rowKey(m_db));
        }
        return sql::run(m_db, text, values).status();
    });
}

Status SettingsRepository::saveStationRow(const QStringList &names, const QVariantList &values)
{
    QStringList sets;
    for (const QString &n : names)
        sets << n + QStringLiteral("=?");
    const QString update = QStringLiteral("UPDATE ModemSettings SET %1,Station=? WHERE ").arg(sets.join(u','));
    return sql::inTransaction(m_db, [&]() -> Status {
        auto own = sql::run(m_db, update + QStringLiteral("Station=?"), values + QVariantList{m_station, m_station});
        if (!own || own.value().numRowsAffected() > 0)
            return own.status();
        // The station's first save: a row without a station (the one it read until now) becomes
        // its own, else it gets a new row.
        auto adopted = sql::run(
            m_db,
            update +
                QStringLiteral("%1=(SELECT min(%1) FROM ModemSettings WHERE Station IS NULL)").arg(sql::rowKey(m_db)),
            values + QVariantList{m_station});
        if (!adopted || adopted.value().numRowsAffected() > 0)
            return adopted.status();
        return sql::run(m_db,
                        QStringLiteral("INSERT INTO ModemSettings (%1,Station) VALUES (%2?)")
                            .arg(names.join(u','), QStringLiteral("?,").repeated(names.size())),
                        values + QVariantList{m_station})
            .status();
    });
}

} // namespace parlix

#include "config/SettingsWatcher.h"

#include "store/SqlDialect.h"

namespace parlix {

namespace {

bool sameRows(const SettingsRows &a, const SettingsRows &b)
{
    return a.pop3 == b.pop3 && a.timer == b.timer && a.missedCallActive == b.missedCallActive && a.modem == b.modem;
}

} // namespace

SettingsWatcher::SettingsWatcher(QSqlDatabase db, int intervalMs, QObject *parent)
    : QObject(parent)
    , m_db(std::move(db))
    , m_timer(this)
{
    if (auto rows = SettingsRepository(m_db).readAll())
        m_rows = rows.value();
    if (auto version = sql::dataVersion(m_db))
        m_dataVersion = version.value();
    connect(&m_timer, &QTimer::timeout, this, &SettingsWatcher::check);
    m_timer.start(intervalMs);
}

void SettingsWatcher::check()
{
    // The data version moves only when another connection commits; this program's own saves
    // through this connection are announced where they are made. Without one (PostgreSQL) the
    // rows themselves are compared.
    auto version = sql::dataVersion(m_db);
    if (!version || (version.value() >= 0 && version.value() == m_dataVersion))
        return;
    m_dataVersion = version.value();
    auto rows = SettingsRepository(m_db).readAll();
    if (!rows || sameRows(rows.value(), m_rows))
        return;
    m_rows = rows.value();
    // Rows the loader refuses are left to the next start-up to report; the running settings stay.
    if (auto settings = loadRuntimeSettings(m_rows))
        Q_EMIT settingsChanged(settings.value());
}

} // namespace parlix

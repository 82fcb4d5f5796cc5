#pragma once

#include "config/RuntimeSettings.h"

#include <QObject>
#include <QSqlDatabase>
#include <QTimer>

namespace parlix {

// Notices settings changed in the database by another program (`parlix settings set` while
// the gateway runs) and announces the new settings, so no change needs a restart. Checks every
// few seconds whether another connection committed anything, and only then reads the single
// settings rows. Lives on the thread of its connection.
class SettingsWatcher : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsWatcher)

public:
    SettingsWatcher(QSqlDatabase db, int intervalMs = 2000, QObject *parent = nullptr);

public Q_SLOTS:
    void check();

Q_SIGNALS:
    void settingsChanged(const parlix::RuntimeSettings &settings);

private:
    QSqlDatabase m_db;
    QTimer m_timer;
    qint64 m_dataVersion = -1;
    SettingsRows m_rows;
};

} // namespace parlix

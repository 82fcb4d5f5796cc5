#pragma once

#include "store/Database.h"
#include "store/SettingsRepository.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace parlix {

// Runs the engine without windows, printing the activity log, until SIGINT or SIGTERM, as the
// station of that name (the host's when empty). Returns the process exit status.
int runHeadless(const QString &databasePath, const QString &station, bool saySoBecauseNoDisplay);

// The fatal start-up message: written to standard error; returns the exit status to use.
int reportFatal(const QString &message);

// The database a settings command works on, with its settings rows. When either cannot be
// read the cause has been reported as fatal, db is null and status is the exit status.
struct StoredSettings
{
    std::shared_ptr<DbConnection> db;
    SettingsRows rows;
    int status = 0;
};
StoredSettings openStoredSettings(const QString &databasePath);

} // namespace parlix

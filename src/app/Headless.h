#pragma once

#include <QString>
#include <QStringList>

namespace parlix {

// Runs the engine without windows, printing the activity log, until SIGINT or SIGTERM.
// Returns the process exit status.
int runHeadless(const QString &databasePath, bool saySoBecauseNoDisplay);

// The fatal start-up message: written to standard error; returns the exit status to use.
int reportFatal(const QString &message);

} // namespace parlix

#pragma once

#include <QString>

namespace parlix {

// The windowed start-up: database, screen question, splash, main window. Returns the exit status.
int runGui(const QString &databasePath, const QString &station);

} // namespace parlix

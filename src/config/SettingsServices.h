#pragma once

#include "config/RuntimeSettings.h"

#include <QSqlDatabase>
#include <QStringList>

#include <functional>

namespace parlix {

class ActivityLog;
class Prompt;

// Which serial ports the modem search probes: the system's own (QSerialPortInfo) and any
// device paths given here, such as the pseudo-terminals of a simulator.
struct ModemSearchPorts
{
    bool systemPorts = true;
    QStringList extraPorts;
};

// What the settings windows are given by the main window. They write the tables through the
// repositories on db (the GUI thread's connection) and announce the new settings by a signal.
struct SettingsServices
{
    QSqlDatabase db;
    Prompt *prompt = nullptr;
    // Where the modem search's exchanges are logged; must live as long as the process, since a
    // cancelled search may outlive its window. Without one they go to a log nobody reads.
    ActivityLog *log = nullptr;
    // The settings the process runs with now; a save changes its own fields and keeps the rest.
    // When empty, the settings are read from the database.
    std::function<RuntimeSettings()> currentSettings;
    ModemSearchPorts searchPorts;
};

// The current settings through services, falling back to the tables.
RuntimeSettings currentSettingsOf(const SettingsServices &services);

} // namespace parlix

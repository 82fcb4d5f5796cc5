#pragma once

#include <QString>

namespace parlix {

class ActivityLog;
class Clock;
class Prompt;

// What every engine-side object needs from the process around it. The objects pointed to
// outlive the engine and are safe to use from its thread.
struct EngineContext
{
    QString databasePath;
    ActivityLog *log = nullptr;
    Prompt *prompt = nullptr;
    const Clock *clock = nullptr;
    QString station; // this program's name among those sharing the database; the host's when empty
};

} // namespace parlix

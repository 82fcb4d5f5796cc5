#pragma once

#include "config/RuntimeSettings.h"
#include "store/Database.h"

#include <QSize>
#include <QString>

namespace parlix {

class ActivityLog;

// The screen question is asked only when the screen is both narrower than 1024 and lower than 768.
bool screenNeedsQuestion(const QSize &screen);
QString screenQuestionText(const QSize &screen);

// The settings part of the main window's load: writes the four "Initializing …" lines in order
// and fills the settings from the tables. A failure ends the start-up with its text.
Result<RuntimeSettings> loadSettingsAtStartup(const DbConnection &db, ActivityLog &log);

} // namespace parlix

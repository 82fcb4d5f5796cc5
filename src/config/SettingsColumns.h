#pragma once

#include "config/SettingsSave.h"
#include "core/Result.h"
#include "store/SettingsRepository.h"

#include <QString>
#include <QStringList>

namespace parlix {

// The settings an operator can set by column name ("CommPortNo", "POP3MailServer", ...), with
// the value the column stores ("/dev/ttyUSB0", "n" for no parity, "1" for yes). Each goes into
// the same SettingsInput the settings window fills, so the window's checks judge it.
QStringList settableColumns();

// Puts one value into input and marks the group it belongs to in sections (start from no group:
// a group is checked and saved only when one of its settings was given). A name that is no
// settable column, or a value the window could never produce (a parity letter not in its
// list), is refused with the window's message where it has one.
Status applySetting(SettingsInput &input, SettingsSections &sections, const QString &column, const QString &value);

// Every stored setting as "Table.Column = value" lines, passwords masked.
QStringList settingsShowLines(const SettingsRows &rows);

} // namespace parlix

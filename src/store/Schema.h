#pragma once

#include "core/Result.h"

#include <QSqlDatabase>

namespace parlix::schema {

int latestVersion();
// The version of the first step with a statement containing fragment (0 when none), so a test
// can set a database back to the version before a step without knowing its number.
int versionOfStepWith(const char *fragment);

// A column name as the schema spells it (PostgreSQL reports every name in lower case); other
// names come back unchanged.
QString columnSpelling(const QString &name);

// Brings the database up to the latest version, one numbered step at a time, each step in its
// own transaction. A database written by a newer Parlix is refused.
Status migrate(QSqlDatabase db);

} // namespace parlix::schema

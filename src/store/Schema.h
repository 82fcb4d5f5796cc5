#pragma once

#include "core/Result.h"

#include <QSqlDatabase>

namespace parlix::schema {

int latestVersion();

// Brings the database up to the latest version, one numbered step at a time, each step in its
// own transaction. A database written by a newer Parlix is refused.
Status migrate(QSqlDatabase db);

} // namespace parlix::schema

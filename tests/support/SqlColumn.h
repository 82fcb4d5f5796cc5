#pragma once

#include "store/Query.h"

#include <QSqlDatabase>
#include <QStringList>

#include <gtest/gtest.h>

namespace parlix::test {

// The first column of every row a query returns, as text: what the program wrote, read back.
inline QStringList column(const QSqlDatabase &db, const QString &sql)
{
    QStringList out;
    auto q = sql::run(db, sql);
    if (!q) {
        ADD_FAILURE() << "SQL failed: " << sql.toStdString() << ": " << q.error().toStdString();
        return out;
    }
    while (q.value().next())
        out << q.value().value(0).toString();
    return out;
}

} // namespace parlix::test

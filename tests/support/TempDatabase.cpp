#include "support/TempDatabase.h"

#include "store/Query.h"

#include <gtest/gtest.h>

namespace parlix::test {

TempDatabase::TempDatabase()
    : m_path(m_dir.filePath(QStringLiteral("Parlix.db")))
{
    auto conn = DbConnection::open(m_path);
    if (!conn) {
        ADD_FAILURE() << "cannot create a test database: " << conn.error().toStdString();
        return;
    }
    m_conn = conn.value();
}

void TempDatabase::exec(const QString &sql, const QVariantList &values) const
{
    auto q = sql::run(db(), sql, values);
    if (!q)
        ADD_FAILURE() << "SQL failed: " << sql.toStdString() << ": " << q.error().toStdString();
}

} // namespace parlix::test

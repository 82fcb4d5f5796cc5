#include "support/TempDatabase.h"

#include "store/Query.h"
#include "testservers/PostgresServer.h"

#include <gtest/gtest.h>

namespace parlix::test {

TempDatabase::TempDatabase(sql::Backend backend)
    : m_backend(backend)
    , m_path(m_dir.filePath(QStringLiteral("Parlix.db")))
{
    if (backend == sql::Backend::Postgres) {
        auto server = PostgresServer::shared();
        auto address = server ? server.value()->createDatabase() : Result<QString>::failure(server.error());
        if (!address) {
            m_path.clear();
            ADD_FAILURE() << "cannot create a test database: " << address.error().toStdString();
            return;
        }
        m_path = address.value();
    }
    auto conn = DbConnection::open(m_path);
    if (!conn) {
        ADD_FAILURE() << "cannot create a test database: " << conn.error().toStdString();
        return;
    }
    m_conn = conn.value();
}

TempDatabase::~TempDatabase()
{
    m_conn.reset();
    if (m_backend == sql::Backend::Postgres && !m_path.isEmpty()) {
        if (auto server = PostgresServer::shared())
            server.value()->dropDatabase(m_path);
    }
}

void TempDatabase::exec(const QString &sql, const QVariantList &values) const
{
    auto q = sql::run(db(), sql, values);
    if (!q)
        ADD_FAILURE() << "SQL failed: " << sql.toStdString() << ": " << q.error().toStdString();
}

} // namespace parlix::test

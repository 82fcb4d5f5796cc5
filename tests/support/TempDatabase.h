#pragma once

#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QTemporaryDir>

namespace parlix::test {

// A fresh database, removed with the object: a file in its own temporary folder, or a new
// database on the PostgreSQL test server (support/PostgresServer.h). The temporary folder
// exists for either, for the files a test writes beside the database.
class TempDatabase
{
public:
    explicit TempDatabase(sql::Backend backend = sql::Backend::Sqlite);
    ~TempDatabase();
    TempDatabase(const TempDatabase &) = delete;
    TempDatabase &operator=(const TempDatabase &) = delete;

    // The file's path or the database's address; what DbConnection::open takes.
    const QString &path() const { return m_path; }
    QString dir() const { return m_dir.path(); }
    DbConnection &conn() const { return *m_conn; }
    QSqlDatabase db() const { return m_conn->db(); }
    const DbConnectionPtr &ptr() const { return m_conn; }
    sql::Backend backend() const { return m_backend; }

    // Runs raw SQL for test set-up; fails the test on error.
    void exec(const QString &sql, const QVariantList &values = {}) const;

private:
    sql::Backend m_backend;
    QTemporaryDir m_dir;
    QString m_path;
    DbConnectionPtr m_conn;
};

} // namespace parlix::test

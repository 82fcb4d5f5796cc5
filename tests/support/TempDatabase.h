#pragma once

#include "store/Database.h"

#include <QTemporaryDir>

namespace parlix::test {

// A fresh database file in its own temporary folder, removed with the object.
class TempDatabase
{
public:
    TempDatabase();
    const QString &path() const { return m_path; }
    QString dir() const { return m_dir.path(); }
    DbConnection &conn() const { return *m_conn; }
    QSqlDatabase db() const { return m_conn->db(); }
    const DbConnectionPtr &ptr() const { return m_conn; }

    // Runs raw SQL for test set-up; fails the test on error.
    void exec(const QString &sql, const QVariantList &values = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    DbConnectionPtr m_conn;
};

} // namespace parlix::test

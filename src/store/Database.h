#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace parlix {

// One open connection to the Parlix database, owned by one thread. Each thread that touches
// the database (GUI, engine, webmail poller, export) opens its own with openAnother().
//
// The database is an SQLite file, or a PostgreSQL database named by an address
// "postgresql://user@host:port/dbname" (query items such as ?sslmode=require are passed to
// libpq). The password never travels in the address: libpq reads PGPASSWORD or ~/.pgpass.
class DbConnection
{
    Q_DISABLE_COPY_MOVE(DbConnection)

public:
    enum class Mode { CreateIfMissing, ExistingOnly };

    // The schema version this program writes; a database with a higher one is refused.
    static int schemaVersion();

    // Opens the SQLite file at path, or the PostgreSQL database at a postgresql:// address.
    // CreateIfMissing makes a new database (a file of mode 0600 in an existing folder; the
    // tables in an existing, empty PostgreSQL database) with the schema and the default
    // settings row; ExistingOnly refuses a missing file or a database without Parlix tables.
    static Result<std::shared_ptr<DbConnection>> open(const QString &path, Mode mode = Mode::CreateIfMissing);
    static bool isAddress(const QString &location);

    // The per-user default location, whose folder is created when needed.
    static QString defaultPath();

    ~DbConnection();

    Result<std::shared_ptr<DbConnection>> openAnother() const;

    QSqlDatabase db() const;
    // The file's absolute path or the database's address.
    const QString &path() const { return m_path; }

private:
    DbConnection(QString path, QString connectionName);
    static Result<std::shared_ptr<DbConnection>> openPostgres(const QString &address, Mode mode);
    Status configure();

    QString m_path;
    QString m_connectionName;
};

using DbConnectionPtr = std::shared_ptr<DbConnection>;

} // namespace parlix

#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace parlix {

// One open connection to the Parlix database, owned by one thread. Each thread that touches
// the database (GUI, engine, webmail poller, export) opens its own with openAnother().
class DbConnection
{
    Q_DISABLE_COPY_MOVE(DbConnection)

public:
    enum class Mode { CreateIfMissing, ExistingOnly };

    // The schema version this program writes; a database with a higher one is refused.
    static int schemaVersion();

    // Opens the SQLite file at path. CreateIfMissing makes a new database (mode 0600) with the
    // schema and the default settings row when the file does not exist; its folder must exist.
    static Result<std::shared_ptr<DbConnection>> open(const QString &path, Mode mode = Mode::CreateIfMissing);

    // The per-user default location, whose folder is created when needed.
    static QString defaultPath();

    ~DbConnection();

    Result<std::shared_ptr<DbConnection>> openAnother() const;

    QSqlDatabase db() const;
    const QString &path() const { return m_path; }

private:
    DbConnection(QString path, QString connectionName);
    Status configure();

    QString m_path;
    QString m_connectionName;
};

using DbConnectionPtr = std::shared_ptr<DbConnection>;

} // namespace parlix

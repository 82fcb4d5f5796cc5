#include "store/Database.h"

#include "store/Schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

namespace parlix {

namespace {

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("parlix-%1").arg(counter.fetchAndAddRelaxed(1));
}

QString cannotOpen(const QString &path, const QString &why)
{
    return QStringLiteral("The database %1 cannot be opened: %2").arg(QDir::toNativeSeparators(path), why);
}

} // namespace

int DbConnection::schemaVersion()
{
    return schema::latestVersion();
}

QString DbConnection::defaultPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.local/share/Parlix");
    QDir().mkpath(dir);
    return dir + QStringLiteral("/Parlix.db");
}

DbConnection::DbConnection(QString path, QString connectionName)
    : m_path(std::move(path))
    , m_connectionName(std::move(connectionName))
{
}

DbConnection::~DbConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase DbConnection::db() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

Result<DbConnectionPtr> DbConnection::open(const QString &path, Mode mode)
{
    const QFileInfo info(path);
    if (!info.dir().exists())
        return Result<DbConnectionPtr>::failure(cannotOpen(
            path, QStringLiteral("the folder %1 does not exist.").arg(QDir::toNativeSeparators(info.absolutePath()))));
    if (info.exists() && !info.isFile())
        return Result<DbConnectionPtr>::failure(cannotOpen(path, QStringLiteral("it is not a file.")));
    if (!info.exists()) {
        if (mode == Mode::ExistingOnly)
            return Result<DbConnectionPtr>::failure(cannotOpen(path, QStringLiteral("the file does not exist.")));
        // Create the empty file first so that it never exists with wider permissions.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return Result<DbConnectionPtr>::failure(cannotOpen(path, file.errorString()));
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    } else if (!info.isReadable()) {
        return Result<DbConnectionPtr>::failure(
            cannotOpen(path, QStringLiteral("the file cannot be read (permission denied).")));
    }

    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return Result<DbConnectionPtr>::failure(
            cannotOpen(path, QStringLiteral("the SQLite driver of Qt is not installed.")));

    DbConnectionPtr conn(new DbConnection(info.absoluteFilePath(), nextConnectionName()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn->m_connectionName);
        db.setDatabaseName(conn->m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            return Result<DbConnectionPtr>::failure(cannotOpen(path, db.lastError().text()));
    }
    if (Status s = conn->configure(); !s)
        return Result<DbConnectionPtr>::failure(cannotOpen(path, s.error));
    if (Status s = schema::migrate(conn->db()); !s)
        return Result<DbConnectionPtr>::failure(cannotOpen(path, s.error));
    return conn;
}

Status DbConnection::configure()
{
    QSqlQuery q(db());
    // The first read also tells a damaged or foreign file from a database.
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return Status::failure(q.lastError().databaseText().isEmpty() ? q.lastError().text()
                                                                      : q.lastError().databaseText());
    for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA foreign_keys=ON", "PRAGMA synchronous=NORMAL"}) {
        if (!q.exec(QString::fromLatin1(pragma)))
            return Status::failure(q.lastError().databaseText().isEmpty() ? q.lastError().text()
                                                                          : q.lastError().databaseText());
    }
    return Status::success();
}

Result<DbConnectionPtr> DbConnection::openAnother() const
{
    return open(m_path, Mode::ExistingOnly);
}

} // namespace parlix

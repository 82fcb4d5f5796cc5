#include "store/Database.h"

#include "store/Query.h"
#include "store/Schema.h"
#include "store/SqlDialect.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

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
    sql::forgetPrepared(m_connectionName);
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

bool DbConnection::isAddress(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

Result<DbConnectionPtr> DbConnection::openPostgres(const QString &address, Mode mode)
{
    const QUrl url(address, QUrl::StrictMode);
    // Whatever goes wrong, the address is shown without a password put in it (options too).
    const QString shown =
        url.isValid() ? url.toDisplayString(QUrl::RemovePassword | QUrl::RemoveQuery) : QStringLiteral("postgresql://");
    const auto fail = [&](const QString &why) { return Result<DbConnectionPtr>::failure(cannotOpen(shown, why)); };
    if (!url.isValid())
        return fail(QStringLiteral("the address is not valid (postgresql://user@host:port/dbname)."));
    if (!url.password().isEmpty())
        return fail(QStringLiteral("the address holds a password. Give it in PGPASSWORD or ~/.pgpass instead."));
    const QString dbName = url.path(QUrl::FullyDecoded).mid(1);
    if (dbName.isEmpty() || dbName.contains(QLatin1Char('/')))
        return fail(QStringLiteral("the address names no database (postgresql://user@host:port/dbname)."));
    QStringList options{QStringLiteral("application_name=parlix"), QStringLiteral("connect_timeout=10")};
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        const bool plainKey = !key.isEmpty() && std::all_of(key.cbegin(), key.cend(), [](QChar c) {
            return c.unicode() < 128 && (c.isLetterOrNumber() || c == QLatin1Char('_'));
        });
        if (!plainKey || value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('\'')) ||
            value.contains(QLatin1Char(' ')))
            return fail(QStringLiteral("the option %1 in the address cannot be used.").arg(key));
        if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            return fail(QStringLiteral("the address holds a password. Give it in PGPASSWORD or ~/.pgpass instead."));
        options << key + QLatin1Char('=') + value;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(QStringLiteral("the PostgreSQL driver of Qt is not installed (package libqt6sql6-psql)."));

    // Kept whole for the other threads' connections: it holds no password, and its options
    // (sslmode, ...) must reach them too.
    DbConnectionPtr conn(new DbConnection(url.toString(), nextConnectionName()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conn->m_connectionName);
        db.setHostName(url.host(QUrl::FullyDecoded));
        if (url.port() > 0)
            db.setPort(url.port());
        db.setDatabaseName(dbName);
        db.setUserName(url.userName(QUrl::FullyDecoded));
        db.setConnectOptions(options.join(QLatin1Char(';')));
        if (!db.open())
            return fail(db.lastError().databaseText().isEmpty() ? db.lastError().text()
                                                                : db.lastError().databaseText().trimmed());
    }
    if (Status s = conn->configure(); !s)
        return fail(s.error);
    if (mode == Mode::ExistingOnly) {
        auto version = sql::schemaVersion(conn->db());
        if (!version)
            return fail(version.error());
        if (version.value() == 0)
            return fail(QStringLiteral("the database holds no Parlix tables."));
    }
    if (Status s = schema::migrate(conn->db()); !s)
        return fail(s.error);
    return conn;
}

Result<DbConnectionPtr> DbConnection::open(const QString &path, Mode mode)
{
    if (isAddress(path))
        return openPostgres(path, mode);
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
    if (sql::backendOf(db()) == sql::Backend::Postgres) {
        // Notices ("extension already exists") are of no interest to anyone.
        return sql::run(db(), QStringLiteral("SET client_min_messages TO WARNING")).status();
    }
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

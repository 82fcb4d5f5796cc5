#include "testservers/PostgresServer.h"
#include "testservers/ServerSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QUrl>
#include <QVersionNumber>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace parlix::test {

namespace {

// The user the server runs as when the tests run as root (initdb refuses root).

QString binDir()
{
    if (const QString dir = qEnvironmentVariable("PARLIX_PG_BINDIR"); !dir.isEmpty())
        return dir;
    // The newest installed server.
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QString best;
    QVersionNumber bestVersion;
    for (const QString &v : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QVersionNumber version = QVersionNumber::fromString(v);
        if (QFile::exists(root.filePath(v + QStringLiteral("/bin/initdb"))) && version > bestVersion) {
            bestVersion = version;
            best = root.filePath(v + QStringLiteral("/bin"));
        }
    }
    return best;
}

// Runs a server program (as the unprivileged user under root); the error holds its output.
Status runServerTool(const QString &tool, const QStringList &args)
{
    const QString program = binDir() + QLatin1Char('/') + tool;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (runningAsRoot())
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QLatin1String(kServerUser), QStringLiteral("--"), program} + args);
    else
        p.start(program, args);
    if (!p.waitForStarted(10000))
        return Status::failure(QStringLiteral("%1 cannot be started: %2").arg(program, p.errorString()));
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return Status::failure(QStringLiteral("%1 did not finish in two minutes").arg(tool));
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return Status::failure(
            QStringLiteral("%1 failed: %2").arg(tool, QString::fromLocal8Bit(p.readAll()).trimmed().right(2000)));
    return Status::success();
}

QString databaseOf(const QString &address)
{
    return QUrl(address).path().mid(1);
}

std::unique_ptr<PostgresServer> g_shared;

// Who a server's folder belongs to: a test process ("pid N", stopping it when it ends) or the
// CTest fixture ("state FILE", stopped by postgres.stop).
const QString kOwnerFile = QStringLiteral("/owner");

Status writeOwner(const QString &folder, const QString &owner)
{
    QFile f(folder + kOwnerFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(owner.toUtf8()) < 0)
        return Status::failure(QStringLiteral("%1 cannot be written: %2").arg(f.fileName(), f.errorString()));
    return Status::success();
}

// Stops the servers of test processes that died (a crash skips the stop) and of fixtures
// whose run is over.
void stopAbandonedServers()
{
    const QDir tmp(QDir::tempPath());
    for (const QString &name : tmp.entryList({QStringLiteral("parlix-pg-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = tmp.filePath(name);
        QFile f(folder + kOwnerFile);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString owner = QString::fromUtf8(f.readAll()).trimmed();
        const bool gone = owner.startsWith(QLatin1String("pid "))
                              ? !QFile::exists(QStringLiteral("/proc/") + owner.mid(4))
                              : owner.startsWith(QLatin1String("state ")) && !QFile::exists(owner.mid(6));
        if (!gone)
            continue;
        if (QFile::exists(folder + QStringLiteral("/data/postmaster.pid")))
            runServerTool(QStringLiteral("pg_ctl"),
                          {QStringLiteral("-D"), folder + QStringLiteral("/data"), QStringLiteral("-m"),
                           QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
        QDir(folder).removeRecursively();
    }
}

} // namespace

QString PostgresServer::user()
{
    return QStringLiteral("parlix_test");
}

Result<std::unique_ptr<PostgresServer>> PostgresServer::start()
{
    using R = Result<std::unique_ptr<PostgresServer>>;
    if (binDir().isEmpty())
        return R::failure(QStringLiteral("no PostgreSQL server is installed (/usr/lib/postgresql/*/bin/initdb; "
                                         "scripts/setup.sh installs postgresql)"));
    stopAbandonedServers();
    QByteArray folderTemplate = QFile::encodeName(QDir::tempPath() + QStringLiteral("/parlix-pg-XXXXXX"));
    if (!::mkdtemp(folderTemplate.data()))
        return R::failure(QStringLiteral("no temporary folder for the server"));
    std::unique_ptr<PostgresServer> server(new PostgresServer);
    server->m_folder = QFile::decodeName(folderTemplate);
    server->m_owned = true;
    server->m_password = QString::number(QRandomGenerator::system()->generate64(), 36);

    if (Status s = writeOwner(server->m_folder, QStringLiteral("pid %1").arg(::getpid())); !s)
        return R::failure(s.error);
    const QString pwFile = server->m_folder + QStringLiteral("/pwfile");
    {
        QFile f(pwFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(server->m_password.toUtf8() + '\n') < 0)
            return R::failure(QStringLiteral("the password file cannot be written: ") + f.errorString());
    }
    for (const QString &path : {server->m_folder, pwFile}) {
        if (Status s = handToServerUser(path); !s)
            return R::failure(s.error);
    }
    const QString data = server->m_folder + QStringLiteral("/data");
    if (Status s = runServerTool(QStringLiteral("initdb"),
                                 {QStringLiteral("-D"), data, QStringLiteral("-U"), user(),
                                  QStringLiteral("--pwfile=") + pwFile, QStringLiteral("--auth-local=trust"),
                                  QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("-E"),
                                  QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                                  QStringLiteral("--no-sync"), QStringLiteral("--no-instructions")});
        !s)
        return R::failure(s.error);

    // A port found free can be taken before the server binds it; another one is tried then.
    QString why;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int port = freeLoopbackPort();
        const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                               "-c synchronous_commit=off -c full_page_writes=off")
                                    .arg(port)
                                    .arg(server->m_folder);
        const Status s =
            runServerTool(QStringLiteral("pg_ctl"),
                          {QStringLiteral("-D"), data, QStringLiteral("-l"),
                           server->m_folder + QStringLiteral("/server.log"), QStringLiteral("-o"), options,
                           QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")});
        if (s) {
            server->m_port = port;
            return server;
        }
        QFile log(server->m_folder + QStringLiteral("/server.log"));
        why = s.error;
        if (log.open(QIODevice::ReadOnly))
            why += QStringLiteral("\n") + QString::fromLocal8Bit(log.readAll()).right(2000);
    }
    return R::failure(QStringLiteral("the server does not start: ") + why);
}

Result<std::unique_ptr<PostgresServer>> PostgresServer::attach(const QString &stateFile)
{
    using R = Result<std::unique_ptr<PostgresServer>>;
    QFile f(stateFile);
    if (!f.open(QIODevice::ReadOnly))
        return R::failure(QStringLiteral("%1 cannot be read: %2").arg(stateFile, f.errorString()));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    std::unique_ptr<PostgresServer> server(new PostgresServer);
    if (lines.size() < 3 || lines.at(1).toInt() <= 0)
        return R::failure(QStringLiteral("%1 does not describe a server").arg(stateFile));
    server->m_folder = lines.at(0);
    server->m_port = lines.at(1).toInt();
    server->m_password = lines.at(2);
    return server;
}

Result<PostgresServer *> PostgresServer::shared()
{
    static QString failure;
    if (!g_shared && failure.isEmpty()) {
        const QString state = QStringLiteral(PARLIX_TEST_POSTGRES_STATE);
        auto server = QFile::exists(state) ? attach(state) : start();
        // A state file left behind by a run that was cut short names no server.
        if (server && !server.value()->admin(QStringLiteral("SELECT 1")))
            server = start();
        if (!server) {
            failure = server.error();
        } else {
            g_shared = std::move(server.value());
            qputenv("PGPASSWORD", g_shared->m_password.toUtf8());
            // Stopped while Qt still runs, when the application object goes.
            if (g_shared->m_owned)
                qAddPostRoutine([] { g_shared.reset(); });
        }
    }
    if (!g_shared)
        return Result<PostgresServer *>::failure(QStringLiteral("PostgreSQL test server: ") + failure);
    return g_shared.get();
}

PostgresServer::~PostgresServer()
{
    if (m_owned)
        stop();
}

Status PostgresServer::save(const QString &stateFile) const
{
    QFile f(stateFile);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(QStringLiteral("%1\n%2\n%3\n").arg(m_folder).arg(m_port).arg(m_password).toUtf8()) < 0)
        return Status::failure(QStringLiteral("%1 cannot be written: %2").arg(stateFile, f.errorString()));
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return writeOwner(m_folder, QStringLiteral("state ") + QFileInfo(stateFile).absoluteFilePath());
}

Status PostgresServer::stop()
{
    if (m_folder.isEmpty())
        return Status::success();
    Status s = Status::success();
    if (m_port > 0)
        s = runServerTool(QStringLiteral("pg_ctl"),
                          {QStringLiteral("-D"), m_folder + QStringLiteral("/data"), QStringLiteral("-m"),
                           QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
    QDir(m_folder).removeRecursively();
    m_folder.clear();
    m_port = 0;
    return s;
}

Result<QString> PostgresServer::admin(const QString &statement) const
{
    const QString name = QStringLiteral("parlix-test-admin");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port);
        db.setDatabaseName(QStringLiteral("postgres"));
        db.setUserName(user());
        db.setPassword(m_password);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(statement))
                error = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.isEmpty())
        return Result<QString>::failure(QStringLiteral("%1: %2").arg(statement, error));
    return QString();
}

Result<QString> PostgresServer::createDatabase()
{
    static int counter = 0;
    const QString name = QStringLiteral("parlix_test_%1_%2").arg(::getpid()).arg(++counter);
    if (auto made = admin(QStringLiteral("CREATE DATABASE %1").arg(name)); !made)
        return made;
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(user()).arg(m_port).arg(name);
}

Status PostgresServer::dropDatabase(const QString &address)
{
    return admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(databaseOf(address))).status();
}

} // namespace parlix::test

#pragma once

#include "core/Result.h"

#include <QString>

#include <memory>

namespace parlix::test {

// A throw-away PostgreSQL server for the suites and the benchmarks: initdb and pg_ctl of the
// installed server (/usr/lib/postgresql/<version>/bin, or PARLIX_PG_BINDIR) in a temporary
// folder, listening on a free loopback port. initdb refuses root, so under root the server is
// run as the unprivileged user "nobody". Clients log in with a password, which libpq takes from
// PGPASSWORD as it would in an office.
class PostgresServer
{
public:
    // Starts a server in a new temporary folder; the error says why it could not.
    static Result<std::unique_ptr<PostgresServer>> start();
    // The server a CTest fixture started and described in stateFile (see save()); it is stopped
    // by whoever started it.
    static Result<std::unique_ptr<PostgresServer>> attach(const QString &stateFile);
    // The server of this test process: the one the CTest fixture postgres.start describes in
    // the build tree while it runs, else one of its own, started at first use and stopped when
    // the tests end. PGPASSWORD is set for it.
    static Result<PostgresServer *> shared();

    ~PostgresServer();

    Status save(const QString &stateFile) const;
    // Leaves the server running when this object goes (for a fixture that outlives its process).
    void keepRunning() { m_owned = false; }
    Status stop();

    int port() const { return m_port; }
    const QString &password() const { return m_password; }
    static QString user();

    // A new empty database on the server and its address; dropDatabase removes it, whatever
    // connections are still open to it.
    Result<QString> createDatabase();
    Status dropDatabase(const QString &address);

private:
    PostgresServer() = default;
    Result<QString> admin(const QString &statement) const;

    QString m_folder;
    int m_port = 0;
    QString m_password;
    bool m_owned = false;
};

} // namespace parlix::test

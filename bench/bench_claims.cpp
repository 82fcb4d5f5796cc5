// The cost of the outbox claims alone, without any modem: 1, 2 and 4 stations (threads, each on
// its own connection) take rows one at a time from a shared outbox of 4000 rows on a
// throw-away PostgreSQL server, as the outbox pass does (claim, hold for the modem, mark sent).
// Prints the claim time per row, the whole bookkeeping per row, and checks each row went once.
// The SMS per minute with the network's 2 s per SMS come from tests/app/stations.py --bench.
//
//   bench_claims [ROWS]
#include "store/Database.h"
#include "store/OutboxRepository.h"
#include "store/Query.h"
#include "testservers/PostgresServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

using namespace parlix;

namespace {

struct StationRun
{
    qint64 rows = 0;
    qint64 claimNs = 0;
    qint64 totalNs = 0;
};

StationRun runStation(const QString &address, const QString &name)
{
    StationRun run;
    auto db = DbConnection::open(address, DbConnection::Mode::ExistingOnly);
    if (!db) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(db.error()));
        return run;
    }
    OutboxRepository outbox(db.value()->db());
    for (;;) {
        QElapsedTimer t;
        t.start();
        const QDateTime now = QDateTime::currentDateTime();
        auto claimed = outbox.claimWaiting(name, now.addSecs(300), 1);
        const qint64 claimNs = t.nsecsElapsed();
        if (!claimed || claimed->isEmpty())
            break;
        const qint64 id = claimed->first().id;
        if (!outbox.holdForSending(id, name, claim::kModem, now.addSecs(300)).value() ||
            !outbox.markSent(id, now, name)) {
            std::fprintf(stderr, "%s: row %lld lost\n", qPrintable(name), id);
            break;
        }
        run.claimNs += claimNs;
        run.totalNs += t.nsecsElapsed();
        ++run.rows;
    }
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 4000;
    auto server = test::PostgresServer::shared();
    if (!server) {
        std::fprintf(stderr, "no PostgreSQL: %s\n", qPrintable(server.error()));
        return 1;
    }
    for (const int stations : {1, 2, 4}) {
        auto address = server.value()->createDatabase();
        auto db = address ? DbConnection::open(address.value()) : Result<std::shared_ptr<DbConnection>>::failure("");
        if (!db) {
            std::fprintf(stderr, "%s\n", qPrintable(db.error()));
            return 1;
        }
        sql::run(db.value()->db(),
                 QStringLiteral("INSERT INTO Message_OutBox (RecepId,RecipientMobileNo,Message,OutBoxDateTime) "
                                "SELECT 0,'+4477'||x,'row '||x,'2026-01-01 00:00:00' FROM generate_series(1,?) x"),
                 {rows});
        std::vector<StationRun> runs(static_cast<size_t>(stations));
        std::vector<std::thread> threads;
        QElapsedTimer wall;
        wall.start();
        for (int i = 0; i < stations; ++i)
            threads.emplace_back(
                [&, i] { runs[size_t(i)] = runStation(address.value(), QStringLiteral("station%1").arg(i)); });
        for (auto &t : threads)
            t.join();
        const double seconds = double(wall.nsecsElapsed()) / 1e9;
        StationRun sum;
        for (const StationRun &r : runs) {
            sum.rows += r.rows;
            sum.claimNs += r.claimNs;
            sum.totalNs += r.totalNs;
        }
        const qint64 sentOnce = sql::scalar(db.value()->db(), QStringLiteral("SELECT COUNT(*) FROM Message_OutBox "
                                                                             "WHERE DeliveryStatus='SENT'"))
                                    .value();
        std::printf("%d station(s): %lld rows in %.2f s; claim %.3f ms/row, claim+hold+sent %.3f ms/row; "
                    "%lld rows SENT (of %d)\n",
                    stations, sum.rows, seconds, double(sum.claimNs) / 1e6 / double(qMax<qint64>(1, sum.rows)),
                    double(sum.totalNs) / 1e6 / double(qMax<qint64>(1, sum.rows)), sentOnce, rows);
        db.value().reset();
        server.value()->dropDatabase(address.value());
    }
    return 0;
}

// Builds a database with a year of history (1,000,000 inbox and 1,000,000 outbox rows, about 1 %
// unread or pending, a few calls a day), then times start-up to settings loaded and each of the
// three home-page counts.
//
//   build/bin/bench_store [database-path]     (default: a temporary file, removed afterwards)
#include "BenchSupport.h"
#include "config/Startup.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "store/CallRepository.h"
#include "store/Database.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"
#include "store/Query.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace parlix;

namespace {

bool fill(const QSqlDatabase &db)
{
    // A year back from now, one row every ~31 s; every hundredth unread / pending.
    return bench::runAll(
        db,
        {bench::inboxYearSql(),
         QStringLiteral(
             "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n WHERE x<1000000) "
             "INSERT INTO Message_OutBox (RecepId,RecipientMobileNo,Message,OutBoxDateTime,DeliveryDatetime,"
             "DeliveryStatus) SELECT 0, '+9197' || printf('%08d', (x * 7907) % 100000000), "
             "'Your appointment is confirmed for tomorrow at 10:30. Call us to change it.', "
             "strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime', '-' || ((1000000-x)*31) || ' seconds'), "
             "CASE WHEN x % 100 = 0 THEN NULL ELSE strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime', '-' || "
             "((1000000-x)*31-20) || ' seconds') END, CASE WHEN x % 100 = 0 THEN NULL ELSE 'SENT' END FROM n"),
         QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n WHERE x<2000) "
                        "INSERT INTO MissedCallStatistics (callDateTime,callerNumber,IsMissCall) "
                        "SELECT strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime', '-' || (x*15700) || ' seconds'), "
                        "'+9196' || printf('%08d', x), x % 3 <> 0 FROM n"),
         QStringLiteral("ANALYZE")},
        {100});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("bench.db"));

    if (!QFile::exists(path)) {
        auto conn = DbConnection::open(path);
        if (!conn) {
            std::fprintf(stderr, "%s\n", qPrintable(conn.error()));
            return 1;
        }
        QElapsedTimer t;
        t.start();
        if (!fill(conn.value()->db()))
            return 1;
        std::printf("built 1,000,000 inbox + 1,000,000 outbox rows in %.1f s\n", double(t.elapsed()) / 1000.0);
    }

    // Start-up: open (schema check included) and load the settings, as a fresh process would.
    const double startupMs = bench::medianMs(5, [&] {
        auto conn = DbConnection::open(path, DbConnection::Mode::ExistingOnly);
        ActivityLog log(SystemClock::instance());
        auto settings = loadSettingsAtStartup(*conn.value(), log);
        if (!settings)
            std::fprintf(stderr, "%s\n", qPrintable(settings.error()));
    });

    auto conn = DbConnection::open(path, DbConnection::Mode::ExistingOnly);
    const QSqlDatabase db = conn.value()->db();
    CallRepository calls(db);
    InboxRepository inbox(db);
    OutboxRepository outbox(db);
    const QDate today = QDate::currentDate();
    qint64 missed = 0, unread = 0, pending = 0;
    const double missedMs = bench::medianMs(101, [&] { missed = calls.countMissedOn(today).value(); });
    const double unreadMs = bench::medianMs(101, [&] { unread = inbox.countUnread().value(); });
    const double pendingMs = bench::medianMs(101, [&] { pending = outbox.countUndelivered().value(); });

    std::printf("start-up to settings loaded: %8.3f ms (target < 1000 ms)\n", startupMs);
    std::printf("missed calls today (%lld):   %8.3f ms (target < 5 ms)\n", missed, missedMs);
    std::printf("unread inbox (%lld):       %8.3f ms (target < 5 ms)\n", unread, unreadMs);
    std::printf("pending outbox (%lld):     %8.3f ms (target < 5 ms)\n", pending, pendingMs);
    return 0;
}

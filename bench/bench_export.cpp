// Exporting a million received SMS to each format, beside the sqlite3 shell's own CSV dump of
// the same rows; the received SMS report's first and last page at that size; how soon a
// cancelled export stops. Each export runs in a child process so its peak memory is its own.
//
//   bench_export [database]    (a temporary one with a million rows when none is given)
#include "BenchSupport.h"
#include "export/ExportJob.h"
#include "export/SmsExport.h"
#include "store/Database.h"
#include "store/InboxRepository.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

using namespace parlix;

namespace {

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// CPU time (user + system) in ms, of this process or of its ended children. The machine the
// benchmark runs on may be shared, so CPU time is the fairer yardstick beside wall time.
double cpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

ExportRequest everything(ExportFormat format, const QString &out)
{
    ExportRequest r;
    r.from = QDate::currentDate().addYears(-2).startOfDay();
    r.to = QDateTime(QDate::currentDate(), QTime(23, 59, 59));
    r.fields = allExportFields();
    r.format = format;
    r.path = out;
    return r;
}

// Child: one export, then "rows ms peak-kB".
int exportOnce(const QString &dbPath, const QString &format, const QString &out)
{
    auto conn = DbConnection::open(dbPath, DbConnection::Mode::ExistingOnly);
    if (!conn)
        return 1;
    const ExportFormat kind = format == QLatin1String("xlsx") ? ExportFormat::Workbook
                              : format == QLatin1String("db") ? ExportFormat::Database
                                                              : ExportFormat::Text;
    const std::atomic_bool never{false};
    QElapsedTimer t;
    t.start();
    const ExportOutcome outcome = runSmsExport(conn.value()->db(), everything(kind, out), never);
    std::printf("%lld %lld %ld %.0f\n", qlonglong(outcome.written), qlonglong(t.elapsed()), peakKb(),
                cpuMs(RUSAGE_SELF));
    return outcome.kind == ExportOutcome::Kind::Done ? 0 : 1;
}

// Child: a text export on its worker thread, cancelled after half a second.
int cancelOnce(const QString &dbPath, const QString &out)
{
    ExportJob job;
    QEventLoop loop;
    QElapsedTimer sinceCancel;
    ExportOutcome ended;
    QObject::connect(&job, &ExportJob::finished, &loop, [&](const ExportOutcome &o) {
        ended = o;
        loop.quit();
    });
    job.start(dbPath, everything(ExportFormat::Text, out));
    QTimer::singleShot(500, &loop, [&] {
        sinceCancel.start();
        job.cancel();
    });
    loop.exec();
    std::printf("%lld %lld %d\n", qlonglong(ended.written), qlonglong(sinceCancel.elapsed()),
                ended.kind == ExportOutcome::Kind::Cancelled ? 1 : 0);
    return 0;
}

QString runChild(const QStringList &args, double *wallMs = nullptr)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    if (wallMs != nullptr)
        *wallMs = double(t.elapsed());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--child-export"))
        return exportOnce(args[2], args[3], args[4]);
    if (args.size() == 4 && args[1] == QLatin1String("--child-cancel"))
        return cancelOnce(args[2], args[3]);

    QTemporaryDir dir;
    QString dbPath = args.size() > 1 ? args[1] : dir.filePath(QStringLiteral("bench.db"));
    {
        const bool fresh = !QFileInfo::exists(dbPath);
        auto conn = DbConnection::open(dbPath);
        if (!conn) {
            std::fprintf(stderr, "%s\n", qPrintable(conn.error()));
            return 1;
        }
        if (fresh) {
            QElapsedTimer t;
            t.start();
            if (!bench::runAll(conn.value()->db(), {bench::inboxYearSql()}, {7}))
                return 1;
            std::printf("filled a million inbox rows in %.1f s\n", double(t.elapsed()) / 1000.0);
        }

        // The received SMS report on the whole range: count, then the first and the last page.
        InboxRepository inbox(conn.value()->db());
        const ExportRequest range = everything(ExportFormat::Text, {});
        for (const InboxSort sort : {InboxSort::NewestFirst, InboxSort::Sender}) {
            const InboxQuery q{false, {}, sort, range.from, range.to};
            qint64 total = 0;
            const double countMs = bench::medianMs(5, [&] { total = inbox.count(q).value(); });
            const double firstMs = bench::medianMs(5, [&] { inbox.page(q, 500, 0, total); });
            const double lastMs = bench::medianMs(5, [&] { inbox.page(q, 500, (total - 1) / 500 * 500, total); });
            std::printf("report (%s), %lld rows: count %.1f ms, first page %.1f ms, last page %.1f ms "
                        "(a fill is the count plus one page)\n",
                        sort == InboxSort::NewestFirst ? "newest first" : "by number", qlonglong(total), countMs,
                        firstMs, lastMs);
        }
    }

    const QString rangeSql =
        QStringLiteral("SELECT SenderMobileNo,Message,InboxDateTime FROM Message_InBox WHERE InboxDateTime>='%1' "
                       "AND InboxDateTime<='%2' ORDER BY InboxDateTime,InBox_Id")
            .arg(everything(ExportFormat::Text, {}).from.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 everything(ExportFormat::Text, {}).to.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    QProcess shell;
    shell.setStandardOutputFile(dir.filePath(QStringLiteral("shell.csv")));
    QElapsedTimer t;
    t.start();
    const double childCpuBefore = cpuMs(RUSAGE_CHILDREN);
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), dbPath, rangeSql});
    shell.waitForFinished(-1);
    const double shellMs = double(t.elapsed());
    const double shellCpuMs = cpuMs(RUSAGE_CHILDREN) - childCpuBefore;
    std::printf("sqlite3 -csv dump of the same rows: %.0f ms, CPU %.0f ms (%lld bytes)\n", shellMs, shellCpuMs,
                qlonglong(QFileInfo(dir.filePath(QStringLiteral("shell.csv"))).size()));

    for (const char *format : {"csv", "xlsx", "db"}) {
        const QString out = dir.filePath(QStringLiteral("out.") + QLatin1String(format));
        const QStringList r =
            runChild({QStringLiteral("--child-export"), dbPath, QLatin1String(format), out}).split(QLatin1Char(' '));
        if (r.size() != 4) {
            std::printf("%s: the export failed\n", format);
            continue;
        }
        std::printf("export %-4s: %s rows in %.0f ms (%.2fx the shell), CPU %.0f ms (%.2fx the shell's), "
                    "peak memory %.1f MB, file %.1f MB\n",
                    format, qPrintable(r[0]), r[1].toDouble(), r[1].toDouble() / shellMs, r[3].toDouble(),
                    r[3].toDouble() / shellCpuMs, r[2].toDouble() / 1024.0, double(QFileInfo(out).size()) / 1e6);
        QFile::remove(out);
    }

    const QStringList c =
        runChild({QStringLiteral("--child-cancel"), dbPath, dir.filePath(QStringLiteral("cancel.csv"))})
            .split(QLatin1Char(' '));
    if (c.size() == 3)
        std::printf("cancel after 0.5 s: stopped %s ms after the cancel, %s rows kept, cancelled=%s\n",
                    qPrintable(c[1]), qPrintable(c[0]), qPrintable(c[2]));
    return 0;
}

// Outbox and receive passes against the modem simulator, timed. Run by hand:
//   bench_engine [--rows N] [--latency-ms L] [--sim-messages M] [--skip-instant] [--skip-receive]
//                [--format text|pdu] [--compare-formats]
// Prints SMS per minute and where each SMS's time goes: the pause that paces the modem,
// the modem's own answer time (the simulator's latency) and what is left: the program's own.
// --compare-formats sends the same rows in text mode and in PDU mode and prints the gap in
// own time per SMS.

#include "SimulatedGateway.h"
#include "engine/OutboxPass.h"
#include "modem/Modem.h"
#include "store/Query.h"
#include "store/SqlDialect.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

using namespace parlix;

namespace {

double cpuSeconds()
{
    rusage u = {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Bench : bench::SimulatedGateway
{
    void queue(int rows)
    {
        const QVariant now = sql::dateValue(SystemClock::instance().now());
        sql::inTransaction(db->db(), [&] {
            for (int i = 0; i < rows; ++i)
                sql::run(db->db(),
                         QStringLiteral("INSERT INTO Message_OutBox (RecepId,RecipientMobileNo,Message,OutBoxDateTime) "
                                        "VALUES (0,?,?,?)"),
                         {QStringLiteral("+4477009%1").arg(i, 5, 10, QLatin1Char('0')),
                          QStringLiteral("Benchmark message number %1 from Parlix").arg(i), now});
            return Status::success();
        });
    }

    // The program's own time per SMS, in ms.
    double outbox(const char *label, int rows, int latencyMs)
    {
        modem.setBodyLatency(latencyMs);
        queue(rows);
        const int before = int(modem.sentMessages().size());
        const double cpu0 = cpuSeconds();
        QElapsedTimer t;
        t.start();
        engine->sendAll();
        const double wallMs = double(t.nsecsElapsed()) / 1e6;
        const double cpuMs = (cpuSeconds() - cpu0) * 1000.0;
        const int sent = int(modem.sentMessages().size()) - before;
        const double perSms = wallMs / qMax(1, sent);
        const double own = perSms - 100.0 - latencyMs;
        std::printf("%s: %d of %d rows sent in %.1f s = %.1f SMS/min\n", label, sent, rows, wallMs / 1000.0,
                    sent / (wallMs / 60000.0));
        std::printf("  per SMS: %.2f ms = pause 100 ms + modem %d ms + own %.2f ms (%.2f %% of the SMS's time)\n",
                    perSms, latencyMs, own, 100.0 * own / perSms);
        std::printf("  process CPU per SMS (program and simulator thread): %.2f ms\n", cpuMs / qMax(1, sent));
        return own;
    }

    void receive(int messages)
    {
        modem.clearMessages();
        for (int i = 0; i < messages; ++i)
            modem.receiveSms(QStringLiteral("+4477009%1").arg(i, 5, 10, QLatin1Char('0')),
                             QStringLiteral("Incoming message %1").arg(i));
        const auto inboxBefore = sql::scalar(db->db(), QStringLiteral("SELECT COUNT(*) FROM Message_InBox")).value();
        QElapsedTimer t;
        t.start();
        engine->receiveAll(engine->modem()->scaledDelay(400));
        const double wallMs = double(t.nsecsElapsed()) / 1e6;
        const auto stored =
            sql::scalar(db->db(), QStringLiteral("SELECT COUNT(*) FROM Message_InBox")).value() - inboxBefore;
        std::printf("receive pass: %lld of %d SIM messages stored and deleted in %.1f ms = %.2f ms per message; "
                    "%lld left on the SIM\n",
                    stored, messages, wallMs, wallMs / qMax<qint64>(1, stored), qint64(modem.messages().size()));
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    p.addOption(
        {QStringLiteral("rows"), QStringLiteral("Outbox rows per run."), QStringLiteral("n"), QStringLiteral("1000")});
    p.addOption({QStringLiteral("latency-ms"), QStringLiteral("Answer time of a message body in the second run."),
                 QStringLiteral("ms"), QStringLiteral("2000")});
    p.addOption({QStringLiteral("latency-rows"), QStringLiteral("Rows of the second run (default: --rows)."),
                 QStringLiteral("n")});
    p.addOption({QStringLiteral("sim-messages"), QStringLiteral("Messages on the SIM for the receive pass."),
                 QStringLiteral("n"), QStringLiteral("100")});
    p.addOption({QStringLiteral("skip-instant"), QStringLiteral("Skip the run with an instant modem.")});
    p.addOption({QStringLiteral("skip-latency"), QStringLiteral("Skip the run with a slow modem.")});
    p.addOption({QStringLiteral("skip-receive"), QStringLiteral("Skip the receive pass.")});
    p.addOption({QStringLiteral("format"), QStringLiteral("SMS format: text or pdu."), QStringLiteral("format"),
                 QStringLiteral("pdu")});
    p.addOption({QStringLiteral("compare-formats"),
                 QStringLiteral("Only send the rows in text mode, then in PDU mode, with an instant modem.")});
    p.process(app);

    if (p.isSet(QStringLiteral("compare-formats"))) {
        const int n = p.value(QStringLiteral("rows")).toInt();
        double own[2] = {0, 0};
        for (const bool pdu : {false, true}) {
            Bench b;
            if (!b.start(pdu))
                return 1;
            own[pdu] = b.outbox(pdu ? "outbox, PDU mode" : "outbox, text mode", n, 0);
            b.engine->shutdown();
        }
        std::printf("own time per SMS: PDU %.3f ms, text %.3f ms, gap %.3f ms\n", own[1], own[0], own[1] - own[0]);
        return 0;
    }

    Bench b;
    if (!b.start(p.value(QStringLiteral("format")).compare(QLatin1String("text"), Qt::CaseInsensitive) != 0))
        return 1;
    const int rows = p.value(QStringLiteral("rows")).toInt();
    const int latency = p.value(QStringLiteral("latency-ms")).toInt();
    const int latencyRows =
        p.isSet(QStringLiteral("latency-rows")) ? p.value(QStringLiteral("latency-rows")).toInt() : rows;
    if (!p.isSet(QStringLiteral("skip-instant")))
        b.outbox("outbox, instant modem", rows, 0);
    if (!p.isSet(QStringLiteral("skip-latency")))
        b.outbox(qPrintable(QStringLiteral("outbox, body answered after %1 ms").arg(latency)), latencyRows, latency);
    if (!p.isSet(QStringLiteral("skip-receive")))
        b.receive(p.value(QStringLiteral("sim-messages")).toInt());
    b.engine->shutdown();
    return 0;
}

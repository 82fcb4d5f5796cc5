// The receive pass with SIM messages listed in pieces, as a slow SIM or a backlog sends them:
// each record comes in two pieces, --chunk-ms apart. Prints how many were stored and the
// engine thread's own CPU time for the pass (the waits block without using any). Run by hand:
//   bench_receive [--messages 100] [--chunk-ms 20] [--runs 3] [--format text|pdu]

#include "SimulatedGateway.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace parlix;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    p.addOption(
        {QStringLiteral("messages"), QStringLiteral("SMS on the SIM."), QStringLiteral("n"), QStringLiteral("100")});
    p.addOption({QStringLiteral("chunk-ms"), QStringLiteral("Pause between the records of a listing."),
                 QStringLiteral("ms"), QStringLiteral("20")});
    p.addOption({QStringLiteral("runs"), QStringLiteral("Passes, each on a full SIM."), QStringLiteral("n"),
                 QStringLiteral("3")});
    p.addOption({QStringLiteral("format"), QStringLiteral("SMS format: text or pdu."), QStringLiteral("format"),
                 QStringLiteral("text")});
    p.process(app);
    const int messages = p.value(QStringLiteral("messages")).toInt();
    const bool pdu = p.value(QStringLiteral("format")).compare(QLatin1String("pdu"), Qt::CaseInsensitive) == 0;

    bench::SimulatedGateway gateway;
    if (!gateway.start(pdu))
        return 1;
    sim::ModemSimulator &modem = gateway.modem;
    Engine &engine = *gateway.engine;
    const QSqlDatabase db = gateway.db->db();
    modem.setListChunkDelay(p.value(QStringLiteral("chunk-ms")).toInt());

    for (int run = 0; run < p.value(QStringLiteral("runs")).toInt(); ++run) {
        for (int i = 0; i < messages; ++i)
            modem.receiveSms(QStringLiteral("+4477009%1").arg(i, 5, 10, QLatin1Char('0')),
                             QStringLiteral("Incoming message %1 of the backlog, OK?").arg(i));
        const auto before = sql::scalar(db, QStringLiteral("SELECT COUNT(*) FROM Message_InBox")).value();
        QElapsedTimer wall;
        wall.start();
        const double cpu = bench::threadCpuMs();
        engine.receiveAll(engine.modem()->scaledDelay(400));
        const double ownMs = bench::threadCpuMs() - cpu;
        const double wallMs = double(wall.nsecsElapsed()) / 1e6;
        const auto stored = sql::scalar(db, QStringLiteral("SELECT COUNT(*) FROM Message_InBox")).value() - before;
        std::printf("run %d: %lld of %d SIM messages stored, %lld left on the SIM; wall %.1f ms; own CPU %.2f ms "
                    "(%.3f ms per message)\n",
                    run + 1, qlonglong(stored), messages, qlonglong(modem.messages().size()), wallMs, ownMs,
                    ownMs / qMax(1, messages));
        modem.clearMessages();
    }
    engine.shutdown();
    return 0;
}

// How much the modem link itself costs: 1000 AT exchanges and 200 single-part direct sends
// against the simulator over a pseudo-terminal, with the modem answering at once and after
// 50 ms. The program's own overhead is the engine thread's CPU time per exchange (the waits
// block without using any) and, as a cross-check, the wall time beyond the modem's latency.
//
//   build-*/bin/bench_modem [exchanges] [sends]

#include "BenchSupport.h"
#include "ModemSimulator.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "modem/Modem.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace parlix;

namespace {

struct Sample
{
    double wallMs;
    double cpuMs;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto at = size_t(std::min<double>(double(v.size()) - 1, p * double(v.size() - 1) + 0.5));
    return v[at];
}

void report(const char *what, int latencyMs, double fixedDelayMs, const std::vector<Sample> &samples)
{
    std::vector<double> wall, cpu, beyond;
    for (const Sample &s : samples) {
        wall.push_back(s.wallMs);
        cpu.push_back(s.cpuMs);
        beyond.push_back(s.wallMs - latencyMs);
    }
    double total = 0;
    for (double w : wall)
        total += w;
    std::printf("%-26s latency %3d ms: n=%zu  wall median %7.3f p99 %7.3f ms | own CPU median %6.3f p99 %6.3f ms"
                " | wall beyond latency median %6.3f p99 %6.3f ms | total %7.1f ms (fixed delays alone: %7.1f ms)\n",
                what, latencyMs, samples.size(), percentile(wall, 0.5), percentile(wall, 0.99), percentile(cpu, 0.5),
                percentile(cpu, 0.99), percentile(beyond, 0.5), percentile(beyond, 0.99), total,
                fixedDelayMs * double(samples.size()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int sends = argc > 2 ? std::atoi(argv[2]) : 200;

    for (const int latency : {0, 50}) {
        sim::ModemSimulator modemSim;
        QString error;
        if (!modemSim.start(&error)) {
            std::fprintf(stderr, "the simulator cannot start: %s\n", qPrintable(error));
            return 1;
        }
        ActivityLog log(SystemClock::instance());
        bench::NoPrompt prompt;
        Modem modem(log, prompt);
        modem.ConfigureCommPort(modemSim.devicePath(), QStringLiteral("115200,n,8,1"));
        modem.OpenCommPort();
        modem.InitializeModem(QStringLiteral("0"), QStringLiteral("GSM"), false);
        if (!modem.ModemReady()) {
            std::fprintf(stderr, "the modem did not initialise\n");
            return 1;
        }
        modemSim.setLatency(latency);

        // The initialisation's kind of exchange: delay factor 1 × 50 ms, expected "OK", 5 retries.
        std::vector<Sample> samples;
        for (int i = 0; i < exchanges; ++i) {
            QElapsedTimer wall;
            wall.start();
            const double cpu = bench::threadCpuMs();
            const QString reply = modem.SendATCommand(QStringLiteral("AT\r"), 50, QStringLiteral("OK"), 5, QString());
            samples.push_back({double(wall.nsecsElapsed()) / 1e6, bench::threadCpuMs() - cpu});
            if (!modem.LastCommandOK()) {
                std::fprintf(stderr, "exchange %d failed: %s\n", i, qPrintable(reply));
                return 1;
            }
        }
        report("AT exchange", latency, 50, samples);

        // A direct send is two exchanges (prompt 20 ms, body 200 ms in the fixed-delay algorithm).
        samples.clear();
        modemSim.clearLog();
        for (int i = 0; i < sends; ++i) {
            QElapsedTimer wall;
            wall.start();
            const double cpu = bench::threadCpuMs();
            const ModemResult result = modem.SendSMSDirect(QStringLiteral("+447700900123"),
                                                           QStringLiteral("Benchmark message %1 for the link").arg(i));
            samples.push_back({double(wall.nsecsElapsed()) / 1e6, bench::threadCpuMs() - cpu});
            if (!result.ok) {
                std::fprintf(stderr, "send %d failed: %s\n", i, qPrintable(result.reply));
                return 1;
            }
        }
        // Two answers per send, each after the latency.
        std::vector<Sample> perExchange;
        for (const Sample &s : samples)
            perExchange.push_back({s.wallMs / 2, s.cpuMs / 2});
        report("direct send (whole)", 2 * latency, 220, samples);
        report("direct send (per exchange)", latency, 110, perExchange);
        if (modemSim.sentMessages().size() != sends || modemSim.protocolViolations() != 0) {
            std::fprintf(stderr, "the simulator logged %lld sends and %d violations\n",
                         qlonglong(modemSim.sentMessages().size()), modemSim.protocolViolations());
            return 1;
        }
        modem.CloseCommPort();
    }
    return 0;
}

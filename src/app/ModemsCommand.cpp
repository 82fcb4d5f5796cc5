#include "app/ModemsCommand.h"

#include "app/CliPrompt.h"
#include "app/Headless.h"
#include "config/ModemProbe.h"
#include "config/SettingsSave.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "store/SettingsRepository.h"

#include <unistd.h>

namespace parlix {

namespace {

int runModems(const CommandLine &line)
{
    int use = 0;
    if (line.parser.isSet(QStringLiteral("use"))) {
        bool ok = false;
        use = line.parser.value(QStringLiteral("use")).toInt(&ok);
        if (!ok || use < 1) {
            printLine(stderr, QStringLiteral("--use takes the number of a modem in the list, from 1."));
            return 1;
        }
    }
    const StoredSettings stored = openStoredSettings(line.databasePath);
    if (!stored.db)
        return stored.status;
    SettingsInput input = storedSettingsInput(stored.rows);
    const auto current = loadRuntimeSettings(stored.rows);
    const RuntimeSettings settings = current ? current.value() : RuntimeSettings{};

    ModemSearchPorts ports;
    ports.extraPorts = QStringList{input.commPort} + line.arguments;
    const QStringList list = modemSearchPortList(ports);
    if (list.isEmpty()) {
        printLine(stderr, QStringLiteral("No serial port to search. Give a device path: parlix modems /dev/ttyUSB0"));
        return 1;
    }

    ActivityLog log(SystemClock::instance()); // the probe's exchanges; nobody reads them here
    CliPrompt prompt(line.parser.isSet(QStringLiteral("yes")));
    ModemProbe probe(list, settings.ModemDelayFactor, log, prompt);
    const bool terminal = ::isatty(STDOUT_FILENO) != 0;
    QObject::connect(&probe, &ModemProbe::progress, &probe, [terminal](int percent, const QString &port) {
        if (!terminal)
            return;
        const QByteArray text = QStringLiteral("\r\033[KSearching %1 (%2 %)").arg(port).arg(percent).toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
    });
    QVector<FoundModem> found;
    QObject::connect(&probe, &ModemProbe::finished, &probe,
                     [&found](const QVector<FoundModem> &modems, bool) { found = modems; });
    probe.run();
    if (terminal)
        std::fputs("\r\033[K", stdout);

    printLine(stdout, QStringLiteral("Ports searched: %1").arg(list.join(QStringLiteral(", "))));
    if (found.isEmpty()) {
        printLine(stdout, QStringLiteral("No modem found."));
        return use > 0 ? 1 : 0;
    }
    for (qsizetype i = 0; i < found.size(); ++i) {
        printLine(
            stdout,
            QStringLiteral("%1. %2  %3  %4").arg(i + 1).arg(found[i].port, found[i].manufacturer, found[i].model));
    }
    if (use == 0) {
        printLine(stdout, QStringLiteral("To use one: parlix modems --use N"));
        return 0;
    }
    if (use > found.size()) {
        printLine(stderr, QStringLiteral("There is no modem %1 in the list.").arg(use));
        return 1;
    }
    chooseFoundModem(input, found[use - 1].port, found[use - 1].pduMode);
    SettingsRepository repository(stored.db->db());
    const SettingsSaveOutcome outcome =
        saveSettings(repository, prompt, settings, input, SettingsSections{false, false, true, false});
    return outcome.completed ? 0 : 1;
}

} // namespace

Command modemsCommand()
{
    return {QStringLiteral("modems"),
            {{QStringLiteral("modems [PORT...] [--use N]"),
              QStringLiteral("search the serial ports (and PORTs) for modems; --use N stores the N-th one found")}},
            {QCommandLineOption(QStringLiteral("use"), QStringLiteral("modems: store the N-th modem found."),
                                QStringLiteral("N")),
             QCommandLineOption(QStringLiteral("yes"), QStringLiteral("Answer Yes to questions without a terminal."))},
            runModems};
}

} // namespace parlix

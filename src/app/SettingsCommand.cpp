#include "app/SettingsCommand.h"

#include "app/CliPrompt.h"
#include "app/Headless.h"
#include "config/SettingsColumns.h"
#include "config/SettingsSave.h"
#include "store/Database.h"
#include "store/SettingsRepository.h"

namespace parlix {

namespace {

const QString kUsage = QStringLiteral("Usage: parlix settings show | parlix settings set NAME VALUE [NAME VALUE ...]");

int runSettings(const CommandLine &line)
{
    const QStringList &args = line.arguments;
    const QString action = args.value(0);
    if (action != QLatin1String("show") && action != QLatin1String("set")) {
        printLine(stderr, kUsage);
        return 1;
    }
    if (action == QLatin1String("set") && (args.size() < 3 || args.size() % 2 == 0)) {
        printLine(stderr, QStringLiteral("settings set takes pairs of NAME VALUE.\n") + kUsage);
        return 1;
    }
    auto db = DbConnection::open(line.databasePath);
    if (!db)
        return reportFatal(db.error());
    SettingsRepository repository(db.value()->db());
    auto rows = repository.readAll();
    if (!rows)
        return reportFatal(rows.error());

    if (action == QLatin1String("show")) {
        for (const QString &text : settingsShowLines(rows.value()))
            printLine(stdout, text);
        return 0;
    }

    SettingsInput input = storedSettingsInput(rows.value());
    SettingsSections sections{false, false, false};
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (Status applied = applySetting(input, sections, args.at(i), args.at(i + 1)); !applied) {
            printLine(stderr, applied.error);
            return 1;
        }
    }
    // A gateway running in another process picks the change up from the database itself.
    const auto current = loadRuntimeSettings(rows.value());
    CliPrompt prompt(line.parser.isSet(QStringLiteral("yes")));
    const SettingsSaveOutcome outcome =
        saveSettings(repository, prompt, current ? current.value() : RuntimeSettings{}, input, sections);
    return outcome.completed ? 0 : 1;
}

} // namespace

Command settingsCommand()
{
    return {QStringLiteral("settings"),
            {{QStringLiteral("settings show"), QStringLiteral("every setting (passwords masked)")},
             {QStringLiteral("settings set NAME VALUE [...]"),
              QStringLiteral("change settings by column name, e.g. settings set CommPortNo /dev/ttyUSB0")}},
            {QCommandLineOption(QStringLiteral("yes"), QStringLiteral("Answer Yes to questions without a terminal."))},
            runSettings};
}

} // namespace parlix

#include "app/SettingsCommand.h"

#include "app/CliPrompt.h"
#include "app/Headless.h"
#include "config/SettingsColumns.h"
#include "config/SettingsSave.h"
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
    const StoredSettings stored = openStoredSettings(line.databasePath);
    if (!stored.db)
        return stored.status;
    SettingsRepository repository(stored.db->db());

    if (action == QLatin1String("show")) {
        for (const QString &text : settingsShowLines(stored.rows))
            printLine(stdout, text);
        return 0;
    }

    SettingsInput input = storedSettingsInput(stored.rows);
    SettingsSections sections{false, false, false, false};
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (Status applied = applySetting(input, sections, args.at(i), args.at(i + 1)); !applied) {
            printLine(stderr, applied.error);
            return 1;
        }
    }
    // A gateway running in another process picks the change up from the database itself.
    const auto current = loadRuntimeSettings(stored.rows);
    RuntimeSettings settings = current ? current.value() : RuntimeSettings{};
    CliPrompt prompt(line.parser.isSet(QStringLiteral("yes")));
    if (sections.mailbox || sections.timers || sections.modem) {
        const SettingsSaveOutcome outcome = saveSettings(repository, prompt, settings, input, sections);
        if (!outcome.completed)
            return 1;
        settings = outcome.settings;
    }
    // The login is the advanced SMTP window's: saved with that window's checks.
    if (sections.smtpLogin) {
        if (!saveAdvancedSmtpSettings(repository, prompt, settings, input.smtpLogin).saved)
            return 1;
        if (!(sections.mailbox || sections.timers || sections.modem))
            prompt.inform(QStringLiteral("Settings Saved Successfully!!!"));
    }
    return 0;
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

#include "app/Command.h"
#include "app/DemoCommand.h"
#include "app/ExportCommand.h"
#include "app/GuiApp.h"
#include "app/Headless.h"
#include "app/ModemsCommand.h"
#include "app/SendCommand.h"
#include "app/SettingsCommand.h"
#include "store/Database.h"
#include "store/StationRepository.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>
#include <memory>

namespace {

// The command words, one line each.
QList<parlix::Command> commands()
{
    return {parlix::sendCommand(), parlix::settingsCommand(), parlix::modemsCommand()};
}

// Options that take a value: the word after them is no command word.
bool takesValue(const char *arg, const QList<parlix::Command> &all)
{
    if (std::strncmp(arg, "--", 2) != 0 || std::strchr(arg, '=') != nullptr)
        return false;
    const QString name = QString::fromLocal8Bit(arg + 2);
    if (name == QLatin1String("database") || name == QLatin1String("station"))
        return true;
    for (const parlix::Command &c : all) {
        for (const QCommandLineOption &o : c.options) {
            if (o.names().contains(name) && !o.valueName().isEmpty())
                return true;
        }
    }
    return false;
}

// The first word that is neither an option nor an option's value, wherever it stands.
QString commandWord(int argc, char **argv, const QList<parlix::Command> &all)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            return QString::fromLocal8Bit(argv[i]);
        if (takesValue(argv[i], all))
            ++i;
    }
    return {};
}

bool hasArg(int argc, char **argv, const char *name)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return true;
    }
    return false;
}

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char **argv)
{
    // export parses its own options.
    if (argc > 1 && std::strcmp(argv[1], "export") == 0)
        return parlix::runExportCommand(argc, argv);
    const QList<parlix::Command> all = commands();
    const QString word = commandWord(argc, argv, all);
    const bool wantsHeadless = hasArg(argc, argv, "--headless");
    const bool infoOnly = hasArg(argc, argv, "--version") || hasArg(argc, argv, "--help") || hasArg(argc, argv, "-h") ||
                          hasArg(argc, argv, "-v");
    const bool noDisplay = !displayAvailable();
    const bool gui = word.isEmpty() && !wantsHeadless && !infoOnly && !noDisplay;

    std::unique_ptr<QCoreApplication> app;
    if (gui)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Parlix"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kovax"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARLIX_VERSION_STRING));

    QList<std::pair<QString, QString>> usage = {
        {QString(), QStringLiteral("open the operator windows")},
        {QStringLiteral("--headless"), QStringLiteral("run the gateway without windows until SIGINT or SIGTERM")},
        {QStringLiteral("--demo"), QStringLiteral("try it on a simulated modem and a demo database")},
    };
    for (const parlix::Command &c : all)
        usage += c.help;
    usage += {QStringLiteral("export --from DAY --to DAY --out FILE ..."),
              QStringLiteral("write the SMS received in a range of days to a file (export --help)")};
    QString description = QStringLiteral("Parlix: an office SMS gateway on a GSM modem.\n");
    for (const auto &[how, what] : usage)
        description += QStringLiteral("\n  parlix %1 %2").arg(how, -36).arg(what);
    description += QStringLiteral("\n\n--database works with every command, before or after the command word.");

    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("headless"), QStringLiteral("Run without windows, printing the activity log.")});
    parser.addOption(
        {QStringLiteral("demo"), QStringLiteral("Run on the built-in modem simulator and a fresh demo database.")});
    parser.addOption(
        {QStringLiteral("database"),
         QStringLiteral("The database file, or postgresql://user@host:port/dbname with the password in "
                        "PGPASSWORD or ~/.pgpass (default: PARLIX_DATABASE, else the per-user Parlix.db)."),
         QStringLiteral("path")});
    parser.addOption({QStringLiteral("station"),
                      QStringLiteral("This program's name among the stations sharing the database (default: the host "
                                     "name)."),
                      QStringLiteral("name")});
    QStringList added{QStringLiteral("station")};
    for (const parlix::Command &c : all) {
        for (const QCommandLineOption &o : c.options) {
            // An option two commands share is added once.
            if (!added.contains(o.names().first()))
                parser.addOption(o);
            added << o.names();
        }
    }
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("Optional: a command word (see above)."),
                                 QStringLiteral("[command [arguments]]"));
    parser.process(*app);

    if (parser.isSet(QStringLiteral("demo"))) {
        if (!word.isEmpty()) {
            std::fprintf(stderr, "--demo takes no command word (try --help)\n");
            return 1;
        }
        return parlix::runDemo(gui);
    }

    QString station = parser.value(QStringLiteral("station")).trimmed();
    if (parser.isSet(QStringLiteral("station")) && station.isEmpty()) {
        std::fprintf(stderr, "--station needs a name (try --help)\n");
        return 1;
    }
    // Before any command: `settings set --station NAME` writes that station's modem row.
    if (!station.isEmpty())
        parlix::setThisStation(station);

    QString path = parser.value(QStringLiteral("database"));
    if (path.isEmpty())
        path = qEnvironmentVariable("PARLIX_DATABASE");
    if (path.isEmpty())
        path = parlix::DbConnection::defaultPath();

    if (!word.isEmpty()) {
        for (const parlix::Command &c : all) {
            if (c.word == word)
                return c.run({path, parser.positionalArguments().mid(1), parser});
        }
        std::fprintf(stderr, "Unknown command: %s (try --help)\n", qPrintable(word));
        return 1;
    }
    if (!gui)
        return parlix::runHeadless(path, station, noDisplay && !wantsHeadless);
    return parlix::runGui(path, station);
}

#include "app/ExportCommand.h"
#include "app/GuiApp.h"
#include "app/Headless.h"
#include "store/Database.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

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
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "export") == 0)
        return parlix::runExportCommand(argc, argv);
    const bool isSend = argc > 1 && std::strcmp(argv[1], "send") == 0;
    const bool wantsHeadless = hasArg(argc, argv, "--headless");
    const bool infoOnly = hasArg(argc, argv, "--version") || hasArg(argc, argv, "--help") || hasArg(argc, argv, "-h")
                          || hasArg(argc, argv, "-v");
    const bool noDisplay = !displayAvailable();
    const bool gui = !isSend && !wantsHeadless && !infoOnly && !noDisplay;

    std::unique_ptr<QCoreApplication> app;
    if (gui)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Parlix"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kovax"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARLIX_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Parlix: an office SMS gateway on a GSM modem.\n\n"
        "  parlix                       open the operator windows\n"
        "  parlix --headless            run the gateway without windows until SIGINT or SIGTERM\n"
        "  parlix send --to N[,N...] --message TEXT\n"
        "                               queue SMS into the outbox and exit\n"
        "  parlix export --from YYYY-MM-DD --to YYYY-MM-DD --out FILE [--format csv|xlsx|db] ...\n"
        "                               write the SMS received in a range of days to a file\n"
        "                               (parlix export --help lists every option)"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption headless(QStringLiteral("headless"), QStringLiteral("Run without windows, printing the activity log."));
    const QCommandLineOption database(QStringLiteral("database"),
                                      QStringLiteral("The database file (default: PARLIX_DATABASE, else the per-user Parlix.db)."),
                                      QStringLiteral("path"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("send: recipient numbers, separated by commas."), QStringLiteral("numbers"));
    const QCommandLineOption message(QStringLiteral("message"), QStringLiteral("send: the SMS text."), QStringLiteral("text"));
    parser.addOptions({headless, database, to, message});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("Optional: send"), QStringLiteral("[send]"));
    parser.process(*app);

    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && positional.first() != QLatin1String("send")) {
        std::fprintf(stderr, "Unknown command: %s (try --help)\n", qPrintable(positional.first()));
        return 1;
    }

    QString path = parser.value(database);
    if (path.isEmpty())
        path = qEnvironmentVariable("PARLIX_DATABASE");
    if (path.isEmpty())
        path = parlix::DbConnection::defaultPath();

    if (isSend)
        return parlix::runSendCommand(path, parser.value(to), parser.value(message));
    if (!gui)
        return parlix::runHeadless(path, noDisplay && !wantsHeadless);
    return parlix::runGui(path);
}

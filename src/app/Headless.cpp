#include "app/Headless.h"

#include "app/Command.h"

#include "config/RuntimeSettings.h"
#include "config/SettingsWatcher.h"
#include "config/Startup.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/HeadlessPrompt.h"
#include "engine/Engine.h"
#include "engine/ModemConnection.h"
#include "engine/OutboxPass.h"
#include "store/Database.h"
#include "webmail/WebmailPoller.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace parlix {

namespace {

int g_signalFds[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalFds[0], &c, 1);
}

// The pauses between tries to reach a missing modem: a few seconds at first, a minute at most.
// PARLIX_RECONNECT_PAUSES_MS="first,max" shortens them for the tests.
std::pair<int, int> reconnectPauses()
{
    const QStringList given = qEnvironmentVariable("PARLIX_RECONNECT_PAUSES_MS").split(QLatin1Char(','));
    bool firstOk = false;
    bool maxOk = false;
    const int first = given.value(0).toInt(&firstOk);
    const int max = given.value(1).toInt(&maxOk);
    if (given.size() == 2 && firstOk && maxOk && first > 0 && max >= first)
        return {first, max};
    return {3000, 60000};
}

// The pause after each SMS sent, which paces the modem; PARLIX_SEND_PAUSE_MS shortens it for the
// tests of several stations, whose simulators need none. No value: the pass's own.
std::optional<int> sendPause()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("PARLIX_SEND_PAUSE_MS", &ok);
    return ok && ms >= 0 ? std::optional<int>(ms) : std::nullopt;
}

} // namespace

int reportFatal(const QString &message)
{
    printLine(stderr, QStringLiteral("Parlix cannot start: ") + message);
    return 2;
}

StoredSettings openStoredSettings(const QString &databasePath)
{
    auto db = DbConnection::open(databasePath);
    if (!db)
        return {nullptr, {}, reportFatal(db.error())};
    auto rows = SettingsRepository(db.value()->db()).readAll();
    if (!rows)
        return {nullptr, {}, reportFatal(rows.error())};
    return {db.value(), rows.value(), 0};
}

int runHeadless(const QString &databasePath, const QString &station, bool saySoBecauseNoDisplay)
{
    // Installed first, so a stop request during start-up is not lost.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return reportFatal(QStringLiteral("the signal handler cannot be installed."));
    QSocketNotifier notifier(g_signalFds[1], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, qApp, [] {
        char c;
        [[maybe_unused]] auto n = ::read(g_signalFds[1], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (saySoBecauseNoDisplay)
        printLine(stdout, QStringLiteral("No display found: Parlix runs headless. Press Ctrl+C to stop."));

    auto db = DbConnection::open(databasePath);
    if (!db)
        return reportFatal(db.error());

    ActivityLog log(SystemClock::instance());
    log.setEchoToStdout(true);
    HeadlessPrompt prompt(log);

    auto settings = loadSettingsAtStartup(*db.value(), log);
    if (!settings)
        return reportFatal(settings.error());

    EngineHost engine({db.value()->path(), &log, &prompt, &SystemClock::instance(), station});
    engine.start();
    engine.applySettings(settings.value());
    // The last start-up step: connect unless the SMTP gateway alone sends. Without a Connect
    // command to start it, the send timer then runs on its own.
    const bool gatewayOnly = settings->SMSDeliveryMedia == DeliveryMedium::SmtpGateway;
    const auto [firstPauseMs, maxPauseMs] = reconnectPauses();
    QMetaObject::invokeMethod(
        engine.engine(),
        [e = engine.engine(), gatewayOnly, firstPauseMs, maxPauseMs, pause = sendPause()] {
            if (pause && e->outboxPass())
                e->outboxPass()->setPauseAfterSendMs(*pause);
            // Nobody answers the window's question here: a modem that is not there yet (the
            // service started before the USB modem) is waited for.
            if (ModemConnection *connection = e->connection()) {
                connection->setKeepTrying(true);
                connection->setReconnectPauses(firstPauseMs, maxPauseMs);
            }
            e->startGateway();
            if (gatewayOnly)
                e->startSendTimer();
        },
        Qt::QueuedConnection);
    WebmailHost webmail({db.value()->path(), &log, &prompt, &SystemClock::instance(), station});
    webmail.start();
    webmail.applySettings(settings.value());
    // `parlix settings set` from another shell reaches the running gateway.
    SettingsWatcher watcher(db.value()->db());
    QObject::connect(&watcher, &SettingsWatcher::settingsChanged, qApp, [&](const RuntimeSettings &changed) {
        log.WriteActivityLog(QStringLiteral("Settings changed in the database: applied."));
        engine.applySettings(changed);
        webmail.applySettings(changed);
    });

    const int status = QCoreApplication::exec();
    webmail.stop();
    engine.stop();
    log.WriteActivityLog(QStringLiteral("Parlix stopped."));
    return status;
}

} // namespace parlix

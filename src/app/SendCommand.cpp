#include "app/SendCommand.h"

#include "app/Headless.h"
#include "core/Clock.h"
#include "store/ComposeQueue.h"
#include "store/Database.h"

namespace parlix {

namespace {

int runSend(const CommandLine &line)
{
    const QString to = line.parser.value(QStringLiteral("to"));
    const QString message = line.parser.value(QStringLiteral("message"));
    if (to.trimmed().isEmpty() || message.trimmed().isEmpty()) {
        printLine(stderr, QStringLiteral("You must enter the mobile number and the message."));
        return 1;
    }
    auto db = DbConnection::open(line.databasePath);
    if (!db)
        return reportFatal(db.error());
    auto queued = queueComposedSms(db.value()->db(), splitComposeNumbers(to), message, SystemClock::instance().now());
    if (!queued) {
        printLine(stderr, QStringLiteral("The SMS could not be queued: ") + queued.error());
        return 1;
    }
    printLine(stdout, QStringLiteral("%1 SMS queued in the outbox of %2.").arg(queued.value()).arg(db.value()->path()));
    return 0;
}

} // namespace

Command sendCommand()
{
    return {
        QStringLiteral("send"),
        {{QStringLiteral("send --to N[,N...] --message TEXT"), QStringLiteral("queue SMS into the outbox and exit")}},
        {QCommandLineOption(QStringLiteral("to"), QStringLiteral("send: recipient numbers, separated by commas."),
                            QStringLiteral("numbers")),
         QCommandLineOption(QStringLiteral("message"), QStringLiteral("send: the SMS text."), QStringLiteral("text"))},
        runSend};
}

} // namespace parlix

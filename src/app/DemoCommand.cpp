#include "app/DemoCommand.h"

#include "ModemSimulator.h"
#include "app/Command.h"
#include "app/GuiApp.h"
#include "app/Headless.h"
#include "core/Clock.h"
#include "engine/AutoReplyRepository.h"
#include "store/ComposeQueue.h"
#include "store/Database.h"
#include "store/SettingsRepository.h"
#include "store/SqlDialect.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

namespace parlix {

namespace {

const QString kCaller = QStringLiteral("+447700900461");

Status prepareDemoDatabase(QSqlDatabase db, const QString &modemPath)
{
    SettingsRepository settings(db);
    const std::pair<QString, QVariantMap> rows[] = {
        {QStringLiteral("ModemSettings"),
         {{QStringLiteral("CommPortNo"), modemPath},
          {QStringLiteral("BitsPerSecond"), 115200},
          {QStringLiteral("DataBits"), 8},
          {QStringLiteral("Parity"), QStringLiteral("n")},
          {QStringLiteral("StopBits"), QStringLiteral("1")},
          {QStringLiteral("FlowControl"), QStringLiteral("0")},
          {QStringLiteral("CharacterSet"), QStringLiteral("GSM")},
          {QStringLiteral("EnabledCallerId"), sql::boolValue(true)},
          {QStringLiteral("ModemDelayFactor"), 1}}},
        // The shortest periods the settings window takes, so that something happens at once.
        {QStringLiteral("Timer_Setting"),
         {{QStringLiteral("ReceiveAllMessagesTime"), 3}, {QStringLiteral("SendAllMessagesTime"), 3}}},
        {QStringLiteral("AutoReply_OnMissedCall"),
         {{QStringLiteral("Message"),
           QStringLiteral("Sorry we missed your call. This reply comes from the Parlix demo.")},
          {QStringLiteral("IsActive"), sql::boolValue(true)}}},
    };
    for (const auto &[table, columns] : rows) {
        if (Status s = settings.saveSingleRow(table, columns); !s)
            return s;
    }
    AutoReplyRepository replies(db);
    if (auto added = replies.insert(QStringLiteral("HOURS"), QStringLiteral("We are open 9 to 5, Monday to Friday."));
        !added)
        return added.status();
    if (Status s = replies.setSendAutoReply(true); !s)
        return s;
    const QStringList numbers = {QStringLiteral("+447700900123"), QStringLiteral("+919812345671")};
    auto queued =
        queueComposedSms(db, numbers, QStringLiteral("Hello from the Parlix demo."), SystemClock::instance().now());
    return queued ? Status::success() : queued.status();
}

// What a newcomer sees arrive: SMS at a few seconds' distance, one asking for a keyword's reply,
// and a call that rings twice and is not answered.
void scheduleArrivals(sim::ModemSimulator &modem)
{
    const auto at = [](int ms, auto what) { QTimer::singleShot(ms, qApp, what); };
    at(1000, [&modem] { modem.receiveSms(QStringLiteral("+447700900123"), QStringLiteral("Got it, thanks!")); });
    at(4000, [&modem] { modem.ring(kCaller); });
    at(5000, [&modem] { modem.ring(kCaller); });
    at(7000, [&modem] { modem.endCall(); });
    at(8000, [&modem] { modem.receiveSms(QStringLiteral("+919812345671"), QStringLiteral("What are your HOURS?")); });
}

} // namespace

int runDemo(bool gui)
{
    sim::ModemSimulator modem;
    QString error;
    if (!modem.start(&error))
        return reportFatal(QStringLiteral("the demo modem cannot start: ") + error);
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/parlix-demo-XXXXXX"));
    folder.setAutoRemove(false); // left for a look at what the demo stored
    if (!folder.isValid())
        return reportFatal(QStringLiteral("no temporary folder for the demo database: ") + folder.errorString());
    const QString path = folder.filePath(QStringLiteral("Parlix.db"));
    {
        auto db = DbConnection::open(path);
        if (!db)
            return reportFatal(db.error());
        if (Status s = prepareDemoDatabase(db.value()->db(), modem.devicePath()); !s)
            return reportFatal(s.error);
    }
    printLine(stdout, QStringLiteral("Parlix demo: a simulated modem on %1 and a demo database %2.\n"
                                     "Two SMS go out, SMS and a missed call come in within seconds.")
                          .arg(modem.devicePath(), path));
    scheduleArrivals(modem);
    const int status = gui ? runGui(path, QString()) : runHeadless(path, QString(), false);
    const auto sent = modem.sentMessages();
    printLine(
        stdout,
        QStringLiteral("The simulated modem sent %1 SMS. The demo database stays at %2.").arg(sent.size()).arg(path));
    return status;
}

} // namespace parlix

// Drives the real parlix executable, as an operator or a script would.
#include "ModemSimulator.h"
#include "store/Database.h"
#include "store/OutboxRepository.h"
#include "store/Query.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace parlix;

namespace {

struct ProcessRun
{
    int status = -1;
    QString out;
    QString err;
};

QString parlixPath()
{
    return QStringLiteral(PARLIX_BINARY_DIR "/bin/parlix");
}

ProcessRun runParlix(const QStringList &args, int timeoutMs = 20000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("PARLIX_DATABASE");
    p.setProcessEnvironment(env);
    p.start(parlixPath(), args);
    EXPECT_TRUE(p.waitForStarted());
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "parlix did not finish: " << args.join(' ').toStdString();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

// The causes themselves are the store's and the settings loader's (tested there); the program
// must stop on them with the cause and a failure status.
TEST(FatalStartup, EndsWithTheCauseAndANonZeroStatus)
{
    QTemporaryDir dir;
    QFile junk(dir.filePath("junk.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, '\x7f'));
    junk.close();
    test::TempDatabase badSettings;
    badSettings.exec("UPDATE Timer_Setting SET SMSSMTPPort='smtp'");

    const struct
    {
        QString path;
        QString cause;
        bool opened; // the settings are read only from a database that opened
    } cases[] = {
        {junk.fileName(), "not a database", false},
        {badSettings.path(), "Timer_Setting.SMSSMTPPort holds \"smtp\"", true},
    };
    for (const auto &c : cases) {
        const ProcessRun r = runParlix({"--headless", "--database", c.path});
        EXPECT_NE(r.status, 0) << c.path.toStdString();
        EXPECT_TRUE(r.err.contains("Parlix cannot start") && r.err.contains(c.cause)) << r.err.toStdString();
        EXPECT_EQ(r.out.contains("Initializing"), c.opened);
    }
}

TEST(FatalStartup, ADatabaseLockedByAnotherProgram)
{
    test::TempDatabase t;
    // Another program holding the file exclusively: not even a read gets through.
    t.exec("PRAGMA locking_mode=EXCLUSIVE");
    t.exec("UPDATE Timer_Setting SET SendAllMessagesTime=11");
    const ProcessRun r = runParlix({"--headless", "--database", t.path()});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("locked")) << r.err.toStdString();
}

TEST(Headless, RunsUntilSigtermThenStopsCleanly)
{
    test::TempDatabase t;
    QProcess p;
    p.start(parlixPath(), {"--headless", "--database", t.path()});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains("Initializing Timer Properties."); ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("Initializing Timer Properties.")) << out.toStdString();
    const int a = out.indexOf("Initializing WebMail-To-SMS Properties.");
    const int b = out.indexOf("Initializing SMS Delivery Properties.");
    const int c = out.indexOf("Initializing AutoReply On MissedCall Properties.");
    const int d = out.indexOf("Initializing Timer Properties.");
    EXPECT_TRUE(a >= 0 && a < b && b < c && c < d);
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}

TEST(SendCommand, QueuesOnePendingRowPerCleanedNumber)
{
    test::TempDatabase t;
    const ProcessRun r = runParlix({"send", "--database", t.path(), "--to", "+44 2123.234455, 9888812121,", "--message",
                                    "Meeting at 10, don't be late"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("3 SMS queued"));

    auto pending = OutboxRepository(t.db()).pending();
    ASSERT_TRUE(pending.ok());
    ASSERT_EQ(pending->size(), 3);
    EXPECT_EQ(pending->at(0).recipientMobileNo, "+442123234455");
    EXPECT_EQ(pending->at(1).recipientMobileNo, "9888812121");
    EXPECT_EQ(pending->at(2).recipientMobileNo, ""); // a trailing comma gives an empty number, parked by the pass
    for (const OutboxRow &row : *pending) {
        EXPECT_EQ(row.message, "Meeting at 10, don't be late");
        EXPECT_EQ(row.outBoxDateTime, pending->at(0).outBoxDateTime);
    }
}

TEST(SendCommand, RefusesAnEmptyListOrMessage)
{
    test::TempDatabase t;
    for (const QStringList &args : {QStringList{"--to", " ", "--message", "hi"},
                                    QStringList{"--to", "123", "--message", "  "}, QStringList{"--to", "123"}}) {
        const ProcessRun r = runParlix(QStringList{"send", "--database", t.path()} << args);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(r.err.contains("You must enter the mobile number and the message.")) << r.err.toStdString();
    }
    EXPECT_EQ(sql::scalar(t.db(), "SELECT COUNT(*) FROM Message_OutBox").value(), 0);
}

TEST(CommandLine, VersionAndHelp)
{
    const ProcessRun v = runParlix({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_TRUE(v.out.contains(QStringLiteral(PARLIX_VERSION_STRING)));
    const ProcessRun h = runParlix({"--help"});
    EXPECT_EQ(h.status, 0);
    EXPECT_TRUE(h.out.contains("--headless") && h.out.contains("send --to"));
}

TEST(Headless, DefaultSettingsSendAndReceiveOnTheirOwnOverASimulatedModem)
{
    sim::ModemSimulator modem;
    modem.start();
    modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900123"), QStringLiteral("Hi \"there\""));
    test::TempDatabase t;
    // Equal periods, as in a new database: both timers fall due together every time.
    t.exec("UPDATE Timer_Setting SET ReceiveAllMessagesTime=1, SendAllMessagesTime=1");
    t.exec("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,FlowControl,CharacterSet,"
           "EnabledCallerId,ModemDelayFactor,SMSFormat) VALUES (?,115200,8,'n','1','0','GSM',0,1,'TEXT')",
           {modem.devicePath()});
    const qint64 id =
        OutboxRepository(t.db()).insertPending("+919812345671", "hello", QDateTime::currentDateTime()).value();

    QProcess p;
    p.start(parlixPath(), {"--headless", "--database", t.path()});
    ASSERT_TRUE(p.waitForStarted());
    QString status;
    for (int i = 0; i < 60 && status != QLatin1String("SENT"); ++i) {
        QThread::msleep(100);
        status = sql::firstRow(t.db(), "SELECT DeliveryStatus FROM Message_OutBox WHERE Outbox_Id=?", {id})
                     .value()
                     ->value("DeliveryStatus")
                     .toString();
    }
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(status, "SENT") << p.readAllStandardOutput().toStdString();
    EXPECT_EQ(sql::scalar(t.db(), "SELECT COUNT(*) FROM Message_InBox WHERE Message='Hi \"there\"'").value(), 1);
    EXPECT_EQ(modem.sentMessages().size(), 1);
}

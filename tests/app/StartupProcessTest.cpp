// Drives the real parlix executable, as an operator or a script would.
#include "ModemSimulator.h"
#include "store/Query.h"
#include "support/SqlColumn.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

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

const QString kParlix = PARLIX_BINARY_DIR "/bin/parlix";

ProcessRun runParlix(const QStringList &args, int timeoutMs = 20000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("PARLIX_DATABASE");
    // Without a display the commands must still work, and nothing may fall back to a window.
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(kParlix, args);
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
    test::TempDatabase locked;
    // Another program holding the file exclusively: not even a read gets through.
    locked.exec("PRAGMA locking_mode=EXCLUSIVE");
    locked.exec("UPDATE Timer_Setting SET SendAllMessagesTime=11");

    const struct
    {
        QString path;
        QString cause;
        bool opened; // the settings are read only from a database that opened
    } cases[] = {
        {junk.fileName(), "not a database", false},
        {badSettings.path(), "Timer_Setting.SMSSMTPPort holds \"smtp\"", true},
        {locked.path(), "locked", false},
    };
    for (const auto &c : cases) {
        const ProcessRun r = runParlix({"--headless", "--database", c.path});
        EXPECT_NE(r.status, 0) << c.path.toStdString();
        EXPECT_TRUE(r.err.contains(c.cause)) << r.err.toStdString();
        if (c.cause != "locked") {
            EXPECT_TRUE(r.err.contains("Parlix cannot start")) << r.err.toStdString();
            EXPECT_EQ(r.out.contains("Initializing"), c.opened);
        }
    }
}

TEST(Headless, InitialisesInOrderAndTakesSettingsChangedFromAnotherShell)
{
    test::TempDatabase t;
    QProcess p;
    p.start(kParlix, {"--headless", "--database", t.path()});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    const auto waitFor = [&](const char *line) {
        for (int i = 0; i < 100 && !out.contains(line); ++i) {
            p.waitForReadyRead(100);
            out += p.readAllStandardOutput();
        }
        return out.contains(line);
    };
    ASSERT_TRUE(waitFor("Initializing Timer Properties.")) << out.toStdString();
    const QRegularExpression order("Initializing WebMail-To-SMS Properties.*Initializing SMS Delivery Properties.*"
                                   "Initializing AutoReply On MissedCall Properties.*Initializing Timer Properties",
                                   QRegularExpression::DotMatchesEverythingOption);
    EXPECT_TRUE(order.match(QString::fromUtf8(out)).hasMatch()) << out.toStdString();

    // A change made from another shell reaches the running gateway.
    EXPECT_EQ(runParlix({"settings", "set", "SendAllMessagesTime", "5", "--database", t.path()}).status, 0);
    EXPECT_TRUE(waitFor("Settings changed in the database: applied.")) << out.toStdString();
    ::kill(pid_t(p.processId()), SIGTERM); // a clean stop is the fault matrix's check, in every scenario
    p.waitForFinished(15000);
}

// The numbers are cleaned as the compose window cleans them (tested there); the command
// word may come after its options.
TEST(SendCommand, QueuesOnePendingRowPerNumberAndRefusesAnEmptyListOrMessage)
{
    test::TempDatabase t;
    const ProcessRun r = runParlix({"--database", t.path(), "--to", "+44 2123.234455, 9888812121", "--message",
                                    "Meeting at 10, don't be late", "send"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("2 SMS queued"));

    // An empty list or message is refused and queues nothing more.
    for (const QStringList &args : {QStringList{"--to", " ", "--message", "hi"},
                                    QStringList{"--to", "123", "--message", "  "}, QStringList{"--to", "123"}}) {
        const ProcessRun refused = runParlix(QStringList{"send", "--database", t.path()} << args);
        EXPECT_NE(refused.status, 0);
        EXPECT_TRUE(refused.err.contains("You must enter the mobile number and the message."))
            << refused.err.toStdString();
    }
    EXPECT_EQ(test::column(t.db(), "SELECT RecipientMobileNo||'/'||Message FROM Message_OutBox ORDER BY Outbox_Id"),
              (QStringList{"+442123234455/Meeting at 10, don't be late", "9888812121/Meeting at 10, don't be late"}));
}

TEST(SettingsCommand, SetGoesThroughTheWindowChecks)
{
    struct Case
    {
        QStringList set;
        const char *refusal; // empty: saved
    };
    const Case cases[] = {
        {{"CommPortNo", "/dev/ttyUSB3", "Parity", "x"}, "Please select Parity."},
        {{"ReceiveAllMessagesTime", "2"},
         "Automatically receive all messages time should be greater than or equal to 3."},
        {{"POP3MailServer", "pop.example.net"}, "Please Enter Numeric Port Number"},
        {{"NoSuchSetting", "1"}, "NoSuchSetting is not a setting."},
        // The login goes through the advanced SMTP window's checks.
        {{"SMSSMTPUserName", "office"}, "then you must enter your SMTP Password."},
        {{"SMSSMTPUserName", "office", "SMSSMTPPassword", "pw", "SMSSMTPAuthenticationType", "2"}, ""},
        // A new database: the port alone gives a complete row.
        {{"CommPortNo", "/dev/ttyUSB3"}, ""},
        {{"POP3MailServer", "pop.example.net", "POP3Port", "110", "POP3UserName", "gw", "POP3Password", "pa55word",
          "EmailCheckInterval", "60"},
         ""},
    };
    test::TempDatabase t;
    for (const Case &c : cases) {
        const ProcessRun r = runParlix(QStringList{"settings", "set"} + c.set + QStringList{"--database", t.path()});
        const QString refusal = QString::fromLatin1(c.refusal);
        if (refusal.isEmpty()) {
            EXPECT_EQ(r.status, 0) << r.err.toStdString();
            EXPECT_TRUE(r.out.contains("Settings Saved Successfully!!!"));
        } else {
            EXPECT_NE(r.status, 0);
            EXPECT_TRUE(QString(r.err + r.out).contains(refusal)) << r.err.toStdString();
            EXPECT_EQ(sql::scalar(t.db(), "SELECT COUNT(*) FROM ModemSettings").value(), 0);
        }
    }
    const auto modem = sql::firstRow(t.db(), "SELECT * FROM ModemSettings").value();
    ASSERT_TRUE(modem.has_value());
    QStringList stored;
    for (const char *column : {"CommPortNo", "BitsPerSecond", "DataBits", "Parity", "StopBits", "FlowControl",
                               "CharacterSet", "ModemDelayFactor"})
        stored << modem->value(column).toString();
    EXPECT_EQ(stored, QStringList({"/dev/ttyUSB3", "9600", "8", "n", "1", "0", "GSM", "1"}));
    EXPECT_EQ(sql::scalar(t.db(), "SELECT COUNT(*) FROM Timer_Setting WHERE ReceiveAllMessagesTime=2").value(), 0);
    EXPECT_EQ(sql::scalar(t.db(), "SELECT COUNT(*) FROM Timer_Setting WHERE SMSSMTPUserName='office' AND "
                                  "SMSSMTPAuthenticationType=2")
                  .value(),
              1);

    const ProcessRun shown = runParlix({"settings", "show", "--database", t.path()});
    EXPECT_EQ(shown.status, 0);
    EXPECT_TRUE(shown.out.contains("ModemSettings.CommPortNo = /dev/ttyUSB3"));
    EXPECT_TRUE(shown.out.contains("WebMailToSMS_POP3Settings.POP3Password = ********"));
    EXPECT_FALSE(shown.out.contains("pa55word"));
}

TEST(ModemsCommand, FindsTwoSimulatorsAndStoresTheChosenOne)
{
    sim::ModemSimulator first;
    sim::ModemSimulator::Options acme;
    acme.manufacturer = "Acme";
    acme.model = "GSM-2";
    sim::ModemSimulator second(acme);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    test::TempDatabase t;
    const ProcessRun r = runParlix(
        {"modems", first.devicePath(), second.devicePath(), "--use", "2", "--yes", "--database", t.path()}, 60000);
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("1. " + first.devicePath() + "  Parlix  SIM-900 simulator")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("2. " + second.devicePath() + "  Acme  GSM-2")) << r.out.toStdString();
    const auto modem = sql::firstRow(t.db(), "SELECT * FROM ModemSettings").value();
    ASSERT_TRUE(modem.has_value());
    EXPECT_EQ(modem->value("CommPortNo").toString(), second.devicePath());
    EXPECT_EQ(modem->value("BitsPerSecond").toInt(), 115200);
    EXPECT_EQ(modem->value("ModemDelayFactor").toDouble(), 2.25);
}

TEST(Demo, HeadlessShowsSmsGoingOutAndComingInAndLeavesTheDefaultDatabaseAlone)
{
    QTemporaryDir home;
    QTemporaryDir temporary; // where the demo database goes
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", temporary.path());
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.remove("PARLIX_DATABASE");
    p.setProcessEnvironment(env);
    p.start(kParlix, {"--demo", "--headless"});
    ASSERT_TRUE(p.waitForStarted());
    p.waitForFinished(15000);
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(15000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_GE(out.count("SMS sent successfully."), 2) << out.toStdString();
    EXPECT_TRUE(out.contains("Total 1 new SMS found.")) << out.toStdString();
    EXPECT_TRUE(out.contains("Incoming call detected from the number '+447700900461'"));
    EXPECT_TRUE(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty())
        << "the demo wrote under the home folder";
    EXPECT_EQ(QDir(temporary.path()).entryList({"parlix-demo-*"}, QDir::Dirs).size(), 1);
}

// Connecting the modem, the gateway's timers and the calls that pause them.
#include "EngineHarness.h"
#include "support/QtPrinters.h"

#include "engine/GatewayTimer.h"
#include "engine/ModemConnection.h"
#include "modem/Modem.h"
#include "modem/PortAdvice.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace parlix {
namespace {

using test::EngineHarness;
using Fault = sim::ModemSimulator::Fault;

class ModemConnect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(links.isValid());
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        connection.setDatabase(db.db());
        settings.SMSDeliveryMedia = DeliveryMedium::Modem;
        settings.PduMode = false; // as the rows below
        connection.setSettings(settings);
        connection.setReconnectPauses(100, 100);
    }

    void storeSettings(const QString &port, const QString &bits = "115200", const QString &parity = "n",
                       const QString &dataBits = "8", const QString &stop = "1", bool callerId = true)
    {
        db.exec("INSERT INTO ModemSettings (CommPortNo, BitsPerSecond, DataBits, Parity, StopBits, "
                "FlowControl, CharacterSet, EnabledCallerId, ModemDelayFactor, SMSFormat) "
                "VALUES (?, ?, ?, ?, ?, ' 0 ', ' GSM ', ?, 1, 'TEXT')",
                {port, bits, dataBits, parity, stop, callerId ? 1 : 0});
    }

    int logCount(const QString &text) const { return int(log.text().count(QStringLiteral("] : ") + text + "\r\n")); }

    QTemporaryDir links;
    sim::ModemSimulator sim{{"Parlix", "SIM-900 simulator", 30, links.filePath("modem")}};
    test::TempDatabase db;
    test::ManualClock clock;
    ActivityLog log{clock};
    test::PromptRecorder prompt;
    Modem modem{log, prompt};
    ModemConnection connection{modem, log, prompt};
    RuntimeSettings settings;
};

TEST_F(ModemConnect, WithoutSettingsAsksForThem)
{
    QSignalSpy window(&connection, &ModemConnection::settingsWindowRequested);
    connection.connectModem();
    EXPECT_EQ(prompt.texts(), QStringList{"Please set all the settings before connecting with modem."});
    EXPECT_EQ(window.count(), 1);
    EXPECT_FALSE(connection.isConnected());
}

TEST_F(ModemConnect, ConnectsConfiguresInitialisesAndDisconnects)
{
    storeSettings(sim.devicePath(), "9600", "e", "7", "2");
    QSignalSpy state(&connection, &ModemConnection::connectedChanged);
    connection.connectModem();

    EXPECT_TRUE(modem.ModemReady());
    EXPECT_EQ(modem.serialPort().baudRate(), 9600);
    EXPECT_EQ(modem.serialPort().parity(), QSerialPort::EvenParity);
    EXPECT_EQ(modem.serialPort().dataBits(), QSerialPort::Data7);
    EXPECT_EQ(modem.serialPort().stopBits(), QSerialPort::TwoStop);
    EXPECT_EQ(modem.serialPort().flowControl(), QSerialPort::HardwareControl);
    EXPECT_EQ(sim.commands(), (QStringList{"ATE0", "AT+CSCS=\"GSM\"", "AT+CLIP=1", "AT+CMGF=1", "AT+CSDH=1"}));
    ASSERT_EQ(state.count(), 1);
    EXPECT_TRUE(state.at(0).at(0).toBool());
    EXPECT_TRUE(prompt.texts().isEmpty());

    // Disconnecting twice: each logged, the port closed.
    state.clear();
    connection.disconnectModem();
    connection.disconnectModem();
    EXPECT_EQ(logCount("Disconnecting GSM Modem."), 2);
    EXPECT_EQ(logCount("GSM Modem disconnected."), 2);
    EXPECT_FALSE(state.at(1).at(0).toBool());
    EXPECT_FALSE(modem.PortConnected());
    EXPECT_FALSE(modem.ModemReady());
}

TEST_F(ModemConnect, FailedInitialisationStillShowsConnected)
{
    storeSettings(sim.devicePath());
    modem.setDelayFactor(0.2);
    settings.ModemDelayFactor = 0.2;
    connection.setSettings(settings);
    sim.setEcho(false);
    sim.failNext("ATE0", {Fault::Silence});
    QSignalSpy periods(&connection, &ModemConnection::timerPeriodsSet);
    connection.connectModem();
    EXPECT_TRUE(connection.isConnected());
    EXPECT_FALSE(modem.ModemReady());
    EXPECT_FALSE(modem.PortConnected());
    EXPECT_EQ(periods.count(), 1);
    EXPECT_TRUE(prompt.texts().isEmpty());
}

// With another medium the send timer starts all the same (the scheduler's test).
TEST_F(ModemConnect, MissingModemIsReportedAndNothingStarts)
{
    storeSettings(links.filePath("nothing-here"));
    prompt.scriptAnswers({false});
    QSignalSpy state(&connection, &ModemConnection::connectedChanged);
    QSignalSpy sendTimer(&connection, &ModemConnection::sendTimerStarted);
    connection.connectModem();
    EXPECT_EQ(logCount("Connection to GSM modem failed."), 1);
    EXPECT_EQ(sendTimer.count() + state.count(), 0);
    ASSERT_EQ(prompt.texts().size(), 1);
    EXPECT_TRUE(prompt.texts()[0].startsWith("No modem found on COM Port " + links.filePath("nothing-here") + "\r\n"));
}

TEST_F(ModemConnect, WaitsForTheDeviceSayingWhyOnceThenConnects)
{
    storeSettings(sim.devicePath());
    connection.setReconnectPauses(50, 200);
    const QString absent = QStringLiteral("The port ") + sim.devicePath() + " is not present";
    // Lost while connected (windows or headless), and not there yet when a headless run starts.
    for (const bool absentAtStart : {false, true}) {
        SCOPED_TRACE(absentAtStart);
        connection.disconnectModem();
        log.clear();
        connection.setKeepTrying(absentAtStart);
        if (absentAtStart)
            sim.unplug();
        connection.connectModem();
        if (!absentAtStart) {
            ASSERT_TRUE(modem.ModemReady());
            sim.unplug();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.text().count(absent) == 1; }, 3000)) << log.text().toStdString();
        EXPECT_TRUE(connection.isReconnecting());
        QTest::qWait(400); // several more tries, none logged
        EXPECT_EQ(log.text().count(absent), 1);

        ASSERT_TRUE(sim.replug());
        ASSERT_TRUE(QTest::qWaitFor([&] { return modem.ModemReady(); }, 5000)) << log.text().toStdString();
        EXPECT_EQ(logCount(QStringLiteral("Reconnecting to the GSM modem on port ") + sim.devicePath() +
                           ": the port is back."),
                  1);
        EXPECT_FALSE(connection.isReconnecting());
    }
}

// A missing port says so in the reconnect test above.
TEST_F(ModemConnect, APortHeldByAnotherProgramSaysSo)
{
    QSerialPort holder(sim.devicePath());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    QString qtText;
    EXPECT_EQ(probePort(sim.devicePath(), &qtText), PortTrouble::Busy) << qtText.toStdString();
    EXPECT_TRUE(portTroubleText(sim.devicePath(), PortTrouble::Busy, qtText).contains("is held by another program"));
}

TEST_F(ModemConnect, OperatorDisconnectStopsReconnecting)
{
    storeSettings(sim.devicePath());
    connection.connectModem();
    sim.unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connection.isReconnecting(); }, 3000));
    connection.disconnectModem();
    EXPECT_FALSE(connection.isReconnecting());
}

// A tick due while the thread was busy is not made up.
TEST(GatewayTimerTest, DropsOverdueTicks)
{
    GatewayTimer t;
    QSignalSpy ticks(&t, &GatewayTimer::timeout);
    t.setInterval(30);
    QThread::msleep(60);
    t.skipIfOverdue();
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks.size(), 0);
    EXPECT_TRUE(ticks.wait(500));
}

TEST(Scheduler, ConnectGivesBothTimersTheirPeriodsAndDisconnectStopsThem)
{
    EngineHarness h;
    h.settings.ReceiveIntervalSeconds = 15;
    h.settings.SendIntervalSeconds = 20;
    h.applySettings();
    ASSERT_EQ(h.connectModem(), QString());
    EXPECT_EQ(h.engine->receiveTimer()->interval(), 15000);
    EXPECT_EQ(h.engine->sendTimer()->interval(), 20000);
    EXPECT_TRUE(h.engine->sendTimer()->isRunning());

    // Settings saved while connected take effect at once.
    const std::pair<int, int> saved[] = {{0, 5}, {30, 5}, {30, 0}};
    for (const auto &[receive, send] : saved) {
        h.settings.ReceiveIntervalSeconds = qint16(receive);
        h.settings.SendIntervalSeconds = qint16(send);
        h.applySettings();
        EXPECT_EQ(h.engine->receiveTimer()->interval(), receive * 1000);
        EXPECT_EQ(h.engine->receiveTimer()->isRunning(), receive > 0);
        EXPECT_EQ(h.engine->sendTimer()->interval(), send * 1000);
        EXPECT_EQ(h.engine->sendTimer()->isRunning(), send > 0);
    }

    h.engine->disconnectModem();
    EXPECT_FALSE(h.engine->receiveTimer()->isRunning());
    EXPECT_FALSE(h.engine->sendTimer()->isRunning());
}

// Without a modem neither tick does a thing for the modem medium.
TEST(Scheduler, TicksNeedTheModemAndAReceiveTickSkipsWhileACallHoldsIt)
{
    EngineHarness h;
    h.engine->receiveTick();
    h.engine->sendTick();
    EXPECT_TRUE(h.logLines().isEmpty());
    EXPECT_EQ(h.engine->receiveTimer()->interval(), 0);

    ASSERT_EQ(h.connectModem(), QString());
    h.settings.ReceiveIntervalSeconds = 30; // a changed setting is picked up at the next tick
    h.applySettings();
    h.modem.addMessage("REC UNREAD", "+447700900001", "hi");
    h.engine->modem()->setCallInProgress(true);
    h.clearLog();
    h.engine->receiveTick();
    EXPECT_EQ(h.engine->receiveTimer()->interval(), 30000);
    EXPECT_TRUE(h.logLines().isEmpty());

    h.engine->modem()->setCallInProgress(false);
    h.engine->receiveTick();
    EXPECT_EQ(h.logLines().mid(0, 2), (QStringList{"Checking for new SMS on SIM card.", "Total 1 new SMS found."}));
}

TEST(Scheduler, StartUpConnectsUnlessTheGatewayAloneSendsAndFailedConnectStartsTheSendTimer)
{
    // Switched to the gateway by a save: the send timer runs without a connection.
    EngineHarness gateway;
    gateway.settings.SMSDeliveryMedia = DeliveryMedium::SmtpGateway;
    gateway.settings.SendIntervalSeconds = 9;
    gateway.applySettings();
    EXPECT_EQ(gateway.engine->sendTimer()->interval(), 9000);
    EXPECT_TRUE(gateway.engine->sendTimer()->isRunning());
    gateway.engine->startGateway();
    EXPECT_TRUE(gateway.logLines().isEmpty());
    // Its tick sends without a modem; with automatic sending off the first tick stops the timer.
    gateway.settings.SendIntervalSeconds = 0;
    gateway.applySettings();
    gateway.engine->startSendTimer();
    gateway.engine->sendTimer()->setInterval(5000);
    gateway.engine->sendTick();
    EXPECT_EQ(gateway.logLines(),
              (QStringList{"Checking if there are any SMS to be sent.", "Total 0 SMS to be sent."}));
    EXPECT_FALSE(gateway.engine->sendTimer()->isRunning());

    EngineHarness mix;
    mix.settings.SMSDeliveryMedia = DeliveryMedium::MixMode;
    mix.settings.SendIntervalSeconds = 7;
    mix.applySettings();
    mix.db.exec("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,FlowControl,"
                "CharacterSet,EnabledCallerId,ModemDelayFactor) VALUES "
                "('/dev/parlix-no-such-modem',115200,8,'n','1','0','GSM',0,1)");
    mix.engine->startGateway();
    EXPECT_EQ(mix.logLines().first(), "Connecting to GSM Modem.");
    EXPECT_FALSE(mix.logLines().contains("Connection to GSM modem failed.")); // said for the modem medium only
    EXPECT_EQ(mix.engine->sendTimer()->interval(), 7000);
    EXPECT_TRUE(mix.engine->sendTimer()->isRunning());
    EXPECT_FALSE(mix.engine->receiveTimer()->isRunning());
}

class CallTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        h.settings.AutoReplyOnMissedCallEnabled = true;
        h.settings.MissedCallReplyMessage = "Sorry, we missed your call. We'll call back";
        h.applySettings();
        h.db.exec("INSERT INTO Country (CountryName,CountryCode) VALUES ('India','91'),('UK','44')");
        ASSERT_EQ(h.connectModem(), QString());
        h.clearLog();
    }

    // Lets the modem's unsolicited lines reach the watcher.
    void settle(int ms = 150) { QTest::qWait(ms); }

    // The call ends and the next one-second tick finds the line idle.
    void hangUpAndTick()
    {
        h.modem.endCall();
        settle();
        tick();
    }

    void tick()
    {
        h.engine->refreshTick();
        settle();
    }

    void ring(const QString &number)
    {
        h.modem.ring(number);
        settle();
    }

    qint64 calls() const { return h.count("SELECT COUNT(*) FROM MissedCallStatistics WHERE IsMissCall=1"); }
    qint64 replies() const { return h.count("SELECT COUNT(*) FROM Message_OutBox"); }

    EngineHarness h;
};

TEST_F(CallTest, OneMissedMobileCallGivesOneRowAndOneReplyOnceTheLineIsIdle)
{
    ring("+919812345678");
    ring("+919812345678"); // the same call rings again
    const QStringList lines = h.logLines();
    EXPECT_EQ(lines, (QStringList{
                         "Incoming call detected.", "ALERT : Incoming call detected from the number '+919812345678'",
                         "Incoming call detected.", "ALERT : Incoming call detected from the number '+919812345678'"}));
    EXPECT_EQ(calls(), 1);
    EXPECT_EQ(h.sounds, (QStringList{"ringing.wav", "ringing.wav"}));

    // While it rings the modem is locked and the gateway timers pause.
    tick();
    EXPECT_TRUE(h.engine->modem()->ModemBusy());
    EXPECT_FALSE(h.engine->receiveTimer()->isRunning());
    EXPECT_FALSE(h.engine->sendTimer()->isRunning());
    EXPECT_EQ(replies(), 0);

    hangUpAndTick();
    EXPECT_FALSE(h.engine->modem()->ModemBusy());
    EXPECT_TRUE(h.engine->receiveTimer()->isRunning());
    EXPECT_TRUE(h.engine->sendTimer()->isRunning());
    ASSERT_EQ(replies(), 1);
    EXPECT_EQ(h.text("SELECT RecepId || '|' || RecipientMobileNo || '|' || Message FROM Message_OutBox"),
              "0|+919812345678|Sorry, we missed your call. We'll call back");

    tick();
    EXPECT_EQ(replies(), 1);
    EXPECT_EQ(calls(), 1);

    // A landline caller is recorded but gets no reply.
    ring("00441234567890");
    hangUpAndTick();
    EXPECT_EQ(calls(), 2);
    EXPECT_EQ(replies(), 1);
}

TEST_F(CallTest, WhileABlockingWindowIsOpenCallsAreRecordedButNobodyIsArmed)
{
    bool blocking = false;
    h.engine->setBlockingWindowOpen([&] { return blocking; });
    // A mobile caller whose reply was never sent (the reply was off) ...
    h.settings.AutoReplyOnMissedCallEnabled = false;
    h.applySettings();
    ring("+919812345678");
    hangUpAndTick();
    h.settings.AutoReplyOnMissedCallEnabled = true;
    h.applySettings();

    // ... must not arm the reply for the next caller, who rings while the settings are open.
    blocking = true;
    ring("+919800000001");
    QTRY_COMPARE(h.prompt.texts(),
                 QStringList{"Please close all opened forms in application to disply Incomming Call."});
    hangUpAndTick();
    EXPECT_EQ(calls(), 2);
    EXPECT_EQ(replies(), 0);
}

} // namespace
} // namespace parlix

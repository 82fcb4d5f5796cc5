#include "support/ModemTestSupport.h"

#include "engine/ModemConnection.h"
#include "modem/PortAdvice.h"
#include "support/TempDatabase.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace parlix;
using Fault = sim::ModemSimulator::Fault;

namespace {

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

    bool logHas(const QString &text) const { return log.text().contains(QStringLiteral("] : ") + text + "\r\n"); }
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
    EXPECT_TRUE(logHas("Connecting to GSM Modem."));
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
    EXPECT_TRUE(logHas("Connection to GSM modem failed."));
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
        EXPECT_TRUE(logHas(QStringLiteral("Reconnecting to the GSM modem on port ") + sim.devicePath() +
                           ": the port is back."));
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

} // namespace

#include "support/ModemTestSupport.h"

#include "modem/SerialSettings.h"

#include <QSignalSpy>

#include <thread>

using namespace parlix;
using Fault = sim::ModemSimulator::Fault;

namespace {

const QString kOK = QStringLiteral("OK");

class ModemLink : public test::ModemOnPty
{
};

TEST_F(ModemLink, PromptAnswerCostsNoFixedDelay)
{
    const QString reply = modem.SendATCommand(QStringLiteral("AT\r"), 2000, kOK, 5, QString());
    EXPECT_EQ(reply, QStringLiteral("AT\r\r\nOK\r\n")); // echo still on: it counts as a reply
    EXPECT_TRUE(modem.LastCommandOK());
    EXPECT_FALSE(modem.ModemBusy());
    EXPECT_EQ(modem.linkStats().commandsWritten, 1);
    EXPECT_EQ(modem.linkStats().readBursts, 1);
    EXPECT_EQ(modem.linkStats().fullWaits, 0);
}

TEST_F(ModemLink, SilentModemIsReadOncePlusRetriesPlusOneTimes)
{
    sim.setEcho(false);
    sim.failNext(QStringLiteral("AT+CGMI"), {Fault::Silence});
    const QString reply = modem.SendATCommand(QStringLiteral("AT+CGMI\r"), 50, kOK, 5, QStringLiteral("never shown"));
    EXPECT_EQ(reply, QString());
    EXPECT_FALSE(modem.LastCommandOK());
    EXPECT_EQ(modem.linkStats().readBursts, 7);
    EXPECT_EQ(modem.linkStats().waits, 7);
    EXPECT_EQ(modem.linkStats().fullWaits, 7);
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(ModemLink, RepeatedErrorShowsTheCallersTextOnceAndFast)
{
    struct Case
    {
        Fault fault;
        QString errorText;
        QStringList shown;
    };
    const Case cases[] = {
        {{Fault::Error},
         QStringLiteral("Error occured while executing this command: ATE0"),
         {QStringLiteral("Error occured while executing this command: ATE0")}},
        {{Fault::CmsError, 500},
         QStringLiteral("Error occured while executing this command: ATE0"),
         {QStringLiteral("Error occured while executing this command: ATE0")}},
        {{Fault::Error}, QStringLiteral("   "), {}},
    };
    for (const Case &c : cases) {
        prompt.clear();
        modem.resetLinkStats();
        sim.failNext(QStringLiteral("ATE0"), c.fault);
        const QString reply = modem.SendATCommand(QStringLiteral("ATE0\r"), 1000, kOK, 5, c.errorText);
        EXPECT_TRUE(reply.contains(QLatin1String("ERROR"))) << reply.toStdString();
        EXPECT_FALSE(modem.LastCommandOK());
        EXPECT_EQ(prompt.texts(), c.shown);
        EXPECT_EQ(modem.linkStats().fullWaits, 0) << "an error answer must not cost the delays";
    }
}

TEST_F(ModemLink, TwoUnexpectedRepliesAreLoggedWithTheCommand)
{
    sim.setEcho(false);
    sim.failNext(QStringLiteral("AT+CGMM"), {Fault::Garbage});
    const QString reply = modem.SendATCommand(QStringLiteral("AT+CGMM\r"), 30, QStringLiteral(" OK "), 5, QString());
    EXPECT_FALSE(modem.LastCommandOK());
    EXPECT_TRUE(logHas(QStringLiteral("Modem gives non expected response\r\nCommand: AT+CGMM\r\r\n"
                                      "Expected response: OK\r\nReturned response: ") +
                       reply))
        << log.text().toStdString();
}

TEST_F(ModemLink, ExpectedTextInTheLastToleratedCycleIsReturnedButNotOK)
{
    sim.setEcho(false);
    sim.setCommandLatency(QStringLiteral("AT+CGMI"), 700); // reads at 200, 400, 600 are silent
    const QString reply = modem.SendATCommand(QStringLiteral("AT+CGMI\r"), 200, kOK, 2, QString());
    EXPECT_TRUE(reply.contains(kOK));
    EXPECT_FALSE(modem.LastCommandOK());
}

TEST_F(ModemLink, ClosedPortAsksToConnect)
{
    modem.CloseCommPort();
    const QString reply = modem.SendATCommand(QStringLiteral("AT\r"), 50, kOK, 5, QString());
    EXPECT_EQ(reply, QString());
    EXPECT_TRUE(modem.LastCommandOK());
    EXPECT_FALSE(modem.PortConnected());
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Modem is currently not connected to the application. Please "
                                                         "click on 'Connect' button before executing any commands.")});
}

TEST_F(ModemLink, CallCodesAreTakenOutOfRepliesAndDeliveredAfterwards)
{
    sim.setEcho(false);
    QSignalSpy lines(&modem, &Modem::unsolicitedLine);
    // A ring waiting before the command, and one arriving in the middle of the answer.
    sim.sendRaw("\r\nRING\r\n");
    sim.failNext(QStringLiteral("AT+CGMI"), {Fault::Silence});
    std::thread answer([this] {
        const char *const pieces[] = {"\r\nParlix\r\n", "\r\nRING\r\n\r\n+CLIP: \"+919812345678\",145,,,,0\r\n",
                                      "\r\nOK\r\n"};
        for (const char *piece : pieces) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            sim.sendRaw(piece);
        }
    });
    QThread::msleep(20);
    const QString reply = modem.SendATCommand(QStringLiteral("AT+CGMI\r"), 1000, kOK, 5, QString());
    answer.join();
    EXPECT_EQ(reply, QStringLiteral("\r\nParlix\r\n\r\nOK\r\n"));
    EXPECT_EQ(lines.count(), 0) << "delivered inside the exchange";
    settle();
    QStringList got;
    for (const auto &args : lines)
        got << args.at(0).toString();
    EXPECT_EQ(got, (QStringList{"RING", "RING", "+CLIP: \"+919812345678\",145,,,,0"}));
}

TEST_F(ModemLink, RingWhileIdleIsDeliveredFromTheEventLoop)
{
    QSignalSpy lines(&modem, &Modem::unsolicitedLine);
    sim.ring(QStringLiteral("+441234567890"));
    EXPECT_TRUE(lines.wait(2000));
    EXPECT_EQ(lines.at(0).at(0).toString(), QStringLiteral("RING"));
}

TEST_F(ModemLink, UnpluggedPortEndsTheExchangeAtOnce)
{
    QSignalSpy lost(&modem, &Modem::portLost);
    QSignalSpy connected(&modem, &Modem::portConnectedChanged);
    sim.failNext(QStringLiteral("AT+CMGL"), {Fault::Unplug});
    const QString reply =
        modem.SendATCommand(QStringLiteral("AT+CMGL=\"ALL\"\r\n"), 2000, kOK, 5, QStringLiteral("not shown"));
    EXPECT_EQ(reply, QString());
    EXPECT_FALSE(modem.LastCommandOK());
    EXPECT_FALSE(modem.PortConnected());
    EXPECT_LT(modem.linkStats().readBursts, 3);
    EXPECT_EQ(lost.count(), 1);
    ASSERT_EQ(connected.count(), 1);
    EXPECT_FALSE(connected.at(0).at(0).toBool());
    EXPECT_TRUE(log.text().contains(QStringLiteral("] : **ERROR** The GSM modem on port ") + sim.devicePath()))
        << log.text().toStdString();
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(ModemLink, UnplugWhileIdleIsNoticed)
{
    QSignalSpy lost(&modem, &Modem::portLost);
    sim.unplug();
    EXPECT_TRUE(lost.wait(2000));
    EXPECT_FALSE(modem.PortConnected());
}

TEST_F(ModemLink, ConfiguringAnOpenPortChangesNothing)
{
    modem.ConfigureCommPort(QStringLiteral("/dev/ttyUSB7"), QStringLiteral("9600,n,8,1"));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Comm Port : /dev/ttyUSB7 already open or some other program "
                                                         "is using it.")});
    EXPECT_EQ(modem.portName(), sim.devicePath());
    EXPECT_EQ(modem.serialPort().baudRate(), 115200);
}

TEST_F(ModemLink, MissingDeviceAsksForTheSettings)
{
    modem.CloseCommPort();
    QSignalSpy settings(&modem, &Modem::settingsWindowRequested);
    const QString missing = QStringLiteral("/dev/parlix-no-such-modem");
    const QString question =
        QStringLiteral("No modem found on COM Port /dev/parlix-no-such-modem\r\n"
                       "Do you wish to enter the correct COM port settings for the attached modem?");
    for (const bool yes : {true, false}) {
        prompt.clear();
        prompt.scriptAnswers({yes});
        modem.ConfigureCommPort(missing, QStringLiteral("115200,n,8,1"));
        modem.OpenCommPort();
        EXPECT_FALSE(modem.PortConnected());
        ASSERT_EQ(prompt.requests().size(), 1);
        EXPECT_EQ(prompt.requests()[0].text, question);
        EXPECT_EQ(prompt.requests()[0].title, appTitle());
        EXPECT_EQ(prompt.requests()[0].buttons, Prompt::Buttons::YesNo);
    }
    EXPECT_EQ(settings.count(), 1);
}

TEST_F(ModemLink, ClosingAClosedPortStillClearsTheFlags)
{
    modem.CloseCommPort();
    modem.setSendingSMS(true);
    modem.setReadingSIM(true);
    modem.setCallInProgress(true);
    modem.CloseCommPort();
    EXPECT_FALSE(modem.SendingSMS());
    EXPECT_FALSE(modem.ReadingSIM());
    EXPECT_FALSE(modem.ModemBusy());
    EXPECT_FALSE(modem.ModemReady());
}

TEST(SerialSettings, SettingsTexts)
{
    struct Case
    {
        QString text;
        bool ok;
        SerialSettings expected;
    };
    const Case cases[] = {
        {"115200,n,8,1", true, {115200, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::OneStop}},
        {" 9600 , E , 7 , 1.5 ",
         true,
         {9600, QSerialPort::EvenParity, QSerialPort::Data7, QSerialPort::OneAndHalfStop}},
        {"19200,o,8,2", true, {19200, QSerialPort::OddParity, QSerialPort::Data8, QSerialPort::TwoStop}},
        {"4800,M,5,1", true, {4800, QSerialPort::MarkParity, QSerialPort::Data5, QSerialPort::OneStop}},
        {"4800,s,6,1", true, {4800, QSerialPort::SpaceParity, QSerialPort::Data6, QSerialPort::OneStop}},
        {"115200,x,8,1", false, {}},
        {"fast,n,8,1", false, {}},
        {"115200,n,9,1", false, {}},
        {"115200,n,8,3", false, {}},
        {"115200,n,8", false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const auto parsed = parseSerialSettings(c.text);
        ASSERT_EQ(parsed.ok(), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(parsed->baudRate, c.expected.baudRate);
        EXPECT_EQ(parsed->parity, c.expected.parity);
        EXPECT_EQ(parsed->dataBits, c.expected.dataBits);
        EXPECT_EQ(parsed->stopBits, c.expected.stopBits);
    }
    EXPECT_EQ(serialPortSystemName(QStringLiteral(" /dev/ttyUSB0 ")), QStringLiteral("/dev/ttyUSB0"));
#ifndef Q_OS_WIN
    EXPECT_EQ(serialPortSystemName(QStringLiteral("3")), QStringLiteral("/dev/ttyS2"));
#endif
}

} // namespace

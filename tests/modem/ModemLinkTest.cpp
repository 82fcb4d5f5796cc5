#include "support/ModemTestSupport.h"

#include "modem/SerialSettings.h"

#include <QSignalSpy>

#include <thread>

using namespace parlix;
using Fault = sim::ModemSimulator::Fault;

namespace {

const QString kOK = "OK";

class ModemLink : public test::ModemOnPty
{
};

// The counting rules, and what each way of ending costs: a final answer ends the wait at
// once, silence costs every pause, a reply still growing is no failed cycle.
TEST_F(ModemLink, CountingRules)
{
    const QString errorText = "Error occured while executing this command: AT";
    struct Case
    {
        const char *name;
        Fault::Kind fault; // injected into the answer to AT+CGMI, unless Unplug (none)
        int latency;       // before the answer to AT+CGMI
        QString command;
        qint16 delay;
        qint16 retries;
        QString reply; // what the reply holds; empty: nothing at all
        bool ok;
        int bursts = -1;    // -1: not counted
        int fullWaits = -1; // pauses that ran their whole delay
        bool shown = false;
    };
    const Case cases[] = {
        {"prompt answer, echo on", Fault::Unplug, 0, "AT\r", 2000, 5, "AT\r\r\nOK\r\n", true, 1, 0},
        {"silent modem: 1 + retries + 1 reads", Fault::Silence, 0, "AT+CGMI\r", 50, 5, {}, false, 7, 7},
        {"error", Fault::Error, 0, "AT+CGMI\r", 1000, 5, "ERROR", false, -1, 0, true},
        {"two unexpected replies", Fault::Garbage, 0, "AT+CGMI\r", 30, 5, "#~%", false},
        {"expected only in the last tolerated cycle", Fault::Unplug, 700, "AT+CGMI\r", 200, 2, "OK", false},
        {"a listing still arriving", Fault::Unplug, 0, "AT+CMGL=\"ALL\"\r\n", 50, 1, "OK then\r\n\r\nOK\r\n", true},
    };
    for (int i = 0; i < 4; ++i)
        sim.addMessage("REC READ", "+1", "OK then");
    sim.setListChunkDelay(150);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fault != Fault::Unplug)
            sim.failNext("AT+CGMI", {c.fault});
        sim.setCommandLatency("AT+CGMI", c.latency);
        prompt.clear();
        modem.resetLinkStats();
        const QString reply = modem.SendATCommand(c.command, c.delay, " OK ", c.retries, errorText);
        if (c.reply.isEmpty())
            EXPECT_EQ(reply, QString());
        else
            EXPECT_TRUE(reply.contains(c.reply)) << reply.toStdString();
        EXPECT_EQ(modem.LastCommandOK(), c.ok);
        EXPECT_FALSE(modem.ModemBusy());
        if (c.bursts >= 0) {
            EXPECT_EQ(modem.linkStats().readBursts, c.bursts);
        }
        if (c.fullWaits >= 0) {
            EXPECT_EQ(modem.linkStats().fullWaits, c.fullWaits) << "an answer must not cost the delays";
        }
        EXPECT_EQ(prompt.texts(), c.shown ? QStringList{errorText} : QStringList{});
        sim.setEcho(false);
    }
    // A blank error text shows nothing.
    sim.failNext("AT+CGMI", {Fault::Error});
    modem.SendATCommand("AT+CGMI\r", 50, "OK", 5, "   ");
    EXPECT_FALSE(modem.LastCommandOK());
    EXPECT_EQ(prompt.texts(), QStringList{});
}

// An open port is not configured again; a closed one asks to connect, and closing clears the flags.
TEST_F(ModemLink, PortStateIsKeptAndClosingClearsTheFlags)
{
    modem.ConfigureCommPort("/dev/ttyUSB7", "9600,n,8,1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Comm Port : /dev/ttyUSB7 already open or some other program "
                                                         "is using it.")});
    EXPECT_EQ(modem.portName(), sim.devicePath());
    EXPECT_EQ(modem.serialPort().baudRate(), 115200);

    prompt.clear();
    modem.CloseCommPort();
    EXPECT_EQ(modem.SendATCommand("AT\r", 50, kOK, 5, QString()), QString());
    EXPECT_TRUE(modem.LastCommandOK());
    EXPECT_FALSE(modem.PortConnected());
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Modem is currently not connected to the application. Please "
                                                         "click on 'Connect' button before executing any commands.")});
    modem.setSendingSMS(true);
    modem.setReadingSIM(true);
    modem.setCallInProgress(true);
    modem.CloseCommPort();
    EXPECT_FALSE(modem.SendingSMS());
    EXPECT_FALSE(modem.ReadingSIM());
    EXPECT_FALSE(modem.ModemBusy());
    EXPECT_FALSE(modem.ModemReady());
}

TEST_F(ModemLink, CallCodesAreTakenOutOfRepliesAndDeliveredAfterwards)
{
    sim.setEcho(false);
    QSignalSpy lines(&modem, &Modem::unsolicitedLine);
    // A ring waiting before the command, and one arriving in the middle of the answer.
    sim.sendRaw("\r\nRING\r\n");
    sim.failNext("AT+CGMI", {Fault::Silence});
    std::thread answer([this] {
        const char *const pieces[] = {"\r\nParlix\r\n", "\r\nRING\r\n\r\n+CLIP: \"+919812345678\",145,,,,0\r\n",
                                      "\r\nOK\r\n"};
        for (const char *piece : pieces) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            sim.sendRaw(piece);
        }
    });
    QThread::msleep(20);
    const QString reply = modem.SendATCommand("AT+CGMI\r", 1000, kOK, 5, QString());
    answer.join();
    EXPECT_EQ(reply, "\r\nParlix\r\n\r\nOK\r\n");
    EXPECT_EQ(lines.count(), 0) << "delivered inside the exchange";
    settle();
    QStringList got;
    for (const auto &args : lines)
        got << args.at(0).toString();
    EXPECT_EQ(got, (QStringList{"RING", "RING", "+CLIP: \"+919812345678\",145,,,,0"}));
}

TEST_F(ModemLink, RingAndUnplugWhileIdleAreNoticed)
{
    QSignalSpy lines(&modem, &Modem::unsolicitedLine);
    sim.ring("+441234567890");
    EXPECT_TRUE(lines.wait(2000));
    EXPECT_EQ(lines.at(0).at(0).toString(), "RING");
    QSignalSpy lost(&modem, &Modem::portLost);
    sim.unplug();
    EXPECT_TRUE(lost.wait(2000));
    EXPECT_FALSE(modem.PortConnected());
}

TEST_F(ModemLink, UnpluggedPortEndsTheExchangeAtOnce)
{
    QSignalSpy lost(&modem, &Modem::portLost);
    QSignalSpy connected(&modem, &Modem::portConnectedChanged);
    sim.failNext("AT+CMGL", {Fault::Unplug});
    const QString reply = modem.SendATCommand("AT+CMGL=\"ALL\"\r\n", 2000, kOK, 5, "not shown");
    EXPECT_EQ(reply, QString());
    EXPECT_FALSE(modem.LastCommandOK());
    EXPECT_FALSE(modem.PortConnected());
    EXPECT_LT(modem.linkStats().readBursts, 3);
    EXPECT_EQ(lost.count(), 1);
    ASSERT_EQ(connected.count(), 1);
    EXPECT_FALSE(connected.at(0).at(0).toBool());
    EXPECT_TRUE(log.text().contains("] : **ERROR** The GSM modem on port " + sim.devicePath()))
        << log.text().toStdString();
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(ModemLink, MissingDeviceAsksForTheSettings)
{
    modem.CloseCommPort();
    QSignalSpy settings(&modem, &Modem::settingsWindowRequested);
    const QString question =
        QStringLiteral("No modem found on COM Port /dev/parlix-no-such-modem\r\n"
                       "Do you wish to enter the correct COM port settings for the attached modem?");
    for (const bool yes : {true, false}) {
        prompt.clear();
        prompt.scriptAnswers({yes});
        modem.ConfigureCommPort("/dev/parlix-no-such-modem", "115200,n,8,1");
        modem.OpenCommPort();
        EXPECT_FALSE(modem.PortConnected());
    }
    ASSERT_EQ(prompt.requests().size(), 1);
    EXPECT_EQ(prompt.requests()[0].text, question);
    EXPECT_EQ(prompt.requests()[0].title, appTitle());
    EXPECT_EQ(prompt.requests()[0].buttons, Prompt::Buttons::YesNo);
    EXPECT_EQ(settings.count(), 1); // on Yes only
}

TEST(SerialSettings, SettingsTexts)
{
    using P = QSerialPort;
    const auto fields = [](const SerialSettings &s) {
        return std::tuple(s.baudRate, s.parity, s.dataBits, s.stopBits);
    };
    const std::pair<QString, std::optional<SerialSettings>> cases[] = {
        {"115200,n,8,1", SerialSettings{115200, P::NoParity, P::Data8, P::OneStop}},
        {" 9600 , E , 7 , 1.5 ", SerialSettings{9600, P::EvenParity, P::Data7, P::OneAndHalfStop}},
        {"19200,o,8,2", SerialSettings{19200, P::OddParity, P::Data8, P::TwoStop}},
        {"4800,M,5,1", SerialSettings{4800, P::MarkParity, P::Data5, P::OneStop}},
        {"4800,s,6,1", SerialSettings{4800, P::SpaceParity, P::Data6, P::OneStop}},
        {"115200,x,8,1", std::nullopt},
        {"fast,n,8,1", std::nullopt},
        {"115200,n,9,1", std::nullopt},
        {"115200,n,8,3", std::nullopt},
        {"115200,n,8", std::nullopt},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text.toStdString());
        const auto parsed = parseSerialSettings(text);
        ASSERT_EQ(parsed.ok(), expected.has_value());
        if (expected) {
            EXPECT_EQ(fields(*parsed), fields(*expected));
        }
    }
    EXPECT_EQ(serialPortSystemName(" /dev/ttyUSB0 "), "/dev/ttyUSB0");
#ifndef Q_OS_WIN
    EXPECT_EQ(serialPortSystemName("3"), "/dev/ttyS2");
#endif
}

} // namespace

#include "support/ModemTestSupport.h"

#include <QSignalSpy>

using namespace parlix;
using Fault = sim::ModemSimulator::Fault;

namespace {

class ModemOperations : public test::ModemOnPty
{
protected:
    QStringList sentTexts() const
    {
        QStringList out;
        for (const auto &m : sim.sentMessages())
            out << m.text;
        return out;
    }
};

// ---- Initialisation and identification ---------------------------------------------------

TEST_F(ModemOperations, InitialisationSequences)
{
    struct Case
    {
        QString flow;
        bool callerId;
        QStringList commands;
    };
    const Case cases[] = {
        {"0", false, {"ATE0", "AT+CSCS=\"GSM\"", "AT+CMGF=1"}},
        {"1", false, {"AT+FLO=1", "ATE0", "AT+CSCS=\"GSM\"", "AT+CMGF=1"}},
        {"2", true, {"AT+FLO=2", "ATE0", "AT+CSCS=\"GSM\"", "AT+CLIP=1", "AT+CMGF=1"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.flow.toStdString());
        sim.clearLog();
        sim.setEcho(true);
        log.clear();
        modem.InitializeModem(c.flow, QStringLiteral("GSM"), c.callerId);
        EXPECT_EQ(sim.commands(), c.commands);
        EXPECT_TRUE(modem.ModemReady());
        EXPECT_TRUE(modem.PortConnected());
        EXPECT_EQ(sim.callerIdOn(), c.callerId);
        EXPECT_EQ(modem.charset(), ModemCharset::Gsm);
        EXPECT_TRUE(logHas(QStringLiteral("Response for AT+CMGF=1 is 'OK'"))) << log.text().toStdString();
        EXPECT_TRUE(logHas(QStringLiteral("Response for ATE0 is 'ATE0\rOK'")));
        EXPECT_EQ(modem.LastModemResponse(), QStringLiteral("\r\nOK\r\n"));
        if (c.flow != QLatin1String("0")) {
            EXPECT_TRUE(logHas(QStringLiteral("Response for AT+FLO=") + c.flow + QStringLiteral(" is 'AT+FLO=") +
                               c.flow + QStringLiteral("\r\r\nOK\r\n'")));
        }
    }
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(ModemOperations, FailedInitialisationStepsCloseThePort)
{
    struct Case
    {
        const char *name;
        QString failing;
        Fault fault;
        QStringList commands;
        QStringList shown;
    };
    const Case cases[] = {
        {"caller ID refused",
         "AT+CLIP",
         {Fault::Error},
         {"ATE0", "AT+CSCS=\"GSM\"", "AT+CLIP=1"},
         {"Your modem does not support 'CallerID' feature."}},
        {"silent modem", "ATE0", {Fault::Silence}, {"ATE0"}, {}},
        {"character set refused",
         "AT+CSCS",
         {Fault::CmsError, 303},
         {"ATE0", "AT+CSCS=\"GSM\""},
         {"Error occured while executing this command: AT+CSCS"}},
        {"text mode refused",
         "AT+CMGF",
         {Fault::Error},
         {"ATE0", "AT+CSCS=\"GSM\"", "AT+CLIP=1", "AT+CMGF=1"},
         {"Error occured while executing this command: AT+CMGF=1"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        modem.ConfigureCommPort(sim.devicePath(), QStringLiteral("115200,n,8,1"));
        modem.OpenCommPort();
        ASSERT_TRUE(modem.PortConnected());
        sim.clearLog();
        sim.setEcho(false);
        prompt.clear();
        modem.setDelayFactor(0.2); // the silent case waits 7 × 10 ms
        sim.failNext(c.failing, c.fault);
        modem.InitializeModem(QStringLiteral("0"), QStringLiteral("GSM"), true);
        EXPECT_EQ(sim.commands(), c.commands);
        EXPECT_EQ(prompt.texts(), c.shown);
        EXPECT_FALSE(modem.ModemReady());
        EXPECT_FALSE(modem.PortConnected());
        EXPECT_FALSE(modem.serialPort().isOpen());
    }
}

TEST_F(ModemOperations, ManufacturerAndModel)
{
    EXPECT_EQ(modem.GetModemManufacturer(), QStringLiteral("Parlix")); // echo on: second line still
    initialise();
    EXPECT_EQ(modem.GetModemModel(), QStringLiteral("SIM-900 simulator"));
    sim.failNext(QStringLiteral("AT+CGMI"), {Fault::Silence});
    modem.setDelayFactor(0.2);
    EXPECT_EQ(modem.GetModemManufacturer(), QString());
}

// ---- Call state and listings ---------------------------------------------------------------

TEST_F(ModemOperations, CallStatus)
{
    initialise();
    EXPECT_EQ(modem.GetCallStatus(), QStringLiteral("\r\nOK\r\n"));
    sim.ring(QStringLiteral("+919812345678"));
    EXPECT_EQ(modem.GetCallStatus(), QStringLiteral("Incoming"));
    sim.setCallState(sim::ModemSimulator::Active);
    EXPECT_EQ(modem.GetCallStatus(), QStringLiteral("Active"));
    sim.failNext(QStringLiteral("AT+CLCC"), {Fault::Error});
    EXPECT_EQ(modem.GetCallStatus(), QStringLiteral("ERROR"));
}

TEST_F(ModemOperations, ListingFillsTheMessageList)
{
    initialise();
    modem.ListSIMMessages(QStringLiteral("ALL"), 400);
    EXPECT_TRUE(modem.SIMMessages().isEmpty());

    sim.receiveSms(QStringLiteral("+447700900123"), QStringLiteral("First £5 @ home"));
    sim.addMessage(QStringLiteral("REC READ"), QStringLiteral("07700900456"),
                   QStringLiteral("Line one\nOK\nline three"));
    sim.addMessage(QStringLiteral("STO UNSENT"), QStringLiteral("+4915"), QStringLiteral("draft"));
    sim.clearLog();
    modem.ListSIMMessages(QStringLiteral("all"), 400);
    const SIMMessageList &list = modem.SIMMessages();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0], (SIMMessage{"1", "REC UNREAD", "+447700900123", "First £5 @ home"}));
    EXPECT_EQ(list[1], (SIMMessage{"2", "REC READ", "07700900456", "Line one\nOK\nline three"}));
    EXPECT_EQ(list[2], (SIMMessage{"3", "STO UNSENT", "+4915", "draft\r\n"}));
    EXPECT_EQ(sim.commands().mid(1), QStringList{"AT+CMGL=\"ALL\""});
    EXPECT_FALSE(modem.ReadingSIM());

    sim.clearLog();
    modem.ListSIMMessages(QStringLiteral("rec unread"), 400);
    EXPECT_EQ(sim.commands(), (QStringList{"AT+CLCC", "AT+CMGL=\"REC UNREAD\""}));
    EXPECT_TRUE(modem.SIMMessages().isEmpty()); // the first listing marked it read
}

TEST_F(ModemOperations, ListingDuringACallIsSkippedAndLocksTheModem)
{
    initialise();
    sim.receiveSms(QStringLiteral("+1"), QStringLiteral("x"));
    sim.ring(QStringLiteral("+441234567890"));
    modem.ListSIMMessages(QStringLiteral("ALL"), 400);
    EXPECT_TRUE(modem.SIMMessages().isEmpty());
    EXPECT_EQ(sim.commands(), QStringList{"AT+CLCC"});
    EXPECT_TRUE(modem.ModemBusy());
    EXPECT_FALSE(modem.ReadingSIM());

    sim.clearLog();
    EXPECT_FALSE(modem.SendSMSDirect(QStringLiteral("+4477"), QStringLiteral("hi")).ok);
    EXPECT_FALSE(modem.StoreAndSendSMS(QStringLiteral("+4477"), QStringLiteral("hi")).ok);
    EXPECT_TRUE(sim.commands().isEmpty()) << "nothing may be written during a call";
    EXPECT_FALSE(modem.SendingSMS());
}

TEST_F(ModemOperations, DeletingByStatusAndByIndex)
{
    initialise();
    sim.addMessage(QStringLiteral("REC READ"), QStringLiteral("+1"), QStringLiteral("a"));
    sim.addMessage(QStringLiteral("STO SENT"), QStringLiteral("+2"), QStringLiteral("b"));
    sim.addMessage(QStringLiteral("REC READ"), QStringLiteral("+3"), QStringLiteral("c"));
    EXPECT_TRUE(modem.DeleteSIMMessagesByStatus(QStringLiteral("rec read")).ok);
    const auto left = sim.messages();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].index, 2);
    EXPECT_TRUE(sim.commands().contains(QStringLiteral("AT+CMGD=3")));

    EXPECT_TRUE(modem.DeleteSIMMessage(2).ok);
    EXPECT_TRUE(sim.messages().isEmpty());

    sim.failNext(QStringLiteral("AT+CMGD"), {Fault::CmsError, 321});
    const ModemResult refused = modem.DeleteSIMMessage(5);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.cmsError, 321);
    EXPECT_EQ(refused.reply, QStringLiteral("\r\n+CMS ERROR: 321\r\n"));
    EXPECT_EQ(modem.LastModemResponse(), refused.reply);
    EXPECT_EQ(prompt.texts(), QStringList{"Error occured while executing this command: AT+CMGD=5"});

    sim.addMessage(QStringLiteral("REC READ"), QStringLiteral("+4"), QStringLiteral("d"));
    sim.failNext(QStringLiteral("AT+CMGD"), {Fault::CmsError, 321});
    EXPECT_EQ(modem.DeleteSIMMessagesByStatus(QStringLiteral("REC READ")).cmsError, 321);
    EXPECT_EQ(sim.messages().size(), 1);
}

// ---- Sending --------------------------------------------------------------------------------

TEST_F(ModemOperations, DirectSendCutsLongTextsIntoSeparateSms)
{
    initialise();
    const QString x160(160, QLatin1Char('x'));
    struct Case
    {
        QString text;
        QStringList parts;
    };
    const Case cases[] = {
        {x160 + QStringLiteral("y"), {x160, QStringLiteral("y")}},
        {x160, {x160}},
        {QStringLiteral("Line one\r\nline two"), {QStringLiteral("Line one\nline two")}},
    };
    for (const Case &c : cases) {
        sim.clearLog();
        const ModemResult result = modem.SendSMSDirect(QStringLiteral("+919812345678"), c.text);
        EXPECT_TRUE(result.ok) << result.reply.toStdString();
        EXPECT_TRUE(result.reply.contains(QLatin1String("OK"))) << result.reply.toStdString();
        EXPECT_EQ(sentTexts(), c.parts);
        for (const auto &m : sim.sentMessages())
            EXPECT_EQ(m.number, QStringLiteral("+919812345678"));
    }
    EXPECT_TRUE(logHas(QStringLiteral("Response for AT+CMGS=\"+919812345678\" is '>'")));
    EXPECT_FALSE(modem.SendingSMS());
    EXPECT_EQ(sim.protocolViolations(), 0);
}

TEST_F(ModemOperations, TextsTravelInTheSetNamedToTheModem)
{
    const QString text = QStringLiteral("£10 for 2 [€] é@home");
    struct Case
    {
        QString set;
        QString arrives;
    };
    const Case cases[] = {
        {"GSM", text},
        {"ASCII", "?10 for 2 [?] ?@home"},
        {"ANSI", text},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.set.toStdString());
        initialise(c.set);
        ASSERT_TRUE(modem.SendSMSDirect(QStringLiteral("+4477"), text).ok);
        EXPECT_EQ(sentTexts(), QStringList{c.arrives});
        sim.receiveSms(QStringLiteral("+4477"), text);
        modem.ListSIMMessages(QStringLiteral("REC UNREAD"), 400);
        ASSERT_EQ(modem.SIMMessages().size(), 1);
        EXPECT_EQ(modem.SIMMessages()[0].Text, c.arrives + QStringLiteral("\r\n"));
        sim.clearMessages();
    }
}

TEST_F(ModemOperations, DirectSendFailuresCarryTheModemsErrorCode)
{
    initialise();
    modem.setBodyResponseTimeout(400);
    modem.setDelayFactor(0.5);
    struct Case
    {
        const char *name;
        QString failing;
        Fault fault;
        std::optional<int> cmsError;
    };
    const Case cases[] = {
        {"no prompt", "AT+CMGS", {Fault::Silence}, std::nullopt},
        {"refused number", "AT+CMGS", {Fault::Error}, std::nullopt},
        {"network refusal", "BODY", {Fault::CmsError, 500}, 500},
        {"silence after the body", "BODY", {Fault::Silence}, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim.clearLog();
        sim.failNext(c.failing, c.fault);
        const ModemResult failed = modem.SendSMSDirect(QStringLiteral("+4477"), QStringLiteral("hello"));
        EXPECT_FALSE(failed.ok);
        EXPECT_EQ(failed.cmsError, c.cmsError);
        EXPECT_TRUE(sim.sentMessages().isEmpty());
        EXPECT_FALSE(modem.SendingSMS());
        // The modem is usable afterwards: a half-open entry was cancelled, nothing is pending.
        sim.clearLog();
        EXPECT_TRUE(modem.SendSMSDirect(QStringLiteral("+4477"), QStringLiteral("again")).ok);
        EXPECT_EQ(sentTexts(), QStringList{"again"});
    }
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(ModemOperations, DirectSendWaitsForASlowNetwork)
{
    initialise();
    modem.setBodyResponseTimeout(5000);
    modem.setDelayFactor(0.25); // the body's own reads give up after 12 × 50 ms
    sim.setBodyLatency(900);
    const ModemResult result = modem.SendSMSDirect(QStringLiteral("+4477"), QString(170, QLatin1Char('z')));
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.reply.contains(QLatin1String("+CMGS:"))) << result.reply.toStdString();
    EXPECT_EQ(sim.sentMessages().size(), 2);
    EXPECT_EQ(sim.protocolViolations(), 0) << "a command was written while the modem was still sending";
}

TEST_F(ModemOperations, UnpluggedDuringASendIsAFailure)
{
    initialise();
    sim.failNext(QStringLiteral("BODY"), {Fault::Unplug});
    EXPECT_FALSE(modem.SendSMSDirect(QStringLiteral("+4477"), QStringLiteral("hello")).ok);
    EXPECT_FALSE(modem.PortConnected());
    EXPECT_FALSE(modem.SendingSMS());
    EXPECT_FALSE(modem.SendSMSDirect(QStringLiteral("+4477"), QStringLiteral("hello")).ok);
}

TEST_F(ModemOperations, StoreAndSend)
{
    initialise();
    EXPECT_TRUE(modem.StoreAndSendSMS(QStringLiteral("+4477"), QStringLiteral("0123456789")).ok);
    EXPECT_EQ(sim.commands(), (QStringList{"AT+CMGW=\"+4477\"", "<body>", "AT+CMSS=1", "AT+CMGD=1"}));
    ASSERT_EQ(sim.sentMessages().size(), 1);
    EXPECT_EQ(sim.sentMessages()[0].via, QStringLiteral("AT+CMSS"));
    EXPECT_EQ(sim.sentMessages()[0].text, QStringLiteral("0123456789"));
    EXPECT_TRUE(sim.messages().isEmpty());
    EXPECT_FALSE(modem.SendingSMS());

    // Two parts: each stored, sent and deleted in turn.
    sim.clearLog();
    EXPECT_TRUE(modem.StoreAndSendSMS(QStringLiteral("+4477"), QString(161, QLatin1Char('q'))).ok);
    EXPECT_EQ(sim.sentMessages().size(), 2);
    EXPECT_EQ(modem.StoreSMSOnSIM(QStringLiteral("+1"), QStringLiteral("a\r\nb")), QStringLiteral("1"));
    EXPECT_EQ(sim.messages().value(0).text, QStringLiteral("a\nb"));
}

TEST_F(ModemOperations, StoreAndSendFailures)
{
    initialise();
    modem.setBodyResponseTimeout(300);
    modem.setDelayFactor(0.2);
    struct Case
    {
        const char *name;
        QString failing;
        Fault fault;
        std::optional<int> cmsError;
        int leftOnSim;
        QStringList shown;
    };
    const Case cases[] = {
        {"SIM full", "BODY", {Fault::CmsError, 322}, 322, 0, {"Error occured while executing this command: AT+CMGW"}},
        {"send refused",
         "AT+CMSS",
         {Fault::CmsError, 500},
         500,
         1,
         {"Error occured while executing this command: AT+CMSS"}},
        {"send unanswered", "AT+CMSS", {Fault::Silence}, std::nullopt, 1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim.clearMessages();
        sim.clearLog();
        prompt.clear();
        sim.failNext(c.failing, c.fault);
        const ModemResult result = modem.StoreAndSendSMS(QStringLiteral("+4477"), QStringLiteral("hello"));
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.cmsError, c.cmsError);
        EXPECT_TRUE(sim.sentMessages().isEmpty());
        EXPECT_EQ(sim.messages().size(), c.leftOnSim);
        EXPECT_EQ(prompt.texts(), c.shown);
        EXPECT_FALSE(modem.SendingSMS());
    }

    // Sent, but the copy could not be deleted: still a success, so it is not sent twice.
    sim.clearMessages();
    sim.failNext(QStringLiteral("AT+CMGD"), {Fault::CmsError, 321}, -1);
    prompt.clear();
    const ModemResult result = modem.StoreAndSendSMS(QStringLiteral("+4477"), QStringLiteral("hello"));
    EXPECT_TRUE(result.ok) << result.reply.toStdString();
    EXPECT_TRUE(result.reply.contains(QLatin1String("+CMSS:")));
    EXPECT_EQ(sim.sentMessages().size(), 1);
    EXPECT_TRUE(logHas(QStringLiteral("**WARNING** The sent SMS could not be removed from the SIM card (storage index "
                                      "1).")));
    sim.clearFaults();
}

TEST_F(ModemOperations, EmptyTextIsNotASend)
{
    initialise();
    EXPECT_FALSE(modem.SendSMSDirect(QStringLiteral("+4477"), QString()).ok);
    EXPECT_FALSE(modem.StoreAndSendSMS(QStringLiteral("+4477"), QString()).ok);
    EXPECT_TRUE(sim.commands().isEmpty());
}

TEST_F(ModemOperations, DelayFactorScalesAndRoundsHalfToEven)
{
    const std::pair<double, int> cases[] = {{1.0, 75}, {2.25, 169}, {0.5, 38}, {1.5, 112}};
    for (const auto &[factor, expected] : cases) {
        modem.setDelayFactor(factor);
        EXPECT_EQ(modem.scaledDelay(75), expected) << factor;
    }
    modem.setDelayFactor(2.5);
    EXPECT_EQ(modem.scaledDelay(1), 2); // 2.5 -> 2
    modem.setDelayFactor(3.5);
    EXPECT_EQ(modem.scaledDelay(1), 4); // 3.5 -> 4
}

} // namespace

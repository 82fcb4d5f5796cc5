#include "AtMachine.h"
#include "modem/Pdu.h"
#include "support/ModemTestSupport.h"

#include <QSignalSpy>

using namespace parlix;
using Fault = sim::ModemSimulator::Fault;
using Sim = sim::ModemSimulator;

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

// ---- Initialisation (identification: tests/app/StartupProcessTest, ModemsCommand) ----------

// Each step as the modem answers it; a failed step closes the port.
TEST_F(ModemOperations, InitialisationSequences)
{
    struct Case
    {
        const char *name;
        QString flow;
        QStringList commands;
        QString shown = {};
        QString failing = {};
        Fault fault = {};
        QString set = "GSM";
    };
    const QStringList start = {"ATE0", "AT+CSCS=\"GSM\"", "AT+CLIP=1"};
    const QString error = "Error occured while executing this command: ";
    // Without caller ID the modem is not asked for it.
    modem.InitializeModem("0", "GSM", false);
    EXPECT_EQ(sim.commands(), (QStringList{"ATE0", "AT+CSCS=\"GSM\"", "AT+CMGF=1", "AT+CSDH=1"}));
    EXPECT_FALSE(sim.callerIdOn());
    const Case cases[] = {
        {"flow control", "2", QStringList{"AT+FLO=2"} + start + QStringList{"AT+CMGF=1", "AT+CSDH=1"}},
        {"caller ID refused", "0", start, "Your modem does not support 'CallerID' feature.", "AT+CLIP", {Fault::Error}},
        {"a set the modem does not know", "0", {"ATE0", "AT+CSCS=\"ANSI\""}, error + "AT+CSCS", {}, {}, "ANSI"},
        {"text mode refused", "0", start + QStringList{"AT+CMGF=1"}, error + "AT+CMGF=1", "AT+CMGF", {Fault::Error}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const bool ready = c.commands.last() == QLatin1String("AT+CSDH=1");
        if (!modem.PortConnected()) {
            modem.ConfigureCommPort(sim.devicePath(), "115200,n,8,1");
            modem.OpenCommPort();
        }
        sim.clearLog();
        sim.setEcho(true);
        prompt.clear();
        modem.setDelayFactor(0.2); // the silent case waits 7 × 10 ms
        if (!c.failing.isEmpty())
            sim.failNext(c.failing, c.fault);
        modem.InitializeModem(c.flow, c.set, true);
        EXPECT_EQ(sim.commands(), c.commands);
        EXPECT_EQ(prompt.texts(), c.shown.isEmpty() ? QStringList{} : QStringList{c.shown});
        EXPECT_EQ(modem.ModemReady(), ready);
        EXPECT_EQ(modem.serialPort().isOpen(), ready);
        if (ready) {
            EXPECT_TRUE(sim.callerIdOn());
        }
    }
}

// ---- Listings and deletes ------------------------------------------------------------------

TEST_F(ModemOperations, ListingFillsTheMessageListUnlessCutOffOrDuringACall)
{
    initialise();
    modem.ListSIMMessages("ALL", 400);
    EXPECT_TRUE(modem.SIMMessages().isEmpty());
    EXPECT_TRUE(modem.listingComplete());

    sim.receiveSms("+447700900123", "First £5 @ home");
    sim.addMessage("REC READ", "07700900456", "Line one\nOK\nline three");
    sim.addMessage("STO UNSENT", "+4915", "draft");
    sim.clearLog();
    modem.ListSIMMessages("all", 400);
    QStringList listed;
    for (const SIMMessage &m : modem.SIMMessages())
        listed << m.Index + '|' + m.Status + '|' + m.Number + '|' + m.Text;
    EXPECT_EQ(listed, (QStringList{"1|REC UNREAD|+447700900123|First £5 @ home",
                                   "2|REC READ|07700900456|Line one\nOK\nline three", "3|STO UNSENT|+4915|draft"}));
    EXPECT_EQ(sim.commands().mid(1), QStringList{"AT+CMGL=\"ALL\""});
    EXPECT_FALSE(modem.ReadingSIM());

    // A listing cut off before its final "OK" is no listing.
    sim.failNext("AT+CMGL", {Fault::Garbage});
    modem.ListSIMMessages("ALL", 50);
    EXPECT_TRUE(modem.SIMMessages().isEmpty());
    EXPECT_FALSE(modem.listingComplete());

    // During a call the listing is skipped and the modem stays locked: nothing is written.
    sim.clearLog();
    sim.ring("+441234567890");
    modem.ListSIMMessages("ALL", 400);
    EXPECT_TRUE(modem.SIMMessages().isEmpty());
    EXPECT_EQ(sim.commands(), QStringList{"AT+CLCC"});
    EXPECT_TRUE(modem.ModemBusy());
    EXPECT_FALSE(modem.ReadingSIM());

    sim.clearLog();
    EXPECT_FALSE(modem.SendSMSDirect("+4477", "hi").ok);
    EXPECT_FALSE(modem.StoreAndSendSMS("+4477", "hi").ok);
    EXPECT_TRUE(sim.commands().isEmpty()) << "nothing may be written during a call";
    EXPECT_FALSE(modem.SendingSMS());
}

TEST_F(ModemOperations, DeletingByStatusAndByIndex)
{
    initialise();
    sim.setStrictDelete(true);
    for (const auto &[status, number] : {std::pair{"REC READ", "+1"}, {"STO SENT", "+2"}, {"REC READ", "+3"}})
        sim.addMessage(QString::fromLatin1(status), QString::fromLatin1(number), "x");
    EXPECT_TRUE(modem.DeleteSIMMessagesByStatus("rec read").ok);
    ASSERT_EQ(sim.messages().size(), 1);
    EXPECT_EQ(sim.messages()[0].index, 2);
    EXPECT_TRUE(modem.DeleteSIMMessage(2).ok);
    EXPECT_TRUE(sim.messages().isEmpty());

    const ModemResult refused = modem.DeleteSIMMessage(5); // an empty slot
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.cmsError, 321);
    EXPECT_EQ(prompt.texts(), QStringList{"Error occured while executing this command: AT+CMGD=5"});
}

// ---- Sending --------------------------------------------------------------------------------

TEST_F(ModemOperations, DirectSendCutsLongTextsIntoSeparateSms)
{
    initialise();
    const QString x160(160, QLatin1Char('x'));
    const std::pair<QString, QStringList> cases[] = {
        {x160 + "y", {x160, "y"}},
        {x160, {x160}},
        {"Line one\r\nline two", {"Line one\nline two"}},
    };
    for (const auto &[text, parts] : cases) {
        sim.clearLog();
        const ModemResult result = modem.SendSMSDirect("+919812345678", text);
        EXPECT_TRUE(result.ok) << result.reply.toStdString();
        EXPECT_EQ(sentTexts(), parts);
        for (const auto &m : sim.sentMessages())
            EXPECT_EQ(m.number, "+919812345678");
    }
    EXPECT_FALSE(modem.SendingSMS());
    sim.clearLog();
    EXPECT_FALSE(modem.SendSMSDirect("+4477", QString()).ok); // nothing to send is no send
    EXPECT_FALSE(modem.StoreAndSendSMS("+4477", QString()).ok);
    EXPECT_TRUE(sim.commands().isEmpty());
}

TEST_F(ModemOperations, TextsTravelInTheSetNamedToTheModem)
{
    sim.setSupportedCharsets({"GSM", "ASCII", "ANSI"});
    const QString text = "£10 for 2 [€] é@home";
    const std::pair<QString, QString> cases[] = {{"GSM", text}, {"ASCII", "?10 for 2 [?] ?@home"}, {"ANSI", text}};
    for (const auto &[set, arrives] : cases) {
        SCOPED_TRACE(set.toStdString());
        initialise(set);
        ASSERT_TRUE(modem.SendSMSDirect("+4477", text).ok);
        EXPECT_EQ(sentTexts(), QStringList{arrives});
        sim.receiveSms("+4477", text);
        modem.ListSIMMessages("REC UNREAD", 400);
        ASSERT_EQ(modem.SIMMessages().size(), 1);
        EXPECT_EQ(modem.SIMMessages()[0].Text.trimmed(), arrives);
        sim.clearMessages();
    }
}

// Every way a send can fail, on both paths: the modem's code is passed on, nothing went out,
// no copy stays on the SIM, and the modem takes the next send.
TEST_F(ModemOperations, SendFailuresLeaveNothingBehind)
{
    initialise();
    modem.setBodyResponseTimeout(400);
    modem.setDelayFactor(0.2);
    const QString error = "Error occured while executing this command: ";
    struct Case
    {
        const char *name;
        bool stored;
        QString failing;
        Fault fault;
        std::optional<int> cmsError;
        QStringList shown = {};
    };
    const Case cases[] = {
        {"no prompt", false, "AT+CMGS", {Fault::Silence}, std::nullopt},
        {"refused number", false, "AT+CMGS", {Fault::Error}, std::nullopt},
        {"network refusal", false, "BODY", {Fault::CmsError, 500}, 500},
        {"silence after the body", false, "BODY", {Fault::Silence}, std::nullopt},
        {"no prompt to store", true, "AT+CMGW", {Fault::Silence}, std::nullopt},
        {"SIM full", true, "BODY", {Fault::CmsError, 322}, 322, {error + "AT+CMGW"}},
        {"send refused", true, "AT+CMSS", {Fault::CmsError, 500}, 500, {error + "AT+CMSS"}},
        {"send unanswered", true, "AT+CMSS", {Fault::Silence}, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto send = [&](const QString &text) {
            return c.stored ? modem.StoreAndSendSMS("+4477", text) : modem.SendSMSDirect("+4477", text);
        };
        sim.clearLog();
        prompt.clear();
        sim.failNext(c.failing, c.fault);
        const ModemResult failed = send("hello");
        EXPECT_FALSE(failed.ok);
        EXPECT_EQ(failed.cmsError, c.cmsError);
        EXPECT_TRUE(sim.sentMessages().isEmpty());
        EXPECT_TRUE(sim.messages().isEmpty());
        EXPECT_EQ(prompt.texts(), c.shown);
        EXPECT_FALSE(modem.SendingSMS());
        sim.clearLog();
        EXPECT_TRUE(send("again").ok);
        EXPECT_EQ(sentTexts(), QStringList{"again"});
        EXPECT_TRUE(sim.messages().isEmpty());
    }

    // Sent, but the copy could not be deleted: still a success, so it is not sent twice.
    sim.failNext("AT+CMGD", {Fault::CmsError, 321}, -1);
    sim.clearLog();
    const ModemResult result = modem.StoreAndSendSMS("+4477", "hello");
    EXPECT_TRUE(result.ok) << result.reply.toStdString();
    EXPECT_EQ(sim.sentMessages().size(), 1);
}

// (An unplugged one: fault_matrix.py, unplug-mid-send.)
TEST_F(ModemOperations, DirectSendWaitsForASlowNetwork)
{
    initialise();
    modem.setBodyResponseTimeout(5000);
    modem.setDelayFactor(0.25); // the body's own reads give up after 12 × 50 ms
    sim.setBodyLatency(900);
    const ModemResult result = modem.SendSMSDirect("+4477", QString(170, QLatin1Char('z')));
    EXPECT_TRUE(result.ok) << result.reply.toStdString();
    EXPECT_EQ(sim.sentMessages().size(), 2);
    EXPECT_EQ(sim.protocolViolations(), 0) << "a command was written while the modem was still sending";
}

// The text goes only after the prompt: a modem still busy with the command drops what comes
// before it.
TEST_F(ModemOperations, StoreAndSend)
{
    initialise();
    sim.setStrictPrompt(true);
    sim.setCommandLatency("AT+CMGW", 30);
    EXPECT_TRUE(modem.StoreAndSendSMS("+4477", "0123456789").ok);
    EXPECT_EQ(sim.commands(),
              (QStringList{"AT+CMGL=\"STO UNSENT\"", "AT+CMGW=\"+4477\"", "<body>", "AT+CMSS=1", "AT+CMGD=1"}));
    EXPECT_EQ(sentTexts(), QStringList{"0123456789"});
    EXPECT_TRUE(sim.messages().isEmpty());
    EXPECT_FALSE(modem.SendingSMS());

    // Two parts: each stored, sent and deleted in turn.
    sim.clearLog();
    EXPECT_TRUE(modem.StoreAndSendSMS("+4477", QString(161, QLatin1Char('q'))).ok);
    EXPECT_EQ(sim.sentMessages().size(), 2);
    EXPECT_EQ(modem.StoreSMSOnSIM("+1", "a\r\nb"), "1");
    EXPECT_EQ(sim.messages().value(0).text, "a\nb");
}

// Refused sends do not fill the SIM: a copy left by an earlier run is used again, and the copy
// of a refused send is removed (or used again by the retry).
TEST_F(ModemOperations, RefusedStoredSendsLeaveAtMostOneCopy)
{
    initialise();
    modem.setDelayFactor(0.2);
    sim.addMessage("STO UNSENT", "+4477", "hello");
    sim.failNext("AT+CMSS", {Fault::CmsError, 500}, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(modem.StoreAndSendSMS("+4477", "hello").ok);
    EXPECT_LE(sim.messages().size(), 1);
    EXPECT_TRUE(modem.StoreAndSendSMS("+4477", "hello").ok);
    EXPECT_TRUE(sim.messages().isEmpty());
    EXPECT_EQ(sim.sentMessages().size(), 1);
}

// ---- The simulator in PDU mode (long texts, a refused part sent again, both routings of delivery
// reports and parts listed in reverse go through the engine: tests/engine/PduModeTest, LongSmsTest)

TEST(AtMachine, AnswersBytesWithoutADevice)
{
    sim::AtMachine machine(Sim::Options{});
    auto answer = [&machine](const QByteArray &bytes) {
        machine.input(bytes);
        QByteArray out;
        for (const sim::Reply &r : machine.takeReplies())
            out += r.bytes;
        return out;
    };
    EXPECT_EQ(answer("ATE0\rAT+CMGF=0\rAT+CMGS=200\rAT+CMGS=5\r"),
              QByteArray("ATE0\r\r\nOK\r\n\r\nOK\r\n\r\n+CMS ERROR: 304\r\n\r\n> "));
    EXPECT_EQ(answer("\x1b"), QByteArray("\r\nOK\r\n")); // ESC cancels the entry

    // A length that does not match the PDU is refused, as a modem does.
    pdu::SubmitPdu submit;
    submit.destination.number = "+447700900123";
    submit.text = "hi";
    const auto e = pdu::encodeSubmit(submit);
    answer("AT+CMGS=" + QByteArray::number(e->tpduLength + 1) + "\r");
    EXPECT_EQ(answer(e->hex + "\x1a"), QByteArray("\r\n+CMS ERROR: 304\r\n"));

    // Raw PDUs are listed as they came; the listing marks them read.
    const QByteArray raw("07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37");
    machine.receive(QString(), QString(), raw);
    EXPECT_EQ(answer("AT+CMGL=4\r"), QByteArray("\r\n+CMGL: 1,0,,28\r\n" + raw + "\r\n\r\nOK\r\n"));
    EXPECT_EQ(answer("AT+CMGL=0\r"), QByteArray("\r\nOK\r\n"));
}

} // namespace

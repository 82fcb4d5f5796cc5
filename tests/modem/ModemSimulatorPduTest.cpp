// The simulator in PDU mode, driven byte by byte through its pseudo-terminal as a modem
// client would drive a real one; what it records and lists is checked with the codec.
#include "AtMachine.h"
#include "ModemSimulator.h"
#include "modem/Pdu.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace parlix;
using Sim = sim::ModemSimulator;

namespace {

class SimulatorPdu : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        m_fd = ::open(sim.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(m_fd, 0);
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
        sim.setEcho(false);
        ASSERT_TRUE(at("AT+CMGF=0").endsWith("OK\r\n"));
    }
    void TearDown() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Writes bytes and reads until the reply holds one of the endings (or 3 s pass).
    QByteArray exchange(const QByteArray &bytes, const QList<QByteArray> &endings)
    {
        [[maybe_unused]] auto n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
        QByteArray reply;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < until) {
            for (const QByteArray &e : endings) {
                if (reply.contains(e))
                    return reply;
            }
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char buf[4096];
                const auto got = ::read(m_fd, buf, sizeof buf);
                if (got > 0)
                    reply.append(buf, got);
            }
        }
        return reply;
    }
    QByteArray at(const QByteArray &command) { return exchange(command + "\r", {"OK\r\n", "ERROR\r\n"}); }

    // AT+CMGS=<length>, the prompt, the PDU and Ctrl-Z; the final answer.
    QByteArray send(const pdu::SubmitPdu &submit)
    {
        const auto e = pdu::encodeSubmit(submit);
        EXPECT_TRUE(e.ok()) << e.error().toStdString();
        const QByteArray prompt = exchange("AT+CMGS=" + QByteArray::number(e->tpduLength) + "\r", {"> "});
        EXPECT_TRUE(prompt.endsWith("> "));
        return exchange(e->hex + "\x1a", {"OK\r\n", "ERROR\r\n", "ERROR: 304\r\n", "ERROR: 500\r\n"});
    }

    QList<pdu::SubmitPdu> partsOf(const QString &text, int reference, bool report = false)
    {
        pdu::SubmitPdu base;
        base.destination.number = QStringLiteral("+447700900123");
        base.statusReportRequest = report;
        return *pdu::submitsForText(base, text, reference);
    }

    // The PDUs of an AT+CMGL=<stat> listing with the length each header gives.
    QList<std::pair<QByteArray, int>> list(int stat)
    {
        const QByteArray reply = at("AT+CMGL=" + QByteArray::number(stat));
        static const QRegularExpression record(QStringLiteral(R"(\+CMGL: (\d+),(\d),,(\d+)\r\n([0-9A-F]+)\r\n)"));
        QList<std::pair<QByteArray, int>> out;
        for (auto it = record.globalMatch(QString::fromLatin1(reply)); it.hasNext();) {
            const auto m = it.next();
            out.append({m.captured(4).toLatin1(), m.captured(3).toInt()});
        }
        return out;
    }

    Sim sim;
    int m_fd = -1;
};

TEST_F(SimulatorPdu, LongAndUnicodeTextsArriveWhole)
{
    const QString texts[] = {
        QString(400, QLatin1Char('g')).replace(150, 3, QStringLiteral("€[]")),
        QStringLiteral("Съешь же ещё этих мягких французских булок, да выпей чаю"),
        QStringLiteral("Party tonight 🎉🥳 at 8?"),
    };
    int reference = 0x30;
    for (const QString &text : texts) {
        for (const pdu::SubmitPdu &part : partsOf(text, ++reference))
            EXPECT_TRUE(send(part).contains("+CMGS: ")) << text.left(10).toStdString();
    }
    EXPECT_EQ(sim.sentMessages().size(), 5);
    const auto joined = sim.sentTexts();
    ASSERT_EQ(joined.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(joined[i].text, texts[i]);
        EXPECT_EQ(joined[i].number, QStringLiteral("+447700900123"));
    }
}

TEST_F(SimulatorPdu, FailedPartIsResentAloneAndJoinsItsSiblings)
{
    const QString text(300, QLatin1Char('x'));
    const auto parts = partsOf(text, 9);
    ASSERT_EQ(parts.size(), 2);
    sim.failNext(QStringLiteral("BODY"), {Sim::Fault::CmsError, 500}, 1, 1);
    EXPECT_TRUE(send(parts[0]).contains("+CMGS: 1"));
    EXPECT_TRUE(send(parts[1]).contains("+CMS ERROR: 500"));
    EXPECT_TRUE(sim.sentTexts().isEmpty()); // part 2 is still missing
    EXPECT_TRUE(send(parts[1]).contains("+CMGS: 2"));
    ASSERT_EQ(sim.sentTexts().size(), 1);
    EXPECT_EQ(sim.sentTexts().first().text, text);

    // A length that does not match the PDU is refused, as a modem does.
    const auto e = pdu::encodeSubmit(parts[0]);
    exchange("AT+CMGS=" + QByteArray::number(e->tpduLength + 1) + "\r", {"> "});
    EXPECT_TRUE(exchange(e->hex + "\x1a", {"ERROR: 304\r\n"}).endsWith("+CMS ERROR: 304\r\n"));
}

TEST_F(SimulatorPdu, ListsInjectedMessagesAsDeliverPdus)
{
    const QString text = QStringLiteral("Zażółć gęślą jaźń. ") + QString(120, QLatin1Char('z'));
    const QList<int> reversed = sim.receiveConcatenatedSms(QStringLiteral("+48601234567"), text, 77, {3, 2, 1});
    ASSERT_EQ(reversed.size(), 3);
    sim.receiveSms(QStringLiteral("Play"), QStringLiteral("short"));
    const QByteArray raw("07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37");
    sim.receivePdu(raw);

    const auto listed = list(4);
    ASSERT_EQ(listed.size(), 5);
    QString joined[3];
    for (int i = 0; i < 3; ++i) {
        const auto d = pdu::decodePdu(listed[i].first, listed[i].second);
        ASSERT_TRUE(d.ok()) << d.error().toStdString();
        const auto &deliver = std::get<pdu::DeliverPdu>(d.value());
        ASSERT_TRUE(deliver.concat.has_value());
        EXPECT_EQ(deliver.concat->sequence, 3 - i); // listed in the order they arrived
        EXPECT_EQ(deliver.originator.number, QStringLiteral("+48601234567"));
        joined[deliver.concat->sequence - 1] = deliver.text;
    }
    EXPECT_EQ(joined[0] + joined[1] + joined[2], text);
    const auto alpha = pdu::decodePdu(listed[3].first, listed[3].second);
    ASSERT_TRUE(alpha.ok());
    EXPECT_EQ(std::get<pdu::DeliverPdu>(alpha.value()).originator.number, QStringLiteral("Play"));
    EXPECT_EQ(listed[4].first, raw);
    EXPECT_TRUE(list(0).isEmpty()); // the listing marked them read
}

TEST_F(SimulatorPdu, StatusReportsFollowTheRoutingChosen)
{
    struct Case
    {
        QByteArray cnmi;
        bool pushed;
    } const cases[] = {{"AT+CNMI=2,1,0,1,0", true}, {"AT+CNMI=2,1,0,0,0", false}};
    int reference = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.cnmi.toStdString());
        ASSERT_TRUE(at(c.cnmi).endsWith("OK\r\n"));
        const QByteArray reply = send(partsOf(QStringLiteral("did it arrive?"), 1, true).first());
        const QByteArray mr = reply.mid(reply.indexOf("+CMGS: ") + 7).split('\r').first();
        QByteArray reportHex;
        int length = -1;
        if (c.pushed) {
            // The report may come in the same read as the answer to the send.
            static const QRegularExpression cds(QStringLiteral(R"(\+CDS: (\d+)\r\n([0-9A-F]+)\r\n)"));
            QByteArray seen = reply;
            for (int i = 0; i < 20 && !cds.match(QString::fromLatin1(seen)).hasMatch(); ++i)
                seen += exchange({}, {"\r\n"});
            const auto m = cds.match(QString::fromLatin1(seen));
            ASSERT_TRUE(m.hasMatch()) << seen.toStdString();
            length = m.captured(1).toInt();
            reportHex = m.captured(2).toLatin1();
        } else {
            const auto listed = list(4);
            ASSERT_EQ(listed.size(), ++reference);
            std::tie(reportHex, length) = listed.last();
        }
        const auto d = pdu::decodePdu(reportHex, length);
        ASSERT_TRUE(d.ok()) << d.error().toStdString();
        const auto &report = std::get<pdu::StatusReport>(d.value());
        EXPECT_EQ(QByteArray::number(report.messageReference), mr);
        EXPECT_EQ(report.recipient.number, QStringLiteral("+447700900123"));
        EXPECT_EQ(report.outcome(), pdu::StatusReport::Outcome::Delivered);
    }
}

TEST_F(SimulatorPdu, TextOnlyModemRefusesPduMode)
{
    sim.setPduModeSupported(false);
    EXPECT_TRUE(at("AT+CMGF=0").endsWith("ERROR\r\n"));
    EXPECT_EQ(at("AT+CMGF=?"), QByteArray("\r\n+CMGF: (1)\r\n\r\nOK\r\n"));
    EXPECT_FALSE(sim.pduMode());
}

} // namespace

namespace {

// The AT side alone, without a device: what a byte stream gets back.
TEST(AtMachine, AnswersBytesWithoutADevice)
{
    sim::AtMachine machine(Sim::Options{});
    machine.input("ATE0\rAT+CMGF=0\rAT+CMGS=200\rAT+CMGS=5\r");
    QByteArray out;
    for (const sim::Reply &r : machine.takeReplies())
        out += r.bytes;
    EXPECT_EQ(out, QByteArray("ATE0\r\r\nOK\r\n\r\nOK\r\n\r\n+CMS ERROR: 304\r\n\r\n> "));
    machine.input("\x1b");
    EXPECT_EQ(machine.takeReplies().back().bytes, QByteArray("\r\nOK\r\n")); // ESC cancels the entry
}

} // namespace

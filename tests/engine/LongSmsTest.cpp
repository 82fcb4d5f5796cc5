#include "EngineHarness.h"
#include "support/QtPrinters.h"

#include "engine/AutoReplyRepository.h"
#include "modem/Pdu.h"

#include <QTest>

#include <gtest/gtest.h>

namespace parlix {
namespace {

using test::EngineHarness;
using Fault = sim::ModemSimulator::Fault;

const QString kNumber = "+447700900123";

QStringList sentTexts(const EngineHarness &h)
{
    QStringList texts;
    for (const auto &m : h.modem.sentMessages())
        texts << m.text;
    return texts;
}

// The second of three parts is refused; the engine restarts before the retry, which must
// send the second and third parts only, each recorded with the modem's message reference.
TEST(LongSmsTextMode, RetryAfterRestartSendsOnlyThePartsThatNeverWent)
{
    const QString text = QStringLiteral("0123456789").repeated(40);
    // Where the modem refuses the second part in each delivery mode.
    const std::pair<SimDeliveryMode, const char *> modes[] = {{SimDeliveryMode::DirectDeliver, "BODY"},
                                                              {SimDeliveryMode::StoreAndDeliver, "AT+CMSS"}};
    for (const auto &[mode, failing] : modes) {
        SCOPED_TRACE(failing);
        EngineHarness h;
        h.settings.SIMCardDeliveryMode = mode;
        h.applySettings();
        ASSERT_EQ(h.connectModem(), QString());
        const qint64 id = h.queue(kNumber, text);
        h.modem.failNext(failing, {Fault::CmsError, 500}, 1, 1);

        h.engine->sendAll();
        EXPECT_EQ(sentTexts(h), QStringList{text.left(160)});
        EXPECT_EQ(h.outboxColumn(id), "");

        h.restartEngine();
        h.applySettings();
        h.engine->sendAll();

        EXPECT_EQ(sentTexts(h), (QStringList{text.left(160), text.mid(160, 160), text.mid(320)}));
        EXPECT_EQ(h.outboxColumn(id), "SENT");
        EXPECT_EQ(h.count("SELECT COUNT(DISTINCT MessageRef) FROM Message_OutBox_Parts "
                          "WHERE Outbox_Id=? AND IsConfirmed=1 AND PartCount=3",
                          {id}),
                  3);
    }
}

TEST(LongSmsTextMode, GsmCutCountsEscapedCharactersTwiceAndReportsReplacedOnes)
{
    EngineHarness h;
    ASSERT_EQ(h.connectModem(), QString());
    const QString euros = QString(6, QChar(0x20AC));
    h.queue(kNumber, QString(150, QLatin1Char('a')) + euros + QChar(0x015F));

    h.engine->sendAll();

    EXPECT_EQ(sentTexts(h),
              (QStringList{QString(150, QLatin1Char('a')) + euros.left(5), QString(QChar(0x20AC)) + QLatin1Char('?')}));
    EXPECT_TRUE(h.logLines().contains("1 character(s) of the SMS to +447700900123 cannot be carried by "
                                      "the GSM character set and are sent as '?'."))
        << h.logLines().join('\n').toStdString();
}

// ---- PDU mode ------------------------------------------------------------------------------------

// The simulator joins the parts it received by their reference; what it joined must be each
// text exactly, and every part must be recorded as confirmed under its own message reference.
TEST(PduSend, TextsArriveWholeInLinkedParts)
{
    const struct
    {
        QString text;
        int parts;
    } cases[] = {{QStringLiteral("0123456789").repeated(40), 3},
                 {QStringLiteral("[x]").repeated(70), 3},
                 {"Meet at 5 \U0001F600 ok", 1},
                 {QStringLiteral("\U0001F600").repeated(40), 2}};
    EngineHarness h;
    ASSERT_EQ(h.connectModem(true, true), QString());
    QStringList texts;
    QList<qint64> ids;
    for (const auto &c : cases) {
        texts << c.text;
        ids << h.queue(kNumber, c.text);
    }

    h.engine->sendAll();

    QStringList joined;
    for (const auto &m : h.modem.sentTexts())
        joined << m.text;
    EXPECT_EQ(joined, texts);
    for (int i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(h.outboxColumn(ids[i]), "SENT");
        EXPECT_EQ(
            h.count("SELECT COUNT(DISTINCT MessageRef) FROM Message_OutBox_Parts WHERE Outbox_Id=? AND IsConfirmed=1",
                    {ids[i]}),
            cases[i].parts);
    }
}

TEST(PduConnect, ModemThatRefusesPduModeIsUsedInTextMode)
{
    EngineHarness h;
    h.modem.setPduModeSupported(false);
    ASSERT_EQ(h.connectModem(true, true), QString());
    EXPECT_TRUE(h.logLines().contains("The modem refused PDU mode (AT+CMGF=0); it is used in text mode."));
    const QString text = QStringLiteral("0123456789").repeated(40);
    h.queue(kNumber, text);
    h.engine->sendAll();
    ASSERT_EQ(h.modem.sentMessages().size(), 3);
    EXPECT_EQ(h.modem.sentMessages().first().text, text.left(160));
}

// A long SMS whose parts arrive last first, in two passes with a restart between them, is
// stored once, exactly, and answered once.
TEST(PduReceive, PartsInReverseOverTwoPassesAndARestartBecomeOneInboxRow)
{
    EngineHarness h;
    ASSERT_EQ(h.connectModem(true, true), QString());
    AutoReplyRepository replies(h.db.db());
    replies.insert("мир", "Thanks");
    ASSERT_TRUE(replies.setSendAutoReply(true));
    const QString text = QStringLiteral("Привет мир ").repeated(15); // trailing blank kept
    const auto inbox = [&] { return h.count("SELECT COUNT(*) FROM Message_InBox"); };

    h.modem.receiveConcatenatedSms(kNumber, text, 77, {3});
    h.engine->receiveAll(200);
    EXPECT_EQ(inbox(), 0);
    EXPECT_TRUE(h.modem.messages().isEmpty()); // the part is kept by us, not on the SIM

    h.restartEngine();
    h.applySettings();
    h.modem.receiveConcatenatedSms(kNumber, text, 77, {2, 1});
    h.engine->receiveAll(200);

    ASSERT_EQ(inbox(), 1) << h.logLines().join('\n').toStdString();
    EXPECT_EQ(h.text("SELECT Message FROM Message_InBox"), text);
    EXPECT_EQ(h.text("SELECT SenderMobileNo FROM Message_InBox"), kNumber);
    EXPECT_EQ(h.count("SELECT COUNT(*) FROM Message_InBox_Parts"), 0);
    EXPECT_EQ(h.count("SELECT COUNT(*) FROM Message_OutBox WHERE Message='Thanks'"), 1);
    EXPECT_TRUE(h.modem.messages().isEmpty());
}

// Parts whose siblings never come wait their time, then go to the inbox with a marker where
// the rest should be; none is dropped, and the next pass leaves the row alone.
TEST(PduReceive, PartsWithoutSiblingsAreStoredMarkedAfterTheWait)
{
    const QString text = QStringLiteral("0123456789").repeated(40);
    const QStringList parts = pdu::splitText(text).parts;
    ASSERT_EQ(parts.size(), 3);
    const QString missing = "[part missing]";
    const struct
    {
        const char *name;
        QList<int> arrived;
        QString stored;
    } cases[] = {
        {"middle", {3, 1}, parts[0] + missing + parts[2]},
        {"last", {1, 2}, parts[0] + parts[1] + missing},
        {"first only arrived late", {2}, missing + parts[1] + missing},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.settings.PartsWaitHours = 2;
        h.applySettings();
        ASSERT_EQ(h.connectModem(true, true), QString());
        h.modem.receiveConcatenatedSms(kNumber, text, 9, c.arrived);
        h.engine->receiveAll(200);
        h.clock.advanceSecs(2 * 3600 - 60);
        h.engine->receiveAll(200);
        EXPECT_EQ(h.count("SELECT COUNT(*) FROM Message_InBox"), 0);

        h.clock.advanceSecs(120);
        h.engine->receiveAll(200);
        h.engine->receiveAll(200);
        ASSERT_EQ(h.count("SELECT COUNT(*) FROM Message_InBox"), 1);
        EXPECT_EQ(h.text("SELECT Message FROM Message_InBox"), c.stored);
        EXPECT_EQ(h.text("SELECT SenderMobileNo FROM Message_InBox"), kNumber);
        EXPECT_EQ(h.count("SELECT COUNT(*) FROM Message_InBox_Parts"), 0);
    }
}

// Reports the modem lists with the SIM's messages, and one it pushes on its own (+CDS, the PDU
// on the next line) while the program is idle, are matched by reference and recipient; unknown
// and unreadable ones are logged and change nothing.
TEST(PduReceive, DeliveryReportsListedOrPushedAreMatchedToTheirRow)
{
    EngineHarness h;
    ASSERT_EQ(h.connectModem(true, true, true), QString());
    const qint64 listed = h.queue(kNumber, QStringLiteral("0123456789").repeated(20)); // two parts
    h.engine->sendAll();
    ASSERT_EQ(h.modem.sentMessages().size(), 2);
    EXPECT_TRUE(h.modem.sentMessages().first().statusReportRequested);
    h.engine->receiveAll(200);
    EXPECT_EQ(h.outboxColumn(listed, "ReportStatus"), "DELIVERED");
    EXPECT_EQ(h.count("SELECT COUNT(*) FROM Message_InBox"), 0);
    EXPECT_TRUE(h.modem.messages().isEmpty());

    const qint64 id = h.queue(kNumber, "pushed");
    h.engine->sendAll();
    ASSERT_EQ(h.modem.sentMessages().size(), 3);
    const int reference = h.modem.sentMessages().last().reference;
    const auto pushed = [](int ref, const QString &to) -> QByteArray {
        pdu::StatusReport r;
        r.messageReference = ref;
        r.recipient.number = to;
        r.serviceCentreTime = QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC);
        r.dischargeTime = r.serviceCentreTime;
        const auto e = pdu::encodeStatusReport(r).value();
        return "\r\n+CDS: " + QByteArray::number(e.tpduLength) + "\r\n" + e.hex + "\r\n";
    };
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString logged;
        QString reportStatus;
    } cases[] = {
        {"unknown reference", pushed(reference + 1, kNumber), "A delivery report for an unknown SMS", "<null>"},
        {"other recipient", pushed(reference, "+447700900999"), "A delivery report for an unknown SMS", "<null>"},
        {"not a PDU", "\r\n+CDS: 3\r\nZZ01\r\n", "**ERROR** A delivery report from the modem could not be read",
         "<null>"},
        {"its own report", pushed(reference, kNumber), "Delivery report for the SMS to", "DELIVERED"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        h.clearLog();
        h.modem.sendRaw(c.bytes);
        QTRY_VERIFY(!h.logLines().filter(c.logged).isEmpty());
        EXPECT_EQ(h.outboxColumn(id, "ReportStatus"), c.reportStatus);
    }
}

} // namespace
} // namespace parlix

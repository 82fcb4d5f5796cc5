#include "EngineHarness.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace parlix {
namespace {

using test::EngineHarness;
using Fault = sim::ModemSimulator::Fault;

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
        const qint64 id = h.queue("+447700900123", text);
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
    h.queue("+447700900123", QString(150, QLatin1Char('a')) + euros + QChar(0x015F));

    h.engine->sendAll();

    EXPECT_EQ(sentTexts(h),
              (QStringList{QString(150, QLatin1Char('a')) + euros.left(5), QString(QChar(0x20AC)) + QLatin1Char('?')}));
    EXPECT_TRUE(h.logLines().contains("1 character(s) of the SMS to +447700900123 cannot be carried by "
                                      "the GSM character set and are sent as '?'."))
        << h.logLines().join('\n').toStdString();
}

} // namespace
} // namespace parlix

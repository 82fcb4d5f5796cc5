#include "EngineHarness.h"

#include "engine/OutboxPass.h"
#include "modem/Modem.h"
#include "store/OutboxRepository.h"
#include "store/Query.h"

#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace parlix::test {

EngineHarness::EngineHarness()
{
    settings.SMSDeliveryMedia = DeliveryMedium::Modem;
    settings.SIMCardDeliveryMode = SimDeliveryMode::DirectDeliver;
    settings.ReceiveIntervalSeconds = 10;
    settings.SendIntervalSeconds = 10;
    createEngine();
}

void EngineHarness::restartEngine()
{
    engine->shutdown();
    engine.reset();
    createEngine();
    if (modem.isPlugged())
        engine->connectModem();
}

void EngineHarness::createEngine()
{
    engine = std::make_unique<Engine>(EngineContext{db.path(), &log, &prompt, &clock, {}});
    engine->setPlaySound([this](const QString &file) { sounds.append(file); });
    engine->setBlockingWindowOpen([] { return false; });
    engine->initialise();
    engine->outboxPass()->setPauseAfterSendMs(0);
    engine->modem()->setBodyResponseTimeout(3000);
    applySettings();
}

QString EngineHarness::connectModem(bool callerId, bool pdu, bool reports)
{
    QString error;
    if (!modem.start(&error))
        return QStringLiteral("the modem simulator does not start: ") + error;
    db.exec("DELETE FROM ModemSettings");
    db.exec("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,FlowControl,"
            "CharacterSet,EnabledCallerId,ModemDelayFactor,SMSFormat,IsDeliveryReportRequested) "
            "VALUES (?,115200,8,'n','1','0','GSM',?,1,?,?)",
            {modem.devicePath(), callerId ? 1 : 0, pdu ? "PDU" : "TEXT", reports ? 1 : 0});
    settings.PduMode = pdu;
    settings.DeliveryReportsRequested = reports;
    applySettings();
    engine->connectModem();
    if (!engine->modem()->ModemReady())
        return QStringLiteral("the modem did not become ready:\n") + logLines().join(QLatin1Char('\n'));
    return {};
}

QStringList EngineHarness::logLines() const
{
    static const QRegularExpression stamp("(?:^|\\r\\n)\\[[^\\]]*\\] : ");
    QStringList lines = log.text().split(stamp);
    lines.removeFirst(); // what comes before the newest entry's stamp: nothing
    if (!lines.isEmpty() && lines.last().endsWith("\r\n"))
        lines.last().chop(2); // the other entries' line breaks went with the stamp after them
    std::reverse(lines.begin(), lines.end());
    return lines;
}

qint64 EngineHarness::count(const QString &sql, const QVariantList &values) const
{
    return sql::scalar(db.db(), sql, values).value();
}

QString EngineHarness::text(const QString &sql, const QVariantList &values) const
{
    auto row = sql::firstRow(db.db(), sql, values);
    if (!row || !row.value())
        return QStringLiteral("<no row>");
    return row.value()->first().toString();
}

qint64 EngineHarness::queue(const QString &recipient, const QString &message, const QString &fromName)
{
    return OutboxRepository(db.db()).insertPending(recipient, message, clock.now(), fromName).value();
}

} // namespace parlix::test

// The AT operations of the Modem: initialisation, identification, call state, and listing,
// storing, sending and deleting SMS on the SIM.

#include "modem/Modem.h"

#include "core/ActivityLog.h"

#include <QElapsedTimer>

namespace parlix {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kOK = QStringLiteral("OK");
const QString kError = QStringLiteral("ERROR");
const QChar kCtrlZ(0x1A);
const QChar kEsc(0x1B);
constexpr int kPartLength = 160;

QString withoutCrLf(QString text)
{
    return text.remove(kCrLf);
}

// 160-character parts; an empty text has none.
QStringList smsParts(const QString &text)
{
    QStringList parts;
    for (qsizetype at = 0; at < text.size(); at += kPartLength)
        parts << text.mid(at, kPartLength);
    return parts;
}

// A delete is done when the modem said "OK" and no error came with it.
ModemResult deleteResult(const QString &reply)
{
    return reply.contains(kOK) && !reply.contains(kError) ? ModemResult::success(reply) : ModemResult::failure(reply);
}

} // namespace

void Modem::logResponse(const QString &commandForLog, const QString &reply, bool keepLineBreaks)
{
    m_log.WriteActivityLog(QStringLiteral("Response for ") + commandForLog + QStringLiteral(" is '") +
                           (keepLineBreaks ? reply : withoutCrLf(reply)) + QStringLiteral("'"));
}

bool Modem::sendRefused() const
{
    return ModemBusy() || !m_portConnected;
}

// ---- Connection ------------------------------------------------------------------------------

void Modem::InitializeModem(const QString &flowControl, const QString &characterSet, bool callerId)
{
    const qint16 delay = scaledDelay(50);
    auto step = [&](const QString &command, const QString &errorText, bool keepLineBreaks) {
        const QString reply = SendATCommand(command + QLatin1Char('\r'), delay, kOK, 5, errorText);
        m_lastModemResponse = reply;
        logResponse(command, reply, keepLineBreaks);
        return m_lastCommandOK;
    };
    auto fail = [this] { CloseCommPort(); };

    if (flowControl.trimmed().toDouble() != 0)
        step(QStringLiteral("AT+FLO=") + flowControl, QString(), true); // its outcome is not judged

    if (!step(QStringLiteral("ATE0"), QStringLiteral("Error occured while executing this command: ATE0"), false))
        return fail();
    if (!step(QStringLiteral("AT+CSCS=\"") + characterSet + QLatin1Char('"'),
              QStringLiteral("Error occured while executing this command: AT+CSCS"), false))
        return fail();
    // From here on the modem reads and writes texts in the set it was just given.
    setCharset(modemCharsetFromName(characterSet));
    if (callerId &&
        !step(QStringLiteral("AT+CLIP=1"), QStringLiteral("Your modem does not support 'CallerID' feature."), false))
        return fail();
    if (!step(QStringLiteral("AT+CMGF=1"), QStringLiteral("Error occured while executing this command: AT+CMGF=1"),
              false))
        return fail();
    setModemReady(true);
}

QString Modem::GetModemManufacturer()
{
    m_lastModemResponse = SendATCommand(QStringLiteral("AT+CGMI\r"), scaledDelay(50), kOK, 5, QString());
    return parseIdentificationLine(m_lastModemResponse);
}

QString Modem::GetModemModel()
{
    m_lastModemResponse = SendATCommand(QStringLiteral("AT+CGMM\r"), scaledDelay(50), kOK, 5, QString());
    return parseIdentificationLine(m_lastModemResponse);
}

// ---- Calls and listings ------------------------------------------------------------------------

QString Modem::GetCallStatus()
{
    m_lastModemResponse = SendATCommand(QStringLiteral("AT+CLCC\r"), scaledDelay(120), kOK, 4, QString());
    return parseCallState(m_lastModemResponse);
}

void Modem::ListSIMMessages(const QString &status, qint16 delay)
{
    m_readingSIM = true;
    const QString wanted = status.toUpper();

    const QString line = withoutCrLf(GetCallStatus()).trimmed().toUpper();
    // A call, or no answer to the question: keep off the modem until the call watcher finds
    // the line idle again.
    if (!line.contains(kError) && !line.contains(kOK))
        m_callInProgress = true;

    auto giveUp = [this] {
        m_simMessages.clear();
        m_readingSIM = false;
    };
    if (ModemBusy() || !m_portConnected)
        return giveUp();

    const QString reply =
        SendATCommand(QStringLiteral("AT+CMGL=\"") + wanted + QStringLiteral("\"\r\n"), delay, kOK, 5, QString());
    m_lastModemResponse = reply;
    if (!m_lastCommandOK || reply.isEmpty())
        return giveUp();
    m_simMessages = parseCmglText(reply);
    m_readingSIM = false;
}

ModemResult Modem::DeleteSIMMessagesByStatus(const QString &status)
{
    ListSIMMessages(status.toUpper(), scaledDelay(200));
    const SIMMessageList listed = m_simMessages;
    ModemResult result = ModemResult::success(QString());
    for (const SIMMessage &m : listed) {
        m_lastModemResponse = SendATCommand(QStringLiteral("AT+CMGD=") + m.Index + QLatin1Char('\r'), scaledDelay(100),
                                            kOK, 5, QString());
        if (result.ok) // the first failure is the one reported
            result = deleteResult(m_lastModemResponse);
    }
    return result;
}

ModemResult Modem::DeleteSIMMessage(qint16 index)
{
    const QString n = QString::number(index);
    m_lastModemResponse = SendATCommand(QStringLiteral("AT+CMGD=") + n + QLatin1Char('\r'), scaledDelay(150), kOK, 5,
                                        QStringLiteral("Error occured while executing this command: AT+CMGD=") + n);
    return deleteResult(m_lastModemResponse);
}

// ---- Sending -----------------------------------------------------------------------------------

// Keeps reading after a message body (or AT+CMSS) until the modem gives its final answer or
// the send's maximum response time has passed since the body was written. Writing anything
// earlier would go into a modem that is still sending, and some abort the send on it.
QString Modem::awaitFinalAnswer(QString reply, const QElapsedTimer &since)
{
    const bool wasBusy = m_exchangeBusy;
    m_exchangeBusy = true;
    m_inExchange = true;
    while (!reply.contains(kOK) && !reply.contains(kError) && !m_portLost && m_portConnected) {
        const qint64 remaining = m_bodyResponseTimeoutMs - since.elapsed();
        if (remaining <= 0)
            break;
        waitForData(int(remaining), kOK);
        reply = ReadModemResponse(kOK);
    }
    m_exchangeBusy = wasBusy;
    m_inExchange = false;
    return m_portLost ? QString() : reply;
}

QString Modem::StoreSMSOnSIM(const QString &number, const QString &text)
{
    QString body = sanitizeMessageBody(QString(text).replace(kCrLf, QStringLiteral("\n")));
    const QString reply =
        SendATCommand(QStringLiteral("AT+CMGW=\"") + number + QStringLiteral("\"\r") + body + kCtrlZ, scaledDelay(75),
                      kOK, 5, QStringLiteral("Error occured while executing this command: AT+CMGW"));
    m_lastModemResponse = reply;
    if (!m_lastCommandOK || reply.contains(kError) || !m_portConnected)
        return {};
    return parseCmgwIndex(reply);
}

QString Modem::SendStoredSMS(qint16 index)
{
    QElapsedTimer since;
    since.start();
    QString reply =
        SendATCommand(QStringLiteral("AT+CMSS=") + QString::number(index) + QLatin1Char('\r'), scaledDelay(1000), kOK,
                      5, QStringLiteral("Error occured while executing this command: AT+CMSS"));
    if (!reply.contains(kOK) && !reply.contains(kError))
        reply = awaitFinalAnswer(reply, since);
    m_lastModemResponse = reply;
    return reply;
}

ModemResult Modem::SendSMSDirect(const QString &number, const QString &text)
{
    const SendingSmsScope sending(*this);
    const QStringList parts = smsParts(QString(text).replace(kCrLf, QStringLiteral("\n")));
    if (parts.isEmpty())
        return ModemResult::failure(); // nothing to send is not a sent SMS

    const QString command = QStringLiteral("AT+CMGS=\"") + number + QLatin1Char('"');
    for (const QString &part : parts) {
        if (sendRefused())
            return ModemResult::failure();

        QString reply =
            SendATCommand(command + QLatin1Char('\r'), scaledDelay(20), QStringLiteral("> "), 10, QString());
        m_lastModemResponse = reply;
        logResponse(command, reply, false);
        if (!m_lastCommandOK) {
            // A prompt that comes late would leave the modem taking the next command as message
            // text; ESC ends that entry without sending anything.
            if (m_portConnected && !m_portLost)
                writeText(QString(kEsc));
            return ModemResult::failure(reply);
        }

        QElapsedTimer since;
        since.start();
        reply = SendATCommand(sanitizeMessageBody(withoutCrLf(part)) + kCtrlZ, scaledDelay(200), kOK, 10, QString());
        m_lastModemResponse = reply;
        if (reply.contains(kError))
            return ModemResult::failure(reply);
        if (!reply.contains(kOK)) {
            reply = awaitFinalAnswer(reply, since);
            m_lastModemResponse = reply;
            if (reply.contains(kError))
                return ModemResult::failure(reply);
            // The message reference alone is the network's acceptance; without it and without
            // "OK" the modem never confirmed the send.
            if (!reply.contains(kOK) && !reply.contains(QLatin1String("+CMGS:")))
                return ModemResult::failure(reply);
        }
    }
    return ModemResult::success(m_lastModemResponse);
}

ModemResult Modem::StoreAndSendSMS(const QString &number, const QString &text)
{
    const SendingSmsScope sending(*this);
    const QStringList parts = smsParts(text);
    if (parts.isEmpty())
        return ModemResult::failure();

    for (const QString &part : parts) {
        if (sendRefused())
            return ModemResult::failure();
        const QString stored = StoreSMSOnSIM(number, part).trimmed();
        if (stored.isEmpty() || !m_lastCommandOK)
            return ModemResult::failure(m_lastModemResponse);
        bool numeric = false;
        const int index = stored.toInt(&numeric);
        if (!numeric || index < 0 || index > 32767)
            return ModemResult::failure(m_lastModemResponse);

        const QString sent = SendStoredSMS(qint16(index));
        if (!sent.contains(QLatin1String("CMSS")))
            return ModemResult::failure(sent);

        if (DeleteSIMMessage(qint16(index)).ok) {
            m_lastModemResponse = kOK;
        } else {
            // The SMS went out; a copy left on the SIM must not make it look unsent (and be
            // sent again by the next pass).
            m_log.WriteActivityLog(QStringLiteral("**WARNING** The sent SMS could not be removed from the SIM card "
                                                  "(storage index ") +
                                   stored + QStringLiteral(")."));
            m_lastModemResponse = sent;
        }
    }
    return ModemResult::success(m_lastModemResponse);
}

} // namespace parlix

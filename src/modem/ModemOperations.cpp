// The AT operations of the Modem: initialisation, identification, call state, and listing,
// storing, sending and deleting SMS on the SIM.

#include "modem/Modem.h"

#include "core/ActivityLog.h"
#include "modem/Pdu.h"

#include <utility>

#include <QElapsedTimer>

namespace parlix {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kOK = QStringLiteral("OK");
const QString kError = QStringLiteral("ERROR");
const QChar kCtrlZ(0x1A);
const QChar kEsc(0x1B);

QString withoutCrLf(QString text)
{
    return text.remove(kCrLf);
}

// The message reference of a "+CMGS: n" or "+CMSS: n" line; -1 when there is none.
int messageReferenceIn(const QString &reply, QLatin1String prefix)
{
    const qsizetype at = reply.indexOf(prefix);
    if (at < 0)
        return -1;
    qsizetype i = at + prefix.size();
    while (i < reply.size() && reply.at(i) == QLatin1Char(' '))
        ++i;
    qsizetype end = i;
    while (end < reply.size() && reply.at(end).isDigit())
        ++end;
    bool ok = false;
    const int ref = reply.mid(i, end - i).toInt(&ok);
    return ok ? ref : -1;
}

const char *charsetName(ModemCharset charset)
{
    switch (charset) {
    case ModemCharset::Gsm:
        return "GSM";
    case ModemCharset::Ansi:
        return "ANSI";
    case ModemCharset::Ascii:
        break;
    }
    return "ASCII";
}

// A delete is done when the modem said "OK" and no error came with it.
ModemResult deleteResult(const QString &reply)
{
    return finalResultLine(reply) == kOK ? ModemResult::success(reply) : ModemResult::failure(reply);
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
    m_unsentListed = false;
    m_unsentCopies.clear();

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
    m_pduMode = false;
    if (m_wantPdu) {
        if (step(QStringLiteral("AT+CMGF=0"), QString(), false)) {
            m_pduMode = true;
            // Reports are kept in the modem's store and read with the listing: nothing is lost
            // when they arrive while the program is busy. Its outcome is not judged: reports
            // are a wish, not a condition for sending.
            if (m_statusReports)
                step(QStringLiteral("AT+CNMI=2,1,0,2,0"), QString(), false);
            setModemReady(true);
            return;
        }
        if (!m_portConnected)
            return fail();
        m_log.WriteActivityLog(QStringLiteral("The modem refused PDU mode (AT+CMGF=0); it is used in text mode."));
    }
    if (!step(QStringLiteral("AT+CMGF=1"), QStringLiteral("Error occured while executing this command: AT+CMGF=1"),
              false))
        return fail();
    // Listings then give each text's length, so that no text is ever read as a listing line.
    // A modem that refuses it is used without; its outcome is not judged.
    step(QStringLiteral("AT+CSDH=1"), QString(), false);
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

bool Modem::acceptsPduMode()
{
    const QString reply = SendATCommand(QStringLiteral("AT+CMGF=0\r"), scaledDelay(50), kOK, 2, QString());
    const bool accepted = m_lastCommandOK && reply.contains(kOK) && !reply.contains(kError);
    if (accepted)
        SendATCommand(QStringLiteral("AT+CMGF=1\r"), scaledDelay(50), kOK, 2, QString());
    return accepted;
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
    m_listingComplete = false;
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

    const QString command = m_pduMode ? QString(QStringLiteral("AT+CMGL=") + QString::number(pduListStatus(wanted)))
                                      : QString(QStringLiteral("AT+CMGL=\"") + wanted + QLatin1Char('"'));
    const QString reply = SendATCommand(command + QStringLiteral("\r\n"), delay, kOK, 5, QString());
    m_lastModemResponse = reply;
    if (!m_lastCommandOK || reply.isEmpty())
        return giveUp();
    CmglListing listing = m_pduMode ? scanCmglPdu(reply) : scanCmglText(reply);
    if (listing.finalLine != kOK)
        return giveUp(); // never store or delete from a listing that did not end
    for (const QString &stray : std::as_const(listing.strayLines)) {
        if (UnsolicitedFilter::isUnsolicitedLine(stray, UnsolicitedFilter::Context::Reply))
            m_unsolicited << stray;
    }
    flushUnsolicited();
    m_simMessages = std::move(listing.messages);
    m_listingComplete = true;
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
    while (finalResultLine(reply).isEmpty() && !m_portLost && m_portConnected) {
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
    return storePartOnSim({QStringLiteral("AT+CMGW=\"") + number + QLatin1Char('"'),
                           sanitizeMessageBody(QString(text).replace(kCrLf, QStringLiteral("\n")))});
}

QString Modem::SendStoredSMS(qint16 index)
{
    QElapsedTimer since;
    since.start();
    QString reply =
        SendATCommand(QStringLiteral("AT+CMSS=") + QString::number(index) + QLatin1Char('\r'), scaledDelay(1000), kOK,
                      5, QStringLiteral("Error occured while executing this command: AT+CMSS"));
    if (finalResultLine(reply).isEmpty())
        reply = awaitFinalAnswer(reply, since);
    m_lastModemResponse = reply;
    return reply;
}

QList<Modem::OutgoingPart> Modem::outgoingParts(const QString &number, const QString &text, int reference, bool stored,
                                                QString *error)
{
    QList<OutgoingPart> parts;
    if (text.isEmpty())
        return parts; // nothing to send is not a sent SMS
    if (!m_pduMode) {
        const QString command =
            (stored ? QStringLiteral("AT+CMGW=\"") : QStringLiteral("AT+CMGS=\"")) + number + QLatin1Char('"');
        for (const QString &part : textModeParts(text, charset()))
            parts.append({command, sanitizeMessageBody(withoutCrLf(part))});
        return parts;
    }
    pdu::SubmitPdu base;
    base.destination.number = number;
    base.statusReportRequest = m_statusReports;
    auto submits = pdu::submitsForText(base, text, reference);
    if (!submits) {
        *error = submits.error();
        return {};
    }
    const QString verb = stored ? QStringLiteral("AT+CMGW=") : QStringLiteral("AT+CMGS=");
    for (const pdu::SubmitPdu &submit : submits.value()) {
        auto encoded = pdu::encodeSubmit(submit);
        if (!encoded) {
            *error = encoded.error();
            return {};
        }
        parts.append({verb + QString::number(encoded.value().tpduLength), QString::fromLatin1(encoded.value().hex)});
    }
    return parts;
}

int Modem::smsPartCount(const QString &text) const
{
    const QString body = QString(text).replace(kCrLf, QStringLiteral("\n"));
    if (!m_pduMode)
        return int(textModeParts(body, charset()).size());
    if (body.isEmpty())
        return 0;
    const pdu::SmsSplit split = pdu::splitText(body);
    return split.parts.size() > pdu::kMaxParts ? 0 : int(split.parts.size());
}

// The parts of one SMS ready for the modem; empty (with the reason logged) when the text cannot
// be encoded. Text mode logs how many characters the set cannot carry, since they go out as '?'.
QList<Modem::OutgoingPart> Modem::preparedParts(const QString &number, const QString &text, int reference, bool stored)
{
    const QString body = QString(text).replace(kCrLf, QStringLiteral("\n"));
    QString why;
    QList<OutgoingPart> parts = outgoingParts(number, body, reference, stored, &why);
    if (parts.isEmpty()) {
        if (!why.isEmpty())
            m_log.WriteActivityLog(QStringLiteral("**ERROR** The SMS to ") + number +
                                   QStringLiteral(" cannot be encoded: ") + why);
        return parts;
    }
    if (!m_pduMode) {
        if (const int lost = uncarriedCount(body, charset()); lost > 0)
            m_log.WriteActivityLog(QStringLiteral("%1 character(s) of the SMS to %2 cannot be carried by the %3 "
                                                  "character set and are sent as '?'.")
                                       .arg(lost)
                                       .arg(number, QLatin1String(charsetName(charset()))));
    }
    return parts;
}

ModemResult Modem::SendSMSDirect(const QString &number, const QString &text, const SmsSendPlan &plan)
{
    const SendingSmsScope sending(*this);
    const QList<OutgoingPart> parts = preparedParts(number, text, plan.concatReference, false);
    if (parts.isEmpty())
        return ModemResult::failure();

    QString result = kOK; // every part may have gone out before
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const int partNo = int(i + 1);
        if (plan.confirmedParts.contains(partNo))
            continue;
        if (sendRefused())
            return ModemResult::failure();
        const OutgoingPart &part = parts.at(i);

        QString reply =
            SendATCommand(part.command + QLatin1Char('\r'), scaledDelay(20), QStringLiteral("> "), 10, QString());
        m_lastModemResponse = reply;
        logResponse(part.command, reply, false);
        if (!m_lastCommandOK) {
            // A prompt that comes late would leave the modem taking the next command as message
            // text; ESC ends that entry without sending anything.
            if (m_portConnected && !m_portLost)
                writeText(QString(kEsc));
            return ModemResult::failure(reply);
        }

        QElapsedTimer since;
        since.start();
        reply = SendATCommand(part.payload + kCtrlZ, scaledDelay(200), kOK, 10, QString());
        m_lastModemResponse = reply;
        QString last = finalResultLine(reply);
        if (last.isEmpty()) {
            reply = awaitFinalAnswer(reply, since);
            m_lastModemResponse = reply;
            last = finalResultLine(reply);
        }
        if (isErrorResult(last))
            return ModemResult::failure(reply);
        // The message reference alone is the network's acceptance; without it and without
        // "OK" the modem never confirmed the send.
        if (last != kOK && !reply.contains(QLatin1String("+CMGS:")))
            return ModemResult::failure(reply);
        if (plan.partSent && !plan.partSent(partNo, messageReferenceIn(reply, QLatin1String("+CMGS:"))))
            return ModemResult::failure(m_lastModemResponse);
        result = reply;
    }
    return ModemResult::success(result);
}

QString Modem::storePartOnSim(const OutgoingPart &part)
{
    // The text goes only after the prompt: a modem still busy with the command line drops
    // whatever comes before it, and would then take the next command as the text.
    const QString errorText = QStringLiteral("Error occured while executing this command: AT+CMGW");
    QString reply =
        SendATCommand(part.command + QLatin1Char('\r'), scaledDelay(20), QStringLiteral("> "), 10, errorText);
    m_lastModemResponse = reply;
    if (!m_lastCommandOK) {
        if (m_portConnected && !m_portLost)
            writeText(QString(kEsc));
        return {};
    }
    reply = SendATCommand(part.payload + kCtrlZ, scaledDelay(75), kOK, 5, errorText);
    m_lastModemResponse = reply;
    if (!m_lastCommandOK || isErrorResult(finalResultLine(reply)) || !m_portConnected)
        return {};
    return parseCmgwIndex(reply);
}

namespace {

QString withoutTrailingBreaks(QString text)
{
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

} // namespace

Modem::UnsentCopy Modem::copyOf(int index, const QString &number, const OutgoingPart &part) const
{
    UnsentCopy copy{index, number, {}};
    if (!m_pduMode) {
        // As the SIM holds it: what the set cannot carry is '?' there.
        copy.text = withoutTrailingBreaks(decodeFromModem(encodeForModem(part.payload, charset()), charset()));
        return copy;
    }
    const auto decoded = pdu::decodePdu(part.payload.toLatin1());
    if (const auto *submit = decoded ? std::get_if<pdu::SubmitPdu>(&decoded.value()) : nullptr) {
        copy.text = submit->text;
        if (submit->concat && submit->concat->total > 1) {
            copy.concatRef = submit->concat->reference;
            copy.partNo = submit->concat->sequence;
        }
    }
    return copy;
}

// Once per connection: the unsent copies an earlier run may have left, to be sent again
// rather than stored anew.
void Modem::listUnsentCopies()
{
    const QString command = m_pduMode ? QStringLiteral("AT+CMGL=2") : QStringLiteral("AT+CMGL=\"STO UNSENT\"");
    const QString reply = SendATCommand(command + QStringLiteral("\r\n"), scaledDelay(200), kOK, 5, QString());
    const CmglListing listing = m_pduMode ? scanCmglPdu(reply) : scanCmglText(reply);
    if (!m_lastCommandOK || listing.finalLine != kOK)
        return; // asked again before the next send
    m_unsentListed = true;
    for (const SIMMessage &m : listing.messages) {
        bool numeric = false;
        const int index = m.Index.toInt(&numeric);
        if (numeric && m.Status == QLatin1String("STO UNSENT") && m.decodeError.isEmpty())
            m_unsentCopies.append({index, m.Number, withoutTrailingBreaks(m.Text), m.concatRef, m.partNo});
    }
}

int Modem::takeUnsentCopy(const QString &number, const OutgoingPart &part)
{
    if (m_unsentCopies.isEmpty())
        return -1;
    const UnsentCopy wanted = copyOf(-1, number, part);
    for (qsizetype i = 0; i < m_unsentCopies.size(); ++i) {
        const UnsentCopy &c = m_unsentCopies.at(i);
        if (c.number == number && c.text == wanted.text && c.concatRef == wanted.concatRef && c.partNo == wanted.partNo)
            return m_unsentCopies.takeAt(i).index;
    }
    return -1;
}

// A copy whose send was refused leaves the SIM; when it cannot, the retry sends it again.
void Modem::dropCopy(int index, const QString &number, const OutgoingPart &part)
{
    const QString reply = SendATCommand(QStringLiteral("AT+CMGD=") + QString::number(index) + QLatin1Char('\r'),
                                        scaledDelay(150), kOK, 5, QString());
    if (finalResultLine(reply) != kOK && parseCmsErrorCode(reply) != 321 && !m_portLost)
        m_unsentCopies.append(copyOf(index, number, part));
}

ModemResult Modem::StoreAndSendSMS(const QString &number, const QString &text, const SmsSendPlan &plan)
{
    const SendingSmsScope sending(*this);
    const QList<OutgoingPart> parts = preparedParts(number, text, plan.concatReference, true);
    if (parts.isEmpty())
        return ModemResult::failure();

    m_lastModemResponse = kOK;
    if (!m_unsentListed && !sendRefused())
        listUnsentCopies();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const int partNo = int(i + 1);
        if (plan.confirmedParts.contains(partNo))
            continue;
        if (sendRefused())
            return ModemResult::failure();
        int index = takeUnsentCopy(number, parts.at(i));
        if (index < 0) {
            const QString stored = storePartOnSim(parts.at(i)).trimmed();
            if (stored.isEmpty() || !m_lastCommandOK)
                return ModemResult::failure(m_lastModemResponse);
            bool numeric = false;
            index = stored.toInt(&numeric);
            if (!numeric || index < 0 || index > 32767)
                return ModemResult::failure(m_lastModemResponse);
        }
        const QString stored = QString::number(index);

        const QString sent = SendStoredSMS(qint16(index));
        if (!sent.contains(QLatin1String("+CMSS:"))) {
            if (m_portConnected && !m_portLost)
                dropCopy(index, number, parts.at(i));
            return ModemResult::failure(sent);
        }
        const int reference = messageReferenceIn(sent, QLatin1String("+CMSS:"));

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
        if (plan.partSent && !plan.partSent(partNo, reference))
            return ModemResult::failure(m_lastModemResponse);
    }
    return ModemResult::success(m_lastModemResponse);
}

} // namespace parlix

#include "AtMachine.h"

#include "modem/ModemCharset.h"
#include "modem/Pdu.h"

#include <QDateTime>

#include <algorithm>

namespace parlix::sim {

namespace {

const QByteArray kCrLf = "\r\n";
const QByteArray kOk = "\r\nOK\r\n";
const QByteArray kError = "\r\nERROR\r\n";
const QByteArray kPrompt = "\r\n> ";
constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;
const QString kBody = QStringLiteral("BODY");

// Text-mode names of the statuses; their position is the PDU-mode number.
const QStringList kStatuses = {QStringLiteral("REC UNREAD"), QStringLiteral("REC READ"), QStringLiteral("STO UNSENT"),
                               QStringLiteral("STO SENT")};

ModemCharset charsetOf(const QString &name)
{
    return modemCharsetFromName(name);
}

QString unquote(QString s)
{
    s = s.trimmed();
    if (s.startsWith(QLatin1Char('"')))
        s.remove(0, 1);
    if (s.endsWith(QLatin1Char('"')))
        s.chop(1);
    return s;
}

bool isExtensionCode(char c)
{
    static const QByteArray codes("\x0A\x14\x28\x29\x2F\x3C\x3D\x3E\x40\x65", 10);
    return codes.contains(c);
}

QByteArray cmsError(int code)
{
    return "\r\n+CMS ERROR: " + QByteArray::number(code) + kCrLf;
}

// "yy/MM/dd,hh:mm:ss+zz" with the zone in quarter hours.
QDateTime timeOfStamp(const QString &stamp)
{
    QDateTime t = QDateTime::fromString(stamp.left(17), QStringLiteral("yy/MM/dd,HH:mm:ss"));
    if (!t.isValid())
        return {};
    t = t.addYears(100 * (t.date().year() < 1990 ? 1 : 0));
    const int quarters = stamp.mid(17).toInt();
    return QDateTime(t.date(), t.time(), Qt::OffsetFromUTC, quarters * 15 * 60);
}

// Octets of the TPDU in a listed PDU: all of them but the service centre field.
int tpduLengthOf(const QByteArray &hex)
{
    const int octets = int(hex.size() / 2);
    bool ok = false;
    const int smsc = hex.left(2).toInt(&ok, 16);
    return ok && smsc + 1 < octets ? octets - smsc - 1 : octets;
}

} // namespace

AtMachine::AtMachine(ModemSimulator::Options options)
    : opts(std::move(options))
{
}

std::deque<Reply> AtMachine::takeReplies()
{
    return std::exchange(m_replies, {});
}

void AtMachine::reset()
{
    echo = true;
    charset = QStringLiteral("IRA");
    clip = false;
    m_line.clear();
    m_entry = Entry::None;
    m_body.clear();
    m_pendingEscape = false;
    m_replies.clear();
}

void AtMachine::queue(QByteArray bytes, int latency, bool endsSend)
{
    m_replies.push_back({latency, std::move(bytes), false, endsSend});
}

QByteArray AtMachine::encode(const QString &text) const
{
    return encodeForModem(text, charsetOf(charset));
}

QString AtMachine::decode(const QByteArray &bytes) const
{
    return decodeFromModem(bytes, charsetOf(charset));
}

int AtMachine::latencyFor(const QString &stem) const
{
    return commandLatency.value(stem, latencyMs);
}

int AtMachine::networkLatency(const QString &stem) const
{
    if (commandLatency.contains(stem))
        return commandLatency.value(stem);
    return bodyLatencyMs >= 0 ? bodyLatencyMs : latencyMs;
}

std::optional<AtMachine::Fault> AtMachine::takeFault(const QString &stem)
{
    auto it = faults.find(stem);
    if (it == faults.end() || it->empty())
        return std::nullopt;
    FaultRule &rule = it->front();
    if (rule.after > 0) {
        --rule.after;
        return std::nullopt;
    }
    const Fault f = rule.fault;
    if (rule.times > 0 && --rule.times == 0)
        it->pop_front();
    return f;
}

bool AtMachine::applyFault(const QString &stem, int latency)
{
    const auto fault = takeFault(stem);
    if (!fault)
        return false;
    switch (fault->kind) {
    case Fault::Error:
        queue(kError, latency);
        break;
    case Fault::CmsError:
        queue(cmsError(fault->code), latency);
        break;
    case Fault::Silence:
        break;
    case Fault::Garbage:
        queue("\r\n#~%\x7F?&!x" + kCrLf, latency);
        break;
    case Fault::Unplug:
        m_replies.push_back({latency, {}, true, false});
        break;
    }
    return true;
}

// ---- Input ----------------------------------------------------------------------------------

void AtMachine::input(QByteArrayView bytes)
{
    for (const char c : bytes)
        onByte(c);
}

void AtMachine::onByte(char c)
{
    if (m_entry != Entry::None) {
        onBodyByte(c);
        return;
    }
    if (echo)
        queue(QByteArray(1, c), 0);
    if (c == '\r') {
        const QByteArray command = std::exchange(m_line, {});
        onCommandLine(command);
    } else if (c == kCtrlZ) {
        m_line.clear(); // a body that came without its prompt
    } else if (c != '\n' && c != kEsc) {
        m_line.append(c);
    }
}

void AtMachine::onBodyByte(char c)
{
    if (m_pendingEscape) {
        m_pendingEscape = false;
        if (isExtensionCode(c)) {
            m_body.append(kEsc);
            m_body.append(c);
            return;
        }
        cancelEntry();
        onByte(c);
        return;
    }
    // The modem is still busy with the command line: whatever comes before its prompt is lost.
    if (strictPrompt && std::chrono::steady_clock::now() < m_promptAt)
        return;
    if (echo)
        queue(QByteArray(1, c), 0);
    if (c == kCtrlZ) {
        finishEntry();
    } else if (c == kEsc) {
        if (textMode && charsetOf(charset) == ModemCharset::Gsm)
            m_pendingEscape = true; // ESC may start an extension-table character
        else
            cancelEntry();
    } else {
        m_body.append(c);
        if (c == '\r')
            queue(kPrompt, 0);
    }
}

void AtMachine::cancelEntry()
{
    commands << QStringLiteral("<cancelled>");
    m_entry = Entry::None;
    m_body.clear();
    queue(kOk, 0);
}

int AtMachine::takeReference()
{
    const int reference = nextReference;
    nextReference = nextReference % 255 + 1;
    return reference;
}

// Sent: the answer with its reference, then the status report when one was asked for.
void AtMachine::recordSent(SentMessage message, int latency, const QString &via)
{
    message.reference = takeReference();
    message.via = via;
    sent.append(message);
    const QByteArray answer = via == QLatin1String("AT+CMSS") ? "\r\n+CMSS: " : "\r\n+CMGS: ";
    queue(answer + QByteArray::number(message.reference) + kCrLf + kOk, latency, true);
    if (!message.statusReportRequested)
        return;
    pdu::StatusReport report;
    report.messageReference = message.reference;
    report.recipient.number = message.number;
    report.serviceCentreTime = QDateTime::currentDateTime().toOffsetFromUtc(0);
    report.dischargeTime = report.serviceCentreTime;
    report.status = reportStatus;
    const auto encoded = pdu::encodeStatusReport(report);
    if (!encoded.ok())
        return;
    if (reportRouting == 1) {
        queue("\r\n+CDS: " + QByteArray::number(encoded->tpduLength) + kCrLf + encoded->hex + kCrLf, 0);
        return;
    }
    const int index = store(QStringLiteral("REC UNREAD"), message.number, QString(), encoded->hex);
    if (index < 0)
        return; // a full SIM loses the report, as a real one does
    sim[index].statusReport = true;
    if (reportRouting == 2)
        queue("\r\n+CDSI: \"SM\"," + QByteArray::number(index) + kCrLf, 0);
}

void AtMachine::finishEntry()
{
    const Entry kind = std::exchange(m_entry, Entry::None);
    const QByteArray body = std::exchange(m_body, {});
    commands << QStringLiteral("<body>");
    if (!textMode)
        return finishPduEntry(kind, body);
    const QString text = decode(body);
    if (kind == Entry::Cmgs) {
        const int latency = networkLatency(QStringLiteral("AT+CMGS"));
        if (applyFault(kBody, latency))
            return;
        SentMessage m;
        m.number = m_entryNumber;
        m.text = text;
        return recordSent(m, latency, QStringLiteral("AT+CMGS"));
    }
    const int latency = latencyFor(QStringLiteral("AT+CMGW"));
    if (applyFault(kBody, latency))
        return;
    const int index = store(m_entryStatus, m_entryNumber, text);
    if (index < 0)
        queue(cmsError(322), latency);
    else
        queue("\r\n+CMGW: " + QByteArray::number(index) + kCrLf + kOk, latency);
}

// A PDU body: hex whose TPDU must be as long as the command said, holding an SMS-SUBMIT.
void AtMachine::finishPduEntry(Entry kind, const QByteArray &hex)
{
    const QString stem = kind == Entry::Cmgs ? QStringLiteral("AT+CMGS") : QStringLiteral("AT+CMGW");
    const int latency = kind == Entry::Cmgs ? networkLatency(stem) : latencyFor(stem);
    const QByteArray trimmed = hex.trimmed();
    const auto decoded = pdu::decodePdu(trimmed);
    const auto *submit = decoded.ok() ? std::get_if<pdu::SubmitPdu>(&decoded.value()) : nullptr;
    if (!submit || tpduLengthOf(trimmed) != m_entryLength)
        return queue(cmsError(304), latency); // invalid PDU mode parameter
    if (applyFault(kBody, latency))
        return;
    SentMessage m;
    m.number = submit->destination.number;
    m.text = submit->text;
    m.pdu = trimmed.toUpper();
    m.statusReportRequested = submit->statusReportRequest;
    if (submit->concat) {
        m.partReference = submit->concat->reference;
        m.partCount = submit->concat->total;
        m.partNumber = submit->concat->sequence;
    }
    if (kind == Entry::Cmgs)
        return recordSent(m, latency, stem);
    const int index = store(m_entryStatus, m.number, m.text, m.pdu);
    if (index < 0)
        queue(cmsError(322), latency);
    else
        queue("\r\n+CMGW: " + QByteArray::number(index) + kCrLf + kOk, latency);
}

void AtMachine::onCommandLine(const QByteArray &raw)
{
    const QString text = decode(raw).trimmed();
    if (text.isEmpty())
        return;
    commands << text;
    const QString upper = text.toUpper();
    if (!upper.startsWith(QLatin1String("AT"))) {
        queue(kError, latencyMs);
        return;
    }
    qsizetype cut = upper.size();
    for (const QChar c : {QLatin1Char('='), QLatin1Char('?')}) {
        const qsizetype at = upper.indexOf(c);
        if (at >= 0)
            cut = std::min(cut, at);
    }
    const QString stem = upper.left(cut);
    const QString rest = text.mid(cut);
    const bool query = rest == QLatin1String("?");
    const bool test = rest == QLatin1String("=?");
    const QString arg = rest.startsWith(QLatin1Char('=')) ? rest.mid(1) : QString();
    const int latency = latencyFor(stem);
    if (applyFault(stem, latency))
        return;
    dispatch(stem, arg, query, test, latency);
}

QByteArray AtMachine::noiseLine() const
{
    return noise.isEmpty() ? QByteArray() : kCrLf + noise + kCrLf;
}

void AtMachine::info(const QString &lines, int latency)
{
    queue(kCrLf + encode(lines) + kCrLf + noiseLine() + kOk, latency);
}

void AtMachine::dispatch(const QString &stem, const QString &arg, bool query, bool test, int latency)
{
    if (stem == QLatin1String("AT")) {
        queue(kOk, latency);
    } else if (stem == QLatin1String("ATE0") || stem == QLatin1String("ATE") || stem == QLatin1String("ATE1")) {
        echo = stem == QLatin1String("ATE1");
        queue(kOk, latency);
    } else if (stem == QLatin1String("AT+FLO")) {
        if (query)
            return info(QStringLiteral("+FLO: %1").arg(flowControl), latency);
        flowControl = arg.toInt();
        queue(kOk, latency);
    } else if (stem == QLatin1String("AT+CSCS")) {
        if (query)
            return info(QStringLiteral("+CSCS: \"%1\"").arg(charset), latency);
        if (test)
            return info(QStringLiteral("+CSCS: (\"%1\")").arg(supportedCharsets.join(QStringLiteral("\",\""))),
                        latency);
        const QString wanted = unquote(arg).toUpper();
        if (!supportedCharsets.contains(wanted))
            return queue("\r\n+CME ERROR: 4\r\n", latency); // operation not supported
        charset = wanted;
        queue(kOk, latency);
    } else if (stem == QLatin1String("AT+CLIP")) {
        if (query)
            return info(QStringLiteral("+CLIP: %1,1").arg(clip ? 1 : 0), latency);
        clip = arg.trimmed() == QLatin1String("1");
        queue(kOk, latency);
    } else if (stem == QLatin1String("AT+CMGF")) {
        if (query)
            return info(QStringLiteral("+CMGF: %1").arg(textMode ? 1 : 0), latency);
        if (test)
            return info(pduSupported ? QStringLiteral("+CMGF: (0,1)") : QStringLiteral("+CMGF: (1)"), latency);
        const QString mode = arg.trimmed();
        if (mode != QLatin1String("1") && (mode != QLatin1String("0") || !pduSupported))
            return queue(kError, latency);
        textMode = mode == QLatin1String("1");
        queue(kOk, latency);
    } else if (stem == QLatin1String("AT+CSDH")) {
        if (query)
            return info(QStringLiteral("+CSDH: %1").arg(showLengths ? 1 : 0), latency);
        showLengths = arg.trimmed() == QLatin1String("1");
        queue(kOk, latency);
    } else if (stem == QLatin1String("AT+CNMI")) {
        newMessageIndication = arg.section(QLatin1Char(','), 1, 1).trimmed().toInt() > 0;
        reportRouting = arg.section(QLatin1Char(','), 3, 3).trimmed().toInt();
        queue(kOk, latency);
    } else if (stem == QLatin1String("AT+CGMI")) {
        info(opts.manufacturer, latency);
    } else if (stem == QLatin1String("AT+CGMM")) {
        info(opts.model, latency);
    } else if (stem == QLatin1String("AT+CLCC")) {
        QByteArray reply;
        if (callActive)
            reply = kCrLf + encode(clccLine()) + kCrLf;
        queue(reply + noiseLine() + kOk, latency);
    } else if (stem == QLatin1String("ATA")) {
        callState = ModemSimulator::Active;
        queue(kOk, latency);
    } else if (stem == QLatin1String("ATH")) {
        callActive = false;
        queue(kOk, latency);
    } else if (stem == QLatin1String("AT+CPMS")) {
        const int used = int(sim.size());
        info(QStringLiteral("+CPMS: \"SM\",%1,%2,\"SM\",%1,%2,\"SM\",%1,%2").arg(used).arg(opts.capacity), latency);
    } else if (stem == QLatin1String("AT+CMGL")) {
        if (textMode)
            return listMessages(arg.isEmpty() ? QStringLiteral("REC UNREAD") : unquote(arg).toUpper(), latency);
        bool ok = arg.isEmpty();
        const int stat = ok ? 0 : arg.trimmed().toInt(&ok);
        if (!ok || stat < 0 || stat > 4)
            return queue(cmsError(302), latency);
        listPdus(stat, latency);
    } else if (stem == QLatin1String("AT+CMGR")) {
        readMessage(arg.toInt(), latency);
    } else if (stem == QLatin1String("AT+CMGD")) {
        deleteMessages(arg, latency);
    } else if (stem == QLatin1String("AT+CMGW") || stem == QLatin1String("AT+CMGS")) {
        const QStringList fields = arg.split(QLatin1Char(','));
        m_entry = stem == QLatin1String("AT+CMGS") ? Entry::Cmgs : Entry::Cmgw;
        if (textMode) {
            m_entryNumber = unquote(fields.value(0));
            m_entryStatus = fields.size() > 2 ? unquote(fields[2]).toUpper() : QStringLiteral("STO UNSENT");
        } else {
            // PDU mode: AT+CMGS=<length>, AT+CMGW=<length>[,<stat>]
            bool ok = false;
            m_entryLength = fields.value(0).trimmed().toInt(&ok);
            if (!ok || m_entryLength < 1 || m_entryLength > 164) {
                m_entry = Entry::None;
                return queue(cmsError(304), latency);
            }
            m_entryStatus = kStatuses.value(fields.value(1, QStringLiteral("2")).trimmed().toInt(), kStatuses[2]);
        }
        if (!kStatuses.contains(m_entryStatus))
            m_entryStatus = QStringLiteral("STO UNSENT");
        m_body.clear();
        m_promptAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(latency);
        queue(kPrompt, latency);
    } else if (stem == QLatin1String("AT+CMSS")) {
        sendStored(arg.section(QLatin1Char(','), 0, 0).toInt());
    } else {
        queue(kError, latency);
    }
}

QString AtMachine::clccLine() const
{
    const int type = callNumber.startsWith(QLatin1Char('+')) ? 145 : 129;
    return QStringLiteral("+CLCC: 1,%1,%2,0,0,\"%3\",%4").arg(callDirection).arg(callState).arg(callNumber).arg(type);
}

QString AtMachine::header(const StoredMessage &m) const
{
    QString h = QStringLiteral("\"%1\",\"%2\",,\"%3\"").arg(m.status, m.number, m.timestamp);
    if (showLengths) {
        // The length in septets: a character of the extension table costs two.
        int septets = 0;
        for (const QChar c : m.text)
            septets += gsmDefaultCode(c.unicode()) < 0 && gsmExtensionCode(c.unicode()) >= 0 ? 2 : 1;
        h += QStringLiteral(",%1,%2").arg(m.number.startsWith(QLatin1Char('+')) ? 145 : 129).arg(septets);
    }
    return h;
}

// The records of a listing, then its final "OK". Cut into pieces that arrive apart when asked
// to, with the noise line between records.
void AtMachine::queueListing(const QList<QByteArray> &records, int latency)
{
    if (listChunkDelayMs <= 0) {
        QByteArray all = records.isEmpty() ? QByteArray() : kCrLf;
        for (const QByteArray &r : records)
            all += r + noiseLine();
        return queue(all + kOk, latency);
    }
    int at = latency;
    QByteArray first = kCrLf;
    for (const QByteArray &r : records) {
        const qsizetype half = r.size() / 2;
        queue(first + r.left(half), at);
        queue(r.mid(half) + noiseLine(), at + listChunkDelayMs / 2);
        at += listChunkDelayMs;
        first.clear();
    }
    queue(kOk, at);
}

void AtMachine::listMessages(const QString &status, int latency)
{
    if (status != QLatin1String("ALL") && !kStatuses.contains(status))
        return queue(cmsError(302), latency);
    QList<QByteArray> records;
    for (auto it = sim.begin(); it != sim.end(); ++it) {
        StoredMessage &m = it.value();
        // A status report has its own text-mode layout; this modem keeps it for PDU mode.
        if (m.statusReport || (status != QLatin1String("ALL") && m.status != status))
            continue;
        records << encode(QStringLiteral("+CMGL: %1,").arg(m.index) + header(m)) + kCrLf + encode(m.text) + kCrLf;
        if (m.status == QLatin1String("REC UNREAD"))
            m.status = QStringLiteral("REC READ");
    }
    queueListing(records, latency);
}

// The stored PDU, or an SMS-DELIVER made from the text (cut to one SMS when it is longer).
QByteArray AtMachine::pduOf(const StoredMessage &m) const
{
    if (!m.pdu.isEmpty())
        return m.pdu;
    pdu::DeliverPdu d;
    d.smsc = QStringLiteral("+447785016005");
    d.originator.number = m.number;
    d.serviceCentreTime = timeOfStamp(m.timestamp);
    const pdu::SmsSplit split = pdu::splitText(m.text);
    d.alphabet = split.alphabet;
    d.text = split.parts.value(0);
    if (split.parts.size() > 1)
        d.text.truncate(d.alphabet == pdu::Alphabet::Gsm7 ? pdu::kSingleGsm7 / 2 : pdu::kSingleUcs2);
    const auto encoded = pdu::encodeDeliver(d);
    return encoded.ok() ? encoded->hex : QByteArray("00");
}

void AtMachine::listPdus(int stat, int latency)
{
    QList<QByteArray> records;
    for (auto it = sim.begin(); it != sim.end(); ++it) {
        StoredMessage &m = it.value();
        const int own = int(kStatuses.indexOf(m.status));
        if (stat != 4 && own != stat)
            continue;
        const QByteArray hex = pduOf(m);
        records << "+CMGL: " + QByteArray::number(m.index) + ',' + QByteArray::number(own) + ",," +
                       QByteArray::number(tpduLengthOf(hex)) + kCrLf + hex + kCrLf;
        if (own == 0)
            m.status = kStatuses[1];
    }
    queueListing(records, latency);
}

void AtMachine::readMessage(int index, int latency)
{
    if (index < 1 || index > opts.capacity)
        return queue(cmsError(321), latency);
    auto it = sim.find(index);
    if (it == sim.end())
        return queue(kOk, latency);
    StoredMessage &m = it.value();
    if (textMode) {
        queue(kCrLf + encode(QStringLiteral("+CMGR: ") + header(m)) + kCrLf + encode(m.text) + kCrLf + kOk, latency);
    } else {
        const QByteArray hex = pduOf(m);
        queue("\r\n+CMGR: " + QByteArray::number(kStatuses.indexOf(m.status)) + ",," +
                  QByteArray::number(tpduLengthOf(hex)) + kCrLf + hex + kCrLf + kOk,
              latency);
    }
    if (m.status == QLatin1String("REC UNREAD"))
        m.status = QStringLiteral("REC READ");
}

void AtMachine::deleteMessages(const QString &arg, int latency)
{
    bool ok = false;
    const int index = arg.section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
    const int flag = arg.section(QLatin1Char(','), 1, 1).trimmed().toInt();
    if (flag > 0) {
        static const QList<QStringList> kDoomed = {
            {},
            {QStringLiteral("REC READ")},
            {QStringLiteral("REC READ"), QStringLiteral("STO SENT")},
            {QStringLiteral("REC READ"), QStringLiteral("STO SENT"), QStringLiteral("STO UNSENT")},
            kStatuses,
        };
        const QStringList doomed = kDoomed.value(std::min(flag, 4));
        for (auto it = sim.begin(); it != sim.end();)
            it = doomed.contains(it->status) ? sim.erase(it) : std::next(it);
        return queue(kOk, latency);
    }
    if (!ok || index < 1 || index > opts.capacity || (strictDelete && !sim.contains(index)))
        return queue(cmsError(321), latency);
    sim.remove(index);
    queue(kOk, latency);
}

void AtMachine::sendStored(int index)
{
    const int latency = networkLatency(QStringLiteral("AT+CMSS"));
    auto it = sim.find(index);
    if (it == sim.end())
        return queue(cmsError(321), latency);
    SentMessage m;
    m.number = it->number;
    m.text = it->text;
    if (!it->pdu.isEmpty()) {
        const auto decoded = pdu::decodePdu(it->pdu);
        if (const auto *s = decoded.ok() ? std::get_if<pdu::SubmitPdu>(&decoded.value()) : nullptr) {
            m.pdu = it->pdu;
            m.statusReportRequested = s->statusReportRequest;
            if (s->concat) {
                m.partReference = s->concat->reference;
                m.partCount = s->concat->total;
                m.partNumber = s->concat->sequence;
            }
        }
    }
    if (it->status.startsWith(QLatin1String("STO")))
        it->status = QStringLiteral("STO SENT");
    recordSent(m, latency, QStringLiteral("AT+CMSS"));
}

int AtMachine::store(const QString &status, const QString &number, const QString &text, const QByteArray &pdu,
                     const QString &timestamp)
{
    for (int i = 1; i <= opts.capacity; ++i) {
        if (!sim.contains(i)) {
            const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yy/MM/dd,HH:mm:ss")) + "+00";
            StoredMessage m;
            m.index = i;
            m.status = status;
            m.number = number;
            m.text = text;
            m.timestamp = timestamp.isEmpty() ? stamp : timestamp;
            m.pdu = pdu;
            sim.insert(i, m);
            return i;
        }
    }
    return -1;
}

int AtMachine::receive(const QString &number, const QString &text, const QByteArray &pdu)
{
    const int index = store(QStringLiteral("REC UNREAD"), number, text, pdu);
    if (index > 0 && newMessageIndication)
        push("\r\n+CMTI: \"SM\"," + QByteArray::number(index) + kCrLf);
    return index;
}

} // namespace parlix::sim

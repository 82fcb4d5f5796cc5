#include "modem/ModemReplies.h"

#include "modem/ModemCharset.h"
#include "modem/Pdu.h"
#include "modem/UnsolicitedFilter.h"

#include <QStringList>

#include <optional>

namespace parlix {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString unquoted(QString field)
{
    field.remove(QLatin1Char('"'));
    return field.trimmed();
}

// The text from `from` up to the next CR LF (or the end).
QString restOfLine(const QString &text, qsizetype from)
{
    const qsizetype end = text.indexOf(kCrLf, from);
    return end < 0 ? text.mid(from) : text.mid(from, end - from);
}

// Fields of a result line split at commas outside double quotes; quotes are kept.
QStringList splitFields(const QString &line)
{
    QStringList fields;
    QString current;
    bool quoted = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (c == QLatin1Char(',') && !quoted) {
            fields << current;
            current.clear();
        } else {
            current += c;
        }
    }
    fields << current;
    return fields;
}

// The payload of the first line that starts with prefix (after optional blanks), or no value.
std::optional<QString> firstLineWith(const QString &text, QLatin1String prefix)
{
    const qsizetype at = text.indexOf(prefix);
    if (at < 0)
        return std::nullopt;
    return restOfLine(text, at + prefix.size());
}

} // namespace

namespace {

const QStringList kStatusNames = {QStringLiteral("REC UNREAD"), QStringLiteral("REC READ"),
                                  QStringLiteral("STO UNSENT"), QStringLiteral("STO SENT")};

bool isFinal(QStringView line)
{
    return line == QLatin1String("OK") || line == QLatin1String("NO CARRIER") || isErrorResult(line.toString());
}

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool isQuoted(QStringView field)
{
    return field.size() >= 2 && field.startsWith(QLatin1Char('"')) && field.endsWith(QLatin1Char('"'));
}

// The length of a text in septets, as the modem counts a GSM 7-bit message.
int septets(QStringView text)
{
    int n = 0;
    for (const QChar c : text)
        n += gsmDefaultCode(c.unicode()) < 0 && gsmExtensionCode(c.unicode()) >= 0 ? 2 : 1;
    return n;
}

// The lines of a reply: content without its line break, and whether the break has come.
struct Line
{
    qsizetype start;
    qsizetype end;
    bool terminated;
};

QList<Line> linesOf(const QString &text)
{
    QList<Line> lines;
    for (qsizetype pos = 0; pos < text.size();) {
        const qsizetype nl = text.indexOf(QLatin1Char('\n'), pos);
        if (nl < 0) {
            lines.append({pos, text.size(), false});
            break;
        }
        qsizetype end = nl;
        while (end > pos && text[end - 1] == QLatin1Char('\r'))
            --end;
        lines.append({pos, end, true});
        pos = nl + 1;
    }
    return lines;
}

// A listing header that validates: "+CMGL:", a numeric index, a known status (quoted in
// text mode, a number in PDU mode). Anything else is not the start of a record.
struct Header
{
    SIMMessage message;
    int length = -1;     // the body's length when the modem gave it
    bool noBody = false; // a status report in text mode
};

std::optional<Header> readHeader(QStringView line, bool pdu)
{
    if (!line.startsWith(QLatin1String("+CMGL:")))
        return std::nullopt;
    QStringList fields = splitFields(line.mid(6).toString());
    for (QString &f : fields)
        f = f.trimmed();
    if (fields.size() < 3 || !allDigits(fields[0]))
        return std::nullopt;
    Header h;
    h.message.Index = fields[0];
    if (pdu) {
        bool numeric = false;
        const int stat = fields[1].toInt(&numeric);
        if (!numeric || stat < 0 || stat >= kStatusNames.size())
            return std::nullopt;
        h.message.Status = kStatusNames.at(stat);
        if (allDigits(fields.last()))
            h.length = fields.last().toInt();
        return h;
    }
    if (!isQuoted(fields[1]) || !kStatusNames.contains(unquoted(fields[1])))
        return std::nullopt;
    h.message.Status = unquoted(fields[1]);
    h.noBody = allDigits(fields[2]); // <fo> of a status report where a number would stand
    h.message.Number = unquoted(fields[2]);
    for (qsizetype k = 3; k < fields.size(); ++k) {
        if (fields[k].contains(QLatin1Char('/'))) {
            h.message.Timestamp = unquoted(fields[k]);
            break;
        }
    }
    if (fields.size() >= 6 && allDigits(fields.last()) && allDigits(fields.at(fields.size() - 2)))
        h.length = fields.last().toInt();
    return h;
}

// A part of a long SMS says which message it belongs to; a one-part message stays whole.
void takePart(SIMMessage &m, const std::optional<pdu::Concat> &concat)
{
    if (concat && concat->total > 1) {
        m.concatRef = concat->reference;
        m.partCount = concat->total;
        m.partNo = concat->sequence;
    }
}

CmglListing scanCmgl(const QString &reply, bool pdu)
{
    CmglListing out;
    const QList<Line> lines = linesOf(reply);
    auto content = [&](qsizetype k) { return QStringView(reply).mid(lines[k].start, lines[k].end - lines[k].start); };
    // A final result ends the listing when nothing but unsolicited codes comes after it.
    auto finalAt = [&](qsizetype k) {
        if (!lines[k].terminated || !isFinal(content(k)))
            return false;
        for (qsizetype j = k + 1; j < lines.size(); ++j) {
            const QString c = content(j).toString();
            if (!c.isEmpty() && !UnsolicitedFilter::isUnsolicitedLine(c, UnsolicitedFilter::Context::Reply))
                return false;
        }
        return true;
    };
    for (qsizetype i = 0; i < lines.size();) {
        const QStringView line = content(i);
        if (auto header = readHeader(line, pdu)) {
            ++i;
            if (header->noBody)
                continue;
            SIMMessage m = header->message;
            if (i < lines.size()) {
                // The first line after a header is always its body, even when it reads "OK".
                const qsizetype bodyStart = lines[i].start;
                qsizetype last = i;
                auto lengthTo = [&](qsizetype k) {
                    return septets(QStringView(reply).mid(bodyStart, lines[k].end - bodyStart));
                };
                if (header->length >= 0 || pdu) {
                    // A line that would start a record or end the listing belongs to the text
                    // only when the length says so: a text whose length the modem counted
                    // differently never swallows the next record.
                    while (!pdu && last + 1 < lines.size() && lengthTo(last) < header->length &&
                           ((!readHeader(content(last + 1), false) && !isFinal(content(last + 1))) ||
                            lengthTo(last + 1) <= header->length))
                        ++last;
                } else {
                    while (last + 1 < lines.size() && !readHeader(content(last + 1), false) && !finalAt(last + 1))
                        ++last;
                }
                m.Text = reply.mid(bodyStart, lines[last].end - bodyStart);
                i = last + 1;
            }
            if (pdu) {
                const QString hex = m.Text.trimmed();
                m.Text.clear();
                auto decoded = pdu::decodePdu(hex.toLatin1(), header->length);
                if (!decoded) {
                    m.decodeError = decoded.error();
                } else if (const auto *d = std::get_if<pdu::DeliverPdu>(&decoded.value())) {
                    m.Number = d->originator.number;
                    m.Text = d->text;
                    m.Timestamp = d->serviceCentreTime.toString(Qt::ISODate);
                    takePart(m, d->concat);
                } else if (const auto *s = std::get_if<pdu::SubmitPdu>(&decoded.value())) {
                    m.Number = s->destination.number;
                    m.Text = s->text;
                    takePart(m, s->concat);
                } else if (const auto *r = std::get_if<pdu::StatusReport>(&decoded.value())) {
                    m.Number = r->recipient.number;
                    m.isReport = true;
                    m.reportReference = r->messageReference;
                    m.reportStatus = r->status;
                }
            }
            out.messages.append(m);
            continue;
        }
        if (finalAt(i)) {
            out.finalLine = line.toString();
            for (++i; i < lines.size(); ++i) {
                if (!content(i).isEmpty())
                    out.strayLines << content(i).toString();
            }
            break;
        }
        if (!line.isEmpty())
            out.strayLines << line.toString();
        ++i;
    }
    return out;
}

} // namespace

bool isErrorResult(const QString &finalLine)
{
    return finalLine == QLatin1String("ERROR") || finalLine == QLatin1String("COMMAND NOT SUPPORT") ||
           finalLine.startsWith(QLatin1String("+CMS ERROR")) || finalLine.startsWith(QLatin1String("+CME ERROR"));
}

QString finalResultLine(const QString &reply)
{
    qsizetype end = reply.size();
    while (end > 0 && (reply[end - 1] == QLatin1Char('\r') || reply[end - 1] == QLatin1Char('\n') ||
                       reply[end - 1] == QLatin1Char(' ')))
        --end;
    if (end == 0 || (end == reply.size() && reply != QLatin1String("ERROR")))
        return {}; // the last line is still arriving (the bare "ERROR" is this exchange's error mark)
    const qsizetype start = reply.lastIndexOf(QLatin1Char('\n'), end - 1) + 1;
    const QStringView last = QStringView(reply).mid(start, end - start);
    return isFinal(last) ? last.toString() : QString();
}

CmglListing scanCmglText(const QString &reply)
{
    return scanCmgl(reply, false);
}

CmglListing scanCmglPdu(const QString &reply)
{
    return scanCmgl(reply, true);
}

int pduListStatus(const QString &status)
{
    const qsizetype at = kStatusNames.indexOf(status.trimmed().toUpper());
    return at < 0 ? 4 : int(at);
}

QString parseCmgwIndex(const QString &reply)
{
    if (auto line = firstLineWith(reply, QLatin1String("+CMGW:")))
        return line->trimmed();
    const qsizetype space = reply.indexOf(QLatin1Char(' '), 6);
    if (space < 0)
        return {};
    return restOfLine(reply, space).trimmed();
}

QString parseCallState(const QString &reply)
{
    if (auto line = firstLineWith(reply, QLatin1String("+CLCC:"))) {
        const QStringList pieces = line->split(QLatin1Char(','));
        if (pieces.size() < 3)
            return {};
        static const QStringList kStates = {
            QStringLiteral("Active"),   QStringLiteral("Held"),     QStringLiteral("Dialing"),
            QStringLiteral("Alerting"), QStringLiteral("Incoming"), QStringLiteral("Waiting"),
        };
        bool ok = false;
        const QString code = pieces[2].trimmed();
        const int state = code.toInt(&ok);
        if (!ok || code.size() != 1 || state < 0 || state >= kStates.size())
            return {};
        return kStates[state];
    }
    if (isErrorResult(finalResultLine(reply)))
        return QStringLiteral("ERROR");
    return reply;
}

QString parseIdentificationLine(const QString &reply)
{
    const QStringList pieces = reply.split(kCrLf);
    if (pieces.size() < 2)
        return {};
    QString line = pieces[1].trimmed();
    for (const QLatin1String prefix : {QLatin1String("+CGMI:"), QLatin1String("+CGMM:")}) {
        if (line.startsWith(prefix))
            line = line.mid(prefix.size()).trimmed();
    }
    return line;
}

QString parseClipNumber(const QString &text)
{
    const auto line = firstLineWith(text, QLatin1String("+CLIP:"));
    if (!line)
        return {};
    const QString fields = line->trimmed();
    if (!fields.startsWith(QLatin1Char('"')))
        return fields.section(QLatin1Char(','), 0, 0).trimmed();
    const qsizetype close = fields.indexOf(QLatin1Char('"'), 1);
    return close < 0 ? QString() : fields.mid(1, close - 1);
}

QString parseClccNumber(const QString &text)
{
    const auto line = firstLineWith(text, QLatin1String("+CLCC:"));
    if (!line)
        return {};
    const QStringList fields = splitFields(*line);
    if (fields.size() < 6)
        return {};
    return unquoted(fields[5]);
}

int parseCmsErrorCode(const QString &reply)
{
    for (const QLatin1String prefix : {QLatin1String("+CMS ERROR:"), QLatin1String("+CME ERROR:")}) {
        if (auto line = firstLineWith(reply, prefix)) {
            bool ok = false;
            const int code = line->trimmed().toInt(&ok);
            return ok ? code : -1;
        }
    }
    return -1;
}

} // namespace parlix

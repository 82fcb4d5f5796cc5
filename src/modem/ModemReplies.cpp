#include "modem/ModemReplies.h"

#include "modem/Pdu.h"

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

SIMMessageList parseCmglText(const QString &reply)
{
    // Some modems write "+CMGL:1," with no blank; the record then starts right after the colon.
    const QStringList pieces = reply.split(QStringLiteral("+CMGL:"));
    SIMMessageList list;
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        QString record = pieces[i];
        if (record.startsWith(QLatin1Char(' ')))
            record.remove(0, 1);
        const bool last = i == pieces.size() - 1;

        const qsizetype firstBreak = record.indexOf(kCrLf);
        const QString header = firstBreak >= 1 ? record.left(firstBreak) : QStringLiteral(" , , ,");
        const QString body = firstBreak >= 0 ? record.mid(firstBreak + 2) : record.mid(1);

        const QStringList fields = header.split(QLatin1Char(','));
        SIMMessage m;
        m.Index = fields.value(0).trimmed();
        m.Status = unquoted(fields.value(1));
        m.Number = unquoted(fields.value(2));

        const qsizetype end = last ? body.lastIndexOf(QStringLiteral("\r\nOK\r\n")) : body.lastIndexOf(kCrLf);
        m.Text = end >= 0 ? body.left(end) : QString();
        list.append(m);
    }
    return list;
}

namespace {

const QStringList kStatusNames = {QStringLiteral("REC UNREAD"), QStringLiteral("REC READ"),
                                  QStringLiteral("STO UNSENT"), QStringLiteral("STO SENT")};

} // namespace

int pduListStatus(const QString &status)
{
    const qsizetype at = kStatusNames.indexOf(status.trimmed().toUpper());
    return at < 0 ? 4 : int(at);
}

SIMMessageList parseCmglPdu(const QString &reply)
{
    const QStringList pieces = reply.split(QStringLiteral("+CMGL:"));
    SIMMessageList list;
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QString &record = pieces[i];
        const qsizetype firstBreak = record.indexOf(kCrLf);
        const QStringList fields = (firstBreak >= 0 ? record.left(firstBreak) : record).split(QLatin1Char(','));
        SIMMessage m;
        m.Index = fields.value(0).trimmed();
        bool numeric = false;
        const int stat = fields.value(1).trimmed().toInt(&numeric);
        m.Status =
            numeric && stat >= 0 && stat < kStatusNames.size() ? kStatusNames.at(stat) : unquoted(fields.value(1));
        bool haveLength = false;
        const int length = fields.size() >= 3 ? fields.last().trimmed().toInt(&haveLength) : -1;

        QString hex = firstBreak >= 0 ? record.mid(firstBreak + 2) : QString();
        hex = hex.left(hex.indexOf(kCrLf)).trimmed();
        auto decoded = pdu::decodePdu(hex.toLatin1(), haveLength ? length : -1);
        if (!decoded) {
            m.decodeError = decoded.error();
            list.append(m);
            continue;
        }
        if (const auto *d = std::get_if<pdu::DeliverPdu>(&decoded.value())) {
            m.Number = d->originator.number;
            m.Text = d->text;
            if (d->concat && d->concat->total > 1) {
                m.concatRef = d->concat->reference;
                m.partCount = d->concat->total;
                m.partNo = d->concat->sequence;
            }
        } else if (const auto *s = std::get_if<pdu::SubmitPdu>(&decoded.value())) {
            m.Number = s->destination.number;
            m.Text = s->text;
        } else if (const auto *r = std::get_if<pdu::StatusReport>(&decoded.value())) {
            m.Number = r->recipient.number;
            m.isReport = true;
            m.reportReference = r->messageReference;
            m.reportStatus = r->status;
        }
        list.append(m);
    }
    return list;
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
    QString line = reply;
    if (auto call = firstLineWith(reply, QLatin1String("+CLCC:")))
        line = *call;
    if (line.contains(QLatin1Char(','))) {
        const QStringList pieces = line.split(QLatin1Char(','));
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
    if (reply.contains(QLatin1String("ERROR")))
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

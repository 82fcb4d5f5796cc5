#include "engine/SmtpMessage.h"

#include <QList>
#include <QRandomGenerator>

namespace parlix {

namespace {

bool isPlainAscii(const QByteArray &bytes)
{
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || (u < 0x20 && c != '\t'))
            return false;
    }
    return true;
}

// RFC 2045 quoted-printable of one line of text, with soft breaks before 76 characters.
QByteArray quotedPrintableLine(const QByteArray &line)
{
    QByteArray out;
    int column = 0;
    auto put = [&](const QByteArray &piece) {
        if (column + piece.size() > 75) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += int(piece.size());
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto u = static_cast<unsigned char>(line.at(i));
        const bool last = i == line.size() - 1;
        const bool plain = (u >= 33 && u <= 126 && u != '=') || ((u == ' ' || u == '\t') && !last);
        if (plain)
            put(QByteArray(1, char(u)));
        else
            put('=' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0'));
    }
    return out;
}

// An address for a header: a local part that is not a plain dot-atom (a masked sender built
// from a name with blanks) is quoted, as RFC 5322 asks.
QByteArray headerAddress(const QString &address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    const QString local = at < 0 ? address : address.left(at);
    static const QString atext = QStringLiteral("!#$%&'*+-/=?^_`{|}~.");
    bool atom = !local.isEmpty();
    for (const QChar c : local)
        atom = atom && (c.isLetterOrNumber() || atext.contains(c)) && c.unicode() < 0x80;
    if (atom || at < 0)
        return address.toUtf8();
    QString quoted = local;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return ('"' + quoted + '"' + address.mid(at)).toUtf8();
}

QByteArray encodedDisplayName(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    if (isPlainAscii(utf8)) {
        QByteArray quoted = utf8;
        quoted.replace('\\', "\\\\").replace('"', "\\\"");
        return '"' + quoted + '"';
    }
    return "=?UTF-8?B?" + utf8.toBase64() + "?=";
}

} // namespace

QByteArray buildSmtpMessage(const SmtpSendRequest &request, const QDateTime &date)
{
    QByteArray from = headerAddress(request.fromAddress.trimmed());
    if (!request.fromName.trimmed().isEmpty())
        from = encodedDisplayName(request.fromName.trimmed()) + " <" + from + '>';

    QString body = request.message;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QList<QByteArray> lines = body.toUtf8().split('\n');
    bool plain = true;
    for (const QByteArray &line : lines)
        plain = plain && isPlainAscii(line) && line.size() <= 998;

    const quint64 unique = QRandomGenerator::global()->generate64();
    QByteArray m;
    m += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    m += "From: " + from + "\r\n";
    m += "To: <" + request.toAddress.trimmed().toUtf8() + ">\r\n";
    m += "Subject: \r\n";
    m += "Message-ID: <" + QByteArray::number(date.toSecsSinceEpoch()) + '.' + QByteArray::number(unique, 16) +
         "@parlix.local>\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\n";
    m += plain ? "Content-Transfer-Encoding: 7bit\r\n" : "Content-Transfer-Encoding: quoted-printable\r\n";
    m += "\r\n";
    for (qsizetype i = 0; i < lines.size(); ++i) {
        m += plain ? lines.at(i) : quotedPrintableLine(lines.at(i));
        m += "\r\n";
    }
    return m;
}

} // namespace parlix

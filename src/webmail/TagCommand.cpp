#include "webmail/TagCommand.h"

namespace parlix::webmail {

QString tagValue(const QString &text, const QString &tag)
{
    const QString opening = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString closing = QStringLiteral("</") + tag + QLatin1Char('>');
    const qsizetype open = text.indexOf(opening, 0, Qt::CaseInsensitive);
    const qsizetype close = text.indexOf(closing, 0, Qt::CaseInsensitive);
    if (open < 0 || close < 0)
        return {};
    const qsizetype start = open + opening.size();
    // Both searches start at the beginning on purpose: a closing tag written before the
    // opening one leaves the field empty rather than reaching for a later closing tag.
    if (close < start)
        return {};
    return text.mid(start, close - start).trimmed();
}

TagCommand parseTagCommand(const QString &text)
{
    return TagCommand{tagValue(text, QStringLiteral("smsusername")), tagValue(text, QStringLiteral("smspassword")),
                      tagValue(text, QStringLiteral("tomobilenumbers")), tagValue(text, QStringLiteral("message"))};
}

QString cleanRecipientNumber(const QString &number)
{
    QString out = number;
    out.remove(QLatin1Char('-'));
    out.remove(QLatin1Char('.'));
    out.remove(QLatin1Char(' '));
    return out.trimmed();
}

QStringList recipientNumbers(const QString &numbersField)
{
    QStringList out;
    const QStringList parts = numbersField.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const QString number = cleanRecipientNumber(part);
        if (!number.isEmpty())
            out.append(number);
    }
    return out;
}

} // namespace parlix::webmail

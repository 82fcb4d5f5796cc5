#include "engine/SmsRules.h"

namespace parlix {

bool isSendableNumber(const QString &recipient)
{
    QString n = recipient.trimmed();
    if (n.startsWith(QLatin1Char('+')))
        n.remove(0, 1);
    if (n.isEmpty())
        return false;
    for (const QChar c : n) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

MixModeChoice chooseMixModeMedium(const QString &recipient, const QString &prefixes,
                                  DeliveryMedium mixModeDeliveryMedia)
{
    MixModeChoice choice;
    QString m = recipient.trimmed();
    m.remove(QLatin1Char('+'));
    if (m.startsWith(QLatin1Char('0')))
        m.remove(0, 1);
    choice.checkedNumber = m;

    const DeliveryMedium preferred = mixModeDeliveryMedia;
    const bool preferredKnown = preferred == DeliveryMedium::Modem || preferred == DeliveryMedium::SmtpGateway;
    if (prefixes.trimmed().isEmpty())
        return choice;
    const QStringList list = prefixes.split(QLatin1Char(','));
    for (const QString &prefix : list) {
        if (m.startsWith(prefix)) {
            choice.matchedPrefix = prefix;
            if (preferredKnown)
                choice.medium = preferred;
            return choice;
        }
    }
    if (preferred == DeliveryMedium::Modem)
        choice.medium = DeliveryMedium::SmtpGateway;
    else if (preferred == DeliveryMedium::SmtpGateway)
        choice.medium = DeliveryMedium::Modem;
    return choice;
}

QString normaliseSenderNumber(const QString &sender)
{
    const QString s = sender.trimmed();
    if (s.length() > 10 && (s.startsWith(QLatin1Char('+')) || s.startsWith(QLatin1Char('0'))))
        return s;
    return QLatin1Char('+') + s;
}

QString keywordSearchText(const QString &message)
{
    QString k = message.trimmed();
    k.remove(QStringLiteral("\r\n"));
    k.remove(QLatin1Char('\r'));
    k.remove(QLatin1Char('\n')); // modems pass a typed line break on as a bare LF
    return k.toUpper().trimmed();
}

std::optional<KeywordReply> firstMatchingKeyword(const QString &searchText, const QVector<KeywordReply> &rows)
{
    for (const KeywordReply &row : rows) {
        if (!row.command)
            continue;
        if (searchText.contains(row.command->toUpper(), Qt::CaseInsensitive))
            return row;
    }
    return std::nullopt;
}

} // namespace parlix

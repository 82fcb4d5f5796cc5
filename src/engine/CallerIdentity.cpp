#include "engine/CallerIdentity.h"

namespace parlix {

CallerIdentity IdentifyCallerNumber(const QString &number, const QVector<CountryCodeRow> &countries)
{
    CallerIdentity id;
    id.number = number;
    if (id.number.startsWith(QLatin1Char('+')))
        id.number.remove(0, 1);
    else if (id.number.startsWith(QStringLiteral("00")))
        id.number.remove(0, 2);

    qsizetype codeLength = 0;
    for (const CountryCodeRow &row : countries) {
        const QString code = row.countryCode.trimmed();
        if (code.isEmpty())
            continue;
        if (id.number.left(code.length()) == code) {
            id.countryCode = code;
            id.countryId = QString::number(row.countryId);
            codeLength = code.length();
            break;
        }
    }

    id.localPart = id.number.mid(codeLength);
    if (id.localPart.length() > 10 && id.localPart.startsWith(QLatin1Char('0')))
        id.localPart.remove(0, 1);
    if (id.localPart.startsWith(QLatin1Char('9'))) {
        id.isMobile = true;
        id.mobileNumber = id.localPart;
    }
    return id;
}

} // namespace parlix

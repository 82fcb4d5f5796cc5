#pragma once

#include <QString>
#include <QVector>

namespace parlix {

struct CountryCodeRow
{
    qint64 countryId = 0;
    QString countryCode; // as stored; may be empty
};

// What IdentifyCallerNumber learns about a caller's number.
struct CallerIdentity
{
    QString number;                            // the number without a leading "+" or "00"
    QString countryId = QStringLiteral("0");   // the matched country's id, "0" when none matched
    QString countryCode = QStringLiteral("0"); // the matched code, "0" when none matched
    QString localPart; // the number without its country code (and a trunk "0" when longer than ten)
    QString mobileNumber = QStringLiteral("0"); // the local part when it is a mobile number, else "0"
    bool isMobile = false;                      // the local part starts with "9": the missed-call reply may go to it
};

// Splits a caller's number by the first country code, in table order, that it starts with.
// With the codes 9 and 91 in that order, 9 wins for a number starting with 91.
CallerIdentity IdentifyCallerNumber(const QString &number, const QVector<CountryCodeRow> &countries);

} // namespace parlix

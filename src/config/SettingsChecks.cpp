#include "config/SettingsChecks.h"

#include <QLocale>

#include <cmath>

namespace parlix {

bool isLenientNumber(const QString &input)
{
    const QString text = input.trimmed();
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool sign = false;
    bool currency = false;
    // A sign and a currency sign may lead in either order.
    for (int k = 0; k < 2 && i < n; ++k) {
        const QChar c = text.at(i);
        if ((c == QLatin1Char('+') || c == QLatin1Char('-')) && !sign) {
            sign = true;
            ++i;
        } else if (c == QLatin1Char('$') && !currency) {
            currency = true;
            ++i;
        }
    }
    int digits = 0;
    while (i < n && (text.at(i).isDigit() || (text.at(i) == QLatin1Char(',') && digits > 0))) {
        if (text.at(i).isDigit())
            ++digits;
        ++i;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && text.at(i).isDigit()) {
            ++digits;
            ++i;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
            ++j;
        const qsizetype start = j;
        while (j < n && text.at(j).isDigit())
            ++j;
        if (j == start)
            return false;
        i = j;
    }
    if (i < n && !sign && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    return i == n;
}

std::optional<double> plainNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (const QChar c : t) {
        if (!(c.isDigit() || c == QLatin1Char('.')))
            return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> wholeNumberIn(const QString &text, qint64 low, qint64 high)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 18)
        return std::nullopt;
    for (const QChar c : t) {
        if (!c.isDigit())
            return std::nullopt;
    }
    const qint64 value = t.toLongLong();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<QString> secondsTypingMessage(const QString &input, SecondsBox box)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (!isLenientNumber(text))
        return QStringLiteral("Please enter numeric value.");
    if (text.contains(QLatin1Char('$')))
        return QStringLiteral("Doller sign is not allowed in time.");
    if (text.contains(QLatin1Char('+')))
        return QStringLiteral("Pluse sign is not allowed in time.");
    if (text.contains(QLatin1Char('-')))
        return QStringLiteral("Minus sign is not allowed in time.");
    if (text.contains(QLatin1Char(',')))
        return QStringLiteral("Quama is not allowed in time.");
    // Only digits, a decimal point and an exponent are left, which the C locale reads.
    if (QLocale::c().toDouble(text) > 65.0) {
        return box == SecondsBox::Receive
                   ? QStringLiteral("Receive message time should be less than or equal to 65 seconds.")
                   : QStringLiteral("Send Message time should be less than or equal to 65 seconds.");
    }
    return std::nullopt;
}

std::optional<QString> countryCodeTypingMessage(const QString &input)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (!isLenientNumber(text))
        return QStringLiteral("Please enter numeric value.");
    static const std::pair<QChar, const char *> kRefused[] = {
        {QLatin1Char('$'), "Doller sign is not allowed in country code."},
        {QLatin1Char(','), "Quma is not allowed in country code."},
        {QLatin1Char('-'), "Minus sign is not allowed in country code."},
        {QLatin1Char('+'), "Plus sign is not allowed in country code."},
        {QLatin1Char('.'), "Decimal value is not allowed in country code."},
    };
    for (const auto &[c, message] : kRefused) {
        if (text.contains(c))
            return QString::fromLatin1(message);
    }
    // An exponent is the one thing the number test lets through that is not a digit.
    for (const QChar c : text) {
        if (!c.isDigit())
            return QStringLiteral("Please enter numeric value.");
    }
    return std::nullopt;
}

QString numberText(double value)
{
    return QLocale::c().toString(value, 'g', 15);
}

} // namespace parlix

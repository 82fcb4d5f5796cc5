#pragma once

#include <QString>

#include <optional>

namespace parlix {

// The lenient number test the operator's boxes have always used: blanks around the text, a
// leading or trailing sign, a currency sign, thousands separators, a decimal point and an
// exponent all pass. The typing checks rely on it: "1,5" must count as a number so that the
// comma gets its own message.
bool isLenientNumber(const QString &text);

// A plain decimal number ("30", "3.5", " 65 "); what may be stored in a numeric column.
std::optional<double> plainNumber(const QString &text);
// A whole number from low to high, as a port or a count is written.
std::optional<qint64> wholeNumberIn(const QString &text, qint64 low, qint64 high);

enum class SecondsBox { Receive, Send };

// The message for a seconds box while it is being typed into; no value when the text may stay.
// The checks run in a fixed order and the first one that applies wins.
std::optional<QString> secondsTypingMessage(const QString &text, SecondsBox box);

// The message for the country code box while it is being typed into; no value when it may stay.
std::optional<QString> countryCodeTypingMessage(const QString &text);

// A stored number as the settings window shows it: "2.25", "9600", "1.5".
QString numberText(double value);

} // namespace parlix

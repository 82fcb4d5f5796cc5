#pragma once

#include "config/RuntimeSettings.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace parlix {

// The recipient check of the outbox: digits only, with one optional leading "+". Signs,
// separators and exponents that a lenient numeric conversion would accept are refused, since a
// phone number never holds them.
bool isSendableNumber(const QString &recipient);

// Outcome of the mix-mode rules for one recipient.
struct MixModeChoice
{
    QString checkedNumber;                // the number the rules were checked against ("+" and one leading "0" dropped)
    std::optional<QString> matchedPrefix; // the first prefix that matched, if any
    DeliveryMedium medium = DeliveryMedium::None; // Modem, SmtpGateway or None when no medium follows
};

// prefixes is the normalised comma list; entries are not trimmed and an empty one matches all.
// An empty list chooses nothing: mix mode then has no rule to apply.
MixModeChoice chooseMixModeMedium(const QString &recipient, const QString &prefixes,
                                  DeliveryMedium mixModeDeliveryMedia);

// A received sender as the inbox stores it: numbers of more than ten characters that start with
// "+" or "0" are kept, every other number gets a "+" in front.
QString normaliseSenderNumber(const QString &sender);

// The text a keyword is looked for in: line breaks (CR LF, CR or LF) removed, trimmed and
// upper-cased, so a keyword split over two lines still matches.
QString keywordSearchText(const QString &message);

struct KeywordReply
{
    qint64 commandId = 0;
    std::optional<QString> command; // null keywords never match
    QString reply;
};

// The first row, in the order given, whose keyword occurs in the search text, ignoring case.
// An empty keyword matches every text.
std::optional<KeywordReply> firstMatchingKeyword(const QString &searchText, const QVector<KeywordReply> &rows);

} // namespace parlix

#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace parlix {

// A recipient as the operator typed it, made ready for the outbox: trimmed, dots and blanks
// removed; a leading "+" and every other character are kept.
QString cleanComposeNumber(const QString &typed);

// Splits a comma-separated recipient list at every comma and cleans each element. Empty
// elements stay, so a trailing comma gives one more (empty) recipient, as the window always did.
QStringList splitComposeNumbers(const QString &typed);

// Queues one pending outbox row per recipient, all with the same text and time, in one
// transaction. Returns the number of rows queued.
Result<int> queueComposedSms(QSqlDatabase db, const QStringList &recipients, const QString &message,
                             const QDateTime &when);

} // namespace parlix

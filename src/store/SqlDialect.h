#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <initializer_list>

namespace parlix::sql {

// The few pieces of SQL that differ between database engines live here, so that a second
// backend changes this file and not the repositories that call it.

// Dates are stored as local wall-clock text, sortable and unambiguous.
inline constexpr const char *kDateFormat = "yyyy-MM-dd HH:mm:ss";

QVariant dateValue(const QDateTime &when);  // a bindable value; null for an invalid date
QDateTime dateFrom(const QVariant &stored); // invalid for null or unreadable text
QVariant boolValue(bool value);
bool boolFrom(const QVariant &stored); // non-zero numbers and "true"/"yes" words are true

// An expression giving the last ten characters of a text column; the schema indexes it.
QString lastTenDigits(const QString &column);
// The last ten characters of a number typed by the operator (all of it when shorter).
QString lastTen(const QString &number);

// The condition of an operator's number search on a column, with its one value to bind:
// ten characters or more compare the last ten (a typed "+44..." finds "0044..." too), fewer
// are a contains match. A blank search gives an empty condition and no value.
struct NumberMatch
{
    QString condition;
    QVariant value;
    bool isEmpty() const { return condition.isEmpty(); }
};
// A part of a number (three characters or more) is looked up in the trigram index of the
// column when one is named (trigramTable, keyed by the table's keyColumn), so a contains-search
// does not read every row.
NumberMatch numberMatch(const QString &column, const QString &typed, const QString &keyColumn = {},
                        const QString &trigramTable = {});

// " LIMIT ? OFFSET ?" — bind the limit, then the offset.
QString pageClause();

// Which rows to ask for to get one page of an ordered result of total rows. OFFSET makes the
// database step over every row before the page, so a page past the middle is read from the
// other end, in the opposite order, and the rows are turned round by the caller. Without a
// known total (negative) the page is read as it stands.
struct PageWindow
{
    qint64 limit = 0;
    qint64 offset = 0;
    bool reversed = false;
};
PageWindow pageWindow(qint64 limit, qint64 offset, qint64 total);

// " ORDER BY a DESC, b DESC", every direction turned round when reversed.
struct OrderTerm
{
    const char *column;
    bool descending = false;
};
QString orderBy(std::initializer_list<OrderTerm> terms, bool reversed = false);

// Doubles the quotes of a text that must be placed between single quotes in SQL text:
// every "'" becomes "''", then every '"' becomes '""'. A blank text comes back unchanged.
// Values are bound, never spliced, so this is only for texts that really are SQL.
QString EscapeSqlText(const QString &text);

} // namespace parlix::sql

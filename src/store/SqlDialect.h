#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <initializer_list>

namespace parlix::sql {

// The few pieces of SQL that differ between database engines live here, so that the
// repositories hold one text per statement for SQLite and PostgreSQL alike.
//
// What both engines are made to agree on: dates are text (below) compared as text; yes/no
// columns are INTEGER 1/0; keys are 64-bit numbers the database assigns and never reuses;
// text compares, sorts and LIKE-matches byte by byte with case folded for ASCII letters only
// (SQLite's own rules; on PostgreSQL every text column is declared COLLATE "C" and LIKE becomes
// ILIKE without an escape character).

enum class Backend { Sqlite, Postgres };
Backend backendOf(const QSqlDatabase &db);

// Dates are stored as local wall-clock text, sortable and unambiguous.
inline constexpr const char *kDateFormat = "yyyy-MM-dd HH:mm:ss";

QVariant dateValue(const QDateTime &when);  // a bindable value; null for an invalid date
QDateTime dateFrom(const QVariant &stored); // invalid for null or unreadable text
QVariant boolValue(bool value);
bool boolFrom(const QVariant &stored); // non-zero numbers and "true"/"yes" words are true

// An expression giving the last ten characters of a text column; the schema indexes it.
QString lastTenDigits(const QSqlDatabase &db, const QString &column);
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
// column when one is named (on SQLite the FTS5 table trigramTable, keyed by the table's
// keyColumn; on PostgreSQL a pg_trgm index on the column itself serves the LIKE directly), so a
// contains-search does not read every row.
NumberMatch numberMatch(const QSqlDatabase &db, const QString &column, const QString &typed,
                        const QString &keyColumn = {}, const QString &trigramTable = {});

// What lower() makes of a text on both engines: ASCII letters in lower case, every other
// character as it is. Compare lower(column) with a value folded here, not with lower(?): on
// PostgreSQL a value's lower() would follow the server's locale.
QString foldCase(const QString &text);

// "column LIKE ?" with SQLite's rules on both engines: "%" and "_" are the only special
// characters and ASCII letters match either case.
QString likeCondition(const QSqlDatabase &db, const QString &column);

// Whether the engine keeps FTS5 trigram tables beside the tables (SQLite) rather than trigram
// indexes on the columns (PostgreSQL).
bool hasTrigramTables(const QSqlDatabase &db);

// " FOR UPDATE" on PostgreSQL, to end a SELECT whose rows the transaction goes on to change, so
// that no other transaction changes them in between; nothing on SQLite, where a writing
// transaction already holds the whole database.
QString forUpdate(const QSqlDatabase &db);

// The hidden column that tells the rows of a keyless single-row table apart, oldest first.
QString rowKey(const QSqlDatabase &db);

// A number that changes whenever another connection commits; negative when the engine has no
// cheap such number, so the caller must read what it watches.
Result<qint64> dataVersion(const QSqlDatabase &db);

// The schema version recorded in the database (0 for a database without Parlix tables) and
// its change, inside the caller's transaction. lockSchema serialises programs that upgrade the
// same database at once; it lasts until the transaction ends.
Result<int> schemaVersion(const QSqlDatabase &db);
Status setSchemaVersion(const QSqlDatabase &db, int version);
Status lockSchema(const QSqlDatabase &db);

// A schema statement written for SQLite, as the engine of db wants it: on PostgreSQL, tables
// and added columns get identity keys and "C" collation on text, and indexes on the last ten
// characters use right().
QString schemaStatement(const QSqlDatabase &db, const QString &statement);

// One page of a table's rows in the given order; bind the values of the where clause, then the
// limit, then the offset. The page's ids are picked first, from an index alone where the order
// has one, and only the page's rows are read: LIMIT and OFFSET over the rows themselves would
// read every row skipped on the way to a page in the middle of a large table.
QString pageOf(const QString &columns, const QString &table, const QString &idColumn, const QString &where,
               const QString &order);

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

} // namespace parlix::sql

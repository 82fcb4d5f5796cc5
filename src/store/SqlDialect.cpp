#include "store/SqlDialect.h"

#include "store/Query.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace parlix::sql {

namespace {

// Where PostgreSQL keeps the schema version (SQLite has PRAGMA user_version).
const QString kVersionTable = QStringLiteral("Parlix_SchemaVersion");
// The advisory lock key of a schema upgrade: any fixed number other programs are unlikely to use.
constexpr qint64 kSchemaLockKey = 0x5061726c6978; // "Parlix"

bool isPostgres(const QSqlDatabase &db)
{
    return backendOf(db) == Backend::Postgres;
}

} // namespace

Backend backendOf(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Backend::Postgres : Backend::Sqlite;
}

QVariant dateValue(const QDateTime &when)
{
    if (!when.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    return when.toString(QLatin1String(kDateFormat));
}

QDateTime dateFrom(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    if (stored.metaType().id() == QMetaType::QDateTime)
        return stored.toDateTime();
    const QString text = stored.toString().trimmed();
    QDateTime dt = QDateTime::fromString(text, QLatin1String(kDateFormat));
    if (!dt.isValid())
        dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    return dt;
}

QVariant boolValue(bool value)
{
    return value ? 1 : 0;
}

bool boolFrom(const QVariant &stored)
{
    if (stored.isNull())
        return false;
    switch (stored.metaType().id()) {
    case QMetaType::Bool:
        return stored.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return stored.toDouble() != 0.0;
    default:
        break;
    }
    const QString text = stored.toString().trimmed();
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    if (isNumber)
        return number != 0.0;
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

QString lastTenDigits(const QSqlDatabase &db, const QString &column)
{
    // PostgreSQL's substr() counts a negative start before the text instead of from its end.
    return (isPostgres(db) ? QStringLiteral("right(%1,10)") : QStringLiteral("substr(%1,-10)")).arg(column);
}

QString lastTen(const QString &number)
{
    return number.right(10);
}

NumberMatch numberMatch(const QSqlDatabase &db, const QString &column, const QString &typed, const QString &keyColumn,
                        const QString &trigramTable)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    if (text.size() >= 10)
        return {lastTenDigits(db, column) + QStringLiteral("=?"), lastTen(text)};
    const QString pattern = QLatin1Char('%') + text + QLatin1Char('%');
    if (text.size() >= 3 && !trigramTable.isEmpty() && hasTrigramTables(db))
        return {QStringLiteral("%1 IN (SELECT rowid FROM %2 WHERE %3 LIKE ?)").arg(keyColumn, trigramTable, column),
                pattern};
    return {likeCondition(db, column), pattern};
}

QString foldCase(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return out;
}

QString likeCondition(const QSqlDatabase &db, const QString &column)
{
    // PostgreSQL's LIKE is case-sensitive and takes a backslash as its escape character.
    return column + (isPostgres(db) ? QStringLiteral(" ILIKE ? ESCAPE ''") : QStringLiteral(" LIKE ?"));
}

bool hasTrigramTables(const QSqlDatabase &db)
{
    return !isPostgres(db);
}

QString rowKey(const QSqlDatabase &db)
{
    return isPostgres(db) ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

QString forUpdate(const QSqlDatabase &db)
{
    return isPostgres(db) ? QStringLiteral(" FOR UPDATE") : QString();
}

Result<qint64> dataVersion(const QSqlDatabase &db)
{
    if (isPostgres(db))
        return qint64(-1);
    return scalar(db, QStringLiteral("PRAGMA data_version"));
}

Result<int> schemaVersion(const QSqlDatabase &db)
{
    if (!isPostgres(db)) {
        auto v = scalar(db, QStringLiteral("PRAGMA user_version"));
        return v ? Result<int>(int(v.value())) : Result<int>::failure(v.error());
    }
    auto exists = firstRow(db, QStringLiteral("SELECT to_regclass(?) IS NOT NULL AS found"), {kVersionTable.toLower()});
    if (!exists)
        return Result<int>::failure(exists.error());
    if (!exists.value() || !exists.value()->value(QStringLiteral("found")).toBool())
        return 0;
    auto v = scalar(db, QStringLiteral("SELECT MAX(Version) FROM ") + kVersionTable);
    return v ? Result<int>(int(v.value())) : Result<int>::failure(v.error());
}

Status setSchemaVersion(const QSqlDatabase &db, int version)
{
    if (!isPostgres(db))
        return run(db, QStringLiteral("PRAGMA user_version = %1").arg(version)).status();
    for (const QString &text : {QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Version INTEGER NOT NULL)"),
                                QStringLiteral("DELETE FROM %1")}) {
        if (Status s = run(db, text.arg(kVersionTable)).status(); !s)
            return s;
    }
    return run(db, QStringLiteral("INSERT INTO %1 (Version) VALUES (?)").arg(kVersionTable), {version}).status();
}

Status lockSchema(const QSqlDatabase &db)
{
    if (!isPostgres(db))
        return Status::success();
    return run(db, QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {kSchemaLockKey}).status();
}

QString schemaStatement(const QSqlDatabase &db, const QString &statement)
{
    if (!isPostgres(db))
        return statement;
    static const QRegularExpression lastTen(QStringLiteral(R"(substr\((\w+),-10\))"));
    static const QRegularExpression text(QStringLiteral(R"(\bTEXT\b)"));
    QString out = statement;
    out.replace(lastTen, QStringLiteral("right(\\1,10)"));
    const QString head = out.left(40).simplified().toUpper();
    if (head.startsWith(QLatin1String("CREATE TABLE")) || head.startsWith(QLatin1String("ALTER TABLE"))) {
        out.replace(QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT"),
                    QLatin1String("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
        out.replace(text, QStringLiteral("TEXT COLLATE \"C\""));
    }
    return out;
}

QString pageOf(const QString &columns, const QString &table, const QString &idColumn, const QString &where,
               const QString &order)
{
    return QStringLiteral("SELECT %1 FROM %2 JOIN (SELECT %3 AS PageId FROM %2%4%5 LIMIT ? OFFSET ?) AS Page "
                          "ON %3=PageId%5")
        .arg(columns, table, idColumn, where, order);
}

PageWindow pageWindow(qint64 limit, qint64 offset, qint64 total)
{
    if (total < 0 || offset <= total / 2)
        return {limit, offset, false};
    const qint64 end = std::min(total, offset + limit);
    if (offset >= end)
        return {0, 0, false};
    return {end - offset, total - end, true};
}

QString orderBy(std::initializer_list<OrderTerm> terms, bool reversed)
{
    QStringList parts;
    for (const OrderTerm &t : terms)
        parts << QLatin1String(t.column) + (t.descending != reversed ? QStringLiteral(" DESC") : QString());
    return QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
}

} // namespace parlix::sql

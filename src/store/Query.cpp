#include "store/Query.h"

#include "store/Schema.h"
#include "store/SqlDialect.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

namespace parlix::sql {

namespace {

QString describe(const QSqlError &error)
{
    const QString db = error.databaseText();
    return db.isEmpty() ? error.text() : db;
}

} // namespace

Result<QSqlQuery> run(const QSqlDatabase &db, const QString &text, const QVariantList &values)
{
    QSqlQuery q(db);
    // PostgreSQL reads a forward-only result row by row, and a second query on the connection
    // would then discard the rest of it; there the whole result is fetched at once.
    q.setForwardOnly(backendOf(db) == Backend::Sqlite);
    // PostgreSQL prepares only queries and data changes (not SET, CREATE, ...); a statement
    // without values needs no preparing anywhere.
    if (values.isEmpty()) {
        if (!q.exec(text))
            return Result<QSqlQuery>::failure(describe(q.lastError()));
        return q;
    }
    if (!q.prepare(text))
        return Result<QSqlQuery>::failure(describe(q.lastError()));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return Result<QSqlQuery>::failure(describe(q.lastError()));
    return q;
}

Result<qint64> scalar(const QSqlDatabase &db, const QString &text, const QVariantList &values)
{
    auto q = run(db, text, values);
    if (!q)
        return Result<qint64>::failure(q.error());
    if (!q.value().next())
        return qint64(0);
    return q.value().value(0).toLongLong();
}

QVariantMap rowOf(const QSqlQuery &query)
{
    QVariantMap row;
    const QSqlRecord rec = query.record();
    // PostgreSQL folds unquoted names to lower case; callers look columns up as the schema spells them.
    const bool lowerCased = query.driver() && query.driver()->dbmsType() == QSqlDriver::PostgreSQL;
    for (int i = 0; i < rec.count(); ++i)
        row.insert(lowerCased ? schema::columnSpelling(rec.fieldName(i)) : rec.fieldName(i), query.value(i));
    return row;
}

Result<std::optional<QVariantMap>> firstRow(const QSqlDatabase &db, const QString &text, const QVariantList &values)
{
    auto q = run(db, text, values);
    if (!q)
        return Result<std::optional<QVariantMap>>::failure(q.error());
    if (!q.value().next())
        return std::optional<QVariantMap>();
    return std::optional<QVariantMap>(rowOf(q.value()));
}

} // namespace parlix::sql

#include "store/Query.h"

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
    q.setForwardOnly(true);
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
    for (int i = 0; i < rec.count(); ++i)
        row.insert(rec.fieldName(i), query.value(i));
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

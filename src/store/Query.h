#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace parlix::sql {

// Prepares text, binds values positionally and executes. The error names what failed.
Result<QSqlQuery> run(const QSqlDatabase &db, const QString &text, const QVariantList &values = {});

// The single number of a COUNT or MAX query (0 when the result is null).
Result<qint64> scalar(const QSqlDatabase &db, const QString &text, const QVariantList &values = {});

// The first row of a query as column name -> value; no value when the table is empty.
Result<std::optional<QVariantMap>> firstRow(const QSqlDatabase &db, const QString &text,
                                            const QVariantList &values = {});

QVariantMap rowOf(const QSqlQuery &query);

// Runs fn inside a transaction: committed when it returns success, rolled back otherwise.
template <typename Fn> Status inTransaction(QSqlDatabase db, Fn &&fn)
{
    if (!db.transaction())
        return Status::failure(QStringLiteral("A database transaction cannot start."));
    Status s = fn();
    if (!s) {
        db.rollback();
        return s;
    }
    if (!db.commit()) {
        db.rollback();
        return Status::failure(QStringLiteral("A database transaction cannot be committed."));
    }
    return s;
}

} // namespace parlix::sql

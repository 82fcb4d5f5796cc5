#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace parlix::sql {

// Prepares text, binds values positionally and executes. The error names what failed.
Result<QSqlQuery> run(const QSqlDatabase &db, const QString &text, const QVariantList &values = {});

// A statement kept prepared on its PostgreSQL connection and used again, for the statements a
// station runs over and over (claims, counts, first rows). A fresh prepare costs two more round
// trips there (PREPARE, and DEALLOCATE when the query goes). On SQLite it is a plain query.
// The query is the holder's until it goes out of scope, then back on the shelf: a nested use of
// the same text meanwhile prepares a query of its own.
class Prepared
{
public:
    Prepared(Prepared &&other) noexcept;
    Prepared &operator=(Prepared &&) = delete;
    Prepared(const Prepared &) = delete;
    ~Prepared();

    QSqlQuery *operator->() { return &m_query; }
    QSqlQuery &query() { return m_query; }

private:
    friend Result<Prepared> prepared(const QSqlDatabase &, const QString &, const QVariantList &);
    Prepared(QSqlQuery query, QString connection, QString text);

    QSqlQuery m_query;
    QString m_connection;
    QString m_text;
};

// Like run(), on a statement kept prepared (see Prepared): a query or a data change.
Result<Prepared> prepared(const QSqlDatabase &db, const QString &text, const QVariantList &values = {});

// Drops the statements kept for a connection; call before removing the connection.
void forgetPrepared(const QString &connectionName);

// The single number of a COUNT or MAX query (0 when the result is null); kept prepared.
Result<qint64> scalar(const QSqlDatabase &db, const QString &text, const QVariantList &values = {});

// A count that triggers keep as rows of changes in a table of counts (see the schema). The
// query gives the count, then how many rows of changes the table holds; once they are many,
// they are folded into one row (columns: every column of the table).
Result<qint64> keptCount(const QSqlDatabase &db, const QString &query, const QString &table,
                         const QStringList &columns);

// The first row of a query as column name -> value; no value when the table is empty. Kept prepared.
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

#include "store/Query.h"

#include "store/Schema.h"
#include "store/SqlDialect.h"

#include <QHash>
#include <QMutex>
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

QSqlQuery newQuery(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    // PostgreSQL reads a forward-only result row by row, and a second query on the connection
    // would then discard the rest of it; there the whole result is fetched at once.
    q.setForwardOnly(backendOf(db) == Backend::Sqlite);
    return q;
}

bool bindAndExec(QSqlQuery &q, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    return q.exec();
}

// The shelf of prepared statements, per connection. Queries are used only on their own
// connection's thread, but connections of several threads share the shelf.
class Shelf
{
public:
    std::optional<QSqlQuery> take(const QString &connection, const QString &text, const QSqlDriver *driver)
    {
        QMutexLocker lock(&m_mutex);
        auto conn = m_byConnection.find(connection);
        if (conn == m_byConnection.end())
            return std::nullopt;
        auto it = conn->find(text);
        if (it == conn->end())
            return std::nullopt;
        QSqlQuery q = std::move(*it);
        conn->erase(it);
        // A connection removed without forgetPrepared and added again under its name.
        if (q.driver() != driver)
            return std::nullopt;
        return q;
    }

    void put(const QString &connection, const QString &text, QSqlQuery &&query)
    {
        QMutexLocker lock(&m_mutex);
        auto &conn = m_byConnection[connection];
        // Texts built from a search's conditions vary; the fixed ones stay well below this.
        if (conn.size() < kMaxPerConnection && !conn.contains(text))
            conn.insert(text, std::move(query));
    }

    void forget(const QString &connection)
    {
        QHash<QString, QSqlQuery> gone; // the queries go (DEALLOCATE) outside the lock
        {
            QMutexLocker lock(&m_mutex);
            gone = m_byConnection.take(connection);
        }
    }

private:
    static constexpr qsizetype kMaxPerConnection = 64;
    QMutex m_mutex;
    QHash<QString, QHash<QString, QSqlQuery>> m_byConnection;
};

Shelf &shelf()
{
    static Shelf s;
    return s;
}

} // namespace

Prepared::Prepared(QSqlQuery query, QString connection, QString text)
    : m_query(std::move(query))
    , m_connection(std::move(connection))
    , m_text(std::move(text))
{
}

Prepared::Prepared(Prepared &&other) noexcept
    : m_query(std::move(other.m_query))
    , m_connection(std::move(other.m_connection))
    , m_text(std::move(other.m_text))
{
    other.m_text.clear();
}

Prepared::~Prepared()
{
    if (m_text.isEmpty())
        return;
    m_query.finish(); // the rows read are not kept on the shelf
    shelf().put(m_connection, m_text, std::move(m_query));
}

Result<Prepared> prepared(const QSqlDatabase &db, const QString &text, const QVariantList &values)
{
    // Nothing is kept on SQLite: Qt's driver sizes its rows by the columns the statement had
    // when prepared, and SQLite prepares a statement again by itself after a table changed, so
    // a kept "SELECT *" would write past its row once another program added a column.
    const bool keep = backendOf(db) == Backend::Postgres;
    const QString connection = db.connectionName();
    QString keptFailure;
    if (std::optional<QSqlQuery> kept = keep ? shelf().take(connection, text, db.driver()) : std::nullopt) {
        if (bindAndExec(*kept, values))
            return Prepared(std::move(*kept), connection, text);
        // The statement may have gone stale (a table another station changed); one fresh try.
        // Should that fail too, the first failure is the one that says what went wrong (in a
        // PostgreSQL transaction, the second only says the transaction was aborted).
        keptFailure = describe(kept->lastError());
    }
    QSqlQuery q = newQuery(db);
    if (!q.prepare(text) || !bindAndExec(q, values))
        return Result<Prepared>::failure(keptFailure.isEmpty() ? describe(q.lastError()) : keptFailure);
    return Prepared(std::move(q), connection, keep ? text : QString());
}

void forgetPrepared(const QString &connectionName)
{
    shelf().forget(connectionName);
}

Result<QSqlQuery> run(const QSqlDatabase &db, const QString &text, const QVariantList &values)
{
    QSqlQuery q = newQuery(db);
    // PostgreSQL prepares only queries and data changes (not SET, CREATE, ...); a statement
    // without values needs no preparing anywhere.
    if (values.isEmpty()) {
        if (!q.exec(text))
            return Result<QSqlQuery>::failure(describe(q.lastError()));
        return q;
    }
    if (!q.prepare(text) || !bindAndExec(q, values))
        return Result<QSqlQuery>::failure(describe(q.lastError()));
    return q;
}

Result<qint64> scalar(const QSqlDatabase &db, const QString &text, const QVariantList &values)
{
    auto q = prepared(db, text, values);
    if (!q)
        return Result<qint64>::failure(q.error());
    if (!q.value()->next())
        return qint64(0);
    return q.value()->value(0).toLongLong();
}

Result<qint64> keptCount(const QSqlDatabase &db, const QString &query, const QString &table, const QStringList &columns)
{
    auto q = prepared(db, query);
    if (!q)
        return Result<qint64>::failure(q.error());
    if (!q.value()->next())
        return qint64(0);
    const qint64 count = q.value()->value(0).toLongLong();
    if (q.value()->value(1).toLongLong() > 64) {
        QStringList sums;
        for (const QString &c : columns)
            sums << QStringLiteral("COALESCE(SUM(%1),0)").arg(c);
        // One statement: a row another writer adds meanwhile is not in its snapshot and stays.
        // Should it fail, the rows are folded at a later count; the count stands either way.
        prepared(db, QStringLiteral("WITH Gone AS (DELETE FROM %1 RETURNING %2) INSERT INTO %1 SELECT %3 FROM Gone")
                         .arg(table, columns.join(QLatin1Char(',')), sums.join(QLatin1Char(','))));
    }
    return count;
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
    auto q = prepared(db, text, values);
    if (!q)
        return Result<std::optional<QVariantMap>>::failure(q.error());
    if (!q.value()->next())
        return std::optional<QVariantMap>();
    return std::optional<QVariantMap>(rowOf(q.value().query()));
}

} // namespace parlix::sql

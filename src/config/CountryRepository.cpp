#include "config/CountryRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <QSqlQuery>

namespace parlix {

namespace {

CountryRow countryOf(const QVariantMap &row)
{
    CountryRow c;
    c.id = row.value(QStringLiteral("CountryId")).toLongLong();
    c.name = row.value(QStringLiteral("CountryName")).toString();
    c.code = row.value(QStringLiteral("CountryCode")).toString();
    c.isDefault = sql::boolFrom(row.value(QStringLiteral("IsDefault")));
    return c;
}

Result<std::optional<CountryRow>> firstCountry(const QSqlDatabase &db, const QString &text, const QVariantList &values)
{
    auto row = sql::firstRow(db, text, values);
    if (!row)
        return Result<std::optional<CountryRow>>::failure(row.error());
    if (!row.value())
        return std::optional<CountryRow>();
    return std::optional<CountryRow>(countryOf(*row.value()));
}

} // namespace

QString storedCountryCode(const QString &typed)
{
    QString code = typed;
    code.remove(QLatin1Char('-'));
    code.remove(QLatin1Char('+'));
    return code.trimmed();
}

Result<QVector<CountryRow>> CountryRepository::all()
{
    auto q = sql::run(m_db, QStringLiteral("SELECT CountryId, CountryName, CountryCode, IsDefault FROM Country "
                                           "ORDER BY lower(CountryName), CountryId"));
    if (!q)
        return Result<QVector<CountryRow>>::failure(q.error());
    QVector<CountryRow> rows;
    QSqlQuery &query = q.value();
    while (query.next())
        rows.push_back(countryOf(sql::rowOf(query)));
    return rows;
}

Result<std::optional<CountryRow>> CountryRepository::find(qint64 id)
{
    return firstCountry(m_db, QStringLiteral("SELECT * FROM Country WHERE CountryId=?"), {id});
}

Result<bool> CountryRepository::nameTaken(const QString &name, std::optional<qint64> exceptId)
{
    auto n =
        sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM Country WHERE lower(CountryName)=? AND CountryId<>?"),
                    {sql::foldCase(name.trimmed()), exceptId.value_or(-1)});
    if (!n)
        return Result<bool>::failure(n.error());
    return n.value() > 0;
}

Result<std::optional<CountryRow>> CountryRepository::otherDefault(std::optional<qint64> exceptId)
{
    return firstCountry(m_db,
                        QStringLiteral("SELECT * FROM Country WHERE IsDefault<>0 AND CountryId<>? "
                                       "ORDER BY CountryId LIMIT 1"),
                        {exceptId.value_or(-1)});
}

Result<qint64> CountryRepository::save(const CountryRow &country, bool moveDefault)
{
    qint64 id = country.id;
    const Status done = sql::inTransaction(m_db, [&]() -> Status {
        if (moveDefault) {
            auto cleared = sql::run(m_db,
                                    QStringLiteral("UPDATE Country SET IsDefault=? WHERE IsDefault<>0 AND "
                                                   "CountryId<>?"),
                                    {sql::boolValue(false), country.id});
            if (!cleared)
                return cleared.status();
        }
        const QString name = country.name.trimmed();
        const QString code = storedCountryCode(country.code);
        if (id == 0) {
            auto inserted = sql::run(m_db,
                                     QStringLiteral("INSERT INTO Country (CountryName, CountryCode, IsDefault) "
                                                    "VALUES (?,?,?)"),
                                     {name, code.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : code,
                                      sql::boolValue(country.isDefault)});
            if (!inserted)
                return inserted.status();
            id = inserted.value().lastInsertId().toLongLong();
            return Status::success();
        }
        auto updated = code.isEmpty()
                           ? sql::run(m_db,
                                      QStringLiteral("UPDATE Country SET CountryName=?, IsDefault=? WHERE "
                                                     "CountryId=?"),
                                      {name, sql::boolValue(country.isDefault), id})
                           : sql::run(m_db,
                                      QStringLiteral("UPDATE Country SET CountryName=?, CountryCode=?, IsDefault=? "
                                                     "WHERE CountryId=?"),
                                      {name, code, sql::boolValue(country.isDefault), id});
        if (!updated)
            return updated.status();
        if (updated.value().numRowsAffected() == 0)
            return Status::failure(QStringLiteral("The country no longer exists."));
        return Status::success();
    });
    if (!done)
        return Result<qint64>::failure(done.error);
    return id;
}

Result<bool> CountryRepository::removeUnlessInUse(qint64 id)
{
    bool removed = false;
    const Status done = sql::inTransaction(m_db, [&]() -> Status {
        auto uses = sql::scalar(m_db,
                                QStringLiteral("SELECT (SELECT COUNT(*) FROM State WHERE CountryId=?) + "
                                               "(SELECT COUNT(*) FROM UserDetails WHERE CountryId=?)"),
                                {id, id});
        if (!uses)
            return uses.status();
        if (uses.value() > 0)
            return Status::success();
        auto deleted = sql::run(m_db, QStringLiteral("DELETE FROM Country WHERE CountryId=?"), {id});
        if (!deleted)
            return deleted.status();
        removed = true;
        return Status::success();
    });
    if (!done)
        return Result<bool>::failure(done.error);
    return removed;
}

} // namespace parlix

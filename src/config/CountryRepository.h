#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <optional>

namespace parlix {

struct CountryRow
{
    qint64 id = 0;
    QString name;
    QString code; // digits, or empty
    bool isDefault = false;
};

// Every statement on Country, and the look-ups in State and UserDetails that keep a country in
// use from being deleted. Names are compared as the operator reads them, without regard to case.
class CountryRepository
{
public:
    explicit CountryRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    // All countries by name; the call watcher splits caller numbers with their codes.
    Result<QVector<CountryRow>> all();
    Result<std::optional<CountryRow>> find(qint64 id);

    // Whether another country (not exceptId) already has this name.
    Result<bool> nameTaken(const QString &name, std::optional<qint64> exceptId = std::nullopt);
    // The default country other than exceptId, if any.
    Result<std::optional<CountryRow>> otherDefault(std::optional<qint64> exceptId = std::nullopt);

    // Adds the country (id 0) or updates it; with moveDefault the previous default loses its
    // flag in the same transaction. An empty code leaves a stored code as it is. Returns the id.
    Result<qint64> save(const CountryRow &country, bool moveDefault);

    // Deletes the country unless State or UserDetails refer to it; false when it is in use.
    Result<bool> removeUnlessInUse(qint64 id);

private:
    QSqlDatabase m_db;
};

// The code as stored: signs removed, trimmed.
QString storedCountryCode(const QString &typed);

} // namespace parlix

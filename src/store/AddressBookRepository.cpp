#include "store/AddressBookRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

namespace parlix {

Result<bool> AddressBookRepository::knowsNumber(const QString &number)
{
    const QString lastTen = sql::lastTen(number.trimmed());
    auto found = sql::firstRow(m_db,
                               QStringLiteral("SELECT UserId FROM UserDetails WHERE ") +
                                   sql::lastTenDigits(m_db, QStringLiteral("Mobile1")) + QStringLiteral("=? OR ") +
                                   sql::lastTenDigits(m_db, QStringLiteral("Mobile2")) + QStringLiteral("=? LIMIT 1"),
                               {lastTen, lastTen});
    if (!found)
        return Result<bool>::failure(found.error());
    return found.value().has_value();
}

} // namespace parlix

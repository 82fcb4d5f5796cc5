#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QString>

namespace parlix {

// The statements on UserDetails, the address book that Parlix reads but never writes.
class AddressBookRepository
{
public:
    explicit AddressBookRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    // Whether either mobile number of a contact ends in the same ten characters as the given
    // number (the whole number when it is shorter).
    Result<bool> knowsNumber(const QString &number);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace parlix {

struct SmsAccount
{
    qint64 userId = 0;
    QString userName;
    QString fromName;
    qint64 balanceCredits = 0;
    QDateTime balanceUpdatedOn;
};

// Every statement on SMS_UserAccounts.
class SmsAccountRepository
{
public:
    explicit SmsAccountRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    // The account a webmail command names. User name and password are compared without regard
    // to case, as account holders have always been able to type them; no value when none matches.
    Result<std::optional<SmsAccount>> findByLogin(const QString &userName, const QString &password);

    // Stores the balance after a charge and when it was written.
    Status setBalance(qint64 userId, qint64 credits, const QDateTime &when);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

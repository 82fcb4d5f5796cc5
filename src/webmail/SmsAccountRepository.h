#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

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

// An account as the accounts window edits it. The password is a secret: windows show it only
// on request and nothing logs it.
struct SmsAccountEntry
{
    qint64 userId = 0; // 0 for an account not stored yet
    QString userName;
    QString password;
    QString fromName;
    double balanceCredits = 0;
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

    // Every account in key order.
    Result<QVector<SmsAccountEntry>> all();
    Result<std::optional<SmsAccountEntry>> find(qint64 userId);
    // Whether another account (any but exceptUserId) has this user name, compared without
    // regard to case, as webmail commands compare it.
    Result<bool> userNameTaken(const QString &userName, std::optional<qint64> exceptUserId);
    // Adds the account (userId 0) or changes the stored one; returns its key.
    Result<qint64> save(const SmsAccountEntry &account);
    Status remove(qint64 userId);

    // Stores the balance after a charge and when it was written.
    Status setBalance(qint64 userId, qint64 credits, const QDateTime &when);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

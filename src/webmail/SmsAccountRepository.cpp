#include "webmail/SmsAccountRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <algorithm>
#include <cmath>

namespace parlix {

Result<std::optional<SmsAccount>> SmsAccountRepository::findByLogin(const QString &userName, const QString &password)
{
    using R = Result<std::optional<SmsAccount>>;
    // The account is read to be charged: its row stays locked until the charge commits.
    auto q =
        sql::run(m_db,
                 QStringLiteral("SELECT UserId,SMSUserName,SMSFromName,SMSBalanceCredits,SMSBalanceCreditsUpdatedOn "
                                "FROM SMS_UserAccounts WHERE lower(SMSUserName)=? AND "
                                "lower(SMSPassword)=? ORDER BY UserId LIMIT 1") +
                     sql::forUpdate(m_db),
                 {sql::foldCase(userName), sql::foldCase(password)});
    if (!q)
        return R::failure(q.error());
    if (!q.value().next())
        return std::optional<SmsAccount>();
    SmsAccount account;
    account.userId = q.value().value(0).toLongLong();
    account.userName = q.value().value(1).toString();
    account.fromName = q.value().value(2).toString().trimmed();
    // The column is a plain number; a fraction typed into it counts as its nearest whole credit.
    const double credits = q.value().value(3).toDouble();
    account.balanceCredits = std::isfinite(credits) ? qint64(std::nearbyint(std::clamp(credits, -1e15, 1e15))) : 0;
    account.balanceUpdatedOn = sql::dateFrom(q.value().value(4));
    return std::optional<SmsAccount>(account);
}

namespace {

SmsAccountEntry entryFrom(const QSqlQuery &q)
{
    return SmsAccountEntry{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                           q.value(4).toDouble()};
}

const QString kEntryColumns =
    QStringLiteral("SELECT UserId,SMSUserName,SMSPassword,SMSFromName,SMSBalanceCredits FROM SMS_UserAccounts");

} // namespace

Result<QVector<SmsAccountEntry>> SmsAccountRepository::all()
{
    auto q = sql::run(m_db, kEntryColumns + QStringLiteral(" ORDER BY UserId"));
    if (!q)
        return Result<QVector<SmsAccountEntry>>::failure(q.error());
    QVector<SmsAccountEntry> out;
    while (q.value().next())
        out.append(entryFrom(q.value()));
    return out;
}

Result<std::optional<SmsAccountEntry>> SmsAccountRepository::find(qint64 userId)
{
    using R = Result<std::optional<SmsAccountEntry>>;
    auto q = sql::run(m_db, kEntryColumns + QStringLiteral(" WHERE UserId=?"), {userId});
    if (!q)
        return R::failure(q.error());
    if (!q.value().next())
        return std::optional<SmsAccountEntry>();
    return std::optional<SmsAccountEntry>(entryFrom(q.value()));
}

Result<bool> SmsAccountRepository::userNameTaken(const QString &userName, std::optional<qint64> exceptUserId)
{
    auto n = sql::scalar(m_db,
                         QStringLiteral("SELECT COUNT(*) FROM SMS_UserAccounts WHERE lower(SMSUserName)=? "
                                        "AND UserId<>?"),
                         {sql::foldCase(userName), exceptUserId.value_or(-1)});
    if (!n)
        return Result<bool>::failure(n.error());
    return n.value() > 0;
}

Result<qint64> SmsAccountRepository::save(const SmsAccountEntry &account)
{
    if (account.userId == 0) {
        auto q = sql::run(m_db,
                          QStringLiteral("INSERT INTO SMS_UserAccounts (SMSUserName,SMSPassword,SMSFromName,"
                                         "SMSBalanceCredits) VALUES (?,?,?,?)"),
                          {account.userName, account.password, account.fromName, account.balanceCredits});
        if (!q)
            return Result<qint64>::failure(q.error());
        return q.value().lastInsertId().toLongLong();
    }
    auto q = sql::run(m_db,
                      QStringLiteral("UPDATE SMS_UserAccounts SET SMSUserName=?,SMSPassword=?,SMSFromName=?,"
                                     "SMSBalanceCredits=? WHERE UserId=?"),
                      {account.userName, account.password, account.fromName, account.balanceCredits, account.userId});
    if (!q)
        return Result<qint64>::failure(q.error());
    return account.userId;
}

Status SmsAccountRepository::remove(qint64 userId)
{
    return sql::run(m_db, QStringLiteral("DELETE FROM SMS_UserAccounts WHERE UserId=?"), {userId}).status();
}

Status SmsAccountRepository::setBalance(qint64 userId, qint64 credits, const QDateTime &when)
{
    return sql::run(m_db,
                    QStringLiteral("UPDATE SMS_UserAccounts SET SMSBalanceCredits=?,SMSBalanceCreditsUpdatedOn=? "
                                   "WHERE UserId=?"),
                    {credits, sql::dateValue(when), userId})
        .status();
}

} // namespace parlix

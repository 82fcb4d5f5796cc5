#include "webmail/SmsAccountRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

#include <algorithm>
#include <cmath>

namespace parlix {

Result<std::optional<SmsAccount>> SmsAccountRepository::findByLogin(const QString &userName, const QString &password)
{
    using R = Result<std::optional<SmsAccount>>;
    auto q =
        sql::run(m_db,
                 QStringLiteral("SELECT UserId,SMSUserName,SMSFromName,SMSBalanceCredits,SMSBalanceCreditsUpdatedOn "
                                "FROM SMS_UserAccounts WHERE lower(SMSUserName)=lower(?) AND "
                                "lower(SMSPassword)=lower(?) ORDER BY UserId LIMIT 1"),
                 {userName, password});
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

Status SmsAccountRepository::setBalance(qint64 userId, qint64 credits, const QDateTime &when)
{
    return sql::run(m_db,
                    QStringLiteral("UPDATE SMS_UserAccounts SET SMSBalanceCredits=?,SMSBalanceCreditsUpdatedOn=? "
                                   "WHERE UserId=?"),
                    {credits, sql::dateValue(when), userId})
        .status();
}

} // namespace parlix

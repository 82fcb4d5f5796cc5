#include "webmail/WebmailCommand.h"

#include "store/OutboxRepository.h"
#include "webmail/SmsAccountRepository.h"
#include "webmail/TagCommand.h"

namespace parlix::webmail {

QString outcome::authenticationFailed(const QString &userName)
{
    return QStringLiteral("**WARNING** SMS user authentication failed for SMSUserName '") + userName +
           QLatin1Char('\'');
}

QString outcome::notEnoughCredits(const QString &userName)
{
    return QStringLiteral("**WARNING** SMSUserName '") + userName +
           QStringLiteral("' does not have enough balance credits to send SMS");
}

Result<CommandOutcome> ProcessWebmailCommand(QSqlDatabase db, const QString &textBody, const QDateTime &now)
{
    using R = Result<CommandOutcome>;
    const TagCommand command = parseTagCommand(textBody);
    const QStringList numbers = recipientNumbers(command.numbers);

    CommandOutcome result;
    const auto finish = [&result](const QString &text) {
        result.text = text;
        result.logLines.append(text);
        return R(result);
    };

    if (command.userName.isEmpty())
        return finish(outcome::kNoUserName);
    if (command.password.isEmpty())
        return finish(outcome::kNoPassword);
    if (numbers.isEmpty() || command.message.isEmpty())
        return finish(outcome::kInvalidSyntax);

    SmsAccountRepository accounts(db);
    auto account = accounts.findByLogin(command.userName, command.password);
    if (!account)
        return R::failure(account.error());
    if (!account.value())
        return finish(outcome::authenticationFailed(command.userName));

    qint64 balance = account.value()->balanceCredits;
    QString text = outcome::kSuccess;
    OutboxRepository outbox(db);
    for (const QString &number : numbers) {
        if (balance < 1) {
            text = outcome::notEnoughCredits(command.userName);
            break;
        }
        auto id = outbox.insertPending(number, command.message, now, account.value()->fromName);
        if (!id)
            return R::failure(id.error());
        --balance;
        ++result.queued;
        result.logLines.append(QStringLiteral("Webmail-To-SMS sent to Outbox from SMS Account: '") + command.userName +
                               QStringLiteral("' to mobile number '") + number + QLatin1Char('\''));
    }
    if (Status s = accounts.setBalance(account.value()->userId, balance, now); !s)
        return R::failure(s.error);
    return finish(text);
}

} // namespace parlix::webmail

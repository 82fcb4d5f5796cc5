#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace parlix::webmail {

// The outcome texts an email command can end with; the received-email store keeps them.
namespace outcome {
inline const QString kSuccess = QStringLiteral("Success");
inline const QString kNoUserName = QStringLiteral("SMSUserName does not exist");
inline const QString kNoPassword = QStringLiteral("SMSPassword does not exist");
inline const QString kInvalidSyntax = QStringLiteral("Incoming email is not in valid syntax");
QString authenticationFailed(const QString &userName);
QString notEnoughCredits(const QString &userName);
} // namespace outcome

struct CommandOutcome
{
    QString text;         // one of the outcome texts
    QStringList logLines; // what the command reports, in order; the outcome text comes last
    int queued = 0;       // outbox rows written

    // The received-email store compares the outcome after upper-casing.
    bool isSuccess() const { return text.toUpper() == outcome::kSuccess.toUpper(); }
};

// Turns the text body of one email into pending outbox rows against the account it names:
// one row and one credit per recipient while the balance is at least 1. On an authenticated
// call the balance and its date are written even when nothing was queued.
//
// Runs inside the caller's transaction and leaves the activity log to the caller, so that a
// rolled-back email reports nothing it did not do. A failure is a store failure; every refusal
// of the command itself is an outcome.
Result<CommandOutcome> ProcessWebmailCommand(QSqlDatabase db, const QString &textBody, const QDateTime &now);

} // namespace parlix::webmail

#pragma once

#include <QString>
#include <QStringList>

namespace parlix::webmail {

// The four fields an account holder writes between tags in an email:
//   <smsusername>…</smsusername> <smspassword>…</smspassword>
//   <tomobilenumbers>…</tomobilenumbers> <message>…</message>
// Tags match without regard to case, anywhere and in any order; text outside them is ignored.
struct TagCommand
{
    QString userName;
    QString password;
    QString numbers; // the raw, comma-separated field
    QString message;
};

// Each field is the text between the first opening tag and the first closing tag, trimmed;
// it is empty when either tag is missing or the closing tag comes first.
TagCommand parseTagCommand(const QString &text);

// The value between the first "<tag>" and the first "</tag>" of text, trimmed.
QString tagValue(const QString &text, const QString &tag);

// One recipient made ready for the outbox: "-", "." and blanks removed, then trimmed.
QString cleanRecipientNumber(const QString &number);

// The recipients of a numbers field, split at "," and cleaned. Elements that clean to nothing
// (",," or a trailing comma) are dropped: they can never be delivered and must not cost a credit.
QStringList recipientNumbers(const QString &numbersField);

} // namespace parlix::webmail

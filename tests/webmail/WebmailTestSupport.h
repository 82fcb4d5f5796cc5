#pragma once

#include "core/ActivityLog.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>

namespace parlix::test {

// The activity log as entries, oldest first, without their "[date] : " prefix. An entry may
// span lines (the POP3 error line does), so entries are split where a new "[" line begins.
inline QStringList logEntries(const ActivityLog &log)
{
    static const QRegularExpression entryStart("(?:^|\\r\\n)\\[[^\\]]*\\] : ");
    QStringList newestFirst = log.text().split(entryStart, Qt::SkipEmptyParts);
    QStringList out;
    for (auto it = newestFirst.crbegin(); it != newestFirst.crend(); ++it) {
        QString entry = *it;
        if (entry.endsWith(QLatin1String("\r\n")))
            entry.chop(2);
        out.append(entry);
    }
    return out;
}

// A plain single-part email as an account holder's mail client would write it.
inline QByteArray plainEmail(const QByteArray &body, const QByteArray &subject = "SMS",
                             const QByteArray &date = "Tue, 05 Dec 2006 10:20:30 +0530",
                             const QByteArray &from = "\"Asha Rao\" <asha@example.com>")
{
    QByteArray out = "From: " + from + "\r\nTo: gw@example.com\r\nSubject: " + subject + "\r\n";
    if (!date.isEmpty())
        out += "Date: " + date + "\r\n";
    out += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n"
           "Content-Transfer-Encoding: 7bit\r\n\r\n" +
           body + "\r\n";
    return out;
}

inline QByteArray tagged(const QByteArray &user, const QByteArray &password, const QByteArray &numbers,
                         const QByteArray &message)
{
    return "<SMSUSERNAME>" + user + "</SMSUSERNAME>\r\n<SMSPASSWORD>" + password +
           "</SMSPASSWORD>\r\n"
           "<TOMOBILENUMBERS>" +
           numbers + "</TOMOBILENUMBERS>\r\n<MESSAGE>" + message + "</MESSAGE>";
}

} // namespace parlix::test

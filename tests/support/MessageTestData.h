#pragma once

#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"
#include "support/TempDatabase.h"

#include <QDateTime>

namespace parlix::test {

// Rows for the message tests, written through the repositories the windows read with.
// Row i gets a time i minutes after base, so "newest first" is a known order.
inline QDateTime baseTime()
{
    return QDateTime(QDate(2026, 3, 1), QTime(9, 0, 0));
}

inline void addInbox(const TempDatabase &db, int count, bool read = false, const QString &sender = {})
{
    InboxRepository inbox(db.db());
    db.db().transaction();
    for (int i = 1; i <= count; ++i) {
        const QString number = sender.isEmpty() ? QStringLiteral("+9198%1").arg(i, 8, 10, QLatin1Char('0')) : sender;
        auto id = inbox.insert(number, QStringLiteral("message %1").arg(i), baseTime().addSecs(60 * i));
        if (id && read)
            inbox.markRead(id.value());
    }
    db.db().commit();
}

// The outbox folder as the message box lists it (rows not delivered), oldest first.
inline QVector<OutboxRow> undeliveredOutbox(const QSqlDatabase &db)
{
    OutboxRepository outbox(db);
    return outbox.page({}, 10000, 0, outbox.count({}).value()).value();
}

inline qint64 addOutbox(const TempDatabase &db, const QString &number, const QString &text, int minute,
                        const QDateTime &delivered = {})
{
    OutboxRepository outbox(db.db());
    auto id = outbox.insertPending(number, text, baseTime().addSecs(60 * minute));
    if (id && delivered.isValid())
        outbox.markSent(id.value(), delivered);
    return id ? id.value() : -1;
}

} // namespace parlix::test

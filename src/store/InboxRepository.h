#pragma once

#include "store/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

namespace parlix {

struct InboxRow
{
    qint64 id = 0;
    QString senderMobileNo;
    QString message;
    QDateTime inboxDateTime;
    bool isRead = false;
};

// Every statement on Message_InBox.
class InboxRepository
{
public:
    explicit InboxRepository(QSqlDatabase db) : m_db(std::move(db)) {}

    // Stores a received SMS exactly as given and returns its new id.
    Result<qint64> insert(const QString &sender, const QString &message, const QDateTime &when);
    Result<qint64> countUnread();
    Result<InboxRow> find(qint64 id);
    Status markRead(qint64 id);
    Status remove(qint64 id);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <optional>

namespace parlix {

struct InboxRow
{
    qint64 id = 0;
    QString senderMobileNo;
    QString message;
    QDateTime inboxDateTime;
    bool isRead = false;
    QString receivedBy; // the station whose modem received it
};

// One part of a received long SMS: its sender, the concatenation reference, the number of
// parts and this part's number (1-based), and its text.
struct ReceivedPart
{
    QString sender;
    int concatRef = 0;
    int partCount = 0;
    int partNo = 0;
    QString text;
};

struct StoredMessage
{
    qint64 id = 0;
    QString sender;
    QString message;
};

// The orders the message box offers for the inbox; the text of each lives in the repository.
enum class InboxSort { NewestFirst, Sender, Message, OldestFirst };

// What the message box lists of the inbox: optionally only unread rows, optionally the
// rows matching an operator's number search (see sql::numberMatch).
struct InboxQuery
{
    bool unreadOnly = false;
    QString number;
    InboxSort sort = InboxSort::NewestFirst;
    // Received from..to, both ends included; an invalid end leaves that side open.
    QDateTime from{};
    QDateTime to{};
};

// One received SMS as an export writes it: the stored texts, unchanged.
struct InboxExportRow
{
    qint64 id = 0;
    QString senderMobileNo;
    QString message;
    QString inboxDateTime;
};

// Where the previous page of an export ended: the receive time and id of its last row.
struct InboxExportKey
{
    QString inboxDateTime;
    qint64 id = 0;
};

// Every statement on Message_InBox.
class InboxRepository
{
public:
    explicit InboxRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    // Stores a received SMS exactly as given and returns its new id.
    // receivedBy: the station whose modem took it; null when empty.
    Result<qint64> insert(const QString &sender, const QString &message, const QDateTime &when,
                          const QString &receivedBy = {});
    Result<qint64> countUnread();
    Result<InboxRow> find(qint64 id);
    Status markRead(qint64 id);
    Status remove(qint64 id);

    // How many rows a query lists, and one page of them; rows of equal sort value keep a fixed
    // order, so consecutive pages neither repeat nor skip a row. Given the count as total, a
    // page near the end is read from the end (see sql::pageWindow).
    Result<qint64> count(const InboxQuery &query);
    Result<QVector<InboxRow>> page(const InboxQuery &query, qint64 limit, qint64 offset, qint64 total = -1);

    // Deletes the rows together: all of them or, on a failure, none.
    Status remove(const QVector<qint64> &ids);

    // The rows received from..to (both included) in the order received, at most limit of
    // them after the row `after` (from the first row without it). Keyset pages: each page
    // starts from the index where the last one ended, however far into the range it is.
    Result<QVector<InboxExportRow>> receivedPage(const QDateTime &from, const QDateTime &to,
                                                 const std::optional<InboxExportKey> &after, int limit);

    // ---- Parts of long SMS (Message_InBox_Parts) ----

    // Keeps one received part; a part already kept (listed again after a failed delete) is
    // left as it is.
    Status insertPart(const ReceivedPart &part, const QDateTime &when);
    // When every part of the part's message is kept: stores the joined text as one inbox row
    // and drops the parts, in one transaction, and returns the new row's id. No value while
    // parts are still missing.
    Result<std::optional<qint64>> completeMessage(const ReceivedPart &part, const QDateTime &when,
                                                  const QString &receivedBy = {});
    // Stores, as one inbox row each, the messages whose first kept part arrived before
    // olderThan, their missing parts marked with missingMarker, and drops those parts.
    Result<QVector<StoredMessage>> storeIncomplete(const QDateTime &olderThan, const QString &missingMarker,
                                                   const QDateTime &when, const QString &receivedBy = {});

private:
    QSqlDatabase m_db;
};

} // namespace parlix

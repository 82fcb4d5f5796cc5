#pragma once

#include "core/Result.h"
#include "engine/SmsRules.h"

#include <QSqlDatabase>
#include <QVector>

namespace parlix {

// Every statement on SMS_AutoReply (the keywords) and SMS_AutoReplySettings (the switch).
class AutoReplyRepository
{
public:
    explicit AutoReplyRepository(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    // The keywords in key order: the first match in this order wins.
    Result<QVector<KeywordReply>> keywords();
    Result<qint64> insert(const QString &command, const QString &reply);
    Status update(qint64 commandId, const QString &command, const QString &reply);
    Status remove(qint64 commandId);

    // The switch; false when the settings table has no row yet.
    Result<bool> sendAutoReply();
    // Writes the switch, creating the single settings row the first time.
    Status setSendAutoReply(bool on);

private:
    QSqlDatabase m_db;
};

} // namespace parlix

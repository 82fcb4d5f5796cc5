#include "engine/AutoReplyRepository.h"

#include "store/Query.h"
#include "store/SqlDialect.h"

namespace parlix {

Result<QVector<KeywordReply>> AutoReplyRepository::keywords()
{
    auto q =
        sql::run(m_db, QStringLiteral("SELECT CommandId,SMS_Command,SMS_Reply FROM SMS_AutoReply ORDER BY CommandId"));
    if (!q)
        return Result<QVector<KeywordReply>>::failure(q.error());
    QVector<KeywordReply> rows;
    while (q.value().next()) {
        KeywordReply row;
        row.commandId = q.value().value(0).toLongLong();
        if (!q.value().value(1).isNull())
            row.command = q.value().value(1).toString();
        row.reply = q.value().value(2).toString();
        rows.append(row);
    }
    return rows;
}

Result<qint64> AutoReplyRepository::insert(const QString &command, const QString &reply)
{
    auto q = sql::run(m_db, QStringLiteral("INSERT INTO SMS_AutoReply (SMS_Command,SMS_Reply) VALUES (?,?)"),
                      {command, reply});
    if (!q)
        return Result<qint64>::failure(q.error());
    return q.value().lastInsertId().toLongLong();
}

Status AutoReplyRepository::update(qint64 commandId, const QString &command, const QString &reply)
{
    return sql::run(m_db, QStringLiteral("UPDATE SMS_AutoReply SET SMS_Command=?,SMS_Reply=? WHERE CommandId=?"),
                    {command, reply, commandId})
        .status();
}

Status AutoReplyRepository::remove(qint64 commandId)
{
    return sql::run(m_db, QStringLiteral("DELETE FROM SMS_AutoReply WHERE CommandId=?"), {commandId}).status();
}

Result<bool> AutoReplyRepository::sendAutoReply()
{
    auto row = sql::firstRow(m_db, QStringLiteral("SELECT SendAutoReply FROM SMS_AutoReplySettings LIMIT 1"));
    if (!row)
        return Result<bool>::failure(row.error());
    return row.value().has_value() && sql::boolFrom(row.value()->value(QStringLiteral("SendAutoReply")));
}

Status AutoReplyRepository::setSendAutoReply(bool on)
{
    return sql::inTransaction(m_db, [&] {
        auto n = sql::scalar(m_db, QStringLiteral("SELECT COUNT(*) FROM SMS_AutoReplySettings"));
        if (!n)
            return n.status();
        const QString text = n.value() > 0
                                 ? QStringLiteral("UPDATE SMS_AutoReplySettings SET SendAutoReply=?")
                                 : QStringLiteral("INSERT INTO SMS_AutoReplySettings (SendAutoReply) VALUES (?)");
        return sql::run(m_db, text, {sql::boolValue(on)}).status();
    });
}

} // namespace parlix

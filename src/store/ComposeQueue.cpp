#include "store/ComposeQueue.h"

#include "store/OutboxRepository.h"
#include "store/Query.h"

namespace parlix {

QString cleanComposeNumber(const QString &typed)
{
    QString n = typed.trimmed();
    n.remove(QLatin1Char('.'));
    n = n.trimmed();
    n.remove(QLatin1Char(' '));
    return n.trimmed();
}

QStringList splitComposeNumbers(const QString &typed)
{
    QStringList out;
    const QStringList parts = typed.split(QLatin1Char(','));
    out.reserve(parts.size());
    for (const QString &p : parts)
        out << cleanComposeNumber(p);
    return out;
}

Result<int> queueComposedSms(QSqlDatabase db, const QStringList &recipients, const QString &message,
                             const QDateTime &when)
{
    OutboxRepository outbox(db);
    int queued = 0;
    const Status s = sql::inTransaction(db, [&]() -> Status {
        for (const QString &number : recipients) {
            auto id = outbox.insertPending(number, message, when);
            if (!id)
                return id.status();
            ++queued;
        }
        return Status::success();
    });
    if (!s)
        return Result<int>::failure(s.error);
    return queued;
}

} // namespace parlix

#pragma once

#include "core/Clock.h"

#include <QMutex>

namespace parlix::test {

// A clock that moves only when the test moves it.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 12, 5), QTime(5, 11, 0)))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override
    {
        QMutexLocker lock(&m_mutex);
        return m_now;
    }
    void set(const QDateTime &when)
    {
        QMutexLocker lock(&m_mutex);
        m_now = when;
    }
    void advanceSecs(qint64 secs)
    {
        QMutexLocker lock(&m_mutex);
        m_now = m_now.addSecs(secs);
    }

private:
    mutable QMutex m_mutex;
    QDateTime m_now;
};

} // namespace parlix::test

#pragma once

#include <QDateTime>

namespace parlix {

// Every "now" of the program goes through a Clock so tests can pin time.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

// Local wall-clock time, as the operator sees it.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    static const SystemClock &instance();
};

} // namespace parlix

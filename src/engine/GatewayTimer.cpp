#include "engine/GatewayTimer.h"

namespace parlix {

GatewayTimer::GatewayTimer(QObject *parent)
    : QObject(parent)
    , m_timer(this)
{
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &GatewayTimer::timeout);
}

void GatewayTimer::setInterval(int ms)
{
    m_interval = qMax(0, ms);
    apply();
}

void GatewayTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled && (enabled == m_timer.isActive() || m_interval == 0))
        return;
    m_enabled = enabled;
    apply();
}

void GatewayTimer::skipIfOverdue()
{
    if (m_timer.isActive() && m_timer.remainingTime() == 0)
        m_timer.start(m_interval);
}

void GatewayTimer::apply()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

} // namespace parlix

#pragma once

#include <QObject>
#include <QTimer>

namespace parlix {

// The gateway's timers behave like the classic window timers they replace: a timer fires every
// interval ms while it is enabled and its interval is above 0; setting the interval (even to
// the same value) restarts the countdown, and an interval of 0 keeps it from firing while it
// stays enabled. Lives on the engine thread.
class GatewayTimer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GatewayTimer)

public:
    explicit GatewayTimer(QObject *parent = nullptr);

    void setInterval(int ms);
    int interval() const { return m_interval; }
    // "Start" and "stop" as the call watcher uses them: the interval is kept.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    bool isRunning() const { return m_timer.isActive(); }

    // A tick that fell due while the engine thread was busy is dropped, not run late: the
    // countdown starts again from now. Called after every long piece of engine work.
    void skipIfOverdue();

Q_SIGNALS:
    void timeout();

private:
    void apply();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = true;
};

} // namespace parlix

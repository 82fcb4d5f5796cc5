#pragma once

#include "AtMachine.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace parlix::sim {

// The simulator's device: a pseudo-terminal served on its own thread. Bytes the program writes
// go to the handler; replies are written when they fall due, in order. Everything but start,
// stop and poke runs under mutex().
class PtyPump
{
public:
    using Clock = std::chrono::steady_clock;
    // Called under the lock with bytes read from the program; returns what to answer.
    using Handler = std::function<std::deque<Reply>(QByteArrayView)>;

    explicit PtyPump(QString linkPath);
    ~PtyPump();
    PtyPump(const PtyPump &) = delete;
    PtyPump &operator=(const PtyPump &) = delete;

    bool start(Handler handler, QString *error);
    void stop();
    bool running() const { return m_running; }
    // Wakes the thread after a change made under the lock.
    void poke() const;

    std::mutex &mutex() const { return m_mu; }
    std::condition_variable &changed() const { return m_changed; }

    // ---- Under the lock ----
    void enqueue(std::deque<Reply> replies);
    bool openPty(QString *error);
    void closePty();
    // Drops whatever was not yet written (an unplugged device says nothing more).
    void dropOutput();
    bool isOpen() const { return m_master >= 0; }
    QString devicePath() const { return m_linkPath.isEmpty() ? m_slaveName : m_linkPath; }
    // Bytes that arrived while a send awaited its final answer.
    int violations = 0;

private:
    struct Output
    {
        Clock::time_point due;
        QByteArray bytes;
        bool unplug = false;
        bool endsSend = false;
    };

    void run();
    void flushDue();

    QString m_linkPath;
    Handler m_handler;
    mutable std::mutex m_mu;
    mutable std::condition_variable m_changed;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    int m_wake[2] = {-1, -1};
    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
    std::deque<Output> m_outputs;
    QByteArray m_unwritten;
    Clock::time_point m_lastDue = Clock::now();
    bool m_sendInFlight = false;
};

} // namespace parlix::sim

#include "PtyPump.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <pty.h>
#include <termios.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace parlix::sim {

using Ms = std::chrono::milliseconds;

PtyPump::PtyPump(QString linkPath)
    : m_linkPath(std::move(linkPath))
{
}

PtyPump::~PtyPump()
{
    stop();
}

bool PtyPump::start(Handler handler, QString *error)
{
    if (m_running)
        return true;
    m_handler = std::move(handler);
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error)
            *error = QStringLiteral("pipe failed");
        return false;
    }
    {
        std::lock_guard lock(m_mu);
        if (!openPty(error))
            return false;
    }
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void PtyPump::stop()
{
    if (!m_running)
        return;
    m_running = false;
    poke();
    m_thread.join();
    std::lock_guard lock(m_mu);
    closePty();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    m_wake[0] = m_wake[1] = -1;
}

void PtyPump::poke() const
{
    if (m_wake[1] < 0)
        return;
    const char c = 1;
    [[maybe_unused]] auto n = ::write(m_wake[1], &c, 1);
}

void PtyPump::enqueue(std::deque<Reply> replies)
{
    for (Reply &r : replies) {
        const auto due = std::max(Clock::now() + Ms(r.delayMs), m_lastDue);
        m_lastDue = due;
        if (r.endsSend)
            m_sendInFlight = true;
        m_outputs.push_back({due, std::move(r.bytes), r.unplug, r.endsSend});
    }
}

void PtyPump::dropOutput()
{
    m_outputs.clear();
    m_unwritten.clear();
    m_sendInFlight = false;
}

bool PtyPump::openPty(QString *error)
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("openpty failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    termios tio{};
    ::tcgetattr(m_slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slaveName = QString::fromLocal8Bit(name);
    if (!m_linkPath.isEmpty()) {
        QFile::remove(m_linkPath);
        if (!QFile::link(m_slaveName, m_linkPath)) {
            if (error)
                *error = QStringLiteral("cannot create the link %1").arg(m_linkPath);
            closePty();
            return false;
        }
    }
    return true;
}

void PtyPump::closePty()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    if (!m_linkPath.isEmpty())
        QFile::remove(m_linkPath);
}

void PtyPump::run()
{
    while (m_running) {
        int timeout = 200;
        int master = -1;
        {
            std::lock_guard lock(m_mu);
            flushDue();
            if (!m_outputs.empty()) {
                const auto wait = std::chrono::duration_cast<Ms>(m_outputs.front().due - Clock::now()).count();
                timeout = int(std::clamp<long long>(wait + 1, 0, 200));
            }
            if (!m_unwritten.isEmpty())
                timeout = std::min(timeout, 5);
            master = m_master;
        }
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {master, POLLIN, 0}};
        ::poll(fds, master >= 0 ? 2 : 1, timeout);
        if (fds[0].revents & POLLIN) {
            char buf[64];
            [[maybe_unused]] auto n = ::read(m_wake[0], buf, sizeof buf);
        }
        if (master >= 0 && (fds[1].revents & POLLIN)) {
            char buf[4096];
            std::lock_guard lock(m_mu);
            if (m_master == master) {
                const auto n = ::read(m_master, buf, sizeof buf);
                if (n > 0) {
                    if (m_sendInFlight)
                        ++violations;
                    enqueue(m_handler(QByteArrayView(buf, n)));
                    m_changed.notify_all();
                }
            }
        }
    }
}

void PtyPump::flushDue()
{
    const auto now = Clock::now();
    while (!m_outputs.empty() && m_outputs.front().due <= now) {
        Output out = std::move(m_outputs.front());
        m_outputs.pop_front();
        if (out.unplug) {
            closePty();
            dropOutput();
            return;
        }
        if (out.endsSend)
            m_sendInFlight = false;
        m_unwritten += out.bytes;
    }
    if (m_unwritten.isEmpty() || m_master < 0)
        return;
    const auto n = ::write(m_master, m_unwritten.constData(), size_t(m_unwritten.size()));
    if (n > 0)
        m_unwritten.remove(0, qsizetype(n));
}

} // namespace parlix::sim

#include "core/ActivityLog.h"

#include "core/Clock.h"

#include <QLocale>
#include <QMutexLocker>

#include <cstdio>

namespace parlix {

QString generalDateText(const QDateTime &when)
{
    static const QLocale c(QLocale::C);
    return c.toString(when, QStringLiteral("M/d/yyyy h:mm:ss AP"));
}

ActivityLog::ActivityLog(const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{
}

QString ActivityLog::formatLine(const QDateTime &when, const QString &text)
{
    return QStringLiteral("[") + generalDateText(when) + QStringLiteral("] : ") + text + QStringLiteral("\r\n");
}

void ActivityLog::WriteActivityLog(const QString &text)
{
    {
        QMutexLocker lock(&m_mutex);
        if (!m_enabled)
            return;
        const QString line = formatLine(m_clock.now(), text);
        m_text.prepend(line);
        if (m_echo) {
            const QByteArray out = line.toUtf8();
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            std::fflush(stdout);
        }
        if (m_text.size() > kMaxLength) {
            // The clock is read again on purpose: the notice carries its own time.
            const QString notice =
                formatLine(m_clock.now(), QStringLiteral("**NOTICE** Removing old entries from the activity log."));
            m_text = notice + m_text.left(kKeptAfterTrim);
            if (m_echo) {
                const QByteArray out = notice.toUtf8();
                std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
                std::fflush(stdout);
            }
        }
    }
    Q_EMIT changed();
}

QString ActivityLog::text() const
{
    QMutexLocker lock(&m_mutex);
    return m_text;
}

bool ActivityLog::isEnabled() const
{
    QMutexLocker lock(&m_mutex);
    return m_enabled;
}

void ActivityLog::setEnabled(bool enabled)
{
    QMutexLocker lock(&m_mutex);
    m_enabled = enabled;
}

void ActivityLog::clear()
{
    {
        QMutexLocker lock(&m_mutex);
        m_text.clear();
    }
    Q_EMIT changed();
}

void ActivityLog::setEchoToStdout(bool echo)
{
    QMutexLocker lock(&m_mutex);
    m_echo = echo;
}

} // namespace parlix

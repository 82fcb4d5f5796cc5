#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

namespace parlix {

class Clock;

// The operator's running account of what the engine does: newest line first, trimmed to stay
// small. One object is shared by every thread; writes are serialised, so lines written by one
// thread keep their order.
class ActivityLog final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivityLog)

public:
    static constexpr int kMaxLength = 12000;
    static constexpr int kKeptAfterTrim = 2000;

    explicit ActivityLog(const Clock &clock, QObject *parent = nullptr);

    void WriteActivityLog(const QString &text);

    QString text() const;
    bool isEnabled() const;
    void setEnabled(bool enabled); // the "Start" and "Stop" links
    void clear();                  // the "Clear" link

    // Headless mode: every line also goes to standard output as it is written.
    void setEchoToStdout(bool echo);

    // The line format, shared with anything that must show a date the same way.
    static QString formatLine(const QDateTime &when, const QString &text);

Q_SIGNALS:
    // Emitted after each change of the text, from the writing thread.
    void changed();

private:
    const Clock &m_clock;
    mutable QMutex m_mutex;
    QString m_text;
    bool m_enabled = true;
    bool m_echo = false;
};

// The system's general date format (short date, a blank, long time), fixed to the English
// form so that logs and stored texts read the same on every machine: 12/5/2026 5:11:00 AM.
QString generalDateText(const QDateTime &when);

} // namespace parlix

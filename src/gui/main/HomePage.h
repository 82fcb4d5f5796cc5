#pragma once

#include <QSqlDatabase>
#include <QWidget>

class QPlainTextEdit;
class QLabel;

namespace parlix {

class ActivityLog;
class Clock;
class LinkLabel;

// frm_HomePage: today's date, the three live counts that double as links, and the activity
// log with its Start / Stop / Clear links. The counts are COUNT queries on the GUI thread's
// connection, cheap enough to run every second.
class HomePage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HomePage)

public:
    HomePage(QSqlDatabase db, ActivityLog &log, const Clock &clock, QWidget *parent = nullptr);

    // "I" when the Inbox link opened the message box, "O" for the Outbox link, else empty;
    // the message box reads it once and clears it.
    const QString &msgType() const { return m_msgType; }
    void setMsgType(const QString &type) { m_msgType = type; }

    // The missed-calls link leads nowhere until the report exists.
    void setMissedCallsLinkActive(bool active);

public Q_SLOTS:
    // A failing count keeps the number shown before: the page must never stop the program.
    void RefreshCounts();

Q_SIGNALS:
    void messageBoxRequested();
    void missedCallsRequested();

private:
    void showLog();
    void syncLogLinks();

    QSqlDatabase m_db;
    ActivityLog &m_log;
    const Clock &m_clock;
    QString m_msgType;
    QString m_shownLog;
    bool m_logUpdatePending = false;

    QLabel *m_today;
    LinkLabel *m_missCall;
    LinkLabel *m_inBox;
    LinkLabel *m_outBox;
    LinkLabel *m_start;
    LinkLabel *m_stop;
    LinkLabel *m_clear;
    QPlainTextEdit *m_logBox;
};

} // namespace parlix

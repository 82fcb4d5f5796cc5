#pragma once

#include "config/RuntimeSettings.h"
#include "core/EngineContext.h"
#include "core/WorkerThread.h"
#include "store/Database.h"
#include "webmail/PollerLock.h"
#include "webmail/Pop3Client.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <optional>

namespace parlix {

// What one poll did; for the viewer's refresh and for measuring.
struct WebmailPollSummary
{
    int inMailbox = 0; // messages listed by the server
    int stored = 0;    // emails stored (and their SMS queued) by this poll
    qint64 totalMs = 0;
    qint64 serverMs = 0; // part of totalMs spent in exchanges with the POP3 server
};

// Lives on the webmail thread: owns that thread's database connection and the mailbox timer
// Timer_WebMailToSMS. Each tick is one short POP3 session that turns every new tagged email
// into outbox rows.
//
// Every email is handled exactly once: its charge, its outbox rows, the stored email and the
// remembered UIDL are one transaction, and the email is deleted from the mailbox only after
// that transaction has committed. A remembered UIDL met again (its delete was lost) is only
// deleted. An email without a text body, or larger than the size limit, is remembered and left
// in the mailbox, so it is never read again.
//
// Of all stations on one database only the one holding the PollerLock polls; the others skip
// their ticks and take the lock over once its holder stops.
class WebmailPoller : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebmailPoller)

public:
    // station: this station's name among those sharing the database; empty: the context's, else this process's.
    explicit WebmailPoller(EngineContext context, QString station = {}, QObject *parent = nullptr);
    ~WebmailPoller() override;

    const QTimer &timer() const { return m_timer; }
    WebmailPollSummary lastPoll() const { return m_lastPoll; }

    // Thread-safe: makes the exchange in progress fail at once and ends the poll quietly.
    void requestAbort() { m_abort = true; }

    // Test seam: runs between an email's commit and its delete from the mailbox (argument: the
    // email's number in the mailbox), so a test can cut the connection at the worst moment.
    void setAfterCommitHook(std::function<void(int)> hook) { m_afterCommit = std::move(hook); }
    // Test seam: the limit of one exchange with the server, 10 s unless changed.
    void setExchangeTimeoutMs(int ms) { m_pop3Options.timeoutMs = ms; }
    // Test seam: how the POP3 client connects (a test server's certificate to trust).
    void setPop3Options(const webmail::Pop3Options &options) { m_pop3Options = options; }

public Q_SLOTS:
    // Runs first on the webmail thread: opens the thread's own database connection.
    void initialise();
    // Takes a new copy of the settings and arms or stops the timer from them.
    void applySettings(const parlix::RuntimeSettings &settings);
    // One tick of Timer_WebMailToSMS; tests call it directly instead of waiting for the timer.
    void tick();
    // Stops the timer and closes the connection; the last call before the thread ends.
    void shutdown();

Q_SIGNALS:
    void initialised(bool ok, const QString &error);
    // After every poll that reached the server, successful or not.
    void pollFinished(const parlix::WebmailPollSummary &summary);

private:
    void ReadPOP3Emails(webmail::Pop3Client &session, const QVector<webmail::Pop3Message> &messages);
    void onPop3Error(webmail::Pop3Client &session, const webmail::Pop3Error &error);
    // Prefix of the remembered keys of the configured mailbox: a UIDL is unique only there.
    QString mailboxKeyPrefix() const;
    void log(const QString &text) const;
    // Whether this station may poll now; logs a change of the polling station once.
    bool holdPollerLock();
    qint64 leaseMs() const;

    EngineContext m_context;
    RuntimeSettings m_settings;
    DbConnectionPtr m_db;
    QString m_station;
    std::optional<PollerLock> m_lock;
    QString m_lastHolder; // the polling station this one last saw
    bool m_lockUnreadable = false;
    QTimer m_timer;
    std::atomic_bool m_abort = false;
    std::function<void(int)> m_afterCommit;
    webmail::Pop3Options m_pop3Options;
    WebmailPollSummary m_lastPoll;
};

// Owns the webmail thread and the poller on it. Create it after the settings are loaded,
// start() it, hand it every new copy of the settings, and stop() it before the process ends.
// applySettings() queues each copy to the poller, which re-arms its timer from it.
class WebmailHost : public WorkerThread<WebmailPoller>
{
    Q_DISABLE_COPY_MOVE(WebmailHost)

public:
    explicit WebmailHost(EngineContext context, QString station = {});
    ~WebmailHost();

    // For connecting to its signals; call its slots only through queued calls.
    WebmailPoller *poller() const { return worker(); }

    // Ends a poll in progress at its next exchange, shuts the poller down and ends the thread.
    // Called on the GUI thread it keeps serving events meanwhile, so a message box the poller
    // is showing can still be answered.
    void stop();
};

} // namespace parlix

Q_DECLARE_METATYPE(parlix::WebmailPollSummary)

#include "webmail/WebmailPoller.h"

#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "store/Query.h"
#include "store/StationRepository.h"
#include "webmail/EmailParser.h"
#include "webmail/ReceivedEmailRepository.h"
#include "webmail/WebmailCommand.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>

#include <cmath>
#include <limits>

namespace parlix {

namespace {

// The number shown with a failure of the local store while emails are read and stored. POP3
// failures carry libcurl's own numbers, all below 100, so the two never mix.
constexpr int kStoreFailureNumber = 1000;
constexpr int kDefaultPop3Port = 110;

int pop3PortOf(const QVariant &stored)
{
    bool ok = false;
    const double port = stored.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(port) || port < 1 || port > 65535)
        return kDefaultPop3Port;
    return int(std::lround(port));
}

} // namespace

WebmailPoller::WebmailPoller(EngineContext context, QString station, QObject *parent)
    : QObject(parent)
    , m_context(std::move(context))
    , m_station(!station.isEmpty()             ? std::move(station)
                : !m_context.station.isEmpty() ? m_context.station
                                               : thisStation())
    , m_timer(this)
{
    m_timer.setObjectName(QStringLiteral("Timer_WebMailToSMS"));
    connect(&m_timer, &QTimer::timeout, this, &WebmailPoller::tick);
}

WebmailPoller::~WebmailPoller() = default;

void WebmailPoller::log(const QString &text) const
{
    m_context.log->WriteActivityLog(text);
}

void WebmailPoller::initialise()
{
    m_abort = false;
    auto db = DbConnection::open(m_context.databasePath, DbConnection::Mode::ExistingOnly);
    if (!db) {
        log(QStringLiteral("**ERROR** ") + db.error());
        Q_EMIT initialised(false, db.error());
        return;
    }
    m_db = db.value();
    m_lock.emplace(m_db->db(), m_station);
    Q_EMIT initialised(true, QString());
}

void WebmailPoller::applySettings(const RuntimeSettings &settings)
{
    m_settings = settings;
    if (!settings.WebMailToSMSEnabled || settings.webMailTimerMs <= 0) {
        m_timer.stop();
        if (m_lock)
            m_lock->release();
        return;
    }
    const int ms = int(std::min<qint64>(settings.webMailTimerMs, std::numeric_limits<int>::max()));
    // Saving the settings again with the same period must not push the next poll back.
    if (!m_timer.isActive() || m_timer.interval() != ms)
        m_timer.start(ms);
}

void WebmailPoller::shutdown()
{
    m_timer.stop();
    if (m_lock)
        m_lock->release();
    m_lock.reset();
    m_db.reset();
}

qint64 WebmailPoller::leaseMs() const
{
    // One interval and a quarter: the holder's next tick renews it in time, and a stopped
    // holder's poll is taken over by another station within one interval of falling due.
    const qint64 interval = std::max<qint64>(m_settings.webMailTimerMs, 1000);
    return interval + std::max<qint64>(interval / 4, 2000);
}

bool WebmailPoller::holdPollerLock()
{
    const QDateTime now = m_context.clock->now();
    auto held = m_lock->acquire(now, now.addMSecs(leaseMs()));
    if (!held) {
        // Said once until the lock can be read again, not at every tick.
        if (!m_lockUnreadable)
            log(QStringLiteral("**ERROR** Webmail-to-SMS: which station checks the mailbox cannot be read: ") +
                held.error());
        m_lockUnreadable = true;
        return false;
    }
    m_lockUnreadable = false;
    QString holder = m_station;
    if (!held.value()) {
        auto named = m_lock->holder();
        holder = named ? named.value() : QString();
    }
    // A single station says nothing; a change between stations is logged once.
    if (holder != m_lastHolder && !(m_lastHolder.isEmpty() && holder == m_station)) {
        if (holder == m_station)
            log(QStringLiteral("Webmail-to-SMS: this station (%1) checks the mailbox now.").arg(m_station));
        else
            log(QStringLiteral("Webmail-to-SMS: station %1 checks the mailbox; this station skips it.")
                    .arg(holder.isEmpty() ? QStringLiteral("(unknown)") : holder));
    }
    m_lastHolder = holder;
    return held.value();
}

QString WebmailPoller::mailboxKeyPrefix() const
{
    return m_settings.POP3MailServer.toLower() + QLatin1Char('|') + m_settings.POP3UserName.toString() +
           QLatin1Char('|');
}

void WebmailPoller::tick()
{
    // The session lives only inside a poll, so a switched-off poller has nothing to close.
    if (!m_settings.WebMailToSMSEnabled || !m_db || !holdPollerLock())
        return;

    QElapsedTimer elapsed;
    elapsed.start();
    m_lastPoll = {};
    log(QStringLiteral("Checking POP3 account for Webmail-to-SMS on the server: ") + m_settings.POP3MailServer);

    webmail::Pop3Client session({m_settings.POP3MailServer, pop3PortOf(m_settings.POP3Port),
                                 m_settings.POP3UserName.toString(), m_settings.POP3Password,
                                 m_settings.POP3AllowClearTextLogin},
                                m_pop3Options, &m_abort);
    // Listing the messages is the first exchange: it connects and logs in.
    if (auto messages = session.listMessages())
        ReadPOP3Emails(session, *messages);
    else
        onPop3Error(session, session.lastError());
    session.close();

    // Renewed from the poll's end too, so that a long poll does not eat into the next interval.
    const QDateTime end = m_context.clock->now();
    m_lock->acquire(end, end.addMSecs(leaseMs()));

    m_lastPoll.totalMs = elapsed.elapsed();
    m_lastPoll.serverMs = session.serverMs();
    Q_EMIT pollFinished(m_lastPoll);
}

void WebmailPoller::onPop3Error(webmail::Pop3Client &session, const webmail::Pop3Error &error)
{
    session.close();
    // Shutting down cuts the exchange on purpose; that is no failure to report.
    if (m_abort)
        return;
    log(QStringLiteral("**ERROR** WebMail - To - SMS Error While Checking For Your Emails.\r\nError No.: ") +
        QString::number(error.number) + QStringLiteral(": ") + error.description);
}

void WebmailPoller::ReadPOP3Emails(webmail::Pop3Client &session, const QVector<webmail::Pop3Message> &messages)
{
    m_lastPoll.inMailbox = int(messages.size());
    log(QStringLiteral("Total ") + QString::number(messages.size()) + QStringLiteral(" new emails found."));

    QSqlDatabase db = m_db->db();
    ReceivedEmailRepository store(db);
    const QString prefix = mailboxKeyPrefix();
    auto rememberedAtStart = store.processedWithPrefix(prefix);
    if (!rememberedAtStart) {
        m_context.prompt->inform(QStringLiteral("Error %1: %2").arg(kStoreFailureNumber).arg(rememberedAtStart.error()),
                                 Prompt::Icon::Critical);
        return;
    }
    QHash<QString, std::optional<qint64>> remembered = rememberedAtStart.value();
    QSet<QString> listed;
    Status storeStatus;

    for (const webmail::Pop3Message &message : messages) {
        if (m_abort)
            return;
        const QString key = prefix + message.uidl;
        listed.insert(key);
        if (auto known = remembered.constFind(key); known != remembered.constEnd()) {
            // Already turned into SMS: its earlier delete was lost, so only the delete is due.
            // Without a stored id it was left in the mailbox on purpose.
            if (known.value() && !session.remove(message.number))
                return onPop3Error(session, session.lastError());
            continue;
        }

        // An email is held whole in memory while it is read; one over the limit is never read,
        // and remembering it keeps a crash on it from repeating at every poll.
        const qint64 limit = m_settings.MaxEmailSizeKB * 1024;
        std::optional<QByteArray> raw;
        if (message.size <= limit)
            raw = session.retrieve(message.number, limit);
        if (!raw && !(message.size > limit || session.tooLarge()))
            return onPop3Error(session, session.lastError());
        if (!raw) {
            const QString size =
                message.size > limit ? QStringLiteral(" (%1 KB)").arg((message.size + 1023) / 1024) : QString();
            log(QStringLiteral("**WARNING** Email no. %1 is larger than the limit of %2 KB%3 and is skipped; it stays "
                               "in the mailbox.")
                    .arg(message.number)
                    .arg(m_settings.MaxEmailSizeKB)
                    .arg(size));
            storeStatus = store.rememberProcessed(key, std::nullopt, m_context.clock->now()).status();
            if (!storeStatus)
                break;
            remembered.insert(key, std::nullopt);
            continue;
        }
        const webmail::ParsedEmail email = webmail::parseEmail(*raw);
        const QDateTime now = m_context.clock->now();

        if (email.textBody.isEmpty()) {
            storeStatus = store.rememberProcessed(key, std::nullopt, now).status();
            if (!storeStatus)
                break;
            remembered.insert(key, std::nullopt);
            continue;
        }

        log(QStringLiteral("Parsing email no. ") + QString::number(message.number) + QStringLiteral(" contents."));
        webmail::CommandOutcome outcome;
        qint64 storedId = 0;
        bool takenElsewhere = false;
        storeStatus = sql::inTransaction(db, [&]() -> Status {
            // The first write takes the database's write lock (on PostgreSQL the key's), so the
            // balance read below cannot change under the charge, and a poller that lost its lock
            // in the middle of a poll finds the email another one took and leaves it.
            auto first = store.rememberProcessed(key, std::nullopt, now);
            if (first && !first.value())
                takenElsewhere = true;
            if (!first || takenElsewhere)
                return first ? Status::failure(QString()) : first.status();
            auto processed = webmail::ProcessWebmailCommand(db, email.textBody, now);
            if (!processed)
                return processed.status();
            outcome = processed.value();
            ReceivedEmail row{email.fromName,
                              email.fromAddress,
                              email.subject,
                              email.dateTime,
                              email.contentType,
                              email.textBody,
                              now,
                              outcome.isSuccess(),
                              outcome.isSuccess() ? QString() : outcome.text};
            auto id = store.insert(row);
            if (!id)
                return id.status();
            storedId = id.value();
            return store.linkProcessed(key, storedId);
        });
        if (takenElsewhere) {
            storeStatus = Status::success();
            continue;
        }
        if (!storeStatus)
            break;
        remembered.insert(key, storedId);
        for (const QString &line : std::as_const(outcome.logLines))
            log(line);
        ++m_lastPoll.stored;

        if (m_afterCommit)
            m_afterCommit(message.number);
        if (!session.remove(message.number))
            return onPop3Error(session, session.lastError());
    }

    if (storeStatus) {
        // Messages gone from the mailbox no longer need remembering.
        QStringList gone;
        for (auto it = remembered.cbegin(); it != remembered.cend(); ++it) {
            if (!listed.contains(it.key()))
                gone.append(it.key());
        }
        storeStatus = store.forgetProcessed(gone);
    }
    if (!storeStatus)
        m_context.prompt->inform(QStringLiteral("Error %1: %2").arg(kStoreFailureNumber).arg(storeStatus.error),
                                 Prompt::Icon::Critical);
}

WebmailHost::WebmailHost(EngineContext context, QString station)
    : WorkerThread(new WebmailPoller(std::move(context), std::move(station)), QStringLiteral("webmail"))
{
    qRegisterMetaType<parlix::RuntimeSettings>();
    qRegisterMetaType<parlix::WebmailPollSummary>();
}

WebmailHost::~WebmailHost()
{
    stop();
}

void WebmailHost::stop()
{
    if (!m_thread.isRunning())
        return;
    m_worker->requestAbort();
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            m_worker->shutdown();
            m_thread.quit();
        },
        Qt::QueuedConnection);
    // A poll may be waiting for the GUI thread to answer a message box; keep serving it.
    QCoreApplication *app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread()) {
        QEventLoop loop;
        QObject::connect(&m_thread, &QThread::finished, &loop, &QEventLoop::quit);
        if (!m_thread.isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_thread.wait();
}

} // namespace parlix

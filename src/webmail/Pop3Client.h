#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
#include <optional>

namespace parlix::webmail {

struct Pop3Account
{
    QString server;
    int port = 110; // 995 means TLS from the first byte; any other port upgrades with STLS when offered
    QString userName;
    QString password;
};

// A failure as the error event reports it: a number and a text the operator can read.
struct Pop3Error
{
    int number = 0;
    QString description;
};

struct Pop3Message
{
    int number = 0; // position in this session's listing, from 1
    QString uidl;   // the server's lasting identity of the message
};

// One POP3 session through libcurl. The first call connects and logs in; later calls reuse
// the connection. Deletions take effect only when the session ends cleanly (QUIT), which
// close() and the destructor do. Each exchange with the server is bounded by the time-out.
// Not thread-safe: one client belongs to one thread.
class Pop3Client
{
public:
    // cancel, when given, aborts the exchange in progress as soon as it becomes true.
    explicit Pop3Client(Pop3Account account, int timeoutMs = 10000, const std::atomic_bool *cancel = nullptr);
    ~Pop3Client();
    Pop3Client(const Pop3Client &) = delete;
    Pop3Client &operator=(const Pop3Client &) = delete;

    // Every message in the mailbox with its UIDL, in mailbox order.
    std::optional<QVector<Pop3Message>> listMessages();
    std::optional<QByteArray> retrieve(int number);
    bool remove(int number);
    // Ends the session cleanly; what was deleted is gone from the mailbox afterwards.
    void close();

    const Pop3Error &lastError() const { return m_error; }
    // Milliseconds spent in exchanges with the server since the session began.
    qint64 serverMs() const { return m_serverMs; }

private:
    bool perform(int number, const char *command, bool expectBody, QByteArray *body);

    Pop3Account m_account;
    int m_timeoutMs;
    const std::atomic_bool *m_cancel;
    void *m_curl = nullptr;
    Pop3Error m_error;
    qint64 m_serverMs = 0;
};

// Parses the body of a UIDL reply ("1 abc" per line). Lines that do not fit are skipped.
QVector<Pop3Message> parseUidlListing(const QByteArray &listing);

} // namespace parlix::webmail

#pragma once

#include <QByteArray>
#include <QHash>
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
    // The operator allows the password on a link without TLS (a server without STLS).
    bool allowClearTextLogin = false;
};

// How the client connects; not operator settings.
struct Pop3Options
{
    int timeoutMs = 10000; // the limit of one exchange with the server
    QString caFile;        // an extra trust anchor instead of the system's (tests)
};

// The text of the settings check box that allows a POP3 password without TLS, and the setting
// it stores; the refusal to send the password names both.
inline constexpr char kAllowPop3ClearTextLoginText[] =
    "Allow the password to be sent without encryption (not recommended)";
inline constexpr char kAllowPop3ClearTextLoginSetting[] = "IsPOP3ClearTextLoginAllowed";

// A failure as the error event reports it: a number and a text the operator can read.
struct Pop3Error
{
    int number = 0;
    QString description;
};

struct Pop3Message
{
    int number = 0;   // position in this session's listing, from 1
    QString uidl;     // the server's lasting identity of the message
    qint64 size = -1; // octets as the server lists them; -1 when it did not say
};

// One POP3 session through libcurl. The first call connects and logs in; later calls reuse
// the connection. Deletions take effect only when the session ends cleanly (QUIT), which
// close() and the destructor do. Each exchange with the server is bounded by the time-out.
// Not thread-safe: one client belongs to one thread.
class Pop3Client
{
public:
    // cancel, when given, aborts the exchange in progress as soon as it becomes true.
    explicit Pop3Client(Pop3Account account, Pop3Options options = {}, const std::atomic_bool *cancel = nullptr);
    ~Pop3Client();
    Pop3Client(const Pop3Client &) = delete;
    Pop3Client &operator=(const Pop3Client &) = delete;

    // Every message in the mailbox with its UIDL and size, in mailbox order.
    std::optional<QVector<Pop3Message>> listMessages();
    // The whole message; a message longer than maxBytes is not read past that point and gives
    // no value, with tooLarge() true.
    std::optional<QByteArray> retrieve(int number, qint64 maxBytes = -1);
    bool tooLarge() const { return m_tooLarge; }
    bool remove(int number);
    // Ends the session cleanly; what was deleted is gone from the mailbox afterwards.
    void close();

    const Pop3Error &lastError() const { return m_error; }
    // Milliseconds spent in exchanges with the server since the session began.
    qint64 serverMs() const { return m_serverMs; }

private:
    bool perform(int number, const char *command, bool expectBody, QByteArray *body, qint64 maxBytes = -1);

    Pop3Account m_account;
    Pop3Options m_options;
    bool m_tooLarge = false;
    const std::atomic_bool *m_cancel;
    void *m_curl = nullptr;
    Pop3Error m_error;
    qint64 m_serverMs = 0;
};

// Parses the body of a UIDL reply ("1 abc" per line). Lines that do not fit are skipped.
QVector<Pop3Message> parseUidlListing(const QByteArray &listing);
// Parses the body of a LIST reply ("1 2048" per line) into message number -> size.
QHash<int, qint64> parseSizeListing(const QByteArray &listing);

} // namespace parlix::webmail

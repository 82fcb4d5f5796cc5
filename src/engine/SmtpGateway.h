#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

namespace parlix {

class Clock;

// One SMS handed to an email-to-SMS gateway, with the gateway settings it goes through.
struct SmtpSendRequest
{
    QString server;
    qint16 port = 25;
    bool authenticationRequired = false;
    qint16 authenticationType = 0; // 0 None, 1 POP3 login first, 2 AUTH LOGIN, 3 AUTH PLAIN
    QString userName;
    QString password;
    // The operator allows the password on a link without TLS.
    bool allowCleartextPassword = false;
    qint16 encodeType = 0; // carried for the log line only: the body is always a MIME text part
    QString fromName;      // the display name of the sender
    QString fromAddress;
    QString toAddress;
    QString message;
};

// How the gateway connects; not operator settings.
struct SmtpOptions
{
    int connectTimeoutSeconds = 20;
    int totalTimeoutSeconds = 60;
    quint16 pop3Port = 110; // POP-before-SMTP login port (995 when SMTP uses 465)
    QString caFile;         // an extra trust anchor instead of the system's (tests)
    QString heloName = QStringLiteral("parlix.local");
};

// The text of the advanced SMTP settings' check box that allows a password without TLS; the
// refusal to send one names it so that the operator knows what to change.
inline constexpr char kAllowClearTextLoginText[] = "Allow the password to be sent without encryption (not recommended)";

// Error numbers for failures that carry no SMTP reply code. A refusal by the server reports
// the server's own reply code instead (550, 535, ...).
namespace smtperror {
inline constexpr int kHostNotFound = 1001;
inline constexpr int kConnectionFailed = 1002;
inline constexpr int kTimedOut = 1003;
inline constexpr int kTlsFailed = 1004;
inline constexpr int kNoTlsForPassword = 1005;
inline constexpr int kLoginFailed = 1006;
inline constexpr int kPop3LoginFailed = 1007;
inline constexpr int kBadRequest = 1008;
inline constexpr int kExchangeFailed = 1009;
} // namespace smtperror

// Sends SMS as emails over SMTP with libcurl. Each send is one connection; nothing of one send
// (credentials above all) carries over to the next.
class SmtpGateway
{
public:
    using StatusSink = std::function<void(const QString &)>;

    explicit SmtpGateway(const Clock &clock, SmtpOptions options = {});

    // Empty on success, else "Error " + number + ": " + description + CR LF. Every step of the
    // exchange is reported to status as one line; no line holds a password or the AUTH exchange.
    QString SendSMSThroughSMTP(const SmtpSendRequest &request, const StatusSink &status) const;

    const SmtpOptions &options() const { return m_options; }
    void setOptions(const SmtpOptions &options) { m_options = options; }

    // The URL libcurl is given: smtps:// (implicit TLS) for port 465, else smtp://.
    static QString smtpUrl(const QString &server, int port, const QString &heloName);
    // The email as sent: headers with the sender's display name, no subject, a text/plain body.
    static QByteArray buildMessage(const SmtpSendRequest &request, const QDateTime &date);

private:
    QString pop3Login(const SmtpSendRequest &request, const StatusSink &status) const;

    const Clock &m_clock;
    SmtpOptions m_options;
};

} // namespace parlix

#pragma once

#include "engine/SmtpMessage.h"

#include <QString>

#include <functional>

namespace parlix {

class Clock;

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

// What became of one send: code 0 when the server took the message, else the server's own
// reply code of its refusal (550, 535, ...) or one of smtperror, with a description the
// operator can read.
struct SmtpResult
{
    int code = 0;
    QString description;

    bool ok() const { return code == 0; }
    static SmtpResult success() { return {}; }
    static SmtpResult failure(int code, QString description) { return {code, std::move(description)}; }
    bool operator==(const SmtpResult &) const = default;
};

// Sends SMS as emails over SMTP with libcurl. Each send is one connection; nothing of one send
// (credentials above all) carries over to the next.
class SmtpGateway
{
public:
    using StatusSink = std::function<void(const QString &)>;

    explicit SmtpGateway(const Clock &clock, SmtpOptions options = {});

    // Every step of the exchange is reported to status as one line; no line holds a password
    // or the AUTH exchange.
    SmtpResult SendSMSThroughSMTP(const SmtpSendRequest &request, const StatusSink &status) const;

    const SmtpOptions &options() const { return m_options; }
    void setOptions(const SmtpOptions &options) { m_options = options; }

    // The URL libcurl is given: smtps:// (implicit TLS) for port 465, else smtp://.
    static QString smtpUrl(const QString &server, int port, const QString &heloName);

private:
    SmtpResult pop3Login(const SmtpSendRequest &request, const StatusSink &status) const;

    const Clock &m_clock;
    SmtpOptions m_options;
};

} // namespace parlix

#include "engine/SmtpGateway.h"

#include "core/Clock.h"

#include <QStringList>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace parlix {

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter
{
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter
{
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

struct Upload
{
    QByteArray data;
    qsizetype pos = 0;
};

size_t readUpload(char *buffer, size_t size, size_t count, void *user)
{
    auto *up = static_cast<Upload *>(user);
    const qsizetype room = qsizetype(size * count);
    const qsizetype n = qMin(room, up->data.size() - up->pos);
    if (n > 0) {
        memcpy(buffer, up->data.constData() + up->pos, size_t(n));
        up->pos += n;
    }
    return size_t(n);
}

// Watches the protocol lines libcurl reports and turns them into status lines the operator
// can read. Only the program's own wording is reported: what the client sends is never
// echoed (it includes the credentials), and the server's AUTH challenges are skipped.
struct Trace
{
    const SmtpGateway::StatusSink *status = nullptr;
    QString server;
    QString fromAddress;
    QString toAddress;
    bool greeted = false;
    bool inAuth = false;
    int lastCode = 0; // of the last refusal (4xx, 5xx)
    QString lastText;
    QStringList pendingLines;

    void say(const QString &text) const
    {
        if (status && *status)
            (*status)(text);
    }

    void serverLine(const QString &line)
    {
        if (line.size() < 3 || !line.at(0).isDigit())
            return;
        const int code = line.left(3).toInt();
        if (code == 334)
            return; // an AUTH challenge
        pendingLines.append(line.mid(4).trimmed());
        if (line.size() > 3 && line.at(3) == QLatin1Char('-'))
            return;
        // The QUIT that follows a refusal is answered 221: keep the refusal.
        if (code >= 400) {
            lastCode = code;
            lastText = pendingLines.join(QLatin1Char(' ')).trimmed();
        }
        pendingLines.clear();
        inAuth = false;
        if (code == 220 && !greeted) {
            greeted = true;
            say(QStringLiteral("Connected to %1.").arg(server));
        }
    }

    void clientLine(const QString &line)
    {
        if (inAuth)
            return;
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty())
            return;
        const QString verb = words.first().toUpper();
        if (verb == QLatin1String("STARTTLS")) {
            say(QStringLiteral("Starting TLS."));
        } else if (verb == QLatin1String("AUTH")) {
            inAuth = true;
            say(QStringLiteral("Logging in with AUTH %1.").arg(words.size() > 1 ? words.at(1).toUpper() : QString()));
        } else if (verb == QLatin1String("MAIL")) {
            say(QStringLiteral("Sending from %1.").arg(fromAddress));
        } else if (verb == QLatin1String("RCPT")) {
            say(QStringLiteral("Sending to %1.").arg(toAddress));
        } else if (verb == QLatin1String("DATA")) {
            say(QStringLiteral("Sending the message."));
        }
    }
};

int traceCallback(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *trace = static_cast<Trace *>(user);
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    const QString text = QString::fromUtf8(data, qsizetype(size));
    const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (type == CURLINFO_HEADER_IN)
            trace->serverLine(line);
        else
            trace->clientLine(line);
    }
    return 0;
}

QString hostForUrl(const QString &server)
{
    return server.contains(QLatin1Char(':')) ? QLatin1Char('[') + server + QLatin1Char(']') : server;
}

bool isTlsFailure(CURLcode rc)
{
    switch (rc) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CRL_BADFILE:
        return true;
    default:
        return false;
    }
}

// The error for a failure the server did not answer with a refusal of its own.
SmtpResult transportError(CURLcode rc, const char *detail, const QString &what, const QString &server, int port)
{
    const QString more = QString::fromUtf8(detail).trimmed();
    switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return SmtpResult::failure(smtperror::kHostNotFound,
                                   QStringLiteral("The %1 '%2' cannot be found.").arg(what, server));
    case CURLE_COULDNT_CONNECT:
        return SmtpResult::failure(
            smtperror::kConnectionFailed,
            QStringLiteral("The %1 '%2' cannot be reached on port %3.").arg(what, server).arg(port));
    case CURLE_OPERATION_TIMEDOUT:
        return SmtpResult::failure(smtperror::kTimedOut,
                                   QStringLiteral("The %1 '%2' did not answer in time.").arg(what, server));
    case CURLE_USE_SSL_FAILED:
        // The operator can only mend this in the settings, so say where.
        return SmtpResult::failure(
            smtperror::kNoTlsForPassword,
            QStringLiteral("The %1 '%2' offers no secure connection, so the password was not sent. "
                           "If this server takes logins only without encryption, tick \"%3\" in "
                           "Advanced SMTP Parlix Settings.")
                .arg(what, server, QLatin1String(kAllowClearTextLoginText)));
    case CURLE_LOGIN_DENIED:
        return SmtpResult::failure(smtperror::kLoginFailed,
                                   QStringLiteral("The %1 '%2' refused the login.").arg(what, server));
    default:
        break;
    }
    if (isTlsFailure(rc))
        return SmtpResult::failure(smtperror::kTlsFailed,
                                   QStringLiteral("No secure connection to the %1 '%2': %3").arg(what, server, more));
    return SmtpResult::failure(
        smtperror::kExchangeFailed,
        QStringLiteral("The exchange with the %1 '%2' failed: %3")
            .arg(what, server, more.isEmpty() ? QString::fromUtf8(curl_easy_strerror(rc)) : more));
}

void setCommonOptions(CURL *c, const SmtpOptions &options, char *errorBuffer, Trace *trace)
{
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(options.connectTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, long(options.totalTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, traceCallback);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, trace);
    if (!options.caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, options.caFile.toLocal8Bit().constData());
}

} // namespace

SmtpGateway::SmtpGateway(const Clock &clock, SmtpOptions options)
    : m_clock(clock)
    , m_options(std::move(options))
{
    initialiseCurlOnce();
}

QString SmtpGateway::smtpUrl(const QString &server, int port, const QString &heloName)
{
    const QString scheme = port == 465 ? QStringLiteral("smtps") : QStringLiteral("smtp");
    return QStringLiteral("%1://%2:%3/%4").arg(scheme, hostForUrl(server)).arg(port).arg(heloName);
}

SmtpResult SmtpGateway::pop3Login(const SmtpSendRequest &request, const StatusSink &status) const
{
    const bool implicitTls = quint16(request.port) == 465;
    const int port = implicitTls ? 995 : m_options.pop3Port;
    Trace trace;
    trace.status = &status;
    trace.server = request.server;
    trace.say(QStringLiteral("Logging in to the POP3 server %1:%2.").arg(request.server).arg(port));

    CurlPtr c(curl_easy_init());
    char errorBuffer[CURL_ERROR_SIZE] = {};
    setCommonOptions(c.get(), m_options, errorBuffer, &trace);
    const QByteArray url =
        QStringLiteral("%1://%2:%3/")
            .arg(implicitTls ? QStringLiteral("pop3s") : QStringLiteral("pop3"), hostForUrl(request.server))
            .arg(port)
            .toUtf8();
    const QByteArray user = request.userName.toUtf8();
    const QByteArray password = request.password.toUtf8();
    curl_easy_setopt(c.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(c.get(), CURLOPT_PROTOCOLS_STR, "pop3,pop3s");
    curl_easy_setopt(c.get(), CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(c.get(), CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(c.get(), CURLOPT_USE_SSL,
                     request.allowCleartextPassword ? long(CURLUSESSL_TRY) : long(CURLUSESSL_ALL));
    // A login and nothing else: NOOP needs no mailbox listing and curl then quits cleanly.
    curl_easy_setopt(c.get(), CURLOPT_CUSTOMREQUEST, "NOOP");
    curl_easy_setopt(c.get(), CURLOPT_NOBODY, 1L);
    const CURLcode rc = curl_easy_perform(c.get());
    if (rc != CURLE_OK) {
        // Keep the description, under the number of the POP3 step.
        return SmtpResult::failure(
            smtperror::kPop3LoginFailed,
            transportError(rc, errorBuffer, QStringLiteral("POP3 server"), request.server, port).description);
    }
    trace.say(QStringLiteral("POP3 login done."));
    return SmtpResult::success();
}

SmtpResult SmtpGateway::SendSMSThroughSMTP(const SmtpSendRequest &request, const StatusSink &status) const
{
    if (request.server.trimmed().isEmpty())
        return SmtpResult::failure(smtperror::kBadRequest, QStringLiteral("No SMTP server is set."));
    if (request.toAddress.trimmed().isEmpty())
        return SmtpResult::failure(smtperror::kBadRequest, QStringLiteral("The message has no recipient address."));

    const int method = request.authenticationRequired ? request.authenticationType : 0;
    if (method == 1) {
        if (const SmtpResult login = pop3Login(request, status); !login.ok())
            return login;
    }

    // The setting is a 16-bit signed number; ports above 32767 arrive wrapped.
    const int port = quint16(request.port);
    Trace trace;
    trace.status = &status;
    trace.server = request.server;
    trace.fromAddress = request.fromAddress.trimmed();
    trace.toAddress = request.toAddress.trimmed();
    trace.say(QStringLiteral("Connecting to %1:%2.").arg(request.server).arg(port));

    CurlPtr c(curl_easy_init());
    if (!c)
        return SmtpResult::failure(smtperror::kExchangeFailed, QStringLiteral("The mail library cannot start."));
    char errorBuffer[CURL_ERROR_SIZE] = {};
    setCommonOptions(c.get(), m_options, errorBuffer, &trace);

    const QByteArray url = smtpUrl(request.server, port, m_options.heloName).toUtf8();
    curl_easy_setopt(c.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(c.get(), CURLOPT_PROTOCOLS_STR, "smtp,smtps");

    const bool loginOnSmtp = method == 2 || method == 3;
    const QByteArray user = request.userName.toUtf8();
    const QByteArray password = request.password.toUtf8();
    if (loginOnSmtp) {
        curl_easy_setopt(c.get(), CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c.get(), CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(c.get(), CURLOPT_LOGIN_OPTIONS, method == 2 ? "AUTH=LOGIN" : "AUTH=PLAIN");
    }
    // STARTTLS whenever the server offers it; a password goes out only over TLS unless allowed.
    const bool demandTls = loginOnSmtp && !request.allowCleartextPassword;
    curl_easy_setopt(c.get(), CURLOPT_USE_SSL, demandTls ? long(CURLUSESSL_ALL) : long(CURLUSESSL_TRY));

    const QByteArray mailFrom = '<' + request.fromAddress.trimmed().toUtf8() + '>';
    const QByteArray rcpt = '<' + request.toAddress.trimmed().toUtf8() + '>';
    curl_easy_setopt(c.get(), CURLOPT_MAIL_FROM, mailFrom.constData());
    SlistPtr recipients(curl_slist_append(nullptr, rcpt.constData()));
    curl_easy_setopt(c.get(), CURLOPT_MAIL_RCPT, recipients.get());

    Upload upload{buildSmtpMessage(request, m_clock.now()), 0};
    curl_easy_setopt(c.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c.get(), CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(c.get(), CURLOPT_READDATA, &upload);
    curl_easy_setopt(c.get(), CURLOPT_INFILESIZE_LARGE, curl_off_t(upload.data.size()));

    const CURLcode rc = curl_easy_perform(c.get());
    if (rc == CURLE_OK) {
        trace.say(QStringLiteral("Message sent."));
        return SmtpResult::success();
    }
    if (trace.lastCode >= 400)
        return SmtpResult::failure(trace.lastCode, trace.lastText.isEmpty() ? QString::fromUtf8(curl_easy_strerror(rc))
                                                                            : trace.lastText);
    return transportError(rc, errorBuffer, QStringLiteral("SMTP server"), request.server, port);
}

} // namespace parlix

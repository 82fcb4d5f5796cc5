#include "webmail/Pop3Client.h"

#include <QElapsedTimer>
#include <QList>
#include <QUrl>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace parlix::webmail {

namespace {

void ensureCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct BodySink
{
    QByteArray *body = nullptr;
    qint64 maxBytes = -1; // -1: no limit
    bool overflowed = false;
};

size_t appendBody(char *data, size_t size, size_t count, void *target)
{
    auto *sink = static_cast<BodySink *>(target);
    const qsizetype n = qsizetype(size * count);
    // Stopping the transfer keeps an oversized message out of memory whatever LIST said.
    if (sink->maxBytes >= 0 && sink->body->size() + n > sink->maxBytes) {
        sink->overflowed = true;
        return 0;
    }
    sink->body->append(data, n);
    return size * count;
}

// Keeps the server's last refusal ("-ERR …") so the operator reads why, not only libcurl's code.
// Only incoming lines are looked at: what the client sends carries the password.
int watchServerReplies(CURL *, curl_infotype type, char *data, size_t size, void *target)
{
    if (target != nullptr && type == CURLINFO_HEADER_IN && size >= 4 && std::memcmp(data, "-ERR", 4) == 0)
        *static_cast<QByteArray *>(target) = QByteArray(data, qsizetype(size)).trimmed();
    return 0;
}

int checkCancel(void *cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *flag = static_cast<const std::atomic_bool *>(cancel);
    return flag != nullptr && flag->load() ? 1 : 0;
}

constexpr int kImplicitTlsPort = 995;

} // namespace

QVector<Pop3Message> parseUidlListing(const QByteArray &listing)
{
    QVector<Pop3Message> out;
    const QList<QByteArray> lines = listing.split('\n');
    for (const QByteArray &raw : lines) {
        const QByteArray line = raw.trimmed();
        const qsizetype space = line.indexOf(' ');
        if (space <= 0)
            continue;
        bool ok = false;
        const int number = line.left(space).toInt(&ok);
        const QByteArray uidl = line.mid(space + 1).trimmed();
        if (!ok || number < 1 || uidl.isEmpty())
            continue;
        out.append(Pop3Message{number, QString::fromLatin1(uidl)});
    }
    return out;
}

QHash<int, qint64> parseSizeListing(const QByteArray &listing)
{
    QHash<int, qint64> out;
    for (const Pop3Message &m : parseUidlListing(listing)) {
        bool ok = false;
        const qint64 size = m.uidl.toLongLong(&ok);
        if (ok && size >= 0)
            out.insert(m.number, size);
    }
    return out;
}

Pop3Client::Pop3Client(Pop3Account account, Pop3Options options, const std::atomic_bool *cancel)
    : m_account(std::move(account))
    , m_options(std::move(options))
    , m_cancel(cancel)
{
    ensureCurl();
}

Pop3Client::~Pop3Client()
{
    close();
}

void Pop3Client::close()
{
    if (m_curl != nullptr) {
        // Cleaning up the handle sends QUIT on a live connection, which commits the deletions.
        curl_easy_cleanup(static_cast<CURL *>(m_curl));
        m_curl = nullptr;
    }
}

bool Pop3Client::perform(int number, const char *command, bool expectBody, QByteArray *body, qint64 maxBytes)
{
    m_error = {};
    m_tooLarge = false;
    if (m_curl == nullptr) {
        m_curl = curl_easy_init();
        if (m_curl == nullptr) {
            m_error = {CURLE_FAILED_INIT, QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT))};
            return false;
        }
    }
    CURL *curl = static_cast<CURL *>(m_curl);

    QUrl url;
    url.setScheme(m_account.port == kImplicitTlsPort ? QStringLiteral("pop3s") : QStringLiteral("pop3"));
    url.setHost(m_account.server);
    url.setPort(m_account.port);
    url.setPath(number > 0 ? QStringLiteral("/%1").arg(number) : QStringLiteral("/"));
    const QByteArray urlText = url.toEncoded();
    const QByteArray user = m_account.userName.toUtf8();
    const QByteArray password = m_account.password.toUtf8();
    char errorText[CURL_ERROR_SIZE] = {};
    QByteArray discarded;
    BodySink sink{body != nullptr ? body : &discarded, maxBytes};
    QByteArray refusal;
    const QByteArray caFile = m_options.caFile.toLocal8Bit();
    const int timeoutMs = m_options.timeoutMs;

    curl_easy_setopt(curl, CURLOPT_URL, urlText.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "pop3,pop3s");
    // Credentials go in their own options, never in the URL, so no error text can echo them.
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    // STLS whenever the server offers it; the password goes out only over TLS unless allowed.
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     m_account.allowClearTextLogin ? long(CURLUSESSL_TRY) : long(CURLUSESSL_ALL));
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, command);
    // A command answered by a single line (DELE) must not wait for a multi-line body.
    curl_easy_setopt(curl, CURLOPT_NOBODY, expectBody ? 0L : 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // The time-out bounds each wait on the server (connecting, every reply, a stalled
    // transfer), not the whole transfer: a large message on a slow line is still fine.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(timeoutMs));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, long((timeoutMs + 999) / 1000));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long((timeoutMs + 999) / 1000));
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L); // feeds watchServerReplies, prints nothing itself
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, watchServerReplies);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &refusal);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, m_cancel != nullptr ? 0L : 1L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkCancel);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, m_cancel);

    QElapsedTimer timer;
    timer.start();
    const CURLcode code = curl_easy_perform(curl);
    m_serverMs += timer.elapsed();
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, nullptr);
    if (code == CURLE_OK)
        return true;
    if (sink.overflowed) {
        m_tooLarge = true;
        m_error = {int(code), QStringLiteral("The message is larger than %1 bytes.").arg(maxBytes)};
        return false;
    }
    if (code == CURLE_USE_SSL_FAILED) {
        // The operator can only mend this in the settings, so say where.
        m_error = {int(code), QStringLiteral("The POP3 server '%1' offers no secure connection (STLS), so the "
                                             "password was not sent. If this server takes logins only without "
                                             "encryption, tick \"%2\" on the Email - To - SMS Settings tab "
                                             "(setting %3).")
                                  .arg(m_account.server, QLatin1String(kAllowPop3ClearTextLoginText),
                                       QLatin1String(kAllowPop3ClearTextLoginSetting))};
        return false;
    }
    QString description = QString::fromUtf8(errorText).trimmed();
    if (description.isEmpty())
        description = QString::fromUtf8(curl_easy_strerror(code));
    if (!refusal.isEmpty())
        description += QStringLiteral(" (") + QString::fromUtf8(refusal) + QLatin1Char(')');
    m_error = {int(code), description};
    return false;
}

std::optional<QVector<Pop3Message>> Pop3Client::listMessages()
{
    QByteArray listing;
    if (!perform(0, "UIDL", true, &listing))
        return std::nullopt;
    QVector<Pop3Message> messages = parseUidlListing(listing);
    QByteArray sizes;
    if (!perform(0, "LIST", true, &sizes))
        return std::nullopt;
    const QHash<int, qint64> sizeOf = parseSizeListing(sizes);
    for (Pop3Message &m : messages)
        m.size = sizeOf.value(m.number, -1);
    return messages;
}

std::optional<QByteArray> Pop3Client::retrieve(int number, qint64 maxBytes)
{
    QByteArray message;
    if (!perform(number, nullptr, true, &message, maxBytes))
        return std::nullopt;
    return message;
}

bool Pop3Client::remove(int number)
{
    return perform(number, "DELE", false, nullptr);
}

} // namespace parlix::webmail

#include "webmail/EmailParser.h"

// GIO, pulled in by GMime, has members named "signals", which Qt's keyword macro would eat.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include <cctype>
#include <memory>
#include <mutex>
#include <optional>

namespace parlix::webmail {

namespace {

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// GMime hands out both borrowed and owned pointers; these keep the owned ones tidy.
struct GObjectDeleter
{
    void operator()(gpointer p) const { g_object_unref(p); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct GFreeDeleter
{
    void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text).trimmed() : QString();
}

// Malformed or hostile messages can nest multiparts deeply; a plain text body never sits
// that far down, so the walk stops there rather than recursing without bound.
constexpr int kMaxDepth = 32;

GMimeTextPart *findPlainText(GMimeObject *object, int depth)
{
    if (object == nullptr || depth > kMaxDepth)
        return nullptr;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i) {
            if (GMimeTextPart *found = findPlainText(g_mime_multipart_get_part(multipart, i), depth + 1))
                return found;
        }
        return nullptr;
    }
    // A forwarded message (message/rfc822) is someone else's text, never the command.
    if (!GMIME_IS_TEXT_PART(object))
        return nullptr;
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (type == nullptr || !g_mime_content_type_is_type(type, "text", "plain"))
        return nullptr;
    if (g_mime_part_is_attachment(GMIME_PART(object)))
        return nullptr;
    return GMIME_TEXT_PART(object);
}

// One RFC 2047 encoded word "=?charset?B|Q?payload?=" at from: where it ends (-1 when there is
// none), its charset (an RFC 2231 language suffix dropped) and its decoded bytes.
struct EncodedWord
{
    qsizetype end = -1;
    QByteArray charset;
    QByteArray bytes;
};

QByteArray decodeQ(const QByteArray &payload)
{
    QByteArray out;
    for (qsizetype i = 0; i < payload.size(); ++i) {
        const char c = payload.at(i);
        bool hex = false;
        const int value = c == '=' ? payload.mid(i + 1, 2).toInt(&hex, 16) : 0;
        if (hex && i + 2 < payload.size()) {
            out.append(char(value));
            i += 2;
        } else {
            out.append(c == '_' ? ' ' : c);
        }
    }
    return out;
}

EncodedWord readEncodedWord(const QByteArray &text, qsizetype from)
{
    EncodedWord word;
    if (text.mid(from, 2) != "=?")
        return word;
    const qsizetype q1 = text.indexOf('?', from + 2);
    if (q1 < 0 || q1 + 2 >= text.size() || text.at(q1 + 2) != '?')
        return word;
    const char encoding = char(std::toupper(static_cast<unsigned char>(text.at(q1 + 1))));
    const qsizetype close = text.indexOf("?=", q1 + 3);
    if (close < 0 || (encoding != 'B' && encoding != 'Q'))
        return word;
    const QByteArray payload = text.mid(q1 + 3, close - q1 - 3);
    if (payload.contains(' ') || payload.contains('\t'))
        return word;
    word.charset = text.mid(from + 2, q1 - from - 2);
    if (const qsizetype star = word.charset.indexOf('*'); star >= 0)
        word.charset.truncate(star);
    if (word.charset.isEmpty())
        return word;
    word.bytes = encoding == 'B' ? QByteArray::fromBase64(payload) : decodeQ(payload);
    word.end = close + 2;
    return word;
}

// Bytes of a charset as UTF-8; no value when the charset is unknown.
std::optional<QByteArray> toUtf8(const QByteArray &bytes, const QByteArray &charset)
{
    const char *name = g_mime_charset_iconv_name(charset.constData());
    gsize written = 0;
    GError *error = nullptr;
    GCharPtr out(g_convert_with_fallback(bytes.constData(), gssize(bytes.size()), "UTF-8", name, "?", nullptr, &written,
                                         &error));
    if (error != nullptr) {
        g_error_free(error);
        return std::nullopt;
    }
    return QByteArray(out.get(), qsizetype(written));
}

// Rewrites every run of adjacent encoded words as one UTF-8 encoded word. GMime decodes a run
// of same-charset base64 words as one stream, so a word that ends in padding ("...0LY=?=")
// cuts off every word after it; each word is decoded on its own here, the bytes of a charset
// joined (a character may be split between words), and the blanks between the words dropped.
// What cannot be decoded stays as written.
QByteArray joinEncodedWords(const QByteArray &text)
{
    QByteArray out;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype start = text.indexOf("=?", i);
        if (start < 0) {
            out += text.mid(i);
            break;
        }
        EncodedWord word = readEncodedWord(text, start);
        if (word.end < 0) {
            out += text.mid(i, start + 2 - i);
            i = start + 2;
            continue;
        }
        out += text.mid(i, start - i);
        QByteArray utf8;
        QByteArray charset = word.charset;
        QByteArray pending = word.bytes;
        qsizetype end = word.end;
        bool known = true;
        while (known) {
            qsizetype next = end;
            while (next < text.size() && (text.at(next) == ' ' || text.at(next) == '\t'))
                ++next;
            const EncodedWord following = readEncodedWord(text, next);
            if (following.end >= 0 && following.charset.compare(charset, Qt::CaseInsensitive) == 0) {
                pending += following.bytes;
                end = following.end;
                continue;
            }
            const auto converted = toUtf8(pending, charset);
            known = converted.has_value();
            if (!known)
                break;
            utf8 += *converted;
            if (following.end < 0)
                break;
            charset = following.charset;
            pending = following.bytes;
            end = following.end;
        }
        if (!known) {
            out += text.mid(start, end - start);
        } else {
            out += "=?UTF-8?B?" + utf8.toBase64() + "?=";
        }
        i = end;
    }
    return out;
}

// A header's value as written (folded, encoded words untouched); empty when it is missing.
QByteArray rawHeader(GMimeMessage *message, const char *name)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    GMimeHeader *header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    const char *raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    if (raw == nullptr)
        return {};
    return QByteArray(raw);
}

void readSender(GMimeMessage *message, ParsedEmail &out)
{
    const QByteArray raw = rawHeader(message, "From");
    if (raw.isEmpty())
        return;
    const GCharPtr unfolded(g_mime_utils_header_unfold(raw.constData()));
    GObjectPtr<InternetAddressList> from(
        internet_address_list_parse(nullptr, joinEncodedWords(QByteArray(unfolded.get())).constData()));
    if (!from || internet_address_list_length(from.get()) < 1)
        return;
    InternetAddress *address = internet_address_list_get_address(from.get(), 0);
    out.fromName = fromUtf8(internet_address_get_name(address));
    if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
        out.fromAddress = fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    } else if (INTERNET_ADDRESS_IS_GROUP(address)) {
        InternetAddressList *members = internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address));
        if (members && internet_address_list_length(members) > 0) {
            InternetAddress *first = internet_address_list_get_address(members, 0);
            if (INTERNET_ADDRESS_IS_MAILBOX(first))
                out.fromAddress = fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(first)));
        }
    }
}

QDateTime wallClockOf(GDateTime *when)
{
    if (when == nullptr)
        return {};
    // The components are read in the zone the sender wrote, so the time stays as written.
    // UTC is only the carrier: a local-time QDateTime would shift times that fall into a
    // daylight-saving gap of this machine.
    const QDate date(g_date_time_get_year(when), g_date_time_get_month(when), g_date_time_get_day_of_month(when));
    const QTime time(g_date_time_get_hour(when), g_date_time_get_minute(when), g_date_time_get_second(when));
    g_date_time_unref(when);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

QString decodeHeaderText(const QByteArray &raw)
{
    ensureGMime();
    if (raw.trimmed().isEmpty())
        return {};
    const GCharPtr unfolded(g_mime_utils_header_unfold(raw.constData()));
    const QByteArray joined = joinEncodedWords(QByteArray(unfolded.get()));
    return fromUtf8(GCharPtr(g_mime_utils_header_decode_text(nullptr, joined.constData())).get());
}

QDateTime emailDateFromHeader(const QByteArray &header)
{
    ensureGMime();
    const QByteArray text = header.trimmed();
    if (text.isEmpty())
        return {};
    return wallClockOf(g_mime_utils_header_decode_date(text.constData()));
}

ParsedEmail parseEmail(const QByteArray &raw)
{
    ensureGMime();
    ParsedEmail out;

    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size())));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message)
        return out;

    readSender(message.get(), out);
    out.subject = decodeHeaderText(rawHeader(message.get(), "Subject"));
    if (const char *date = g_mime_object_get_header(GMIME_OBJECT(message.get()), "Date"))
        out.dateTime = emailDateFromHeader(QByteArray(date));

    GMimeObject *body = g_mime_message_get_mime_part(message.get());
    if (body != nullptr) {
        if (GMimeContentType *type = g_mime_object_get_content_type(body))
            out.contentType = fromUtf8(GCharPtr(g_mime_content_type_get_mime_type(type)).get());
        if (GMimeTextPart *text = findPlainText(body, 0)) {
            QString decoded = QString::fromUtf8(GCharPtr(g_mime_text_part_get_text(text)).get());
            // One kind of line break, whatever the sender's system wrote (a lone CR included).
            decoded.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            decoded.replace(QLatin1Char('\r'), QLatin1Char('\n'));
            out.textBody = decoded.trimmed();
        }
    }
    return out;
}

} // namespace parlix::webmail

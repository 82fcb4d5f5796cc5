#include "webmail/EmailParser.h"

// GIO, pulled in by GMime, has members named "signals", which Qt's keyword macro would eat.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include <memory>
#include <mutex>

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

void readSender(GMimeMessage *message, ParsedEmail &out)
{
    InternetAddressList *from = g_mime_message_get_from(message);
    if (from == nullptr || internet_address_list_length(from) < 1)
        return;
    InternetAddress *address = internet_address_list_get_address(from, 0);
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
    out.subject = fromUtf8(g_mime_message_get_subject(message.get()));
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

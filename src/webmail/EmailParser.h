#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace parlix::webmail {

// What the webmail poller needs of one raw RFC 5322 message, decoded to Unicode and trimmed.
struct ParsedEmail
{
    QString fromName;    // display name of the first From address (RFC 2047 decoded)
    QString fromAddress; // its address
    QString subject;
    QString contentType; // "type/subtype" of the message as a whole, e.g. multipart/alternative
    // The first text/plain part that is not an attachment, transfer encoding and charset
    // decoded, every line break as "\n". Empty for an HTML-only message or one without a body.
    QString textBody;
    // The wall-clock time written in the Date header, kept as written (no zone conversion);
    // invalid when the header is missing or cannot be read. It carries no zone of its own.
    QDateTime dateTime;
};

// Parses a message with GMime. Never fails: whatever cannot be read stays empty.
ParsedEmail parseEmail(const QByteArray &raw);

// A header value as mail readers show it: unfolded, every RFC 2047 encoded word decoded, and
// adjacent encoded words joined without the blank between them.
QString decodeHeaderText(const QByteArray &raw);

// The Date header rule on its own: the wall-clock date and time as written, whatever form
// the zone takes (+0530, -0800 (PST), EST, none); invalid when it cannot be read.
QDateTime emailDateFromHeader(const QByteArray &header);

} // namespace parlix::webmail

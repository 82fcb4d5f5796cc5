#include "webmail/EmailParser.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Raw messages straight from the mailbox, and the same bytes as a Date header.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const parlix::webmail::ParsedEmail email = parlix::webmail::parseEmail(raw);
    if (email.textBody.contains(QLatin1Char('\r')))
        std::abort(); // line breaks are normalised
    const QDateTime date = parlix::webmail::emailDateFromHeader(raw);
    if (date.isValid() && !date.time().isValid())
        std::abort();
    return 0;
}

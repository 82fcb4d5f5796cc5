// Feeds arbitrary bytes, as the modem might send them, through every reply parser.
#include "modem/ModemCharset.h"
#include "modem/ModemReplies.h"
#include "modem/UnsolicitedFilter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace parlix;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const ModemCharset set : {ModemCharset::Ascii, ModemCharset::Ansi, ModemCharset::Gsm}) {
        const QString text = decodeFromModem(bytes, set);
        (void)encodeForModem(text, set);
        (void)sanitizeMessageBody(text);

        for (const SIMMessage &m : parseCmglText(text))
            (void)m.Text.size();
        (void)parseCmgwIndex(text);
        (void)parseCallState(text);
        (void)parseIdentificationLine(text);
        (void)parseClipNumber(text);
        (void)parseClccNumber(text);
        (void)parseCmsErrorCode(text);

        // The framing sees the same bytes cut at an arbitrary point, as two reads would.
        UnsolicitedFilter filter;
        filter.setContext(static_cast<UnsolicitedFilter::Context>(size % 3));
        QStringList codes;
        const qsizetype cut = text.isEmpty() ? 0 : qsizetype(data[0]) % (text.size() + 1);
        QString out = filter.feed(text.left(cut), codes);
        out += filter.feed(text.mid(cut), codes);
        out += filter.flush();
        if (out.size() > text.size())
            __builtin_trap(); // framing only ever removes text
    }
    return 0;
}

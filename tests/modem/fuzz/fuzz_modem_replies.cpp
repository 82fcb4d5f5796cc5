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

        (void)scanCmglPdu(text);
        (void)finalResultLine(text);
    }
    // The framing sees the same bytes cut at an arbitrary point, as two reads would.
    UnsolicitedFilter filter;
    filter.setContext(static_cast<UnsolicitedFilter::Context>(size % 3));
    QStringList codes;
    const qsizetype cut = bytes.isEmpty() ? 0 : qsizetype(data[0]) % (bytes.size() + 1);
    QByteArray out = filter.feed(bytes.left(cut), codes);
    out += filter.feed(bytes.mid(cut), codes);
    out += filter.flush();
    if (out.size() > bytes.size())
        __builtin_trap(); // framing only ever removes bytes
    return 0;
}

#include "modem/Gsm7.h"

#include "modem/ModemCharset.h"

namespace parlix::gsm7 {

namespace {

constexpr char kEscape = 0x1B;

// The code point at i, stepping over a surrogate pair as one character.
char32_t codePointAt(QStringView text, qsizetype &i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        const char32_t cp = QChar::surrogateToUcs4(c, text[i + 1]);
        ++i;
        return cp;
    }
    return c.unicode();
}

} // namespace

std::optional<QByteArray> toSeptets(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = codePointAt(text, i);
        if (const int code = gsmDefaultCode(c); code >= 0) {
            out.append(char(code));
        } else if (const int ext = gsmExtensionCode(c); ext >= 0) {
            out.append(kEscape);
            out.append(char(ext));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

int septetCount(QStringView text)
{
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = codePointAt(text, i);
        if (gsmDefaultCode(c) >= 0)
            n += 1;
        else if (gsmExtensionCode(c) >= 0)
            n += 2;
        else
            return -1;
    }
    return n;
}

QString fromSeptets(QByteArrayView septets)
{
    QString out;
    out.reserve(septets.size());
    for (qsizetype i = 0; i < septets.size(); ++i) {
        const auto s = static_cast<unsigned char>(septets[i]) & 0x7F;
        if (s != kEscape) {
            out.append(QChar(gsmDefaultChar(s)));
            continue;
        }
        if (++i >= septets.size())
            break;
        const auto code = static_cast<unsigned char>(septets[i]) & 0x7F;
        if (const char16_t ext = gsmExtensionChar(code))
            out.append(QChar(ext));
        else if (code != kEscape)
            out.append(QChar(gsmDefaultChar(code)));
        else
            out.append(QLatin1Char(' ')); // escape-escape: reserved, shown as a space
    }
    return out;
}

QByteArray pack(QByteArrayView septets, int fillBits)
{
    const qsizetype bits = fillBits + septets.size() * 7;
    QByteArray out((bits + 7) / 8, '\0');
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    qsizetype at = fillBits;
    for (const char s : septets) {
        const unsigned v = static_cast<unsigned char>(s) & 0x7F;
        const qsizetype byte = at / 8;
        const int shift = int(at % 8);
        o[byte] |= static_cast<unsigned char>(v << shift);
        if (shift > 1)
            o[byte + 1] |= static_cast<unsigned char>(v >> (8 - shift));
        at += 7;
    }
    return out;
}

QByteArray unpack(QByteArrayView octets, int count, int fillBits)
{
    QByteArray out(count, '\0');
    const auto *o = reinterpret_cast<const unsigned char *>(octets.data());
    qsizetype at = fillBits;
    for (int k = 0; k < count; ++k, at += 7) {
        const qsizetype byte = at / 8;
        const int shift = int(at % 8);
        if (byte >= octets.size())
            break;
        unsigned v = o[byte] >> shift;
        if (shift > 1 && byte + 1 < octets.size())
            v |= unsigned(o[byte + 1]) << (8 - shift);
        out[k] = char(v & 0x7F);
    }
    return out;
}

} // namespace parlix::gsm7

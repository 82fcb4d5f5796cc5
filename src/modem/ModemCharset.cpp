#include "modem/ModemCharset.h"

#include <QList>
#include <QStringView>

#include <array>

namespace parlix {

namespace {

constexpr char16_t kUndefined = 0xFFFD;
constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kCtrlZ = 0x1A;

// The GSM 7-bit default alphabet (3GPP TS 23.038), septet -> Unicode. 0x1B is the escape to
// the extension table and has no character of its own.
constexpr std::array<char16_t, 128> kGsmDefault = {
    u'@',      u'\u00A3', u'$',      u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC', // 0x00
    u'\u00F2', u'\u00C7', u'\n',     u'\u00D8', u'\u00F8', u'\r',     u'\u00C5', u'\u00E5', // 0x08
    u'\u0394', u'_',      u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8', // 0x10
    u'\u03A3', u'\u0398', u'\u039E', 0xFFFF,    u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9', // 0x18
    u' ',      u'!',      u'"',      u'#',      u'\u00A4', u'%',      u'&',      u'\'',     // 0x20
    u'(',      u')',      u'*',      u'+',      u',',      u'-',      u'.',      u'/',      // 0x28
    u'0',      u'1',      u'2',      u'3',      u'4',      u'5',      u'6',      u'7',      // 0x30
    u'8',      u'9',      u':',      u';',      u'<',      u'=',      u'>',      u'?',      // 0x38
    u'\u00A1', u'A',      u'B',      u'C',      u'D',      u'E',      u'F',      u'G',      // 0x40
    u'H',      u'I',      u'J',      u'K',      u'L',      u'M',      u'N',      u'O',      // 0x48
    u'P',      u'Q',      u'R',      u'S',      u'T',      u'U',      u'V',      u'W',      // 0x50
    u'X',      u'Y',      u'Z',      u'\u00C4', u'\u00D6', u'\u00D1', u'\u00DC', u'\u00A7', // 0x58
    u'\u00BF', u'a',      u'b',      u'c',      u'd',      u'e',      u'f',      u'g',      // 0x60
    u'h',      u'i',      u'j',      u'k',      u'l',      u'm',      u'n',      u'o',      // 0x68
    u'p',      u'q',      u'r',      u's',      u't',      u'u',      u'v',      u'w',      // 0x70
    u'x',      u'y',      u'z',      u'\u00E4', u'\u00F6', u'\u00F1', u'\u00FC', u'\u00E0', // 0x78
};

struct Extension
{
    unsigned char code;
    char16_t ch;
};

// The extension table: each of these costs ESC plus one code.
constexpr std::array<Extension, 10> kGsmExtension = {{
    {0x0A, u'\f'},
    {0x14, u'^'},
    {0x28, u'{'},
    {0x29, u'}'},
    {0x2F, u'\\'},
    {0x3C, u'['},
    {0x3D, u'~'},
    {0x3E, u']'},
    {0x40, u'|'},
    {0x65, u'\u20AC'},
}};

// Windows-1252 0x80..0x9F; 0 where the code page leaves the byte undefined.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool isControl(char32_t c)
{
    return c < 0x20;
}

void encodeGsm(char32_t c, QByteArray &out)
{
    if (isControl(c)) {
        out.append(char(c));
        return;
    }
    for (int i = 0; i < 128; ++i) {
        // Xi sits on 0x1A, which the modem reads as Ctrl-Z; it cannot go through the link.
        if (kGsmDefault[size_t(i)] == c && i != kCtrlZ && i != kEscape) {
            out.append(char(i));
            return;
        }
    }
    for (const Extension &e : kGsmExtension) {
        if (e.ch == c) {
            out.append(char(kEscape));
            out.append(char(e.code));
            return;
        }
    }
    out.append('?');
}

void encodeAnsi(char32_t c, QByteArray &out)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        out.append(char(c));
        return;
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[size_t(i)] != 0 && kCp1252High[size_t(i)] == c) {
            out.append(char(0x80 + i));
            return;
        }
    }
    out.append('?');
}

} // namespace

ModemCharset modemCharsetFromName(const QString &name)
{
    const QString n = name.trimmed().toUpper();
    if (n == QLatin1String("GSM"))
        return ModemCharset::Gsm;
    if (n == QLatin1String("ANSI"))
        return ModemCharset::Ansi;
    return ModemCharset::Ascii;
}

QByteArray encodeForModem(const QString &text, ModemCharset charset)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : QStringView(text).toUcs4()) {
        switch (charset) {
        case ModemCharset::Gsm:
            encodeGsm(c, out);
            break;
        case ModemCharset::Ansi:
            encodeAnsi(c, out);
            break;
        case ModemCharset::Ascii:
            out.append(c < 0x80 ? char(c) : '?');
            break;
        }
    }
    return out;
}

int uncarriedCount(const QString &text, ModemCharset charset)
{
    int count = 0;
    for (const char32_t c : QStringView(text).toUcs4()) {
        if (c == U'?' || isControl(c))
            continue;
        QByteArray one;
        switch (charset) {
        case ModemCharset::Gsm:
            encodeGsm(c, one);
            break;
        case ModemCharset::Ansi:
            encodeAnsi(c, one);
            break;
        case ModemCharset::Ascii:
            one.append(c < 0x80 ? char(c) : '?');
            break;
        }
        if (one == "?")
            ++count;
    }
    return count;
}

QStringList textModeParts(const QString &text, ModemCharset charset)
{
    constexpr int kLimit = 160;
    QStringList parts;
    QString part;
    int used = 0;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype width = pair ? 2 : 1;
        int cost = int(width);
        if (charset == ModemCharset::Gsm) {
            QByteArray one;
            encodeGsm(pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode(), one);
            cost = int(one.size());
        }
        if (used + cost > kLimit && !part.isEmpty()) {
            parts << part;
            part.clear();
            used = 0;
        }
        part += text.mid(i, width);
        used += cost;
        i += width;
    }
    if (!part.isEmpty())
        parts << part;
    return parts;
}

QString sanitizeMessageBody(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            c = QChar(kReplacementForModem);
    }
    return out;
}

QString ModemTextDecoder::decode(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        switch (m_charset) {
        case ModemCharset::Ascii:
            out.append(b < 0x80 ? QChar(b) : QChar(kUndefined));
            break;
        case ModemCharset::Ansi:
            if (b >= 0x80 && b < 0xA0)
                out.append(QChar(kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : kUndefined));
            else
                out.append(QChar(b));
            break;
        case ModemCharset::Gsm:
            if (m_pendingEscape) {
                m_pendingEscape = false;
                char16_t ch = 0;
                for (const Extension &e : kGsmExtension) {
                    if (e.code == b)
                        ch = e.ch;
                }
                // An unknown extension code reads as the default-table character, as the
                // alphabet's own rule for receivers says.
                if (ch == 0)
                    ch = b < 0x80 && b != kEscape ? kGsmDefault[b] : kUndefined;
                out.append(QChar(ch));
            } else if (b == kEscape) {
                m_pendingEscape = true;
            } else {
                out.append(QChar(b < 0x80 ? kGsmDefault[b] : kUndefined));
            }
            break;
        }
    }
    return out;
}

QString ModemTextDecoder::flush()
{
    const bool pending = m_pendingEscape;
    m_pendingEscape = false;
    return pending ? QString(QChar(kUndefined)) : QString();
}

char16_t gsmDefaultChar(unsigned char septet)
{
    return septet < 0x80 && septet != kEscape ? kGsmDefault[septet] : char16_t(0);
}

char16_t gsmExtensionChar(unsigned char code)
{
    for (const Extension &e : kGsmExtension) {
        if (e.code == code)
            return e.ch;
    }
    return 0;
}

int gsmDefaultCode(char32_t c)
{
    // Latin-1 through a table built once: the codec looks up every character of every SMS.
    static const std::array<signed char, 256> latin = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        for (int i = 0; i < 128; ++i) {
            if (i != kEscape && kGsmDefault[size_t(i)] < 0x100)
                t[kGsmDefault[size_t(i)]] = static_cast<signed char>(i);
        }
        return t;
    }();
    if (c < 0x100)
        return latin[c];
    for (int i = 0; i < 128; ++i) {
        if (i != kEscape && kGsmDefault[size_t(i)] == c)
            return i;
    }
    return -1;
}

int gsmExtensionCode(char32_t c)
{
    for (const Extension &e : kGsmExtension) {
        if (e.ch == c)
            return e.code;
    }
    return -1;
}

QString decodeFromModem(const QByteArray &bytes, ModemCharset charset)
{
    ModemTextDecoder decoder(charset);
    QString text = decoder.decode(bytes);
    text += decoder.flush();
    return text;
}

} // namespace parlix

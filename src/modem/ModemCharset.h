#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace parlix {

// The character set the modem was told to use with AT+CSCS. Text written to the modem and
// text read from it go through this set; the AT syntax itself is in the part all sets share.
enum class ModemCharset {
    Ascii, // 7-bit ASCII (also used for "IRA" and for names the program does not know)
    Ansi,  // Windows-1252, the Windows "ANSI" code page
    Gsm,   // GSM 7-bit default alphabet, one byte per septet, extension table via ESC (0x1B)
};

// "GSM", "ASCII", "ANSI" (any case, blanks around ignored); anything else is read as ASCII.
ModemCharset modemCharsetFromName(const QString &name);

// The visible stand-in for a character the set cannot carry.
inline constexpr char16_t kReplacementForModem = u'?';

// Encodes text for the modem. Characters the set cannot carry become '?', never dropped;
// a character outside the set's printable part counts as one that cannot be carried when its
// code would be read as Ctrl-Z or ESC (the GSM letter Xi). Control characters (CR, LF,
// Ctrl-Z, ESC, ...) are written as the bytes they are: they frame commands and bodies.
QByteArray encodeForModem(const QString &text, ModemCharset charset);

// How many characters of text the set cannot carry (each goes out as '?').
int uncarriedCount(const QString &text, ModemCharset charset);

// The text-mode cut of a message into SMS of 160: characters for ASCII and ANSI, septets for
// GSM (an extension character costs two and is never split from its escape). A surrogate
// pair is never split either. An empty text has no parts.
QStringList textModeParts(const QString &text, ModemCharset charset);

// A message text made safe to write between a prompt and its Ctrl-Z: every control character
// but LF and CR (which the modem takes as line breaks) becomes '?', so a stray Ctrl-Z or ESC
// in a text cannot cut an SMS short or cancel it.
QString sanitizeMessageBody(const QString &text);

// Decodes bytes read from the modem; bytes the set does not define become U+FFFD.
// Keeps state between chunks, so a GSM escape split over two reads decodes correctly.
class ModemTextDecoder
{
public:
    explicit ModemTextDecoder(ModemCharset charset = ModemCharset::Ascii)
        : m_charset(charset)
    {
    }

    void setCharset(ModemCharset charset)
    {
        m_charset = charset;
        m_pendingEscape = false;
    }
    ModemCharset charset() const { return m_charset; }

    QString decode(const QByteArray &bytes);
    // Whatever is still held back (a lone trailing escape), then a fresh start.
    QString flush();

private:
    ModemCharset m_charset;
    bool m_pendingEscape = false;
};

// The GSM 7-bit default alphabet itself, for the PDU codec: the character of a septet (0 for
// the escape 0x1B), the character of an extension-table code (0 when the table has none), and
// the codes of a character (-1 when it has none).
char16_t gsmDefaultChar(unsigned char septet);
char16_t gsmExtensionChar(unsigned char code);
int gsmDefaultCode(char32_t c);
int gsmExtensionCode(char32_t c);

// One-shot decoding, for tests and the simulator.
QString decodeFromModem(const QByteArray &bytes, ModemCharset charset);

} // namespace parlix

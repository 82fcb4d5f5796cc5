#include "modem/Pdu.h"

#include "modem/Gsm7.h"

namespace parlix::pdu {

namespace {

enum MessageType { Deliver = 0, Submit = 1, StatusReportType = 2 };

constexpr int kMaxUserDataOctets = 140;
constexpr int kMaxAddressDigits = 20;
constexpr char kDigits[] = "0123456789*#abc";

// ---- Reading ---------------------------------------------------------------------------------

// Octets with a read position; every read is checked against the end.
class Reader
{
public:
    explicit Reader(QByteArrayView octets)
        : m_octets(octets)
    {
    }

    bool has(qsizetype n) const { return n >= 0 && m_pos + n <= m_octets.size(); }
    int octet() { return static_cast<unsigned char>(m_octets[m_pos++]); }
    QByteArrayView take(qsizetype n)
    {
        const QByteArrayView v = m_octets.sliced(m_pos, n);
        m_pos += n;
        return v;
    }
    QByteArrayView rest() const { return m_octets.sliced(m_pos); }

private:
    QByteArrayView m_octets;
    qsizetype m_pos = 0;
};

// A failure while reading; the message names the field.
struct Bad
{
    QString message;
};

Bad cutShort(const char *field)
{
    return {QStringLiteral("The PDU ends inside its %1.").arg(QLatin1String(field))};
}

std::optional<QByteArray> fromHex(QByteArrayView hex)
{
    hex = hex.trimmed();
    if (hex.size() % 2 != 0)
        return std::nullopt;
    QByteArray out(hex.size() / 2, '\0');
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i < out.size(); ++i) {
        const int hi = nibble(hex[2 * i]);
        const int lo = nibble(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out[i] = char(hi << 4 | lo);
    }
    return out;
}

// Swapped semi-octets; a 0xF nibble ends the digits.
QString readBcd(QByteArrayView octets, int maxDigits)
{
    QString out;
    for (const char o : octets) {
        for (const int nibble : {o & 0x0F, (o >> 4) & 0x0F}) {
            if (nibble == 0xF || out.size() >= maxDigits)
                return out;
            out.append(QLatin1Char(kDigits[nibble]));
        }
    }
    return out;
}

std::variant<QString, Bad> readSmsc(Reader &r)
{
    if (!r.has(1))
        return cutShort("service centre address");
    const int length = r.octet();
    if (length == 0)
        return QString();
    if (length > 12)
        return Bad{QStringLiteral("The service centre address claims %1 octets; at most 12 are possible.").arg(length)};
    if (!r.has(length))
        return cutShort("service centre address");
    const int type = r.octet();
    const QString digits = readBcd(r.take(length - 1), kMaxAddressDigits);
    return (type & 0x70) == 0x10 && !digits.isEmpty() ? QLatin1Char('+') + digits : digits;
}

std::variant<Address, Bad> readAddress(Reader &r, const char *field)
{
    if (!r.has(2))
        return cutShort(field);
    const int semiOctets = r.octet();
    Address a;
    a.type = r.octet();
    const int octets = (semiOctets + 1) / 2;
    if (!r.has(octets))
        return cutShort(field);
    const QByteArrayView body = r.take(octets);
    if (a.isAlphanumeric()) {
        a.number = gsm7::fromSeptets(gsm7::unpack(body, semiOctets * 4 / 7));
    } else {
        a.number = readBcd(body, semiOctets);
        if (a.isInternational() && !a.number.isEmpty())
            a.number.prepend(QLatin1Char('+'));
    }
    return a;
}

// Seven semi-octet pairs: year, month, day, hour, minute, second and the zone in quarter
// hours, its sign in bit 3. Unreadable digits give an invalid time, not a lost message.
std::variant<QDateTime, Bad> readTimestamp(Reader &r, const char *field)
{
    if (!r.has(7))
        return cutShort(field);
    int v[7] = {};
    bool digitsOk = true;
    for (int i = 0; i < 7; ++i) {
        const int o = r.octet();
        const int tens = o & 0x0F;
        const int units = o >> 4;
        if (i == 6) {
            if ((tens & 0x7) > 9 || units > 9)
                digitsOk = false;
            v[i] = ((tens & 0x7) * 10 + units) * ((tens & 0x8) ? -1 : 1);
        } else {
            if (tens > 9 || units > 9)
                digitsOk = false;
            v[i] = tens * 10 + units;
        }
    }
    // Two-digit years: SMS began in the 1990s.
    const QDate date(v[0] >= 90 ? 1900 + v[0] : 2000 + v[0], v[1], v[2]);
    const QTime time(v[3], v[4], v[5]);
    if (!digitsOk || !date.isValid() || !time.isValid())
        return QDateTime();
    // A zone beyond any on Earth (seen in the wild as +80) says nothing; read it as UTC.
    const int quarters = std::abs(v[6]) <= 14 * 4 ? v[6] : 0;
    return QDateTime(date, time, Qt::OffsetFromUTC, quarters * 15 * 60);
}

struct Coding
{
    Alphabet alphabet = Alphabet::Gsm7;
    int messageClass = -1;
};

// The data coding scheme groups of TS 23.038 §4; reserved values read as the default alphabet.
Coding readCoding(int dcs)
{
    Coding c;
    switch (dcs >> 4) {
    case 0x0:
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x4:
    case 0x5:
    case 0x6:
    case 0x7: {
        const int bits = (dcs >> 2) & 0x3;
        c.alphabet = bits == 1 ? Alphabet::Data8 : bits == 2 ? Alphabet::Ucs2 : Alphabet::Gsm7;
        // Compressed text cannot be shown; its octets are kept as data.
        if (dcs & 0x20)
            c.alphabet = Alphabet::Data8;
        if (dcs & 0x10)
            c.messageClass = dcs & 0x3;
        break;
    }
    case 0xE:
        c.alphabet = Alphabet::Ucs2;
        break;
    case 0xF:
        c.alphabet = (dcs & 0x04) ? Alphabet::Data8 : Alphabet::Gsm7;
        c.messageClass = dcs & 0x3;
        break;
    default:
        break;
    }
    return c;
}

struct UserData
{
    QString text;
    QByteArray data;
    std::optional<Concat> concat;
};

// Walks the header's elements; concatenation is kept, every other element is stepped over.
std::variant<std::optional<Concat>, Bad> readHeader(QByteArrayView header)
{
    std::optional<Concat> concat;
    qsizetype at = 0;
    while (at < header.size()) {
        if (at + 2 > header.size())
            return Bad{QStringLiteral("The user data header ends inside an element.")};
        const int id = static_cast<unsigned char>(header[at]);
        const int length = static_cast<unsigned char>(header[at + 1]);
        at += 2;
        if (at + length > header.size())
            return Bad{QStringLiteral("A user data header element runs past the header.")};
        const auto *e = reinterpret_cast<const unsigned char *>(header.data() + at);
        Concat c;
        bool isConcat = false;
        if (id == 0x00 && length == 3) {
            c = {e[0], e[1], e[2], false};
            isConcat = true;
        } else if (id == 0x08 && length == 4) {
            c = {e[0] << 8 | e[1], e[2], e[3], true};
            isConcat = true;
        }
        // Values out of range make the element void, not the message.
        if (isConcat && c.total >= 1 && c.sequence >= 1 && c.sequence <= c.total)
            concat = c;
        at += length;
    }
    return concat;
}

std::variant<UserData, Bad> readUserData(Reader &r, Alphabet alphabet, bool hasHeader)
{
    if (!r.has(1))
        return cutShort("user data length");
    const int length = r.octet(); // septets for GSM 7-bit, else octets
    const int octets = alphabet == Alphabet::Gsm7 ? (length * 7 + 7) / 8 : length;
    if (!r.has(octets))
        return Bad{QStringLiteral("The user data is shorter than its length of %1 says.").arg(length)};
    const QByteArrayView ud = r.take(octets);
    UserData out;
    qsizetype headerOctets = 0;
    if (hasHeader) {
        if (ud.isEmpty())
            return Bad{QStringLiteral("The user data header is missing.")};
        headerOctets = 1 + static_cast<unsigned char>(ud[0]);
        if (headerOctets > ud.size())
            return Bad{QStringLiteral("The user data header is longer than the user data.")};
        auto header = readHeader(ud.sliced(1, headerOctets - 1));
        if (auto *bad = std::get_if<Bad>(&header))
            return *bad;
        out.concat = std::get<std::optional<Concat>>(header);
    }
    if (alphabet == Alphabet::Gsm7) {
        const int headerSeptets = int((headerOctets * 8 + 6) / 7);
        if (headerSeptets > length)
            return Bad{QStringLiteral("The user data header is longer than the user data.")};
        const int fill = headerSeptets * 7 - int(headerOctets * 8);
        out.text = gsm7::fromSeptets(gsm7::unpack(ud.sliced(headerOctets), length - headerSeptets, fill));
        return out;
    }
    out.data = ud.sliced(headerOctets).toByteArray();
    if (alphabet == Alphabet::Ucs2) {
        // An odd last octet is half a character; it is dropped. Surrogates are kept as they
        // come: a pair split between two parts of a long SMS joins up again there.
        const qsizetype units = out.data.size() / 2;
        out.text.resize(units);
        const auto *d = reinterpret_cast<const unsigned char *>(out.data.constData());
        for (qsizetype i = 0; i < units; ++i)
            out.text[i] = QChar(char16_t(d[2 * i] << 8 | d[2 * i + 1]));
    } else {
        out.text = QString::fromLatin1(out.data);
    }
    return out;
}

// Validity period octet (relative form) in minutes.
int relativeValidityMinutes(int v)
{
    if (v <= 143)
        return (v + 1) * 5;
    if (v <= 167)
        return 12 * 60 + (v - 143) * 30;
    if (v <= 196)
        return (v - 166) * 24 * 60;
    return (v - 192) * 7 * 24 * 60;
}

template <typename T> bool failed(const std::variant<T, Bad> &v, QString &error)
{
    if (const auto *bad = std::get_if<Bad>(&v)) {
        error = bad->message;
        return true;
    }
    return false;
}

// The address, protocol identifier and coding that open an SMS-DELIVER and an SMS-SUBMIT
// (after the SUBMIT's message reference). Returns the coding octet, or fails with a reason.
template <typename P>
std::optional<int> readAddressAndCoding(Reader &r, const char *what, Address &address, P &p, QString &error)
{
    const auto read = readAddress(r, what);
    if (failed(read, error))
        return std::nullopt;
    address = std::get<Address>(read);
    if (!r.has(2)) {
        error = cutShort("protocol and coding fields").message;
        return std::nullopt;
    }
    p.protocolId = r.octet();
    const int dataCoding = r.octet();
    const Coding coding = readCoding(dataCoding);
    p.alphabet = coding.alphabet;
    p.messageClass = coding.messageClass;
    return dataCoding;
}

// The user data that closes both, into the message's text, data and concatenation.
template <typename P> bool readUserDataInto(Reader &r, int firstOctet, P &p, QString &error)
{
    auto ud = readUserData(r, p.alphabet, firstOctet & 0x40);
    if (failed(ud, error))
        return false;
    auto &u = std::get<UserData>(ud);
    p.text = std::move(u.text);
    p.data = std::move(u.data);
    p.concat = u.concat;
    return true;
}

Result<DecodedPdu> decodeDeliver(Reader &r, int firstOctet, const QString &smsc)
{
    QString error;
    DeliverPdu p;
    p.smsc = smsc;
    p.statusReportIndication = firstOctet & 0x20;
    const auto dataCoding = readAddressAndCoding(r, "originating address", p.originator, p, error);
    if (!dataCoding)
        return Result<DecodedPdu>::failure(error);
    p.dataCoding = *dataCoding;
    const auto stamp = readTimestamp(r, "service centre time stamp");
    if (failed(stamp, error))
        return Result<DecodedPdu>::failure(error);
    p.serviceCentreTime = std::get<QDateTime>(stamp);
    if (!readUserDataInto(r, firstOctet, p, error))
        return Result<DecodedPdu>::failure(error);
    return DecodedPdu(std::move(p));
}

Result<DecodedPdu> decodeSubmit(Reader &r, int firstOctet, const QString &smsc)
{
    QString error;
    SubmitPdu p;
    p.smsc = smsc;
    p.rejectDuplicates = firstOctet & 0x04;
    p.statusReportRequest = firstOctet & 0x20;
    if (!r.has(1))
        return Result<DecodedPdu>::failure(cutShort("message reference").message);
    p.messageReference = r.octet();
    if (!readAddressAndCoding(r, "destination address", p.destination, p, error))
        return Result<DecodedPdu>::failure(error);
    switch ((firstOctet >> 3) & 0x3) {
    case 2: // relative
        if (!r.has(1))
            return Result<DecodedPdu>::failure(cutShort("validity period").message);
        p.validityMinutes = relativeValidityMinutes(r.octet());
        break;
    case 1: // enhanced
    case 3: // absolute: skipped, the form has no field for it
        if (!r.has(7))
            return Result<DecodedPdu>::failure(cutShort("validity period").message);
        r.take(7);
        break;
    default:
        break;
    }
    if (!readUserDataInto(r, firstOctet, p, error))
        return Result<DecodedPdu>::failure(error);
    return DecodedPdu(std::move(p));
}

Result<DecodedPdu> decodeStatusReport(Reader &r, int firstOctet, const QString &smsc)
{
    QString error;
    StatusReport p;
    p.smsc = smsc;
    p.qualifierCommand = firstOctet & 0x20;
    if (!r.has(1))
        return Result<DecodedPdu>::failure(cutShort("message reference").message);
    p.messageReference = r.octet();
    const auto recipient = readAddress(r, "recipient address");
    if (failed(recipient, error))
        return Result<DecodedPdu>::failure(error);
    p.recipient = std::get<Address>(recipient);
    const auto stamp = readTimestamp(r, "service centre time stamp");
    if (failed(stamp, error))
        return Result<DecodedPdu>::failure(error);
    p.serviceCentreTime = std::get<QDateTime>(stamp);
    const auto discharge = readTimestamp(r, "discharge time");
    if (failed(discharge, error))
        return Result<DecodedPdu>::failure(error);
    p.dischargeTime = std::get<QDateTime>(discharge);
    if (!r.has(1))
        return Result<DecodedPdu>::failure(cutShort("status").message);
    p.status = r.octet();
    // The optional parameters that may follow carry nothing the report is used for.
    return DecodedPdu(std::move(p));
}

// ---- Writing ---------------------------------------------------------------------------------

void writeBcd(QByteArray &out, QStringView digits)
{
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const auto nibble = [&](qsizetype at) {
            return at < digits.size() ? int(std::string_view(kDigits).find(char(digits[at].unicode()))) : 0xF;
        };
        out.append(char(nibble(i + 1) << 4 | nibble(i)));
    }
}

// Digits with an optional leading '+'; nothing else can be dialled.
std::optional<QString> dialDigits(const QString &number, bool &international)
{
    QString digits = number;
    international = digits.startsWith(QLatin1Char('+'));
    if (international)
        digits.remove(0, 1);
    if (digits.isEmpty() || digits.size() > kMaxAddressDigits)
        return std::nullopt;
    for (const QChar c : digits) {
        if (!c.isDigit() && c != QLatin1Char('*') && c != QLatin1Char('#'))
            return std::nullopt;
        if (c.unicode() > 0x7F)
            return std::nullopt;
    }
    return digits;
}

Status writeAddress(QByteArray &out, const QString &number, bool allowAlphanumeric)
{
    bool international = false;
    if (const auto digits = dialDigits(number, international)) {
        out.append(char(digits->size()));
        out.append(char(international ? 0x91 : 0x81));
        writeBcd(out, *digits);
        return Status::success();
    }
    if (allowAlphanumeric && !number.isEmpty()) {
        const auto septets = gsm7::toSeptets(number);
        if (septets && septets->size() <= 11) {
            const QByteArray packed = gsm7::pack(*septets);
            out.append(char((septets->size() * 7 + 3) / 4));
            out.append(char(0xD0));
            out.append(packed);
            return Status::success();
        }
    }
    return Status::failure(QStringLiteral("The number \"%1\" cannot be used as an SMS address.").arg(number));
}

Status writeSmsc(QByteArray &out, const QString &smsc)
{
    if (smsc.isEmpty()) {
        out.append('\0');
        return Status::success();
    }
    bool international = false;
    const auto digits = dialDigits(smsc, international);
    if (!digits)
        return Status::failure(QStringLiteral("The service centre \"%1\" is not a number.").arg(smsc));
    out.append(char(1 + (digits->size() + 1) / 2));
    out.append(char(international ? 0x91 : 0x81));
    writeBcd(out, *digits);
    return Status::success();
}

void writeTimestamp(QByteArray &out, const QDateTime &when)
{
    if (!when.isValid() || when.date().year() < 1990 || when.date().year() > 2089) {
        out.append(QByteArray(7, '\0'));
        return;
    }
    const QDate d = when.date();
    const QTime t = when.time();
    const auto swapped = [](int v) { return char((v % 10) << 4 | (v / 10)); };
    for (const int v : {d.year() % 100, d.month(), d.day(), t.hour(), t.minute(), t.second()})
        out.append(swapped(v));
    const int quarters = when.offsetFromUtc() / (15 * 60);
    char zone = swapped(std::min(std::abs(quarters), 79));
    if (quarters < 0)
        zone = char(zone | 0x08);
    out.append(zone);
}

int codingOctet(Alphabet alphabet, int messageClass)
{
    int dcs = alphabet == Alphabet::Ucs2 ? 0x08 : alphabet == Alphabet::Data8 ? 0x04 : 0x00;
    if (messageClass >= 0 && messageClass <= 3)
        dcs |= 0x10 | messageClass;
    return dcs;
}

// The user data length octet and the user data, the header included.
Status writeUserData(QByteArray &out, Alphabet alphabet, const QString &text, const QByteArray &data,
                     const std::optional<Concat> &concat)
{
    QByteArray header;
    if (concat) {
        const Concat &c = *concat;
        const int maxReference = c.wideReference ? 0xFFFF : 0xFF;
        if (c.reference < 0 || c.reference > maxReference || c.total < 1 || c.total > kMaxParts || c.sequence < 1 ||
            c.sequence > c.total)
            return Status::failure(QStringLiteral("Part %1 of %2 with reference %3 cannot be numbered.")
                                       .arg(c.sequence)
                                       .arg(c.total)
                                       .arg(c.reference));
        if (c.wideReference)
            header = QByteArray{"\x06\x08\x04"} + char(c.reference >> 8) + char(c.reference & 0xFF);
        else
            header = QByteArray("\x05\x00\x03", 3) + char(c.reference);
        header += char(c.total);
        header += char(c.sequence);
    }
    const auto tooLong = [] { return Status::failure(QStringLiteral("The text is too long for one SMS.")); };
    if (alphabet == Alphabet::Gsm7) {
        const auto septets = gsm7::toSeptets(text);
        if (!septets)
            return Status::failure(QStringLiteral("The text holds characters outside the GSM alphabet."));
        const int headerSeptets = int((header.size() * 8 + 6) / 7);
        const int length = headerSeptets + int(septets->size());
        if (length > kSingleGsm7)
            return tooLong();
        out.append(char(length));
        out.append(header);
        out.append(gsm7::pack(*septets, headerSeptets * 7 - int(header.size() * 8)));
        return Status::success();
    }
    QByteArray body;
    if (alphabet == Alphabet::Ucs2) {
        body.reserve(text.size() * 2);
        for (const QChar c : text) {
            body.append(char(c.unicode() >> 8));
            body.append(char(c.unicode() & 0xFF));
        }
    } else {
        body = data;
    }
    if (header.size() + body.size() > kMaxUserDataOctets)
        return tooLong();
    out.append(char(header.size() + body.size()));
    out.append(header);
    out.append(body);
    return Status::success();
}

Result<EncodedPdu> finish(const QByteArray &smscField, const QByteArray &tpdu)
{
    return EncodedPdu{QByteArray(smscField + tpdu).toHex().toUpper(), int(tpdu.size())};
}

} // namespace

StatusReport::Outcome StatusReport::outcome() const
{
    if (status >= 0 && status < 0x20)
        return Outcome::Delivered;
    if (status >= 0x20 && status < 0x40)
        return Outcome::Pending;
    return Outcome::Failed;
}

Result<EncodedPdu> encodeSubmit(const SubmitPdu &s)
{
    QByteArray smsc;
    QByteArray tpdu;
    if (Status st = writeSmsc(smsc, s.smsc); !st)
        return Result<EncodedPdu>::failure(st.error);
    int first = Submit;
    if (s.rejectDuplicates)
        first |= 0x04;
    if (s.validityMinutes >= 0)
        first |= 0x10; // relative
    if (s.statusReportRequest)
        first |= 0x20;
    if (s.concat)
        first |= 0x40;
    tpdu.append(char(first));
    tpdu.append(char(s.messageReference & 0xFF));
    if (Status st = writeAddress(tpdu, s.destination.number, false); !st)
        return Result<EncodedPdu>::failure(st.error);
    tpdu.append(char(s.protocolId & 0xFF));
    tpdu.append(char(codingOctet(s.alphabet, s.messageClass)));
    if (s.validityMinutes >= 0) {
        int v = 0;
        while (v < 255 && relativeValidityMinutes(v) < s.validityMinutes)
            ++v;
        tpdu.append(char(v));
    }
    if (Status st = writeUserData(tpdu, s.alphabet, s.text, s.data, s.concat); !st)
        return Result<EncodedPdu>::failure(st.error);
    return finish(smsc, tpdu);
}

Result<EncodedPdu> encodeDeliver(const DeliverPdu &d)
{
    QByteArray smsc;
    QByteArray tpdu;
    if (Status st = writeSmsc(smsc, d.smsc); !st)
        return Result<EncodedPdu>::failure(st.error);
    int first = Deliver | 0x04; // no more messages waiting
    if (d.statusReportIndication)
        first |= 0x20;
    if (d.concat)
        first |= 0x40;
    tpdu.append(char(first));
    if (Status st = writeAddress(tpdu, d.originator.number, true); !st)
        return Result<EncodedPdu>::failure(st.error);
    tpdu.append(char(d.protocolId & 0xFF));
    tpdu.append(char(codingOctet(d.alphabet, d.messageClass)));
    writeTimestamp(tpdu, d.serviceCentreTime);
    if (Status st = writeUserData(tpdu, d.alphabet, d.text, d.data, d.concat); !st)
        return Result<EncodedPdu>::failure(st.error);
    return finish(smsc, tpdu);
}

Result<EncodedPdu> encodeStatusReport(const StatusReport &s)
{
    QByteArray smsc;
    QByteArray tpdu;
    if (Status st = writeSmsc(smsc, s.smsc); !st)
        return Result<EncodedPdu>::failure(st.error);
    tpdu.append(char(StatusReportType | 0x04 | (s.qualifierCommand ? 0x20 : 0)));
    tpdu.append(char(s.messageReference & 0xFF));
    if (Status st = writeAddress(tpdu, s.recipient.number, false); !st)
        return Result<EncodedPdu>::failure(st.error);
    writeTimestamp(tpdu, s.serviceCentreTime);
    writeTimestamp(tpdu, s.dischargeTime);
    tpdu.append(char(s.status & 0xFF));
    return finish(smsc, tpdu);
}

Result<DecodedPdu> decodePdu(QByteArrayView hex, int tpduLength)
{
    const auto octets = fromHex(hex);
    if (!octets)
        return Result<DecodedPdu>::failure(QStringLiteral("The PDU is not a string of hex digit pairs."));
    Reader r(*octets);
    QString smsc;
    if (tpduLength < 0 || tpduLength != octets->size()) {
        auto field = readSmsc(r);
        QString error;
        if (failed(field, error))
            return Result<DecodedPdu>::failure(error);
        smsc = std::get<QString>(field);
    }
    if (!r.has(1))
        return Result<DecodedPdu>::failure(QStringLiteral("The PDU holds no message."));
    const int first = r.octet();
    switch (first & 0x3) {
    case Deliver:
        return decodeDeliver(r, first, smsc);
    case Submit:
        return decodeSubmit(r, first, smsc);
    case StatusReportType:
        return decodeStatusReport(r, first, smsc);
    default:
        return Result<DecodedPdu>::failure(QStringLiteral("The PDU has the reserved message type 3."));
    }
}

// ---- Long texts ------------------------------------------------------------------------------

bool fitsGsm7(const QString &text)
{
    return gsm7::septetCount(text) >= 0;
}

SmsSplit splitText(const QString &text)
{
    SmsSplit split;
    const int septets = gsm7::septetCount(text);
    split.alphabet = septets >= 0 ? Alphabet::Gsm7 : Alphabet::Ucs2;
    const bool gsm = septets >= 0;
    if ((gsm && septets <= kSingleGsm7) || (!gsm && text.size() <= kSingleUcs2)) {
        split.parts = QStringList{text};
        return split;
    }
    const int room = gsm ? kPartGsm7 : kPartUcs2;
    qsizetype start = 0;
    int used = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        // An extension character is an escape and its code; both stay in one part.
        const int cost = gsm ? (gsm7::septetCount(QStringView(text).sliced(i, 1)) == 2 ? 2 : 1) : (pair ? 2 : 1);
        if (used + cost > room) {
            split.parts.append(text.sliced(start, i - start));
            start = i;
            used = 0;
        }
        used += cost;
        if (pair)
            ++i;
    }
    split.parts.append(text.sliced(start));
    return split;
}

SmsCount countText(const QString &text)
{
    const SmsSplit split = splitText(text);
    SmsCount count;
    count.alphabet = split.alphabet;
    count.parts = int(split.parts.size());
    const bool gsm = split.alphabet == Alphabet::Gsm7;
    const QString &last = split.parts.constLast();
    const int used = gsm ? gsm7::septetCount(last) : int(last.size());
    const int room = count.parts == 1 ? (gsm ? kSingleGsm7 : kSingleUcs2) : (gsm ? kPartGsm7 : kPartUcs2);
    count.left = room - used;
    return count;
}

Result<QList<SubmitPdu>> submitsForText(const SubmitPdu &base, const QString &text, int reference)
{
    const SmsSplit split = splitText(text);
    const int total = int(split.parts.size());
    if (total > kMaxParts)
        return Result<QList<SubmitPdu>>::failure(
            QStringLiteral("The text needs %1 SMS; at most %2 can be linked.").arg(total).arg(kMaxParts));
    QList<SubmitPdu> out;
    out.reserve(total);
    for (int k = 0; k < total; ++k) {
        SubmitPdu p = base;
        p.alphabet = split.alphabet;
        p.text = split.parts[k];
        p.data.clear();
        if (total > 1)
            p.concat = Concat{reference & 0xFF, total, k + 1, false};
        else
            p.concat.reset();
        out.append(std::move(p));
    }
    return out;
}

} // namespace parlix::pdu

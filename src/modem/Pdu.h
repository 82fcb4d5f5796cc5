#pragma once

// SMS in PDU form (3GPP TS 23.040 transfer layer, TS 23.038 alphabets): SMS-SUBMIT out,
// SMS-DELIVER and SMS-STATUS-REPORT in, and the split of a text into the parts of a long SMS.
// Pure functions over values: no port, no clock, no log. Hex is what AT+CMGS takes after its
// prompt and what AT+CMGL=4 lists: the service centre field first, then the TPDU.

#include "core/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace parlix::pdu {

enum class Alphabet {
    Gsm7,  // GSM 7-bit default alphabet with its extension table, septets packed
    Data8, // 8-bit data, octets as they are
    Ucs2,  // UTF-16 big-endian; an emoji is a surrogate pair
};

// An originating, destination or recipient address.
struct Address
{
    // Digits as dialled; a leading '+' for an international number; the name for an
    // alphanumeric sender ("Play"). '*', '#', 'a', 'b', 'c' are the other dialable digits.
    QString number;
    // The type-of-address octet: 0x91 international, 0x81 unknown, 0xA1 national,
    // 0xD0 alphanumeric. Encoding derives it from number and ignores this field.
    int type = 0x81;

    bool isInternational() const { return (type & 0x70) == 0x10; }
    bool isAlphanumeric() const { return (type & 0x70) == 0x50; }
    bool operator==(const Address &) const = default;
};

// The concatenation element of a user data header: part `sequence` (from 1) of `total`.
struct Concat
{
    int reference = 0;          // 0..255, or 0..65535 with a 16-bit reference
    int total = 1;              // 1..255
    int sequence = 1;           // 1..total
    bool wideReference = false; // element 0x08 (16-bit reference) instead of 0x00
    bool operator==(const Concat &) const = default;
};

// An SMS-SUBMIT: what encodeSubmit takes, and what decodePdu gives for a stored outgoing SMS.
struct SubmitPdu
{
    QString smsc; // empty: the service centre stored in the modem
    Address destination;
    Alphabet alphabet = Alphabet::Gsm7;
    QString text;             // Gsm7 and Ucs2
    QByteArray data;          // Data8
    int messageReference = 0; // TP-MR; the modem fills in its own on most devices
    int protocolId = 0;
    int messageClass = -1;    // 0..3; -1 none (0 is a flash SMS)
    int validityMinutes = -1; // relative validity period; -1 leaves the field out
    bool statusReportRequest = false;
    bool rejectDuplicates = false;
    std::optional<Concat> concat;
};

// An SMS-DELIVER: a received SMS.
struct DeliverPdu
{
    QString smsc;
    Address originator;
    int protocolId = 0;
    int dataCoding = 0; // the raw DCS octet
    Alphabet alphabet = Alphabet::Gsm7;
    int messageClass = -1;
    QDateTime serviceCentreTime; // carries the service centre's zone; invalid when unreadable
    QString text;                // Data8: the octets read as Latin-1
    QByteArray data;             // the user data octets after the header (Data8 and Ucs2)
    std::optional<Concat> concat;
    bool statusReportIndication = false;
};

// An SMS-STATUS-REPORT: what became of an SMS sent with statusReportRequest.
struct StatusReport
{
    enum class Outcome {
        Delivered, // the recipient has it (TP-ST 0x00..0x1F)
        Pending,   // the service centre is still trying (0x20..0x3F)
        Failed,    // given up (0x40..0x7F and anything reserved above)
    };

    QString smsc;
    int messageReference = 0; // the <mr> of the "+CMGS: <mr>" that sent it
    Address recipient;
    QDateTime serviceCentreTime;
    QDateTime dischargeTime;       // delivered, or the time of the last attempt
    int status = 0;                // TP-ST
    bool qualifierCommand = false; // answers an SMS-COMMAND rather than a SUBMIT

    Outcome outcome() const;
};

using DecodedPdu = std::variant<DeliverPdu, SubmitPdu, StatusReport>;

// Hex for AT+CMGS and the number of TPDU octets its "=<length>" counts (the service centre
// field is not counted).
struct EncodedPdu
{
    QByteArray hex; // upper case
    int tpduLength = 0;
};

// Fails with a message for a number that cannot be encoded, text outside the chosen alphabet,
// user data over 140 octets or concatenation values out of range.
Result<EncodedPdu> encodeSubmit(const SubmitPdu &submit);
// The received forms, for the simulator and for tests.
Result<EncodedPdu> encodeDeliver(const DeliverPdu &deliver);
Result<EncodedPdu> encodeStatusReport(const StatusReport &report);

// Decodes hex as a modem lists it. tpduLength is the <length> of the listing when known: a PDU
// exactly that long carries no service centre field (some modems leave it out). Malformed
// input gives a failure naming what is wrong; nothing is read past the end.
Result<DecodedPdu> decodePdu(QByteArrayView hex, int tpduLength = -1);

// ---- Long texts ----------------------------------------------------------------------------

// One SMS holds 160 septets or 70 UCS-2 units; a part of a long one 153 or 67 (the header with
// an 8-bit reference takes the rest).
inline constexpr int kSingleGsm7 = 160;
inline constexpr int kSingleUcs2 = 70;
inline constexpr int kPartGsm7 = 153;
inline constexpr int kPartUcs2 = 67;
inline constexpr int kMaxParts = 255;

// True when every character is in the GSM 7-bit alphabet or its extension table.
bool fitsGsm7(const QString &text);

// The text cut into the texts of its parts: GSM 7-bit when every character fits, else UCS-2.
// An escape pair and a surrogate pair are never cut. One part when it fits a single SMS; an
// empty text is one empty part.
struct SmsSplit
{
    Alphabet alphabet = Alphabet::Gsm7;
    QStringList parts;
};
SmsSplit splitText(const QString &text);

// What the compose window shows: the parts the text needs and how many units (septets or
// UCS-2 units) are left in the last one.
struct SmsCount
{
    Alphabet alphabet = Alphabet::Gsm7;
    int parts = 1;
    int left = kSingleGsm7;
};
SmsCount countText(const QString &text);

// The SUBMITs of a text to one destination, copying the other fields of base: one without a
// header when the text fits one SMS, else parts 1..n with concat {reference, n, k}. The parts
// carry the 8-bit reference (reference modulo 256) that the split's part sizes leave room for.
// Fails when the text would need more than kMaxParts parts.
Result<QList<SubmitPdu>> submitsForText(const SubmitPdu &base, const QString &text, int reference);

} // namespace parlix::pdu

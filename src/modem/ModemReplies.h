#pragma once

#include <QList>
#include <QString>

namespace parlix {

// One message of a SIM listing, fields as the modem wrote them (quotes removed).
struct SIMMessage
{
    QString Index;  // storage index, e.g. "3"
    QString Status; // "REC UNREAD", "REC READ", "STO UNSENT" or "STO SENT"
    QString Number; // sender (or recipient of a stored outgoing message), with its leading +
    QString Text;   // the message text; the last entry keeps one trailing CR LF

    // PDU mode only: the part of a long SMS (partCount > 1), a delivery report, or why the
    // PDU could not be read (the entry is then left alone).
    int concatRef = 0;
    int partCount = 0;
    int partNo = 0;
    bool isReport = false;
    int reportReference = -1; // the message reference of the SMS the report is about
    int reportStatus = -1;    // TP-Status
    QString decodeError;

    bool operator==(const SIMMessage &) const = default;
};

using SIMMessageList = QList<SIMMessage>;

// Pure parsers of the modem's text-mode replies: text in, value out, no port. Every one of
// them accepts any input (garbage, truncated lines, echo) without reading out of range.

// The records of an AT+CMGL reply. The reply is cut at every "+CMGL: "; each record's
// header runs to its first CR LF, its body after it. A record's text is its body up to the
// last CR LF (for the last record: up to the last CR LF "OK" CR LF, so it keeps one CR LF);
// a body without that mark gives an empty text. Missing header fields stay empty.
SIMMessageList parseCmglText(const QString &reply);

// The records of an AT+CMGL reply in PDU mode ("+CMGL: <index>,<stat>,[<alpha>],<length>"
// and the PDU on the next line), decoded: received and stored SMS give their number and text
// exactly as sent, delivery reports their reference, recipient and status. The numeric status
// becomes its text-mode name.
SIMMessageList parseCmglPdu(const QString &reply);
// The numeric AT+CMGL status of a text-mode name ("ALL" 4, "REC UNREAD" 0, ...); 4 when unknown.
int pduListStatus(const QString &status);

// The storage index of an AT+CMGW reply ("+CMGW: 5" gives "5"), or empty. A reply that
// holds "+CMGW:" is read after it; otherwise the text after the first blank at or after
// the seventh character, up to the next CR LF, trimmed.
QString parseCmgwIndex(const QString &reply);

// The call state of an AT+CLCC reply: "Active", "Held", "Dialing", "Alerting", "Incoming"
// or "Waiting" from the third field of the first call; empty for an unknown code or a line
// with too few fields; "ERROR" for a reply without a call line that holds "ERROR"; otherwise
// the reply unchanged (CR LF "OK" CR LF when there is no call, empty when the modem was silent).
QString parseCallState(const QString &reply);

// The answer line of AT+CGMI / AT+CGMM: the second CR LF-separated piece, trimmed, without a
// "+CGMI:"/"+CGMM:" prefix some modems add; empty when there is no second piece.
QString parseIdentificationLine(const QString &reply);

// The caller number of a "+CLIP: " line (quotes removed), or empty when there is none or it is
// withheld. The first "+CLIP: " in the text decides.
QString parseClipNumber(const QString &text);

// The number of the first "+CLCC: " line (the first quoted field after the five leading
// fields, blanks after commas allowed), or empty.
QString parseClccNumber(const QString &text);

// The error code of a "+CMS ERROR: n" / "+CME ERROR: n" line, or -1 when there is none or
// the modem wrote words instead of a number.
int parseCmsErrorCode(const QString &reply);

} // namespace parlix

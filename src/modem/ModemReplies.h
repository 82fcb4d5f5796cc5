#pragma once

#include <QList>
#include <QString>

namespace parlix {

// One message of a SIM listing, fields as the modem wrote them (quotes removed).
struct SIMMessage
{
    QString Index;     // storage index, e.g. "3"
    QString Status;    // "REC UNREAD", "REC READ", "STO UNSENT" or "STO SENT"
    QString Number;    // sender (or recipient of a stored outgoing message), with its leading +
    QString Text;      // the message text; the last entry keeps one trailing CR LF
    QString Timestamp; // the service centre's time stamp as the modem wrote it (PDU mode: ISO form)

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

// The final result line of a reply: its last complete line when that is "OK", "ERROR",
// "+CMS ERROR: …", "+CME ERROR: …", "NO CARRIER" or "COMMAND NOT SUPPORT"; empty while none
// has come. A word inside a text ("OK see you", "PAYMENT ERROR") is never one.
QString finalResultLine(const QString &reply);
bool isErrorResult(const QString &finalLine);

// An AT+CMGL reply read as far as it has come.
struct CmglListing
{
    SIMMessageList messages;
    QStringList strayLines; // lines outside every record: unsolicited codes, noise
    QString finalLine;      // the listing's own final result; empty while it is still arriving
};

// A text-mode listing. Records start only at header lines that hold a numeric index and a
// known status; the text of a message is never read as protocol. With the length the modem
// gives (AT+CSDH=1) a body is exactly that long; without it, it runs to the next header or to
// the final result (then the last text keeps the one CR LF before "OK"). Lines between
// records go to strayLines; status reports (no body) are left out.
CmglListing scanCmglText(const QString &reply);
// A PDU-mode listing ("+CMGL: <index>,<stat>,[<alpha>],<length>" and the PDU on the next
// line), decoded: received and stored SMS give their number and text exactly as sent,
// delivery reports their reference, recipient and status. The numeric status becomes its
// text-mode name.
CmglListing scanCmglPdu(const QString &reply);
inline SIMMessageList parseCmglText(const QString &reply)
{
    return scanCmglText(reply).messages;
}
inline SIMMessageList parseCmglPdu(const QString &reply)
{
    return scanCmglPdu(reply).messages;
}
// The numeric AT+CMGL status of a text-mode name ("ALL" 4, "REC UNREAD" 0, ...); 4 when unknown.
int pduListStatus(const QString &status);

// The storage index of an AT+CMGW reply ("+CMGW: 5" gives "5"), or empty. A reply that
// holds "+CMGW:" is read after it; otherwise the text after the first blank at or after
// the seventh character, up to the next CR LF, trimmed.
QString parseCmgwIndex(const QString &reply);

// The call state of an AT+CLCC reply: "Active", "Held", "Dialing", "Alerting", "Incoming"
// or "Waiting" from the third field of the first "+CLCC:" line; empty for an unknown code or
// a line with too few fields; "ERROR" for a reply without a call line that ends in an error;
// otherwise the reply unchanged (CR LF "OK" CR LF when there is no call, empty when the modem
// was silent). Only a "+CLCC:" line is ever read as a call.
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

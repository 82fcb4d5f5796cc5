#pragma once

#include "modem/ModemCharset.h"
#include "modem/ModemReplies.h"
#include "modem/ModemResult.h"
#include "modem/UnsolicitedFilter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace parlix {

// Where a send of a message goes on from, and where it reports each part the modem accepted.
struct SmsSendPlan
{
    QList<int> confirmedParts; // 1-based numbers of parts already sent: skipped
    int concatReference = 0;   // PDU mode: the reference that links the parts of a long SMS
    // The modem accepted part partNo (1-based) under messageRef (-1 when it named none).
    // Returning false stops the send: the part could not be recorded.
    std::function<bool(int partNo, int messageRef)> partSent;
};

class ActivityLog;
class Prompt;

// What the exchange layer counted, for tests and benchmarks.
struct ModemLinkStats
{
    qint64 commandsWritten = 0; // SendATCommand writes
    qint64 readBursts = 0;      // ReadModemResponse calls that got past the port check
    qint64 waits = 0;           // pauses before a burst
    qint64 fullWaits = 0;       // pauses that ran the whole delay (nothing conclusive arrived)
};

// The GSM modem as the engine sees it: the serial link, the AT exchange, the modem state
// flags and the AT operations. One object, owned by and used only on the engine thread.
// All waits block that thread (no event loop runs inside an exchange), so callers stay linear
// and nothing can start a second exchange inside the first.
//
// Sends and deletes return a ModemResult (ok, the +CMS/+CME code, the reply); the lower-level
// exchanges return the modem's text, with LastCommandOK() telling whether the last exchange
// stayed within its limits. Nothing here raises; whatever the operator must see goes through the Prompt, engine work
// is reported through the ActivityLog.
//
// Typical use by the engine:
//   Modem modem(log, prompt);                     // on the engine thread
//   modem.setDelayFactor(settings.ModemDelayFactor);
//   ModemConnection connection(modem, log, prompt); connection.connectModem();
//   if (modem.PortConnected() && !modem.ModemBusy()) {
//       const ModemResult r = modem.SendSMSDirect("+4917012345", "Hello");   // r.ok when confirmed
//   }
// Unsolicited lines (RING, +CLIP, pushed +CLCC, NO CARRIER, ...) never show up in replies:
// they come out of unsolicitedLine(), delivered through the event loop after the exchange
// that read them has ended, so a receiver may start an exchange of its own from the slot.
class Modem : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Modem)

public:
    Modem(ActivityLog &log, Prompt &prompt, QObject *parent = nullptr);
    ~Modem() override;

    // ---- Serial link and exchange ---------------------------------------------------------

    // Writes command unchanged, then waits and reads by the exchange's counting rules: the
    // first read after one pause, then up to 3 error replies, 2 "NO CARRIER" replies,
    // retries + 1 silent and 2 unexpected cycles. Only a final result on a line of its own
    // ("OK", "ERROR", "+CMS ERROR: n", "+CME ERROR: n", "NO CARRIER", or the "> " prompt)
    // ends the wait, at once, so a prompt modem costs no fixed delays; a listing is read by its
    // records, so no message text ends it. A reply still growing is progress, not a failed
    // cycle. After 3 errors a non-blank errorText is shown once; 2 unexpected replies are
    // logged. Returns the reply (space-trimmed, line breaks kept), or empty.
    QString SendATCommand(const QString &command, qint16 delay, const QString &expected, qint16 retries,
                          const QString &errorText);
    // One read burst: appends what waits at the port to ReceiveBuffer and returns it trimmed.
    QString ReadModemResponse(const QString &target);
    void ClearReceiveBuffer();

    // Prepares the port: settings text "115200,n,8,1" (parity n/e/o/m/s, stop bits 1, 1.5, 2),
    // DTR on, RTS/CTS. portName is the stored port (a device path, or a bare number n meaning
    // COMn / /dev/ttyS(n-1)). Shows "Comm Port : … already open …" when the port is open.
    void ConfigureCommPort(const QString &portName, const QString &settings);
    // Opens the configured port. "Device not found" asks the "No modem found on COM Port …"
    // question (Yes emits settingsWindowRequested()); any other failure shows its description.
    void OpenCommPort();
    // Closes the port if open; clears PortConnected, ModemReady, SendingSMS, ReadingSIM,
    // ModemBusy and the call-in-progress lock.
    void CloseCommPort();

    // The port name as shown to the operator (COM3, /dev/ttyUSB0), of the configured port.
    QString portName() const { return m_portName; }

    // ---- Connection pieces (see ModemConnection for the connect command) -------------------

    // ATE0, AT+CSCS, AT+CLIP=1 (when callerId), AT+CMGF=1, preceded by AT+FLO=n when the flow
    // control is not 0. Success sets ModemReady; a failed step closes the port.
    // With PDU mode asked for (setSmsFormat), AT+CMGF=0 takes the place of AT+CMGF=1, and a
    // modem that refuses it is used in text mode; delivery reports add AT+CNMI.
    void InitializeModem(const QString &flowControl, const QString &characterSet, bool callerId);
    // The format the next InitializeModem asks for, and whether sent SMS ask for reports.
    void setSmsFormat(bool pdu, bool statusReports)
    {
        m_wantPdu = pdu;
        m_statusReports = statusReports;
    }
    // The modem was put into PDU mode by the last initialisation.
    bool pduMode() const { return m_pduMode; }
    // The modem's answer line to AT+CGMI / AT+CGMM, or empty.
    QString GetModemManufacturer();
    QString GetModemModel();
    // Whether the modem takes AT+CMGF=0 (PDU mode); it is put back into text mode afterwards.
    bool acceptsPduMode();

    // ---- Operations on messages and calls ---------------------------------------------------

    // "Active", "Held", "Dialing", "Alerting", "Incoming", "Waiting", "ERROR", the raw reply
    // (CR LF "OK" CR LF when the line is idle), or empty.
    QString GetCallStatus();
    // Fills SIMMessages() (status "ALL", "REC READ", …, upper-cased here). Skipped (empty list)
    // while a call is in progress (which then sets the call lock), while busy or without port;
    // a listing without its final "OK" is no listing. Unsolicited codes found between the
    // records come out of unsolicitedLine().
    void ListSIMMessages(const QString &status, qint16 delay);
    // The last ListSIMMessages read the whole listing (so SIMMessages() is all there is).
    bool listingComplete() const { return m_listingComplete; }
    // Lists the messages of a status and deletes each; ok when every delete was confirmed.
    ModemResult DeleteSIMMessagesByStatus(const QString &status);
    // ok when the modem answered "OK" to AT+CMGD.
    ModemResult DeleteSIMMessage(qint16 index);
    // Writes number and text to the SIM in one go; the storage index, or empty.
    QString StoreSMSOnSIM(const QString &number, const QString &text);
    QString SendStoredSMS(qint16 index);
    // Sends text with AT+CMGS. Not ok unless every part was confirmed by the modem (no
    // prompt, silence after the body up to bodyResponseTimeout(), "+CMS ERROR", a dropped
    // port, busy or a call in progress). Parts follow the format in use: 160-character (GSM:
    // septet) cuts in text mode; in PDU mode one SMS or the linked parts of a long one, GSM
    // 7-bit or UCS-2. plan skips parts already sent and hears of each one the modem accepts.
    ModemResult SendSMSDirect(const QString &number, const QString &text, const SmsSendPlan &plan = {});
    // Per part: AT+CMGW, AT+CMSS, AT+CMGD. Ok when every part went out, even when its copy
    // could not be deleted; not ok when a part could not be stored or sent. The copy of a part
    // that was not sent is removed, or, when that fails, sent again by the retry instead of a
    // new one; so is an unsent copy of the same part an earlier run left on the SIM.
    ModemResult StoreAndSendSMS(const QString &number, const QString &text, const SmsSendPlan &plan = {});
    // How many SMS the text goes out as in the format in use; 0 when it cannot be sent.
    int smsPartCount(const QString &text) const;

    // ---- State ------------------------------------------------------------------------------

    // True while an exchange runs or while the call-in-progress lock is set.
    bool ModemBusy() const { return m_exchangeBusy || m_callInProgress; }
    bool LastCommandOK() const { return m_lastCommandOK; }
    bool PortConnected() const { return m_portConnected; }
    bool ModemReady() const { return m_modemReady; }
    bool SendingSMS() const { return m_sendingSMS; }
    bool ReadingSIM() const { return m_readingSIM; }
    bool callInProgress() const { return m_callInProgress; }
    const QString &ReceiveBuffer() const { return m_receiveBuffer; }
    const QString &LastModemResponse() const { return m_lastModemResponse; }
    const SIMMessageList &SIMMessages() const { return m_simMessages; }
    ModemCharset charset() const { return m_decoder.charset(); }

    void setSendingSMS(bool on) { m_sendingSMS = on; }
    void setReadingSIM(bool on) { m_readingSIM = on; }
    // The call watcher's lock: set while a call is in progress, cleared when the line is idle.
    void setCallInProgress(bool on) { m_callInProgress = on; }

    // ModemDelayFactor; every operation's delay is factor × its constant, rounded half to even.
    void setDelayFactor(double factor) { m_delayFactor = factor; }
    double delayFactor() const { return m_delayFactor; }
    qint16 scaledDelay(int constantMs) const;

    // The longest wait for the modem's final answer after a message body or AT+CMSS (the
    // network send); 120 s by default, shorter in tests.
    void setBodyResponseTimeout(int ms) { m_bodyResponseTimeoutMs = ms; }
    int bodyResponseTimeout() const { return m_bodyResponseTimeoutMs; }

    // ---- Seams --------------------------------------------------------------------------

    // The serial port the program uses (owned).
    QSerialPort &serialPort() { return m_serial; }
    // Tests may talk through any open QIODevice instead (not owned); nullptr goes back to
    // the serial port. The device counts as connected while it is open.
    void setDevice(QIODevice *device);
    void setCharset(ModemCharset charset) { m_decoder.setCharset(charset); }
    const ModemLinkStats &linkStats() const { return m_stats; }
    void resetLinkStats() { m_stats = {}; }

Q_SIGNALS:
    void portConnectedChanged(bool connected);
    void modemReadyChanged(bool ready);
    // A line the modem sent on its own: "RING", "+CLIP: …", "+CRING: …", "+CLCC: …" outside a
    // call-state query, "NO CARRIER", and other unsolicited codes ("+CMTI: …", "^…").
    void unsolicitedLine(const QString &line);
    // The port disappeared by itself (device unplugged); PortConnected is already false.
    void portLost(const QString &portName);
    // The operator answered Yes to "No modem found on COM Port …".
    void settingsWindowRequested();

private:
    QIODevice *device() const;
    bool deviceOpen() const;
    void setPortConnected(bool on);
    void setModemReady(bool on);
    void writeText(const QString &text);
    bool readAvailable();
    bool waitForData(int timeoutMs, const QString &expected);
    enum class ReplyState { Pending, Success, Error, NoCarrier, Other };
    QString finalLineOf(const QString &reply) const;
    ReplyState judgeReply(const QString &reply, const QString &expected) const;
    void discardInput();
    void handlePortLoss();
    bool deviceFailed() const;
    void onIdleData();
    void onSerialError(QSerialPort::SerialPortError error);
    void flushUnsolicited();
    QString awaitFinalAnswer(QString reply, const QElapsedTimer &since);
    void logResponse(const QString &commandForLog, const QString &reply, bool keepLineBreaks);
    bool sendRefused() const;
    struct OutgoingPart
    {
        QString command; // without its CR
        QString payload; // before Ctrl-Z
    };
    // The parts of a text as the format in use sends them (AT+CMGS, or AT+CMGW when stored).
    QList<OutgoingPart> outgoingParts(const QString &number, const QString &text, int reference, bool stored,
                                      QString *error);
    QList<OutgoingPart> preparedParts(const QString &number, const QString &text, int reference, bool stored);
    QString storePartOnSim(const OutgoingPart &part);
    // A copy this program stored on the SIM that did not go out.
    struct UnsentCopy
    {
        int index;
        QString number;
        QString text;
        int concatRef = 0;
        int partNo = 0;
    };
    void listUnsentCopies();
    UnsentCopy copyOf(int index, const QString &number, const OutgoingPart &part) const;
    int takeUnsentCopy(const QString &number, const OutgoingPart &part);
    void dropCopy(int index, const QString &number, const OutgoingPart &part);

    ActivityLog &m_log;
    Prompt &m_prompt;
    QSerialPort m_serial;
    QPointer<QIODevice> m_testDevice;
    bool m_usingTestDevice = false;
    QString m_portName;

    ModemTextDecoder m_decoder;
    UnsolicitedFilter m_filter;
    QStringList m_unsolicited;
    bool m_flushQueued = false;

    QString m_receiveBuffer;
    QString m_lastModemResponse;
    SIMMessageList m_simMessages;
    bool m_listingComplete = false;
    QList<UnsentCopy> m_unsentCopies;
    bool m_unsentListed = false;

    bool m_exchangeBusy = false;
    bool m_callInProgress = false;
    bool m_lastCommandOK = false;
    bool m_portConnected = false;
    bool m_modemReady = false;
    bool m_sendingSMS = false;
    bool m_readingSIM = false;
    bool m_inExchange = false;
    bool m_listing = false; // the exchange in flight is an AT+CMGL
    bool m_reading = false;
    bool m_portLost = false;
    bool m_configValid = false;
    bool m_lossPending = false;

    bool m_wantPdu = false;
    bool m_statusReports = false;
    bool m_pduMode = false;

    double m_delayFactor = 1.0;
    int m_bodyResponseTimeoutMs = 120000;
    ModemLinkStats m_stats;
};

// Holds the modem's sending flag while it lives, so that every way out of a send clears it.
class SendingSmsScope
{
public:
    explicit SendingSmsScope(Modem &modem)
        : m_modem(modem)
    {
        m_modem.setSendingSMS(true);
    }
    ~SendingSmsScope() { m_modem.setSendingSMS(false); }
    SendingSmsScope(const SendingSmsScope &) = delete;
    SendingSmsScope &operator=(const SendingSmsScope &) = delete;

private:
    Modem &m_modem;
};

} // namespace parlix

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace parlix::sim {

// A GSM modem in text or PDU mode behind a pseudo-terminal, for tests, benchmarks and manual runs.
// It serves on its own thread; every method is thread-safe and returns at once.
//
//   parlix::sim::ModemSimulator modem;           // a SIM with 30 slots, echo on, no latency
//   modem.start();                               // opens the pty pair
//   QSerialPort port(modem.devicePath());        // or point the ModemSettings row at it
//   modem.addMessage("REC UNREAD", "+447700900123", "Hello");
//   modem.failNext("AT+CMGS", {Fault::CmsError, 500});
//   ... run the program ...
//   modem.sentMessages();                        // what went out with AT+CMGS / AT+CMSS
//
// Replies follow 3GPP TS 27.005/27.007 with V.250 framing (CR LF around every line).
// Supported: AT, ATE0/ATE1, AT+FLO, AT+CSCS, AT+CLIP, AT+CMGF, AT+CSDH, AT+CNMI, AT+CGMI, AT+CGMM,
// AT+CLCC, AT+CMGL, AT+CMGR, AT+CMGD, AT+CMGW, AT+CMSS and AT+CMGS with the "> " prompt, a
// message body ended by Ctrl-Z (or cancelled by ESC). Anything else answers "ERROR".
// After AT+CMGF=0 the message commands take and list PDUs: AT+CMGS=<length> with the hex of
// an SMS-SUBMIT, AT+CMGL=<0..4> listing SMS-DELIVER PDUs (made from injected texts, or given
// raw), and a status report for every SMS sent with its report bit set: pushed as +CDS when
// AT+CNMI chose <ds>=1, else stored on the SIM (and announced by +CDSI with <ds>=2).
class ModemSimulator
{
public:
    struct Options
    {
        QString manufacturer = QStringLiteral("Parlix");
        QString model = QStringLiteral("SIM-900 simulator");
        int capacity = 30; // SIM slots; indexes run from 1
        // When set, devicePath() is this symlink to the pty, and it survives unplug()/replug().
        QString linkPath;
    };

    // A failure to inject into the answer of one command (or of a message body).
    struct Fault
    {
        enum Kind {
            Error,    // "ERROR"
            CmsError, // "+CMS ERROR: <code>"
            Silence,  // no answer at all
            Garbage,  // a line of noise instead of the answer
            Unplug,   // the device disappears (the pty master is closed)
        };
        Kind kind = Error;
        int code = 500;
    };

    struct StoredMessage
    {
        int index = 0;
        QString status; // "REC UNREAD", "REC READ", "STO UNSENT", "STO SENT"
        QString number;
        QString text;
        QString timestamp;         // "yy/MM/dd,hh:mm:ss+zz"
        QByteArray pdu;            // PDU mode: the stored hex; empty lists an SMS-DELIVER made from the text
        bool statusReport = false; // listed in PDU mode only
    };

    struct SentMessage
    {
        QString number;
        QString text;
        QString via; // "AT+CMGS" or "AT+CMSS"
        int reference = 0;
        // PDU mode: what came in, and the part of a long SMS it is (reference -1: not a part).
        QByteArray pdu;
        bool statusReportRequested = false;
        int partReference = -1;
        int partCount = 1;
        int partNumber = 1;
    };

    // Call states of AT+CLCC: 0 active, 1 held, 2 dialing, 3 alerting, 4 incoming, 5 waiting.
    enum CallState { Active = 0, Held = 1, Dialing = 2, Alerting = 3, Incoming = 4, Waiting = 5 };

    ModemSimulator();
    explicit ModemSimulator(Options options);
    ~ModemSimulator();
    ModemSimulator(const ModemSimulator &) = delete;
    ModemSimulator &operator=(const ModemSimulator &) = delete;

    // Opens the pseudo-terminal and starts serving; false (with the reason) when it cannot.
    bool start(QString *error = nullptr);
    void stop();
    // The device a serial port opens: the link path when one was given, else /dev/pts/N.
    QString devicePath() const;

    // ---- Behaviour --------------------------------------------------------------------------
    void setEcho(bool on);
    // Delay before every answer; per command (the name up to "=" or "?", e.g. "AT+CMGS");
    // and for the answer to a message body (the network send).
    void setLatency(int ms);
    void setCommandLatency(const QString &command, int ms);
    void setBodyLatency(int ms);
    // Character sets AT+CSCS accepts (default GSM, IRA, ASCII, UCS2); others get +CME ERROR: 4.
    void setSupportedCharsets(const QStringList &names);
    // Listings go out record by record, each record cut in two, ms apart (0: in one piece).
    void setListChunkDelay(int ms);
    // AT+CMGD of an empty slot answers "+CMS ERROR: 321" (default: "OK").
    void setStrictDelete(bool on);
    // SIM slots; a full SIM answers a store with "+CMS ERROR: 322".
    void setCapacity(int slots);
    // A body written before the "> " prompt went out is ignored, as a busy modem does.
    void setStrictPrompt(bool on);
    // An ASCII line (e.g. "^BOOT:…", "^RSSI:14", "+CREG: 1") pushed inside every information
    // answer, call list and listing, whatever the character set; empty stops it.
    void setNoise(const QByteArray &line);
    // The next `times` answers to command (or, with command "BODY", to message bodies) carry
    // the fault; times < 0 means every answer until clearFaults(). `after` answers go through
    // first, so after = 1 with "BODY" fails the second SMS (or part) sent.
    void failNext(const QString &command, Fault fault, int times = 1, int after = 0);
    void clearFaults();
    // Push "+CMTI: "SM",n" when an SMS arrives (off by default, as with AT+CNMI=0).
    void setNewMessageIndication(bool on);
    // Whether AT+CMGF=0 is accepted (default yes); a text-only modem answers it "ERROR".
    void setPduModeSupported(bool on);
    // TP-Status of the status reports for sent SMS (default 0, received by the phone).
    void setReportStatus(int tpStatus);
    bool pduMode() const;

    // ---- SIM store ------------------------------------------------------------------------
    // Stores a message; returns its index, or -1 when the SIM is full.
    // timestamp "yy/MM/dd,hh:mm:ss+zz" (default: now).
    int addMessage(const QString &status, const QString &number, const QString &text, const QString &timestamp = {});
    // An SMS arriving from the network (status REC UNREAD).
    int receiveSms(const QString &number, const QString &text);
    // A long SMS arriving as linked SMS-DELIVER parts with an 8-bit reference. parts: which
    // parts (from 1) arrive, in that order; empty means all in order. {3, 2, 1} lists them in
    // reverse; two calls deliver them in two batches. Returns the SIM indexes.
    QList<int> receiveConcatenatedSms(const QString &number, const QString &text, int reference,
                                      const QList<int> &parts = {});
    // A raw PDU (service centre field first) arriving as it is, valid or not.
    int receivePdu(const QByteArray &hex);
    QList<StoredMessage> messages() const;
    void clearMessages();

    // ---- Calls ----------------------------------------------------------------------------
    // An incoming call: "RING", then "+CLIP: …" when AT+CLIP=1 was given; the call is listed
    // by AT+CLCC as incoming. Each call of ring() is one more RING of the same call.
    void ring(const QString &number);
    void setCallState(CallState state);
    // The call ends; "NO CARRIER" is pushed when noCarrier.
    void endCall(bool noCarrier = true);
    // Pushes the current call as an unsolicited "+CLCC: …" line.
    void pushCallList();
    // Raw bytes to the program, as they are.
    void sendRaw(const QByteArray &bytes);

    // ---- What happened --------------------------------------------------------------------
    QList<SentMessage> sentMessages() const;
    // The same with the parts of each long SMS joined, once all of them went out, in part order;
    // a joined message has the reference of its last part.
    QList<SentMessage> sentTexts() const;
    // Every command line received (terminator removed), message bodies as "<body>".
    QStringList commands() const;
    // Bytes that arrived while a message was still being sent (before its final answer);
    // a real modem may abort the send on them.
    int protocolViolations() const;
    bool echo() const;
    QString charset() const;
    bool callerIdOn() const;
    void clearLog();
    // Waits until at least n command lines were received or timeoutMs passed.
    bool waitForCommands(int n, int timeoutMs) const;

    // ---- Device presence --------------------------------------------------------------------
    // Closes the pty master: the program sees its port vanish.
    void unplug();
    // A new pty; with a link path, the link points at it again.
    bool replug(QString *error = nullptr);
    bool isPlugged() const;

private:
    class Impl;
    std::unique_ptr<Impl> d;
};

} // namespace parlix::sim

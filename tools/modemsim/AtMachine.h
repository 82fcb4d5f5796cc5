#pragma once

#include "ModemSimulator.h"

#include <QByteArray>
#include <QHash>
#include <QMap>

#include <chrono>
#include <deque>
#include <optional>

namespace parlix::sim {

// One piece of what the modem sends back, and when: the pump writes it `delayMs` after the
// bytes that caused it (and never before an earlier reply).
struct Reply
{
    int delayMs = 0;
    QByteArray bytes;
    bool unplug = false;   // the device disappears at that moment instead
    bool endsSend = false; // the final answer of a network send
};

// The modem's AT side as a pure state machine: bytes from the program in, replies out.
// Knows nothing of ptys, threads or clocks; the simulator's pump feeds it and writes what it
// answers. Not thread-safe: the owner serialises every call.
class AtMachine
{
public:
    using Fault = ModemSimulator::Fault;
    using StoredMessage = ModemSimulator::StoredMessage;
    using SentMessage = ModemSimulator::SentMessage;

    explicit AtMachine(ModemSimulator::Options options);

    void input(QByteArrayView bytes);
    // The replies queued since the last call, in order.
    std::deque<Reply> takeReplies();
    // Power-up state; the SIM keeps its messages.
    void reset();

    // Unsolicited output (RING, +CMTI, raw bytes) goes out with the replies.
    void push(QByteArray bytes) { queue(std::move(bytes), 0); }

    int store(const QString &status, const QString &number, const QString &text, const QByteArray &pdu = {},
              const QString &timestamp = {});
    int receive(const QString &number, const QString &text, const QByteArray &pdu = {});
    QString clccLine() const;
    QByteArray encode(const QString &text) const;

    ModemSimulator::Options opts;

    // Modem state
    bool echo = true;
    QString charset = QStringLiteral("IRA");
    // Windows' "ANSI" is no modem character set: a real modem refuses it.
    QStringList supportedCharsets = {QStringLiteral("GSM"), QStringLiteral("IRA"), QStringLiteral("ASCII"),
                                     QStringLiteral("UCS2")};
    bool clip = false;
    bool textMode = true;
    bool pduSupported = true;
    bool newMessageIndication = false;
    int reportRouting = 0; // <ds> of AT+CNMI: 1 pushes +CDS, otherwise reports are stored
    int reportStatus = 0;  // TP-ST of the status reports made for sent SMS
    int flowControl = 0;
    bool showLengths = false; // AT+CSDH=1: listing headers carry <tooa>,<length>

    // Behaviour
    int latencyMs = 0;
    int bodyLatencyMs = -1;
    QHash<QString, int> commandLatency;
    struct FaultRule
    {
        Fault fault;
        int times = 1;
        int after = 0; // answers let through before this rule applies
    };
    QHash<QString, std::deque<FaultRule>> faults;
    int listChunkDelayMs = 0;  // listings go out record by record, each cut in two, this far apart
    bool strictDelete = false; // AT+CMGD of an empty slot answers +CMS ERROR: 321
    bool strictPrompt = false; // a body that comes before the "> " prompt is ignored
    QByteArray noise;          // an ASCII line pushed inside answers and between listed records

    // SIM and calls
    QMap<int, StoredMessage> sim;
    bool callActive = false;
    int callState = ModemSimulator::Incoming;
    int callDirection = 1;
    QString callNumber;
    int nextReference = 1;

    // Log
    QList<SentMessage> sent;
    QStringList commands;

private:
    enum class Entry { None, Cmgs, Cmgw };

    void queue(QByteArray bytes, int latency, bool endsSend = false);
    QString decode(const QByteArray &bytes) const;
    int latencyFor(const QString &stem) const;
    int networkLatency(const QString &stem) const;
    std::optional<Fault> takeFault(const QString &stem);
    bool applyFault(const QString &stem, int latency);

    void onByte(char c);
    void onBodyByte(char c);
    void cancelEntry();
    void finishEntry();
    void finishPduEntry(Entry kind, const QByteArray &hex);
    void onCommandLine(const QByteArray &raw);
    void info(const QString &lines, int latency);
    QByteArray noiseLine() const;
    void dispatch(const QString &stem, const QString &arg, bool query, bool test, int latency);
    QString header(const StoredMessage &m) const;
    void queueListing(const QList<QByteArray> &records, int latency);
    void listMessages(const QString &status, int latency);
    void listPdus(int stat, int latency);
    void readMessage(int index, int latency);
    void deleteMessages(const QString &arg, int latency);
    void sendStored(int index);
    int takeReference();
    void recordSent(SentMessage message, int latency, const QString &via);
    QByteArray pduOf(const StoredMessage &m) const;

    QByteArray m_line;
    Entry m_entry = Entry::None;
    QString m_entryNumber;
    QString m_entryStatus;
    int m_entryLength = 0;
    QByteArray m_body;
    bool m_pendingEscape = false;
    std::chrono::steady_clock::time_point m_promptAt; // when the "> " prompt goes out
    std::deque<Reply> m_replies;
};

} // namespace parlix::sim

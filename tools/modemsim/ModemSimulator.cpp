#include "ModemSimulator.h"

#include "modem/ModemCharset.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QMap>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pty.h>
#include <termios.h>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace parlix::sim {

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

const QByteArray kCrLf = "\r\n";
const QByteArray kOk = "\r\nOK\r\n";
const QByteArray kError = "\r\nERROR\r\n";
const QByteArray kPrompt = "\r\n> ";
constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;
const QString kBody = QStringLiteral("BODY");

const QStringList kStatuses = {QStringLiteral("REC UNREAD"), QStringLiteral("REC READ"), QStringLiteral("STO UNSENT"),
                               QStringLiteral("STO SENT")};

ModemCharset charsetOf(const QString &name)
{
    return modemCharsetFromName(name);
}

QString unquote(QString s)
{
    s = s.trimmed();
    if (s.startsWith(QLatin1Char('"')))
        s.remove(0, 1);
    if (s.endsWith(QLatin1Char('"')))
        s.chop(1);
    return s;
}

bool isExtensionCode(char c)
{
    static const QByteArray codes("\x0A\x14\x28\x29\x2F\x3C\x3D\x3E\x40\x65", 10);
    return codes.contains(c);
}

} // namespace

class ModemSimulator::Impl
{
public:
    struct Output
    {
        Clock::time_point due;
        QByteArray bytes;
        bool unplug = false;
        bool endsSend = false; // the final answer of a network send
    };
    struct FaultRule
    {
        Fault fault;
        int times = 1;
    };
    enum class Entry { None, Cmgs, Cmgw };

    explicit Impl(Options o)
        : opts(std::move(o))
    {
    }

    Options opts;
    mutable std::mutex mu;
    mutable std::condition_variable changed;
    std::thread thread;
    std::atomic<bool> running{false};
    int wake[2] = {-1, -1};
    int master = -1;
    int slave = -1;
    QString slaveName;

    // Modem state
    bool echo = true;
    QString charset = QStringLiteral("IRA");
    QStringList supportedCharsets = {QStringLiteral("GSM"), QStringLiteral("IRA"), QStringLiteral("ASCII"),
                                     QStringLiteral("ANSI"), QStringLiteral("UCS2")};
    bool clip = false;
    bool textMode = true;
    bool newMessageIndication = false;
    int flowControl = 0;

    // Input handling
    QByteArray line;
    Entry entry = Entry::None;
    QString entryNumber;
    QString entryStatus;
    QByteArray body;
    bool pendingEscape = false;

    // Output
    std::deque<Output> outputs;
    QByteArray unwritten;
    Clock::time_point lastDue = Clock::now();
    Clock::time_point sendBusyUntil = Clock::time_point::min();
    bool sendInFlight = false;

    // Behaviour
    int latencyMs = 0;
    int bodyLatencyMs = -1;
    QHash<QString, int> commandLatency;
    QHash<QString, std::deque<FaultRule>> faults;

    // SIM and calls
    QMap<int, StoredMessage> sim;
    bool callActive = false;
    int callState = Incoming;
    int callDirection = 1;
    QString callNumber;
    int nextReference = 1;

    // Log
    QList<SentMessage> sent;
    QStringList commands;
    int violations = 0;

    // ---- Plumbing -------------------------------------------------------------------------

    template <typename Fn> void locked(Fn &&fn)
    {
        {
            std::lock_guard lock(mu);
            fn();
        }
        poke();
    }

    void poke() const
    {
        const char c = 1;
        [[maybe_unused]] auto n = ::write(wake[1], &c, 1);
    }

    bool openPty(QString *error)
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            if (error)
                *error = QStringLiteral("openpty failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        slaveName = QString::fromLocal8Bit(name);
        if (!opts.linkPath.isEmpty()) {
            QFile::remove(opts.linkPath);
            if (!QFile::link(slaveName, opts.linkPath)) {
                if (error)
                    *error = QStringLiteral("cannot create the link %1").arg(opts.linkPath);
                closePty();
                return false;
            }
        }
        return true;
    }

    void closePty()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
        master = slave = -1;
        if (!opts.linkPath.isEmpty())
            QFile::remove(opts.linkPath);
    }

    // A device that comes back starts as a modem does after power-up; the SIM keeps its messages.
    void resetModemState()
    {
        echo = true;
        charset = QStringLiteral("IRA");
        clip = false;
        line.clear();
        entry = Entry::None;
        body.clear();
        pendingEscape = false;
        outputs.clear();
        unwritten.clear();
        sendInFlight = false;
    }

    void queue(QByteArray bytes, int latency, bool endsSend = false)
    {
        const auto due = std::max(Clock::now() + Ms(latency), lastDue);
        lastDue = due;
        if (endsSend) {
            sendInFlight = true;
            sendBusyUntil = due;
        }
        outputs.push_back({due, std::move(bytes), false, endsSend});
    }

    QByteArray encode(const QString &text) const { return encodeForModem(text, charsetOf(charset)); }
    QString decode(const QByteArray &bytes) const { return decodeFromModem(bytes, charsetOf(charset)); }

    int latencyFor(const QString &stem) const { return commandLatency.value(stem, latencyMs); }
    int networkLatency(const QString &stem) const
    {
        if (commandLatency.contains(stem))
            return commandLatency.value(stem);
        return bodyLatencyMs >= 0 ? bodyLatencyMs : latencyMs;
    }

    std::optional<Fault> takeFault(const QString &stem)
    {
        auto it = faults.find(stem);
        if (it == faults.end() || it->empty())
            return std::nullopt;
        FaultRule &rule = it->front();
        const Fault f = rule.fault;
        if (rule.times > 0 && --rule.times == 0)
            it->pop_front();
        return f;
    }

    // Answers with the fault instead of the real answer; true when there was one.
    bool applyFault(const QString &stem, int latency)
    {
        const auto fault = takeFault(stem);
        if (!fault || fault->kind == Fault::Pass)
            return false;
        switch (fault->kind) {
        case Fault::Error:
            queue(kError, latency);
            break;
        case Fault::CmsError:
            queue("\r\n+CMS ERROR: " + QByteArray::number(fault->code) + kCrLf, latency);
            break;
        case Fault::Silence:
        case Fault::Pass:
            break;
        case Fault::Garbage:
            queue("\r\n#~%\x7F?&!x" + kCrLf, latency);
            break;
        case Fault::Unplug: {
            const auto due = std::max(Clock::now() + Ms(latency), lastDue);
            lastDue = due;
            outputs.push_back({due, {}, true, false});
            break;
        }
        }
        return true;
    }

    void logCommand(const QString &text)
    {
        commands << text;
        changed.notify_all();
    }

    // ---- Input ----------------------------------------------------------------------------

    void onInput(const QByteArray &bytes)
    {
        if (sendInFlight)
            ++violations;
        for (const char c : bytes)
            onByte(c);
    }

    void onByte(char c)
    {
        if (entry != Entry::None) {
            onBodyByte(c);
            return;
        }
        if (echo)
            queue(QByteArray(1, c), 0);
        if (c == '\r') {
            const QByteArray command = line;
            line.clear();
            onCommandLine(command);
        } else if (c == kCtrlZ) {
            line.clear(); // a body that came without its prompt
        } else if (c != '\n' && c != kEsc) {
            line.append(c);
        }
    }

    void onBodyByte(char c)
    {
        if (pendingEscape) {
            pendingEscape = false;
            if (isExtensionCode(c)) {
                body.append(kEsc);
                body.append(c);
                return;
            }
            cancelEntry();
            onByte(c);
            return;
        }
        if (echo)
            queue(QByteArray(1, c), 0);
        if (c == kCtrlZ) {
            finishEntry();
        } else if (c == kEsc) {
            if (charsetOf(charset) == ModemCharset::Gsm)
                pendingEscape = true; // ESC may start an extension-table character
            else
                cancelEntry();
        } else {
            body.append(c);
            if (c == '\r')
                queue(kPrompt, 0);
        }
    }

    void cancelEntry()
    {
        logCommand(QStringLiteral("<cancelled>"));
        entry = Entry::None;
        body.clear();
        queue(kOk, 0);
    }

    void finishEntry()
    {
        const Entry kind = entry;
        entry = Entry::None;
        const QString text = decode(body);
        body.clear();
        logCommand(QStringLiteral("<body>"));
        if (kind == Entry::Cmgs) {
            const int latency = networkLatency(QStringLiteral("AT+CMGS"));
            if (applyFault(kBody, latency))
                return;
            const int reference = nextReference;
            nextReference = nextReference % 255 + 1;
            sent.append({entryNumber, text, QStringLiteral("AT+CMGS"), reference});
            queue("\r\n+CMGS: " + QByteArray::number(reference) + kCrLf + kOk, latency, true);
            return;
        }
        const int latency = latencyFor(QStringLiteral("AT+CMGW"));
        if (applyFault(kBody, latency))
            return;
        const int index = store(entryStatus, entryNumber, text);
        if (index < 0)
            queue("\r\n+CMS ERROR: 322\r\n", latency);
        else
            queue("\r\n+CMGW: " + QByteArray::number(index) + kCrLf + kOk, latency);
    }

    void onCommandLine(const QByteArray &raw)
    {
        const QString text = decode(raw).trimmed();
        if (text.isEmpty())
            return;
        logCommand(text);
        const QString upper = text.toUpper();
        if (!upper.startsWith(QLatin1String("AT"))) {
            queue(kError, latencyMs);
            return;
        }
        qsizetype cut = upper.size();
        for (const QChar c : {QLatin1Char('='), QLatin1Char('?')}) {
            const qsizetype at = upper.indexOf(c);
            if (at >= 0)
                cut = std::min(cut, at);
        }
        const QString stem = upper.left(cut);
        const QString rest = text.mid(cut);
        const bool query = rest == QLatin1String("?");
        const bool test = rest == QLatin1String("=?");
        const QString arg = rest.startsWith(QLatin1Char('=')) ? rest.mid(1) : QString();
        const int latency = latencyFor(stem);
        if (applyFault(stem, latency))
            return;
        dispatch(stem, arg, query, test, latency);
    }

    void info(const QString &lines, int latency) { queue(kCrLf + encode(lines) + kCrLf + kOk, latency); }

    void dispatch(const QString &stem, const QString &arg, bool query, bool test, int latency)
    {
        if (stem == QLatin1String("AT")) {
            queue(kOk, latency);
        } else if (stem == QLatin1String("ATE0") || stem == QLatin1String("ATE") || stem == QLatin1String("ATE1")) {
            echo = stem == QLatin1String("ATE1");
            queue(kOk, latency);
        } else if (stem == QLatin1String("AT+FLO")) {
            if (query)
                return info(QStringLiteral("+FLO: %1").arg(flowControl), latency);
            flowControl = arg.toInt();
            queue(kOk, latency);
        } else if (stem == QLatin1String("AT+CSCS")) {
            if (query)
                return info(QStringLiteral("+CSCS: \"%1\"").arg(charset), latency);
            if (test)
                return info(QStringLiteral("+CSCS: (\"%1\")").arg(supportedCharsets.join(QStringLiteral("\",\""))),
                            latency);
            const QString wanted = unquote(arg).toUpper();
            if (!supportedCharsets.contains(wanted))
                return queue(kError, latency);
            charset = wanted;
            queue(kOk, latency);
        } else if (stem == QLatin1String("AT+CLIP")) {
            if (query)
                return info(QStringLiteral("+CLIP: %1,1").arg(clip ? 1 : 0), latency);
            clip = arg.trimmed() == QLatin1String("1");
            queue(kOk, latency);
        } else if (stem == QLatin1String("AT+CMGF")) {
            if (query)
                return info(QStringLiteral("+CMGF: %1").arg(textMode ? 1 : 0), latency);
            if (test)
                return info(QStringLiteral("+CMGF: (0,1)"), latency);
            textMode = arg.trimmed() == QLatin1String("1");
            queue(kOk, latency);
        } else if (stem == QLatin1String("AT+CNMI")) {
            newMessageIndication = arg.section(QLatin1Char(','), 1, 1).trimmed().toInt() > 0;
            queue(kOk, latency);
        } else if (stem == QLatin1String("AT+CGMI")) {
            info(opts.manufacturer, latency);
        } else if (stem == QLatin1String("AT+CGMM")) {
            info(opts.model, latency);
        } else if (stem == QLatin1String("AT+CLCC")) {
            QByteArray reply;
            if (callActive)
                reply = kCrLf + encode(clccLine()) + kCrLf;
            queue(reply + kOk, latency);
        } else if (stem == QLatin1String("ATA")) {
            callState = Active;
            queue(kOk, latency);
        } else if (stem == QLatin1String("ATH")) {
            callActive = false;
            queue(kOk, latency);
        } else if (stem == QLatin1String("AT+CPMS")) {
            const int used = int(sim.size());
            info(QStringLiteral("+CPMS: \"SM\",%1,%2,\"SM\",%1,%2,\"SM\",%1,%2").arg(used).arg(opts.capacity), latency);
        } else if (!textMode && stem.startsWith(QLatin1String("AT+CMG"))) {
            queue("\r\n+CMS ERROR: 302\r\n", latency);
        } else if (stem == QLatin1String("AT+CMGL")) {
            listMessages(arg.isEmpty() ? QStringLiteral("REC UNREAD") : unquote(arg).toUpper(), latency);
        } else if (stem == QLatin1String("AT+CMGR")) {
            readMessage(arg.toInt(), latency);
        } else if (stem == QLatin1String("AT+CMGD")) {
            deleteMessages(arg, latency);
        } else if (stem == QLatin1String("AT+CMGW") || stem == QLatin1String("AT+CMGS")) {
            const QStringList fields = arg.split(QLatin1Char(','));
            entry = stem == QLatin1String("AT+CMGS") ? Entry::Cmgs : Entry::Cmgw;
            entryNumber = unquote(fields.value(0));
            entryStatus = fields.size() > 2 ? unquote(fields[2]).toUpper() : QStringLiteral("STO UNSENT");
            if (!kStatuses.contains(entryStatus))
                entryStatus = QStringLiteral("STO UNSENT");
            body.clear();
            queue(kPrompt, latency);
        } else if (stem == QLatin1String("AT+CMSS")) {
            sendStored(arg.section(QLatin1Char(','), 0, 0).toInt());
        } else {
            queue(kError, latency);
        }
    }

    QString clccLine() const
    {
        const int type = callNumber.startsWith(QLatin1Char('+')) ? 145 : 129;
        return QStringLiteral("+CLCC: 1,%1,%2,0,0,\"%3\",%4")
            .arg(callDirection)
            .arg(callState)
            .arg(callNumber)
            .arg(type);
    }

    QString header(const StoredMessage &m) const
    {
        return QStringLiteral("\"%1\",\"%2\",,\"%3\"").arg(m.status, m.number, m.timestamp);
    }

    void listMessages(const QString &status, int latency)
    {
        if (status != QLatin1String("ALL") && !kStatuses.contains(status))
            return queue("\r\n+CMS ERROR: 302\r\n", latency);
        QByteArray records;
        for (auto it = sim.begin(); it != sim.end(); ++it) {
            StoredMessage &m = it.value();
            if (status != QLatin1String("ALL") && m.status != status)
                continue;
            records += encode(QStringLiteral("+CMGL: %1,").arg(m.index) + header(m)) + kCrLf + encode(m.text) + kCrLf;
            if (m.status == QLatin1String("REC UNREAD"))
                m.status = QStringLiteral("REC READ");
        }
        queue((records.isEmpty() ? QByteArray() : kCrLf + records) + kOk, latency);
    }

    void readMessage(int index, int latency)
    {
        if (index < 1 || index > opts.capacity)
            return queue("\r\n+CMS ERROR: 321\r\n", latency);
        auto it = sim.find(index);
        if (it == sim.end())
            return queue(kOk, latency);
        StoredMessage &m = it.value();
        queue(kCrLf + encode(QStringLiteral("+CMGR: ") + header(m)) + kCrLf + encode(m.text) + kCrLf + kOk, latency);
        if (m.status == QLatin1String("REC UNREAD"))
            m.status = QStringLiteral("REC READ");
    }

    void deleteMessages(const QString &arg, int latency)
    {
        bool ok = false;
        const int index = arg.section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
        const int flag = arg.section(QLatin1Char(','), 1, 1).trimmed().toInt();
        if (flag > 0) {
            static const QList<QStringList> kDoomed = {
                {},
                {QStringLiteral("REC READ")},
                {QStringLiteral("REC READ"), QStringLiteral("STO SENT")},
                {QStringLiteral("REC READ"), QStringLiteral("STO SENT"), QStringLiteral("STO UNSENT")},
                kStatuses,
            };
            const QStringList doomed = kDoomed.value(std::min(flag, 4));
            for (auto it = sim.begin(); it != sim.end();)
                it = doomed.contains(it->status) ? sim.erase(it) : std::next(it);
            return queue(kOk, latency);
        }
        if (!ok || index < 1 || index > opts.capacity)
            return queue("\r\n+CMS ERROR: 321\r\n", latency);
        sim.remove(index);
        queue(kOk, latency);
    }

    void sendStored(int index)
    {
        const int latency = networkLatency(QStringLiteral("AT+CMSS"));
        auto it = sim.find(index);
        if (it == sim.end())
            return queue("\r\n+CMS ERROR: 321\r\n", latency);
        const int reference = nextReference;
        nextReference = nextReference % 255 + 1;
        sent.append({it->number, it->text, QStringLiteral("AT+CMSS"), reference});
        if (it->status.startsWith(QLatin1String("STO")))
            it->status = QStringLiteral("STO SENT");
        queue("\r\n+CMSS: " + QByteArray::number(reference) + kCrLf + kOk, latency, true);
    }

    int store(const QString &status, const QString &number, const QString &text)
    {
        for (int i = 1; i <= opts.capacity; ++i) {
            if (!sim.contains(i)) {
                const QString stamp =
                    QDateTime::currentDateTime().toString(QStringLiteral("yy/MM/dd,HH:mm:ss")) + "+00";
                sim.insert(i, {i, status, number, text, stamp});
                return i;
            }
        }
        return -1;
    }

    // ---- Serving ----------------------------------------------------------------------------

    void run()
    {
        while (running) {
            int timeout = 200;
            {
                std::lock_guard lock(mu);
                flushDue();
                if (!outputs.empty()) {
                    const auto wait = std::chrono::duration_cast<Ms>(outputs.front().due - Clock::now()).count();
                    timeout = int(std::clamp<long long>(wait + 1, 0, 200));
                }
                if (!unwritten.isEmpty())
                    timeout = std::min(timeout, 5);
            }
            pollfd fds[2] = {{wake[0], POLLIN, 0}, {-1, POLLIN, 0}};
            {
                std::lock_guard lock(mu);
                fds[1].fd = master;
            }
            ::poll(fds, fds[1].fd >= 0 ? 2 : 1, timeout);
            if (fds[0].revents & POLLIN) {
                char buf[64];
                [[maybe_unused]] auto n = ::read(wake[0], buf, sizeof buf);
            }
            if (fds[1].fd >= 0 && (fds[1].revents & POLLIN)) {
                char buf[4096];
                std::lock_guard lock(mu);
                if (master == fds[1].fd) {
                    const auto n = ::read(master, buf, sizeof buf);
                    if (n > 0)
                        onInput(QByteArray(buf, int(n)));
                }
            }
        }
    }

    void flushDue()
    {
        const auto now = Clock::now();
        while (!outputs.empty() && outputs.front().due <= now) {
            Output out = std::move(outputs.front());
            outputs.pop_front();
            if (out.unplug) {
                closePty();
                outputs.clear();
                unwritten.clear();
                sendInFlight = false;
                return;
            }
            if (out.endsSend)
                sendInFlight = false;
            unwritten += out.bytes;
        }
        if (unwritten.isEmpty() || master < 0)
            return;
        const auto n = ::write(master, unwritten.constData(), size_t(unwritten.size()));
        if (n > 0)
            unwritten.remove(0, int(n));
    }
};

ModemSimulator::ModemSimulator()
    : ModemSimulator(Options{})
{
}

ModemSimulator::ModemSimulator(Options options)
    : d(std::make_unique<Impl>(std::move(options)))
{
}

ModemSimulator::~ModemSimulator()
{
    stop();
}

bool ModemSimulator::start(QString *error)
{
    if (d->running)
        return true;
    if (::pipe2(d->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error)
            *error = QStringLiteral("pipe failed");
        return false;
    }
    {
        std::lock_guard lock(d->mu);
        if (!d->openPty(error))
            return false;
    }
    d->running = true;
    d->thread = std::thread([this] { d->run(); });
    return true;
}

void ModemSimulator::stop()
{
    if (!d->running)
        return;
    d->running = false;
    d->poke();
    d->thread.join();
    std::lock_guard lock(d->mu);
    d->closePty();
    ::close(d->wake[0]);
    ::close(d->wake[1]);
    d->wake[0] = d->wake[1] = -1;
}

QString ModemSimulator::devicePath() const
{
    std::lock_guard lock(d->mu);
    return d->opts.linkPath.isEmpty() ? d->slaveName : d->opts.linkPath;
}

void ModemSimulator::setEcho(bool on)
{
    d->locked([&] { d->echo = on; });
}

void ModemSimulator::setLatency(int ms)
{
    d->locked([&] { d->latencyMs = ms; });
}

void ModemSimulator::setCommandLatency(const QString &command, int ms)
{
    d->locked([&] { d->commandLatency.insert(command.toUpper(), ms); });
}

void ModemSimulator::setBodyLatency(int ms)
{
    d->locked([&] { d->bodyLatencyMs = ms; });
}

void ModemSimulator::setSupportedCharsets(const QStringList &names)
{
    d->locked([&] { d->supportedCharsets = names; });
}

void ModemSimulator::failNext(const QString &command, Fault fault, int times)
{
    d->locked([&] { d->faults[command.toUpper()].push_back({fault, times}); });
}

void ModemSimulator::clearFaults()
{
    d->locked([&] { d->faults.clear(); });
}

void ModemSimulator::setNewMessageIndication(bool on)
{
    d->locked([&] { d->newMessageIndication = on; });
}

int ModemSimulator::addMessage(const QString &status, const QString &number, const QString &text)
{
    std::lock_guard lock(d->mu);
    return d->store(status.toUpper(), number, text);
}

int ModemSimulator::receiveSms(const QString &number, const QString &text)
{
    int index = -1;
    d->locked([&] {
        index = d->store(QStringLiteral("REC UNREAD"), number, text);
        if (index > 0 && d->newMessageIndication)
            d->queue("\r\n+CMTI: \"SM\"," + QByteArray::number(index) + kCrLf, 0);
    });
    return index;
}

QList<ModemSimulator::StoredMessage> ModemSimulator::messages() const
{
    std::lock_guard lock(d->mu);
    return d->sim.values();
}

void ModemSimulator::clearMessages()
{
    d->locked([&] { d->sim.clear(); });
}

void ModemSimulator::ring(const QString &number)
{
    d->locked([&] {
        if (!d->callActive || d->callNumber != number) {
            d->callActive = true;
            d->callState = Incoming;
            d->callDirection = 1;
            d->callNumber = number;
        }
        QByteArray urc = "\r\nRING\r\n";
        if (d->clip) {
            const int type = number.startsWith(QLatin1Char('+')) ? 145 : 129;
            urc += d->encode(QStringLiteral("\r\n+CLIP: \"%1\",%2,\"\",128,\"\",0\r\n").arg(number).arg(type));
        }
        d->queue(urc, 0);
    });
}

void ModemSimulator::setCallState(CallState state)
{
    d->locked([&] {
        d->callActive = true;
        d->callState = state;
    });
}

void ModemSimulator::endCall(bool noCarrier)
{
    d->locked([&] {
        d->callActive = false;
        if (noCarrier)
            d->queue("\r\nNO CARRIER\r\n", 0);
    });
}

void ModemSimulator::pushCallList()
{
    d->locked([&] {
        if (d->callActive)
            d->queue(kCrLf + d->encode(d->clccLine()) + kCrLf, 0);
    });
}

void ModemSimulator::sendRaw(const QByteArray &bytes)
{
    d->locked([&] { d->queue(bytes, 0); });
}

QList<ModemSimulator::SentMessage> ModemSimulator::sentMessages() const
{
    std::lock_guard lock(d->mu);
    return d->sent;
}

QStringList ModemSimulator::commands() const
{
    std::lock_guard lock(d->mu);
    return d->commands;
}

int ModemSimulator::protocolViolations() const
{
    std::lock_guard lock(d->mu);
    return d->violations;
}

bool ModemSimulator::echo() const
{
    std::lock_guard lock(d->mu);
    return d->echo;
}

QString ModemSimulator::charset() const
{
    std::lock_guard lock(d->mu);
    return d->charset;
}

bool ModemSimulator::callerIdOn() const
{
    std::lock_guard lock(d->mu);
    return d->clip;
}

void ModemSimulator::clearLog()
{
    d->locked([&] {
        d->sent.clear();
        d->commands.clear();
        d->violations = 0;
    });
}

bool ModemSimulator::waitForCommands(int n, int timeoutMs) const
{
    std::unique_lock lock(d->mu);
    return d->changed.wait_for(lock, Ms(timeoutMs), [&] { return d->commands.size() >= n; });
}

void ModemSimulator::unplug()
{
    d->locked([&] {
        d->closePty();
        d->outputs.clear();
        d->unwritten.clear();
        d->sendInFlight = false;
    });
}

bool ModemSimulator::replug(QString *error)
{
    bool ok = false;
    d->locked([&] {
        if (d->master >= 0)
            d->closePty();
        d->resetModemState();
        ok = d->openPty(error);
    });
    return ok;
}

bool ModemSimulator::isPlugged() const
{
    std::lock_guard lock(d->mu);
    return d->master >= 0;
}

} // namespace parlix::sim

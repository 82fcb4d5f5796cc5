#include "ModemSimulator.h"

#include "AtMachine.h"
#include "PtyPump.h"
#include "modem/Pdu.h"

#include <QDateTime>

#include <algorithm>
#include <map>
#include <tuple>

namespace parlix::sim {

namespace {

const QByteArray kCrLf = "\r\n";

} // namespace

class ModemSimulator::Impl
{
public:
    explicit Impl(Options o)
        : machine(o)
        , pump(o.linkPath)
    {
    }

    // Runs fn on the machine under the lock and sends what it answered.
    template <typename Fn> auto locked(Fn &&fn)
    {
        std::unique_lock lock(pump.mutex());
        if constexpr (std::is_void_v<decltype(fn())>) {
            fn();
            pump.enqueue(machine.takeReplies());
            lock.unlock();
            pump.poke();
        } else {
            auto result = fn();
            pump.enqueue(machine.takeReplies());
            lock.unlock();
            pump.poke();
            return result;
        }
    }

    template <typename Fn> auto read(Fn &&fn) const
    {
        std::lock_guard lock(pump.mutex());
        return fn();
    }

    AtMachine machine;
    PtyPump pump;
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
    return d->pump.start(
        [this](QByteArrayView bytes) {
            d->machine.input(bytes);
            return d->machine.takeReplies();
        },
        error);
}

void ModemSimulator::stop()
{
    d->pump.stop();
}

QString ModemSimulator::devicePath() const
{
    return d->read([&] { return d->pump.devicePath(); });
}

void ModemSimulator::setEcho(bool on)
{
    d->locked([&] { d->machine.echo = on; });
}

void ModemSimulator::setLatency(int ms)
{
    d->locked([&] { d->machine.latencyMs = ms; });
}

void ModemSimulator::setCommandLatency(const QString &command, int ms)
{
    d->locked([&] { d->machine.commandLatency.insert(command.toUpper(), ms); });
}

void ModemSimulator::setBodyLatency(int ms)
{
    d->locked([&] { d->machine.bodyLatencyMs = ms; });
}

void ModemSimulator::setSupportedCharsets(const QStringList &names)
{
    d->locked([&] { d->machine.supportedCharsets = names; });
}

void ModemSimulator::setListChunkDelay(int ms)
{
    d->locked([&] { d->machine.listChunkDelayMs = ms; });
}

void ModemSimulator::setStrictDelete(bool on)
{
    d->locked([&] { d->machine.strictDelete = on; });
}

void ModemSimulator::setCapacity(int slots)
{
    d->locked([&] { d->machine.opts.capacity = slots; });
}

void ModemSimulator::setStrictPrompt(bool on)
{
    d->locked([&] { d->machine.strictPrompt = on; });
}

void ModemSimulator::setNoise(const QByteArray &line)
{
    d->locked([&] { d->machine.noise = line; });
}

void ModemSimulator::failNext(const QString &command, Fault fault, int times, int after)
{
    d->locked([&] { d->machine.faults[command.toUpper()].push_back({fault, times, std::max(after, 0)}); });
}

void ModemSimulator::clearFaults()
{
    d->locked([&] { d->machine.faults.clear(); });
}

void ModemSimulator::setNewMessageIndication(bool on)
{
    d->locked([&] { d->machine.newMessageIndication = on; });
}

void ModemSimulator::setPduModeSupported(bool on)
{
    d->locked([&] {
        d->machine.pduSupported = on;
        if (!on)
            d->machine.textMode = true;
    });
}

void ModemSimulator::setReportStatus(int tpStatus)
{
    d->locked([&] { d->machine.reportStatus = tpStatus; });
}

bool ModemSimulator::pduMode() const
{
    return d->read([&] { return !d->machine.textMode; });
}

int ModemSimulator::addMessage(const QString &status, const QString &number, const QString &text,
                               const QString &timestamp)
{
    return d->locked([&] { return d->machine.store(status.toUpper(), number, text, {}, timestamp); });
}

int ModemSimulator::receiveSms(const QString &number, const QString &text)
{
    return d->locked([&] { return d->machine.receive(number, text); });
}

QList<int> ModemSimulator::receiveConcatenatedSms(const QString &number, const QString &text, int reference,
                                                  const QList<int> &parts)
{
    const pdu::SmsSplit split = pdu::splitText(text);
    const int total = int(split.parts.size());
    QList<int> wanted = parts;
    if (wanted.isEmpty()) {
        for (int k = 1; k <= total; ++k)
            wanted << k;
    }
    pdu::DeliverPdu deliver;
    deliver.smsc = QStringLiteral("+447785016005");
    deliver.originator.number = number;
    deliver.alphabet = split.alphabet;
    deliver.serviceCentreTime = QDateTime::currentDateTime().toOffsetFromUtc(0);
    QList<int> indexes;
    d->locked([&] {
        for (const int k : wanted) {
            if (k < 1 || k > total)
                continue;
            deliver.text = split.parts[k - 1];
            if (total > 1)
                deliver.concat = pdu::Concat{reference & 0xFF, total, k, false};
            const auto encoded = pdu::encodeDeliver(deliver);
            if (encoded.ok())
                indexes << d->machine.receive(number, deliver.text, encoded->hex);
        }
    });
    return indexes;
}

int ModemSimulator::receivePdu(const QByteArray &hex)
{
    const QByteArray clean = hex.trimmed().toUpper();
    QString number;
    QString text;
    bool report = false;
    if (const auto decoded = pdu::decodePdu(clean); decoded.ok()) {
        if (const auto *deliver = std::get_if<pdu::DeliverPdu>(&decoded.value())) {
            number = deliver->originator.number;
            text = deliver->text;
        } else if (const auto *r = std::get_if<pdu::StatusReport>(&decoded.value())) {
            number = r->recipient.number;
            report = true;
        }
    }
    return d->locked([&] {
        const int index = d->machine.receive(number, text, clean);
        if (index > 0)
            d->machine.sim[index].statusReport = report;
        return index;
    });
}

QList<ModemSimulator::StoredMessage> ModemSimulator::messages() const
{
    return d->read([&] { return d->machine.sim.values(); });
}

void ModemSimulator::clearMessages()
{
    d->locked([&] { d->machine.sim.clear(); });
}

void ModemSimulator::ring(const QString &number)
{
    d->locked([&] {
        AtMachine &m = d->machine;
        if (!m.callActive || m.callNumber != number) {
            m.callActive = true;
            m.callState = Incoming;
            m.callDirection = 1;
            m.callNumber = number;
        }
        QByteArray urc = "\r\nRING\r\n";
        if (m.clip) {
            const int type = number.startsWith(QLatin1Char('+')) ? 145 : 129;
            urc += m.encode(QStringLiteral("\r\n+CLIP: \"%1\",%2,\"\",128,\"\",0\r\n").arg(number).arg(type));
        }
        m.push(urc);
    });
}

void ModemSimulator::setCallState(CallState state)
{
    d->locked([&] {
        d->machine.callActive = true;
        d->machine.callState = state;
    });
}

void ModemSimulator::endCall(bool noCarrier)
{
    d->locked([&] {
        d->machine.callActive = false;
        if (noCarrier)
            d->machine.push("\r\nNO CARRIER\r\n");
    });
}

void ModemSimulator::pushCallList()
{
    d->locked([&] {
        if (d->machine.callActive)
            d->machine.push(kCrLf + d->machine.encode(d->machine.clccLine()) + kCrLf);
    });
}

void ModemSimulator::sendRaw(const QByteArray &bytes)
{
    d->locked([&] { d->machine.push(bytes); });
}

QList<ModemSimulator::SentMessage> ModemSimulator::sentMessages() const
{
    return d->read([&] { return d->machine.sent; });
}

QList<ModemSimulator::SentMessage> ModemSimulator::sentTexts() const
{
    const QList<SentMessage> sent = sentMessages();
    QList<SentMessage> out;
    // Parts wait here, by number, reference and count, until their last sibling arrives.
    std::map<std::tuple<QString, int, int>, std::map<int, SentMessage>> pending;
    for (const SentMessage &m : sent) {
        if (m.partReference < 0 || m.partCount <= 1) {
            out << m;
            continue;
        }
        auto &parts = pending[{m.number, m.partReference, m.partCount}];
        parts[m.partNumber] = m; // a part sent again replaces the earlier copy
        if (int(parts.size()) < m.partCount)
            continue;
        SentMessage joined = m;
        joined.text.clear();
        for (const auto &[number, part] : parts)
            joined.text += part.text;
        joined.partNumber = 0;
        out << joined;
        pending.erase({m.number, m.partReference, m.partCount});
    }
    return out;
}

QStringList ModemSimulator::commands() const
{
    return d->read([&] { return d->machine.commands; });
}

int ModemSimulator::protocolViolations() const
{
    return d->read([&] { return d->pump.violations; });
}

bool ModemSimulator::echo() const
{
    return d->read([&] { return d->machine.echo; });
}

QString ModemSimulator::charset() const
{
    return d->read([&] { return d->machine.charset; });
}

bool ModemSimulator::callerIdOn() const
{
    return d->read([&] { return d->machine.clip; });
}

void ModemSimulator::clearLog()
{
    d->locked([&] {
        d->machine.sent.clear();
        d->machine.commands.clear();
        d->pump.violations = 0;
    });
}

bool ModemSimulator::waitForCommands(int n, int timeoutMs) const
{
    std::unique_lock lock(d->pump.mutex());
    return d->pump.changed().wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return d->machine.commands.size() >= n; });
}

void ModemSimulator::unplug()
{
    d->locked([&] {
        d->pump.closePty();
        d->pump.dropOutput();
    });
}

bool ModemSimulator::replug(QString *error)
{
    return d->locked([&] {
        if (d->pump.isOpen())
            d->pump.closePty();
        d->machine.reset();
        d->pump.dropOutput();
        return d->pump.openPty(error);
    });
}

bool ModemSimulator::isPlugged() const
{
    return d->read([&] { return d->pump.isOpen(); });
}

} // namespace parlix::sim

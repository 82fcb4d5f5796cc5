// The serial link and the AT exchange of the Modem: port handling, the counting rules of
// SendATCommand and ReadModemResponse, and the reading that keeps unsolicited lines apart.

#include "modem/Modem.h"
#include "modem/PortAdvice.h"

#include "core/ActivityLog.h"
#include "core/Prompt.h"
#include "modem/SerialSettings.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QIODevice>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <utility>

namespace parlix {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The exchange trims blanks only; line breaks are part of a reply.
QString trimSpaces(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == QLatin1Char(' '))
        ++start;
    while (end > start && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

UnsolicitedFilter::Context contextFor(const QString &command)
{
    if (command.startsWith(QLatin1String("AT+CLCC")))
        return UnsolicitedFilter::Context::CallList;
    if (command.startsWith(QLatin1String("AT+CMGL")) || command.startsWith(QLatin1String("AT+CMGR")))
        return UnsolicitedFilter::Context::MessageList;
    return UnsolicitedFilter::Context::Reply;
}

} // namespace

Modem::Modem(ActivityLog &log, Prompt &prompt, QObject *parent)
    : QObject(parent)
    , m_log(log)
    , m_prompt(prompt)
    , m_serial(this) // a child, so it follows the modem to the engine thread
{
    connect(&m_serial, &QSerialPort::readyRead, this, &Modem::onIdleData);
    connect(&m_serial, &QSerialPort::errorOccurred, this, &Modem::onSerialError);
}

Modem::~Modem() = default;

QIODevice *Modem::device() const
{
    if (m_usingTestDevice)
        return m_testDevice.data();
    return const_cast<QSerialPort *>(&m_serial);
}

bool Modem::deviceOpen() const
{
    const QIODevice *dev = device();
    return dev && dev->isOpen();
}

void Modem::setDevice(QIODevice *dev)
{
    if (m_testDevice)
        disconnect(m_testDevice, nullptr, this, nullptr);
    m_testDevice = dev;
    m_usingTestDevice = dev != nullptr;
    m_portLost = false;
    m_filter.reset();
    if (dev)
        connect(dev, &QIODevice::readyRead, this, &Modem::onIdleData);
    setPortConnected(deviceOpen());
}

void Modem::setPortConnected(bool on)
{
    if (m_portConnected == on)
        return;
    m_portConnected = on;
    Q_EMIT portConnectedChanged(on);
}

void Modem::setModemReady(bool on)
{
    if (m_modemReady == on)
        return;
    m_modemReady = on;
    Q_EMIT modemReadyChanged(on);
}

qint16 Modem::scaledDelay(int constantMs) const
{
    const double ms = std::nearbyint(m_delayFactor * constantMs); // the FPU rounds half to even
    return static_cast<qint16>(std::clamp(ms, 0.0, 32767.0));
}

// ---- Reading ------------------------------------------------------------------------------

bool Modem::readAvailable()
{
    QIODevice *dev = device();
    if (!dev || !dev->isOpen() || m_reading)
        return false;
    m_reading = true;
    // A serial port only learns of new bytes when asked; a zero wait asks without blocking
    // (not needed when a wait has just brought bytes in).
    if (dev->bytesAvailable() == 0)
        dev->waitForReadyRead(0);
    const QByteArray bytes = dev->readAll();
    m_reading = false;
    if (deviceFailed()) {
        handlePortLoss();
        return false;
    }
    if (bytes.isEmpty())
        return false;
    QStringList codes;
    m_receiveBuffer += m_decoder.decode(m_filter.feed(bytes, codes));
    if (!codes.isEmpty()) {
        m_unsolicited += codes;
        flushUnsolicited();
    }
    return true;
}

// The final result of the reply so far, read line by line: a listing by its records, so that
// a message text never ends the wait.
QString Modem::finalLineOf(const QString &reply) const
{
    if (!m_listing)
        return finalResultLine(reply);
    if (reply == QLatin1String("ERROR")) // the error mark of this exchange
        return reply;
    // Most reads end inside a record: only a last line that could end the listing (a final
    // result, or a code the modem sent after it) is worth reading the whole listing for.
    qsizetype end = reply.size();
    while (end > 0 && isLineEnd(reply[end - 1]))
        --end;
    if (end == reply.size() || end == 0)
        return {};
    const QString last = reply.mid(reply.lastIndexOf(QLatin1Char('\n'), end - 1) + 1, -1).trimmed();
    if (finalResultLine(last + kCrLf).isEmpty() &&
        !UnsolicitedFilter::isUnsolicitedLine(last, UnsolicitedFilter::Context::Reply))
        return {};
    return (m_pduMode ? scanCmglPdu(reply) : scanCmglText(reply)).finalLine;
}

Modem::ReplyState Modem::judgeReply(const QString &reply, const QString &expected) const
{
    // The prompt is a line of its own that starts with ">" (no message text comes before it).
    if (expected == QLatin1String(">") && (reply.startsWith(QLatin1Char('>')) || reply.contains(QLatin1String("\n>"))))
        return ReplyState::Success;
    const QString last = finalLineOf(reply);
    if (last.isEmpty())
        return ReplyState::Pending;
    if (last == expected)
        return ReplyState::Success;
    if (isErrorResult(last))
        return ReplyState::Error;
    return last == QLatin1String("NO CARRIER") ? ReplyState::NoCarrier : ReplyState::Other;
}

bool Modem::waitForData(int timeoutMs, const QString &expected)
{
    ++m_stats.waits;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (m_portLost)
            return false;
        readAvailable();
        if (judgeReply(m_receiveBuffer, expected) != ReplyState::Pending)
            return true;
        const qint64 remaining = timeoutMs - clock.elapsed();
        if (remaining <= 0) {
            ++m_stats.fullWaits;
            return false;
        }
        QIODevice *dev = device();
        if (!dev || !dev->isOpen()) {
            handlePortLoss();
            return false;
        }
        m_reading = true;
        const bool ready = dev->waitForReadyRead(int(remaining));
        m_reading = false;
        if (!ready && deviceFailed()) {
            handlePortLoss();
            return false;
        }
        // A plain device that cannot wait (a buffer) returns at once: do not spin on it.
        if (!ready && m_usingTestDevice && dev->bytesAvailable() == 0 && clock.elapsed() < timeoutMs)
            QThread::msleep(1);
    }
}

void Modem::discardInput()
{
    // Unsolicited lines in what waits are kept; stale reply text is dropped.
    readAvailable();
    m_receiveBuffer.clear();
}

void Modem::onIdleData()
{
    if (m_inExchange || m_reading)
        return;
    readAvailable();
}

bool Modem::deviceFailed() const
{
    const QIODevice *dev = device();
    if (!dev || !dev->isOpen())
        return true;
    const auto *serial = qobject_cast<const QSerialPort *>(dev);
    if (!serial)
        return false;
    const QSerialPort::SerialPortError error = serial->error();
    return m_lossPending || error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
           error == QSerialPort::WriteError;
}

void Modem::onSerialError(QSerialPort::SerialPortError error)
{
    if (m_usingTestDevice || !m_serial.isOpen())
        return;
    // A vanished device shows as a read error on a pseudo-terminal and as a resource error on a
    // USB adapter. The port is not closed from inside its own notification: the exchange (or
    // the event loop, when idle) picks the loss up once the port's call has returned.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError) {
        m_lossPending = true;
        if (!m_inExchange && !m_reading) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_lossPending)
                        handlePortLoss();
                },
                Qt::QueuedConnection);
        }
    }
}

void Modem::handlePortLoss()
{
    m_lossPending = false;
    if (m_portLost)
        return;
    m_portLost = true;
    const QString name = m_usingTestDevice ? QStringLiteral("(test device)") : m_portName;
    m_log.WriteActivityLog(QStringLiteral("**ERROR** The GSM modem on port ") + name +
                           QStringLiteral(" stopped responding: the device was removed or switched off."));
    if (!m_usingTestDevice) {
        m_serial.clearError();
        m_serial.close();
    }
    m_filter.reset();
    setModemReady(false);
    setPortConnected(false);
    Q_EMIT portLost(name);
}

void Modem::flushUnsolicited()
{
    if (m_flushQueued || m_unsolicited.isEmpty())
        return;
    m_flushQueued = true;
    // Delivered from the event loop, never from inside an exchange, so a receiver may talk to
    // the modem itself.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_flushQueued = false;
            const QStringList lines = std::exchange(m_unsolicited, {});
            for (const QString &line : lines)
                Q_EMIT unsolicitedLine(line);
        },
        Qt::QueuedConnection);
}

void Modem::writeText(const QString &text)
{
    QIODevice *dev = device();
    if (!dev)
        return;
    const QByteArray bytes = encodeForModem(text, m_decoder.charset());
    if (dev->write(bytes) < 0) {
        handlePortLoss();
        return;
    }
    // Nothing is written until asked: there is no event loop running during an exchange.
    QElapsedTimer clock;
    clock.start();
    while (dev->bytesToWrite() > 0 && clock.elapsed() < 5000) {
        if (!dev->waitForBytesWritten(int(5000 - clock.elapsed())))
            break;
    }
    if (deviceFailed())
        handlePortLoss();
}

// ---- The exchange ----------------------------------------------------------------------------

QString Modem::SendATCommand(const QString &command, qint16 delay, const QString &expectedText, qint16 retries,
                             const QString &errorText)
{
    m_exchangeBusy = true;
    m_inExchange = true;
    m_lastCommandOK = true;
    const QString expected = trimSpaces(expectedText);
    auto finish = [this](QString reply) {
        m_exchangeBusy = false;
        m_inExchange = false;
        m_listing = false;
        m_filter.setContext(UnsolicitedFilter::Context::Reply);
        return reply;
    };

    discardInput();
    if (!deviceOpen()) {
        setPortConnected(false);
        m_prompt.inform(QStringLiteral("Modem is currently not connected to the application. Please click on "
                                       "'Connect' button before executing any commands."));
        return finish({});
    }
    m_receiveBuffer.clear();
    if (!m_portConnected)
        return finish({});

    const UnsolicitedFilter::Context context = contextFor(command);
    m_filter.setContext(context);
    m_listing = command.startsWith(QLatin1String("AT+CMGL"));
    ++m_stats.commandsWritten;
    QElapsedTimer since;
    since.start();
    writeText(command);
    if (delay > 0)
        waitForData(delay, expected);
    QString reply = ReadModemResponse(expected);

    // Only a final result line ends the exchange. A reply still growing is a modem still
    // talking (a long listing, a slow SIM), not an unexpected answer, for as long as a send
    // may take at most.
    int errors = 0;
    int noCarrier = 0;
    int silent = 0;
    int unexpected = 0;
    ReplyState state = judgeReply(reply, expected);
    while (!m_portLost && state != ReplyState::Success && errors < 3 && noCarrier < 2 && silent < retries + 1 &&
           unexpected < 2) {
        const qsizetype before = reply.size();
        if (delay > 0)
            waitForData(delay, expected);
        reply = ReadModemResponse(expected);
        state = judgeReply(reply, expected);
        const bool grew = reply.size() > before;
        if (m_listing && grew)
            silent = 0; // only a pause as long as the silence allowed gives a listing up
        if (state == ReplyState::Error)
            ++errors;
        else if (reply.isEmpty() || (m_listing && state == ReplyState::Pending && !grew))
            ++silent; // a listing that paused: the modem said nothing this time
        else if (state == ReplyState::NoCarrier)
            ++noCarrier;
        else if (state == ReplyState::Pending && grew && since.elapsed() < m_bodyResponseTimeoutMs)
            continue;
        else if (state != ReplyState::Success)
            ++unexpected;
    }

    if (m_portLost) {
        // The device vanished: whatever was read is no answer.
        m_lastCommandOK = false;
        return finish({});
    }
    if (errors >= 3) {
        m_lastCommandOK = false;
        if (!trimSpaces(errorText).isEmpty())
            m_prompt.inform(errorText);
    }
    if (noCarrier >= 2) {
        m_lastCommandOK = false;
        m_prompt.inform(QStringLiteral("Your modem probably does not support the dialing feature."));
    }
    if (silent >= retries)
        m_lastCommandOK = false;
    if (unexpected >= 2) {
        m_lastCommandOK = false;
        m_log.WriteActivityLog(QStringLiteral("Modem gives non expected response") + kCrLf +
                               QStringLiteral("Command: ") + command + kCrLf + QStringLiteral("Expected response: ") +
                               expected + kCrLf + QStringLiteral("Returned response: ") + reply);
    }
    return finish(reply);
}

QString Modem::ReadModemResponse(const QString &target)
{
    const bool wasBusy = m_exchangeBusy;
    const bool wasInExchange = m_inExchange;
    m_exchangeBusy = true;
    m_inExchange = true;
    auto finish = [&](QString reply) {
        m_exchangeBusy = wasBusy;
        m_inExchange = wasInExchange;
        return reply;
    };

    bool errorMark = false;
    bool counted = false;
    // The wait before the burst may already have read the whole answer: nothing more to ask.
    const bool answered = !m_receiveBuffer.isEmpty() && judgeReply(m_receiveBuffer, target) != ReplyState::Pending;
    for (int bursts = 0;;) {
        if (!m_portConnected || m_portLost)
            return finish({});
        if (!counted) {
            ++m_stats.readBursts;
            counted = true;
        }
        if (!answered)
            readAvailable();
        if (m_receiveBuffer.isEmpty())
            break;
        const ReplyState state = judgeReply(m_receiveBuffer, target);
        if (state == ReplyState::Error && finalLineOf(m_receiveBuffer) == QLatin1String("ERROR")) {
            errorMark = true;
            break;
        }
        ++bursts;
        if (state != ReplyState::Pending || bursts > 5)
            break;
    }
    if (errorMark)
        m_receiveBuffer = QStringLiteral("ERROR");
    // The input is not discarded after the burst: bytes that arrive between the last read and
    // a discard would be lost from the middle of a reply.
    return finish(trimSpaces(m_receiveBuffer));
}

void Modem::ClearReceiveBuffer()
{
    m_receiveBuffer.clear();
}

// ---- The port ------------------------------------------------------------------------------

void Modem::ConfigureCommPort(const QString &portName, const QString &settings)
{
    const QString name = serialPortSystemName(portName);
    if (m_usingTestDevice) {
        m_portName = name;
        setPortConnected(true);
        return;
    }
    if (m_serial.isOpen()) {
        m_prompt.inform(QStringLiteral("Comm Port : ") + name +
                        QStringLiteral(" already open or some other program is using it."));
        return;
    }
    m_portName = name;
    auto parsed = parseSerialSettings(settings);
    m_configValid = parsed.ok();
    if (!parsed) {
        setPortConnected(false);
        m_prompt.inform(parsed.error());
        return;
    }
    m_serial.setPortName(name);
    m_serial.setBaudRate(parsed->baudRate);
    m_serial.setParity(parsed->parity);
    m_serial.setDataBits(parsed->dataBits);
    m_serial.setStopBits(parsed->stopBits);
    // RTS/CTS on the port whatever the modem is told with AT+FLO.
    m_serial.setFlowControl(QSerialPort::HardwareControl);
    setPortConnected(true);
}

void Modem::OpenCommPort()
{
    if (m_usingTestDevice) {
        setPortConnected(deviceOpen());
        return;
    }
    if (m_serial.isOpen()) {
        setPortConnected(true);
        return;
    }
    if (!m_configValid) {
        setPortConnected(false);
        return;
    }
    m_serial.clearError();
    m_portLost = false;
    m_lossPending = false;
    m_filter.reset();
    m_receiveBuffer.clear();
    // Until the initialisation names a set, only the AT syntax (common to all sets) is spoken.
    m_decoder.setCharset(ModemCharset::Ascii);
    if (m_serial.open(QIODevice::ReadWrite)) {
        if (!m_serial.setDataTerminalReady(true)) {
            // A pseudo-terminal has no modem control lines; it works without them.
            if (m_serial.error() == QSerialPort::UnsupportedOperationError && isPseudoTerminal(m_portName)) {
                m_serial.clearError();
            } else {
                const QString why = m_serial.errorString();
                m_serial.clearError();
                m_serial.close();
                setPortConnected(false);
                m_prompt.inform(why);
                return;
            }
        }
        setPortConnected(true);
        return;
    }

    setPortConnected(false);
    const QSerialPort::SerialPortError error = m_serial.error();
    const QString why = m_serial.errorString();
    m_serial.clearError();
    // Qt takes the port's lock file before it looks for the device, so a missing device can
    // also fail as a locking error; the device's absence is what the operator must hear about.
    const PortTrouble trouble = portTroubleOf(m_portName, error);
    if (trouble == PortTrouble::Missing) {
        if (m_prompt.question(QStringLiteral("No modem found on COM Port ") + m_portName + kCrLf +
                              QStringLiteral("Do you wish to enter the correct COM port settings for the attached "
                                             "modem?")))
            Q_EMIT settingsWindowRequested();
        return;
    }
    m_prompt.inform(portTroubleText(m_portName, trouble, why));
}

void Modem::CloseCommPort()
{
    if (m_usingTestDevice) {
        if (QIODevice *dev = m_testDevice.data(); dev && dev->isOpen())
            dev->close();
        setPortConnected(false);
    } else if (m_serial.isOpen()) {
        m_serial.close();
        m_serial.clearError();
        setPortConnected(false);
    }
    setModemReady(false);
    m_sendingSMS = false;
    m_readingSIM = false;
    m_exchangeBusy = false;
    m_callInProgress = false;
    m_unsentListed = false;
    m_unsentCopies.clear();
}

} // namespace parlix

#include "config/ModemProbe.h"

#include "modem/Modem.h"
#include "modem/SerialSettings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QThread>

#include <cmath>

namespace parlix {

namespace {

std::atomic<int> g_runningSearches{0};

// The probe opens the port itself rather than through the connect path, so a missing or busy
// port is skipped without asking the operator anything.
bool openForProbe(QSerialPort &serial, const QString &port)
{
    serial.setPortName(serialPortSystemName(port));
    if (!serial.open(QIODevice::ReadWrite))
        return false;
    serial.setBaudRate(115200);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    serial.setFlowControl(QSerialPort::NoFlowControl);
    // A pseudo-terminal refuses some line settings; the port still works.
    serial.clearError();
    return true;
}

} // namespace

QStringList modemSearchPortList(const ModemSearchPorts &ports)
{
    QStringList list;
    if (ports.systemPorts) {
        QStringList system;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            system << info.systemLocation();
        system.sort();
        list << system;
    }
    for (const QString &extra : ports.extraPorts) {
        if (!extra.trimmed().isEmpty())
            list << extra.trimmed();
    }
    list.removeDuplicates();
    return list;
}

ModemProbe::ModemProbe(QStringList ports, double delayFactor, ActivityLog &log, Prompt &prompt, QObject *parent)
    : QObject(parent)
    , m_ports(std::move(ports))
    , m_delayFactor(delayFactor > 0 ? delayFactor : 1.0)
    , m_log(log)
    , m_prompt(prompt)
{
    qRegisterMetaType<parlix::FoundModem>();
    qRegisterMetaType<QVector<parlix::FoundModem>>();
}

void ModemProbe::run()
{
    QVector<FoundModem> found;
    Modem modem(m_log, m_prompt);
    modem.setDelayFactor(m_delayFactor);
    const auto delay = qint16(std::nearbyint(m_delayFactor * 100.0));
    const qsizetype count = m_ports.size();
    for (qsizetype i = 0; i < count && !isCancelled(); ++i) {
        const QString &port = m_ports.at(i);
        Q_EMIT progress(int((i + 1) * 100 / count), port);
        QSerialPort serial;
        if (!openForProbe(serial, port))
            continue;
        modem.setDevice(&serial);
        // Any answer counts, even "ERROR": something that speaks AT is on the line.
        const QString reply = modem.SendATCommand(QStringLiteral("AT\r"), delay, QStringLiteral("OK"), 2, QString());
        if (!reply.isEmpty() && !isCancelled()) {
            FoundModem m;
            m.port = port;
            m.manufacturer = modem.GetModemManufacturer();
            if (!isCancelled())
                m.model = modem.GetModemModel();
            if (!isCancelled())
                m.pduMode = modem.acceptsPduMode();
            found.push_back(m);
        }
        modem.setDevice(nullptr);
        serial.close();
    }
    if (isCancelled())
        found.clear();
    Q_EMIT finished(found, isCancelled());
}

ModemSearch::ModemSearch(QStringList ports, double delayFactor, ActivityLog &log, Prompt &prompt, QObject *parent)
    : QObject(parent)
    , m_probe(new ModemProbe(std::move(ports), delayFactor, log, prompt))
    , m_cancelled(m_probe->cancelFlag())
{
    connect(m_probe, &ModemProbe::progress, this, &ModemSearch::progress);
    connect(m_probe, &ModemProbe::finished, this, &ModemSearch::finished);
}

ModemSearch::~ModemSearch()
{
    *m_cancelled = true;
    if (!m_started)
        delete m_probe;
}

void ModemSearch::start()
{
    if (m_started)
        return;
    m_started = true;
    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("modem search"));
    m_probe->moveToThread(thread);
    ++g_runningSearches;
    connect(thread, &QThread::started, m_probe, &ModemProbe::run);
    connect(m_probe, &ModemProbe::finished, thread, &QThread::quit);
    connect(thread, &QThread::finished, m_probe, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(
        thread, &QThread::finished, thread, [] { --g_runningSearches; }, Qt::DirectConnection);
    thread->start();
}

void ModemSearch::cancel()
{
    *m_cancelled = true;
}

bool ModemSearch::waitForAll(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (g_runningSearches.load() > 0) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    // Let the threads' deferred deletes run.
    QCoreApplication::processEvents();
    return true;
}

} // namespace parlix

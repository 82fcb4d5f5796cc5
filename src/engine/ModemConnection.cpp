#include "engine/ModemConnection.h"

#include "config/RuntimeSettings.h"
#include "core/ActivityLog.h"
#include "core/Prompt.h"
#include "modem/Modem.h"
#include "store/SettingsRepository.h"

#include <QSerialPort>

namespace parlix {

namespace {

constexpr int kReconnectIntervalMs = 30000;

QString column(const QVariantMap &row, const char *name)
{
    return row.value(QLatin1String(name)).toString();
}

} // namespace

ModemConnection::ModemConnection(Modem &modem, ActivityLog &log, Prompt &prompt, QObject *parent)
    : QObject(parent)
    , m_modem(modem)
    , m_log(log)
    , m_prompt(prompt)
    , m_reconnectTimer(this)
{
    m_reconnectTimer.setInterval(kReconnectIntervalMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &ModemConnection::tryReconnect);
    connect(&m_modem, &Modem::portLost, this, &ModemConnection::onPortLost);
    connect(&m_modem, &Modem::settingsWindowRequested, this, &ModemConnection::settingsWindowRequested);
}

ModemConnection::~ModemConnection() = default;

void ModemConnection::setSettings(const RuntimeSettings &settings)
{
    m_settings = settings;
    m_modem.setDelayFactor(settings.ModemDelayFactor);
}

void ModemConnection::setConnected(bool on)
{
    m_connected = on;
    Q_EMIT connectedChanged(on);
}

void ModemConnection::connectModem()
{
    m_log.WriteActivityLog(QStringLiteral("Connecting to GSM Modem."));
    auto row = SettingsRepository(m_db).modemSettings();
    if (!row) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + row.error());
        return;
    }
    if (!row.value()) {
        m_prompt.inform(QStringLiteral("Please set all the settings before connecting with modem."));
        Q_EMIT settingsWindowRequested();
        return;
    }
    const QVariantMap &settings = *row.value();
    const QString flowControl = column(settings, "FlowControl");
    const QString characterSet = column(settings, "CharacterSet");
    const bool callerId = settings.value(QStringLiteral("EnabledCallerId")).toBool();
    const QString portSettings =
        QString(column(settings, "BitsPerSecond") + QLatin1Char(',') + column(settings, "Parity") + QLatin1Char(',') +
                column(settings, "DataBits") + QLatin1Char(',') + column(settings, "StopBits"))
            .trimmed();

    m_modem.ConfigureCommPort(column(settings, "CommPortNo"), portSettings);
    m_modem.OpenCommPort();

    if (m_modem.PortConnected()) {
        m_reconnectTimer.stop();
        m_lostPort.clear();
        m_log.WriteActivityLog(QStringLiteral("Connection to GSM Modem successful."));
        m_modem.setSmsFormat(smsformat::isPdu(column(settings, "SMSFormat")),
                             settings.value(QStringLiteral("IsDeliveryReportRequested")).toBool());
        m_modem.InitializeModem(flowControl.trimmed(), characterSet.trimmed(), callerId);
        Q_EMIT timerPeriodsSet(m_settings.ReceiveIntervalSeconds * 1000, m_settings.SendIntervalSeconds * 1000);
        setConnected(true);
        return;
    }
    if (m_settings.sendsWithoutModem()) {
        Q_EMIT sendTimerStarted(m_settings.SendIntervalSeconds * 1000);
        return;
    }
    m_log.WriteActivityLog(QStringLiteral("Connection to GSM modem failed."));
}

void ModemConnection::disconnectModem()
{
    m_reconnectTimer.stop();
    m_lostPort.clear();
    m_log.WriteActivityLog(QStringLiteral("Disconnecting GSM Modem."));
    m_modem.CloseCommPort();
    m_log.WriteActivityLog(QStringLiteral("GSM Modem disconnected."));
    Q_EMIT timerPeriodsSet(0, 0);
    setConnected(false);
}

void ModemConnection::onPortLost(const QString &portName)
{
    if (!m_connected)
        return;
    m_lostPort = portName;
    m_reconnectTimer.start();
}

void ModemConnection::tryReconnect()
{
    if (!m_connected || m_lostPort.isEmpty()) {
        m_reconnectTimer.stop();
        return;
    }
    // A quiet probe first: the connect command itself would put questions to an operator who
    // may not be there, every time the device is still missing.
    QSerialPort probe(m_lostPort);
    const bool back = probe.open(QIODevice::ReadWrite);
    probe.close();
    const QString seconds = QString::number(m_reconnectTimer.interval() / 1000);
    if (!back) {
        m_log.WriteActivityLog(QStringLiteral("Reconnecting to the GSM modem on port ") + m_lostPort +
                               QStringLiteral(": the port is not available yet, next try in ") + seconds +
                               QStringLiteral(" seconds."));
        return;
    }
    m_log.WriteActivityLog(QStringLiteral("Reconnecting to the GSM modem on port ") + m_lostPort +
                           QStringLiteral(": the port is back."));
    m_reconnectTimer.stop();
    m_lostPort.clear();
    connectModem();
}

} // namespace parlix

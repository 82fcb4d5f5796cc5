#include "engine/ModemConnection.h"

#include "config/RuntimeSettings.h"
#include "core/ActivityLog.h"
#include "core/Prompt.h"
#include "modem/Modem.h"
#include "modem/PortAdvice.h"
#include "store/SettingsRepository.h"

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
    , m_firstPauseMs(kReconnectIntervalMs)
    , m_maxPauseMs(kReconnectIntervalMs)
    , m_reconnectTimer(this)
{
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &ModemConnection::tryReconnect);
    connect(&m_modem, &Modem::portLost, this, &ModemConnection::onPortLost);
    connect(&m_modem, &Modem::settingsWindowRequested, this, &ModemConnection::settingsWindowRequested);
}

ModemConnection::~ModemConnection() = default;

void ModemConnection::setReconnectPauses(int firstMs, int maxMs)
{
    m_firstPauseMs = qMax(1, firstMs);
    m_maxPauseMs = qMax(m_firstPauseMs, maxMs);
}

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
        const bool wasSilent = m_modemSilent;
        stopRetrying();
        m_log.WriteActivityLog(QStringLiteral("Connection to GSM Modem successful."));
        m_modem.setSmsFormat(m_settings.PduMode, m_settings.DeliveryReportsRequested);
        m_modem.InitializeModem(flowControl.trimmed(), characterSet.trimmed(), callerId);
        Q_EMIT timerPeriodsSet(m_settings.ReceiveIntervalSeconds * 1000, m_settings.SendIntervalSeconds * 1000);
        setConnected(true);
        if (m_keepTrying && !m_modem.ModemReady()) {
            m_modemSilent = true;
            if (!wasSilent)
                m_log.WriteActivityLog(QStringLiteral("The GSM modem on port ") + m_modem.portName() +
                                       QStringLiteral(" does not answer; trying again until it does."));
            startRetrying(m_modem.portName());
        }
        return;
    }
    if (m_keepTrying)
        startRetrying(m_modem.portName());
    if (m_settings.sendsWithoutModem()) {
        Q_EMIT sendTimerStarted(m_settings.SendIntervalSeconds * 1000);
        return;
    }
    m_log.WriteActivityLog(QStringLiteral("Connection to GSM modem failed."));
}

void ModemConnection::disconnectModem()
{
    stopRetrying();
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
    m_lastTrouble.clear();
    startRetrying(portName);
}

void ModemConnection::startRetrying(const QString &portName)
{
    if (portName.isEmpty())
        return;
    m_lostPort = portName;
    // A try that found the port but not the modem goes on at the pause reached so far.
    if (!m_retryingNow)
        m_pauseMs = m_firstPauseMs;
    m_reconnectTimer.start(m_pauseMs);
}

void ModemConnection::stopRetrying()
{
    m_reconnectTimer.stop();
    m_lostPort.clear();
    m_lastTrouble.clear();
    m_modemSilent = false;
}

void ModemConnection::tryReconnect()
{
    if (m_lostPort.isEmpty())
        return;
    // A quiet probe first: the connect command itself would put questions to an operator who
    // may not be there, every time the device is still missing.
    QString qtText;
    const PortTrouble trouble = probePort(m_lostPort, &qtText);
    if (trouble != PortTrouble::None) {
        const QString why = portTroubleText(m_lostPort, trouble, qtText);
        if (why != m_lastTrouble) {
            m_lastTrouble = why;
            m_log.WriteActivityLog(QStringLiteral("Reconnecting to the GSM modem on port ") + m_lostPort +
                                   QStringLiteral(": the port is not available yet. ") + why +
                                   QStringLiteral(" Trying again until it is."));
        }
        m_pauseMs = int(qMin(qint64(m_pauseMs) * 2, qint64(m_maxPauseMs)));
        m_reconnectTimer.start(m_pauseMs);
        return;
    }
    if (!m_modemSilent)
        m_log.WriteActivityLog(QStringLiteral("Reconnecting to the GSM modem on port ") + m_lostPort +
                               QStringLiteral(": the port is back."));
    m_reconnectTimer.stop();
    m_lostPort.clear();
    m_pauseMs = int(qMin(qint64(m_pauseMs) * 2, qint64(m_maxPauseMs)));
    m_retryingNow = true;
    connectModem();
    m_retryingNow = false;
}

} // namespace parlix

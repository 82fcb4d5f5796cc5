#include "engine/Engine.h"

#include "core/ActivityLog.h"
#include "core/BlockingWindow.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "core/Sound.h"
#include "engine/CallWatcher.h"
#include "engine/GatewayTimer.h"
#include "engine/ModemConnection.h"
#include "engine/OutboxPass.h"
#include "engine/ReceivePass.h"
#include "engine/SmsRules.h"
#include "engine/SmtpGateway.h"
#include "modem/Modem.h"
#include "store/OutboxRepository.h"
#include "store/StationRepository.h"

namespace parlix {

Engine::Engine(EngineContext context, QObject *parent)
    : QObject(parent)
    , m_context(std::move(context))
    , m_playSound([](const QString &name) { PlaySoundFile(shippedSound(name), true); })
    , m_blockingWindowOpen([] { return BlockingWindowOpen(); })
{
}

Engine::~Engine() = default;

void Engine::initialise()
{
    auto db = DbConnection::open(m_context.databasePath, DbConnection::Mode::ExistingOnly);
    if (!db) {
        m_context.log->WriteActivityLog(QStringLiteral("**ERROR** ") + db.error());
        Q_EMIT initialised(false, db.error());
        return;
    }
    m_db = db.value();
    if (m_context.station.isEmpty())
        m_context.station = thisStation();
    if (const Status s = StationRepository(m_db->db()).registerStation(m_context.station, m_context.clock->now()); !s)
        m_context.log->WriteActivityLog(QStringLiteral("**ERROR** ") + s.error);
    ActivityLog &log = *m_context.log;
    Prompt &prompt = *m_context.prompt;
    const Clock &clock = *m_context.clock;

    m_modem = std::make_unique<Modem>(log, prompt);
    m_connection = std::make_unique<ModemConnection>(*m_modem, log, prompt);
    m_connection->setDatabase(m_db->db());
    m_smtp = std::make_unique<SmtpGateway>(clock);
    m_receiveTimer = std::make_unique<GatewayTimer>();
    m_sendTimer = std::make_unique<GatewayTimer>();
    m_callTimer = std::make_unique<GatewayTimer>();
    m_outbox = std::make_unique<OutboxPass>(m_db->db(), log, clock, *m_modem, *m_smtp);
    m_receive = std::make_unique<ReceivePass>(m_db->db(), log, prompt, clock, *m_modem);
    m_callWatcher =
        std::make_unique<CallWatcher>(m_db->db(), log, prompt, clock, *m_modem, *m_receiveTimer, *m_sendTimer);

    m_outbox->setHooks({[this] { Q_EMIT refreshMessageBoxWindow(); }, [this](qint64 id) { Q_EMIT smsSent(id); },
                        [this](int done, int total) { Q_EMIT outboxProgress(done, total); }});
    m_receive->setHooks({[this](qint64 id, const QString &sender, const QString &message, const QDateTime &when) {
                             Q_EMIT smsStored(id, sender, message, when);
                         },
                         [this] { Q_EMIT refreshMessageBoxWindow(); }, [this](const QString &f) { playSound(f); }});
    m_outbox->setStation(m_context.station);
    m_receive->setStation(m_context.station);
    m_outbox->setStopFlag(&m_stopRequested);
    m_receive->setStopFlag(&m_stopRequested);
    m_callWatcher->setPlaySound([this](const QString &f) { playSound(f); });
    m_callWatcher->setBlockingWindowOpen([this] { return m_blockingWindowOpen && m_blockingWindowOpen(); });

    connect(m_modem.get(), &Modem::unsolicitedLine, m_callWatcher.get(), &CallWatcher::onUnsolicitedLine);
    connect(m_modem.get(), &Modem::unsolicitedLine, this, [this](const QString &line) {
        if (line.startsWith(QLatin1String("+CDS:")))
            m_receive->takePushedReport(line);
    });
    connect(m_modem.get(), &Modem::portConnectedChanged, this, &Engine::portConnectedChanged);
    connect(m_modem.get(), &Modem::modemReadyChanged, this, &Engine::modemReadyChanged);
    connect(m_connection.get(), &ModemConnection::connectedChanged, this, &Engine::connectedChanged);
    connect(m_connection.get(), &ModemConnection::settingsWindowRequested, this, &Engine::settingsWindowRequested);
    connect(m_connection.get(), &ModemConnection::timerPeriodsSet, this, [this](int receiveMs, int sendMs) {
        m_receiveTimer->setInterval(receiveMs);
        m_sendTimer->setInterval(sendMs);
    });
    connect(m_connection.get(), &ModemConnection::sendTimerStarted, this, [this](int sendMs) {
        m_sendTimer->setInterval(sendMs);
        m_sendTimer->setEnabled(true);
    });
    connect(m_callWatcher.get(), &CallWatcher::callRecorded, this, &Engine::incomingCall);

    connect(m_receiveTimer.get(), &GatewayTimer::timeout, this, &Engine::receiveTick);
    connect(m_sendTimer.get(), &GatewayTimer::timeout, this, &Engine::sendTick);
    connect(m_callTimer.get(), &GatewayTimer::timeout, this, &Engine::refreshTick);
    m_callTimer->setInterval(1000);

    m_connection->setSettings(m_settings);
    m_callWatcher->setSettings(m_settings);
    reportLeftSending();
    Q_EMIT initialised(true, QString());
}

void Engine::reportLeftSending()
{
    // A row at "SENDING" may have gone out before the process was killed: sending it again on
    // our own could send it twice, so the operator decides.
    auto left = OutboxRepository(m_db->db()).countSending(m_context.station);
    if (!left) {
        m_context.log->WriteActivityLog(QStringLiteral("**ERROR** ") + left.error());
    } else if (left.value() > 0) {
        m_context.log->WriteActivityLog(
            QStringLiteral("**WARNING** %1 SMS in the outbox were left at \"SENDING\" by a run of this station (%2) "
                           "that did not end cleanly and are not sent again on their own: they may have gone out. "
                           "Check them, then put them back with \"Yes! Reset the Status\" in the settings window.")
                .arg(left.value())
                .arg(m_context.station));
    }
}

void Engine::applySettings(const RuntimeSettings &settings)
{
    m_settings = settings;
    if (m_connection)
        m_connection->setSettings(settings);
    if (m_callWatcher)
        m_callWatcher->setSettings(settings);
    // A save while the gateway runs takes effect now, not at the next connection: timers that
    // run get the new periods, a timer switched on starts, one switched off stops. An unchanged
    // period keeps its countdown.
    const auto retime = [](GatewayTimer &timer, int ms) {
        if (timer.interval() != ms)
            timer.setInterval(ms);
    };
    const DeliveryMedium medium = settings.SMSDeliveryMedia;
    if (m_receiveTimer && m_modem && m_modem->PortConnected()) {
        retime(*m_receiveTimer, settings.ReceiveIntervalSeconds * 1000);
        retime(*m_sendTimer, settings.SendIntervalSeconds * 1000);
    } else if (m_sendTimer && (medium == DeliveryMedium::SmtpGateway || medium == DeliveryMedium::MixMode)) {
        // The gateway sends without the modem.
        retime(*m_sendTimer, settings.SendIntervalSeconds * 1000);
        m_sendTimer->setEnabled(true);
    }
    if (m_receive)
        m_receive->setPartsWaitHours(settings.PartsWaitHours);
    Q_EMIT settingsApplied();
}

void Engine::setSmtpOptions(const SmtpOptions &options)
{
    m_smtp->setOptions(options);
}

void Engine::setPlaySound(std::function<void(const QString &)> play)
{
    m_playSound = std::move(play);
}

void Engine::setBlockingWindowOpen(std::function<bool()> open)
{
    m_blockingWindowOpen = std::move(open);
}

void Engine::playSound(const QString &fileName)
{
    if (m_playSound)
        m_playSound(fileName);
}

void Engine::startGateway()
{
    if (!m_connection)
        return;
    if (m_settings.SMSDeliveryMedia != DeliveryMedium::SmtpGateway)
        m_connection->connectModem();
}

void Engine::startSendTimer()
{
    if (!m_sendTimer)
        return;
    m_sendTimer->setInterval(m_settings.SendIntervalSeconds * 1000);
    m_sendTimer->setEnabled(true);
}

void Engine::shutdown()
{
    if (m_receiveTimer) {
        m_receiveTimer->setInterval(0);
        m_sendTimer->setInterval(0);
        m_callTimer->setInterval(0);
    }
    if (m_modem)
        m_modem->CloseCommPort();
    m_callWatcher.reset();
    m_receive.reset();
    m_outbox.reset();
    m_connection.reset();
    m_modem.reset();
    m_receiveTimer.reset();
    m_sendTimer.reset();
    m_callTimer.reset();
    m_smtp.reset();
    m_db.reset();
    Q_EMIT stopped();
}

void Engine::connectModem()
{
    if (m_connection)
        m_connection->connectModem();
}

void Engine::disconnectModem()
{
    if (m_connection)
        m_connection->disconnectModem();
}

void Engine::toggleConnection()
{
    if (!m_modem)
        return;
    if (m_modem->PortConnected())
        disconnectModem();
    else
        connectModem();
}

void Engine::afterBusyWork(GatewayTimer *ran)
{
    // A timer's own tick that fell due during its pass is dropped, as if it had found the modem
    // busy, and so is the one-second poll. The other pass's due tick runs now: with equal
    // periods (the default) the two timers fall due together, and dropping the second one every
    // time would starve it for good.
    if (ran != nullptr)
        ran->skipIfOverdue();
    m_callTimer->skipIfOverdue();
}

void Engine::receiveTick()
{
    if (!m_modem->PortConnected() || !m_modem->ModemReady())
        return;
    m_receiveTimer->setInterval(m_settings.ReceiveIntervalSeconds * 1000);
    if (m_modem->ModemBusy() || m_modem->ReadingSIM())
        return;
    m_context.log->WriteActivityLog(QStringLiteral("Checking for new SMS on SIM card."));
    m_receive->ReceiveSIMMessages(m_modem->scaledDelay(400));
    afterBusyWork(m_receiveTimer.get());
}

void Engine::sendTick()
{
    if (!m_settings.sendsWithoutModem() && !(m_modem->ModemReady() && m_modem->PortConnected()))
        return;
    m_sendTimer->setInterval(m_settings.SendIntervalSeconds * 1000);
    if (m_modem->ModemBusy())
        return;
    m_context.log->WriteActivityLog(QStringLiteral("Checking if there are any SMS to be sent."));
    m_outbox->SendOutboxSMS(m_settings);
    afterBusyWork(m_sendTimer.get());
}

void Engine::refreshTick()
{
    // The home page counts for itself; this tick only watches the call.
    m_callWatcher->onTick();
}

void Engine::sendAll()
{
    if (m_outbox) {
        m_outbox->SendOutboxSMS(m_settings);
        afterBusyWork();
    }
    Q_EMIT sendAllFinished();
}

void Engine::receiveAll(int listDelayMs)
{
    if (m_receive) {
        m_receive->ReceiveSIMMessages(qint16(qBound(0, listDelayMs, 32767)));
        afterBusyWork();
    }
    Q_EMIT receiveAllFinished();
}

bool Engine::requireModemLink()
{
    if (m_modem && m_modem->PortConnected())
        return true;
    m_context.prompt->inform(kNotCommunicatingText);
    return false;
}

void Engine::listSimMessages(const QStringList &statuses)
{
    if (requireModemLink()) {
        for (const QString &status : statuses) {
            m_modem->ListSIMMessages(status, 1500);
            Q_EMIT simMessagesListed(status, m_modem->SIMMessages());
        }
        afterBusyWork();
    }
    Q_EMIT simListingFinished();
}

void Engine::deleteSimMessages(const QList<int> &indexes)
{
    if (requireModemLink()) {
        for (const int index : indexes)
            m_modem->DeleteSIMMessage(qint16(index));
        afterBusyWork();
    }
    Q_EMIT simMessagesDeleted();
}

void Engine::deleteSimMessagesByStatus(const QStringList &statuses)
{
    if (requireModemLink()) {
        for (const QString &status : statuses)
            m_modem->DeleteSIMMessagesByStatus(status);
        afterBusyWork();
    }
    Q_EMIT simMessagesDeleted();
}

EngineHost::EngineHost(EngineContext context)
    : WorkerThread(new Engine(std::move(context)), QStringLiteral("engine"))
{
    qRegisterMetaType<parlix::RuntimeSettings>();
    qRegisterMetaType<parlix::SIMMessage>();
    qRegisterMetaType<parlix::SIMMessageList>();
    qRegisterMetaType<QList<int>>();
}

EngineHost::~EngineHost()
{
    stop();
}

void EngineHost::stop()
{
    if (!m_thread.isRunning())
        return;
    m_worker->requestStop();
    QMetaObject::invokeMethod(m_worker, &Engine::shutdown, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

} // namespace parlix

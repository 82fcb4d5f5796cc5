#include "engine/CallWatcher.h"

#include "config/CountryRepository.h"
#include "config/RuntimeSettings.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "engine/GatewayTimer.h"
#include "modem/Modem.h"
#include "modem/ModemReplies.h"
#include "store/CallRepository.h"
#include "store/OutboxRepository.h"

#include <QThreadPool>

#include <algorithm>

namespace parlix {

namespace {

const QString kCloseFormsText =
    QStringLiteral("Please close all opened forms in application to disply Incomming Call.");

bool isCallInProgress(const QString &state)
{
    return state == QLatin1String("ACTIVE") || state == QLatin1String("INCOMING") ||
           state == QLatin1String("DIALING") || state == QLatin1String("ALERTING");
}

} // namespace

CallWatcher::CallWatcher(QSqlDatabase db, ActivityLog &log, Prompt &prompt, const Clock &clock, Modem &modem,
                         GatewayTimer &receiveTimer, GatewayTimer &sendTimer, QObject *parent)
    : QObject(parent)
    , m_db(std::move(db))
    , m_log(log)
    , m_prompt(prompt)
    , m_clock(clock)
    , m_modem(modem)
    , m_receiveTimer(receiveTimer)
    , m_sendTimer(sendTimer)
{
}

CallWatcher::~CallWatcher() = default;

void CallWatcher::setSettings(const RuntimeSettings &settings)
{
    m_replyEnabled = settings.AutoReplyOnMissedCallEnabled;
    m_replyMessage = settings.MissedCallReplyMessage;
}

void CallWatcher::onUnsolicitedLine(const QString &rawLine)
{
    const QString line = rawLine.trimmed();
    if (line == QLatin1String("RING") || line.startsWith(QLatin1String("+CRING"))) {
        ++m_callLines;
        m_log.WriteActivityLog(QStringLiteral("Incoming call detected."));
        m_state.IncomingCallFlag = true;
        if (m_playSound)
            m_playSound(QStringLiteral("ringing.wav"));
        if (m_state.RingCounter == 1)
            m_state.CLIPFoundCounter = 0;
        ++m_state.RingCounter;
        m_awaitingNumber = true;
    } else if (line.startsWith(QLatin1String("+CLIP"))) {
        ++m_callLines;
        if (m_awaitingNumber) {
            m_awaitingNumber = false;
            takeCallerNumber(parseClipNumber(line));
        }
    } else if (line.startsWith(QLatin1String("+CLCC"))) {
        ++m_callLines;
        if (m_awaitingNumber) {
            m_awaitingNumber = false;
            takeCallerNumber(parseClccNumber(line));
        }
    } else if (line == QLatin1String("NO CARRIER")) {
        m_state.RingCounter = 1;
        m_state.IncomingCallFlag = false;
        m_awaitingNumber = false;
        resumeTimers();
    }
}

void CallWatcher::takeCallerNumber(const QString &number)
{
    if (number.isEmpty())
        return;
    ++m_state.CLIPFoundCounter;
    m_state.LastCallerNumber = number;
    m_log.WriteActivityLog(QStringLiteral("ALERT : Incoming call detected from the number '") + number +
                           QLatin1Char('\''));
    if (m_state.CLIPFoundCounter == 1) {
        // A new call is armed only by its own number, never by what an earlier caller left.
        m_state.IsLastCallerNumberMobile = false;
        RecordIncomingCall(number);
        m_state.LastCallStatus = QStringLiteral("RINGING");
        Q_EMIT callRecorded(number);
    }
    if (m_blockingWindowOpen && m_blockingWindowOpen()) {
        showCloseFormsNotice();
        return;
    }
    auto countries = CountryRepository(m_db).all();
    QVector<CountryCodeRow> codes;
    if (countries) {
        QVector<CountryRow> rows = countries.value();
        std::sort(rows.begin(), rows.end(), [](const CountryRow &a, const CountryRow &b) { return a.id < b.id; });
        for (const CountryRow &row : rows)
            codes.append({row.id, row.code});
    } else {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + countries.error());
    }
    m_state.lastIdentity = IdentifyCallerNumber(number, codes);
    if (m_state.lastIdentity.isMobile)
        m_state.IsLastCallerNumberMobile = true;
}

void CallWatcher::RecordIncomingCall(const QString &number)
{
    auto row = CallRepository(m_db).insert(number, m_clock.now(), true);
    if (!row)
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + row.error());
}

void CallWatcher::showCloseFormsNotice()
{
    // The operator's answer is not needed, so the engine does not wait for it; one notice at a
    // time is enough however often the phone rings meanwhile.
    if (m_noticeShowing->exchange(true))
        return;
    Prompt *prompt = &m_prompt;
    auto showing = m_noticeShowing;
    QThreadPool::globalInstance()->start([prompt, showing] {
        Prompt::Request notice{kCloseFormsText};
        notice.waitForClose = true; // the guard holds until the operator has closed it
        prompt->ask(notice);
        showing->store(false);
    });
}

void CallWatcher::resumeTimers()
{
    m_receiveTimer.setEnabled(true);
    m_sendTimer.setEnabled(true);
}

void CallWatcher::onTick()
{
    bool lineIdle = false;
    if (m_modem.PortConnected() && m_modem.ModemReady() && !m_modem.SendingSMS() && !m_modem.ReadingSIM()) {
        QString state = m_modem.GetCallStatus();
        state.remove(QStringLiteral("\r\n"));
        state = state.trimmed().toUpper();
        if (isCallInProgress(state)) {
            m_modem.setCallInProgress(true);
            m_receiveTimer.setEnabled(false);
            m_sendTimer.setEnabled(false);
        } else {
            m_modem.setCallInProgress(false);
            m_modem.setSendingSMS(false);
            if (state.contains(QLatin1String("OK"))) {
                lineIdle = true;
                if (m_state.IncomingCallFlag) {
                    m_state.RingCounter = 1;
                    m_state.IncomingCallFlag = false;
                }
                resumeTimers();
            }
        }
    } else if (m_modem.PortConnected() && m_modem.ModemReady()) {
        if (m_modem.SendingSMS())
            m_sendTimer.setEnabled(true);
        else if (m_modem.ReadingSIM())
            m_receiveTimer.setEnabled(true);
    }

    if (lineIdle && m_replyEnabled && m_state.LastCallStatus.toUpper() == QLatin1String("RINGING")) {
        // A RING or caller line read during the query is handed over after it; decide once
        // those have been seen, so a call that rings again is not taken for ended.
        const quint64 linesAtPoll = m_callLines;
        QMetaObject::invokeMethod(
            this, [this, linesAtPoll] { queueMissedCallReply(linesAtPoll); }, Qt::QueuedConnection);
    }
}

void CallWatcher::queueMissedCallReply(quint64 callLinesAtPoll)
{
    if (m_callLines != callLinesAtPoll || !m_replyEnabled)
        return;
    if (m_state.LastCallStatus.toUpper() != QLatin1String("RINGING") || m_state.LastCallerNumber.length() < 10 ||
        !m_state.IsLastCallerNumberMobile || m_replyMessage.isEmpty())
        return;
    const QString number = m_state.LastCallerNumber.trimmed();
    auto queued = OutboxRepository(m_db).insertPending(number, m_replyMessage, m_clock.now());
    if (!queued) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + queued.error());
        return;
    }
    m_state.LastCallStatus.clear();
    m_state.IsLastCallerNumberMobile = false;
    m_state.LastCallerNumber.clear();
    Q_EMIT missedCallReplyQueued(queued.value(), number);
}

} // namespace parlix

#include "engine/OutboxPass.h"

#include "config/RuntimeSettings.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "engine/SmsRules.h"
#include "engine/SmtpGateway.h"
#include "modem/Modem.h"
#include "store/OutboxRepository.h"
#include "store/StationRepository.h"

#include <QThread>

namespace parlix {

namespace {

const QString kFailureReasons =
    QStringLiteral(" (Possible Reasons: 1> Phone out of coverage area   2> No balance credit on your SIM   3> Problem "
                   "connecting to remote SMS SMTP server.)");

} // namespace

OutboxPass::OutboxPass(QSqlDatabase db, ActivityLog &log, const Clock &clock, Modem &modem, const SmtpGateway &smtp)
    : m_db(std::move(db))
    , m_log(log)
    , m_clock(clock)
    , m_modem(modem)
    , m_smtp(smtp)
    , m_station(thisStation())
{
}

void OutboxPass::logDatabaseError(const QString &error)
{
    m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + error);
}

QDateTime OutboxPass::leaseEnd() const
{
    return m_clock.now().addSecs(m_leaseSeconds);
}

void OutboxPass::expireLeases(OutboxRepository &outbox)
{
    auto expired = outbox.expireLeases(m_clock.now());
    if (!expired) {
        logDatabaseError(expired.error());
        return;
    }
    if (expired->returnedToWaiting > 0)
        m_log.WriteActivityLog(
            QStringLiteral("%1 SMS claimed by a station that stopped before sending them are waiting again.")
                .arg(expired->returnedToWaiting));
    if (expired->leftSending > 0)
        m_log.WriteActivityLog(
            QStringLiteral("**WARNING** %1 SMS were being sent through a modem by a station that stopped: they stay "
                           "at \"SENDING\" with that station named, as they may have gone out. Check them, then put "
                           "them back with \"Yes! Reset the Status\" in the settings window.")
                .arg(expired->leftSending));
}

void OutboxPass::SendOutboxSMS(const RuntimeSettings &settings)
{
    OutboxRepository outbox(m_db);
    expireLeases(outbox);
    auto extent = outbox.waitingExtent();
    if (!extent) {
        logDatabaseError(extent.error());
        return;
    }
    const auto [lastWaitingId, total] = extent.value();
    m_log.WriteActivityLog(QStringLiteral("Total %1 SMS to be sent.").arg(total));
    if (total == 0)
        return;

    const bool withoutModem = settings.sendsWithoutModem();
    if (!withoutModem && !m_modem.PortConnected()) {
        m_log.WriteActivityLog(kNotCommunicatingText);
        return;
    }

    bool lastSent = false;
    int done = 0;
    qint64 after = 0;
    for (;;) {
        if (!withoutModem && !m_modem.PortConnected())
            break;
        if (stopping()) {
            m_log.WriteActivityLog(QStringLiteral("Parlix is stopping: the SMS still waiting go at the next start."));
            break;
        }
        // One row at a time: a station that stops holds at most the row it was sending.
        auto claimed = outbox.claimWaiting(m_station, leaseEnd(), 1, after, lastWaitingId);
        if (!claimed) {
            logDatabaseError(claimed.error());
            return;
        }
        if (claimed->isEmpty())
            break;
        const OutboxRow &row = claimed->first();
        after = row.id;
        switch (sendRow(settings, row, outbox)) {
        case Outcome::Abort:
        case Outcome::Stopped:
            return;
        case Outcome::Sent:
            lastSent = true;
            break;
        case Outcome::Failed:
            lastSent = false;
            break;
        case Outcome::Skipped:
            break;
        }
        if (m_hooks.progress)
            m_hooks.progress(++done, int(total));
    }
    if (lastSent && m_hooks.refreshMessageBox)
        m_hooks.refreshMessageBox();
}

OutboxPass::Outcome OutboxPass::sendRow(const RuntimeSettings &settings, const OutboxRow &row, OutboxRepository &outbox)
{
    const SendingSmsScope sending(m_modem);

    if (!isSendableNumber(row.recipientMobileNo)) {
        if (const Status s = outbox.markFaultyNumber(row.id); !s) {
            logDatabaseError(s.error);
            return Outcome::Abort;
        }
        return Outcome::Failed;
    }

    Outcome outcome = Outcome::Failed;
    switch (mediumFor(settings, row)) {
    case DeliveryMedium::Modem:
        outcome = sendThroughModem(settings, row);
        break;
    case DeliveryMedium::SmtpGateway:
        outcome = sendThroughGateway(settings, row);
        break;
    case DeliveryMedium::MixMode:
    case DeliveryMedium::None:
        break;
    }

    if (outcome == Outcome::Sent) {
        m_log.WriteActivityLog(QStringLiteral("SMS sent successfully. Now removing it from outbox."));
        if (const Status s = outbox.markSent(row.id, m_clock.now(), m_station); !s) {
            // The SMS went out: the row stays at SENDING rather than being sent again.
            logDatabaseError(s.error);
            return Outcome::Abort;
        }
        if (m_hooks.smsSent)
            m_hooks.smsSent(row.id);
        if (m_hooks.refreshMessageBox)
            m_hooks.refreshMessageBox();
        if (m_pauseMs > 0)
            QThread::msleep(ulong(m_pauseMs));
    } else if (outcome == Outcome::Failed || outcome == Outcome::Stopped) {
        if (outcome == Outcome::Stopped)
            m_log.WriteActivityLog(QStringLiteral("Parlix is stopping: the rest of the SMS to ") +
                                   row.recipientMobileNo + QStringLiteral(" goes at the next start."));
        else
            m_log.WriteActivityLog(QStringLiteral("**ERROR** SMS could not be sent to ") + row.recipientMobileNo +
                                   kFailureReasons);
        if (const Status s = outbox.markPending(row.id); !s) {
            logDatabaseError(s.error);
            return Outcome::Abort;
        }
    }
    return outcome;
}

DeliveryMedium OutboxPass::mediumFor(const RuntimeSettings &settings, const OutboxRow &row)
{
    if (settings.SMSDeliveryMedia != DeliveryMedium::MixMode)
        return settings.SMSDeliveryMedia;
    // Mix mode without numbers has no rule to apply, and so no medium.
    if (settings.MixModeMobileNumbers.trimmed().isEmpty())
        return DeliveryMedium::None;
    const MixModeChoice choice =
        chooseMixModeMedium(row.recipientMobileNo, settings.MixModeMobileNumbers, settings.MixModeDeliveryMedia);
    m_log.WriteActivityLog(QStringLiteral("Checking the rules for MIX-MODE SMS delivery for number: ") +
                           choice.checkedNumber + QLatin1Char('.'));
    if (choice.matchedPrefix)
        m_log.WriteActivityLog(QStringLiteral("Rule matched! Number is starting with '") + *choice.matchedPrefix +
                               QLatin1Char('\''));
    return choice.medium;
}

OutboxPass::Outcome OutboxPass::hold(qint64 id, const QString &medium)
{
    auto held = OutboxRepository(m_db).holdForSending(id, m_station, medium, leaseEnd());
    if (!held) {
        logDatabaseError(held.error());
        return Outcome::Abort;
    }
    return held.value() ? Outcome::Sent : Outcome::Skipped;
}

OutboxPass::Outcome OutboxPass::sendThroughModem(const RuntimeSettings &settings, const OutboxRow &row)
{
    if (!m_modem.PortConnected()) {
        m_log.WriteActivityLog(kNotCommunicatingText);
        return Outcome::Failed;
    }
    // From here the SMS may go out: should this station stop, the row stays "SENDING" with it.
    if (const Outcome c = hold(row.id, claim::kModem); c != Outcome::Sent)
        return c;

    const QString recipient = row.recipientMobileNo.trimmed();
    const QString message = row.message.trimmed();
    if (settings.SIMCardDeliveryMode == SimDeliveryMode::None)
        return Outcome::Failed;

    // Every part is recorded before the first goes out and confirmed as the modem accepts it,
    // so a retry (or the pass after a restart) sends only what never went, under the same
    // reference that links the parts.
    OutboxRepository outbox(m_db);
    SmsSendPlan plan;
    const int count = m_modem.smsPartCount(message);
    if (count > 0) {
        Status planned = outbox.planParts(row.id, count, int(row.id % 256));
        auto parts = planned ? outbox.parts(row.id) : Result<QVector<OutboxPart>>::failure(planned.error);
        if (!parts) {
            logDatabaseError(parts.error());
            return Outcome::Abort;
        }
        for (const OutboxPart &part : parts.value()) {
            plan.concatReference = part.concatRef;
            if (part.confirmed)
                plan.confirmedParts.append(part.partNo);
        }
        if (!plan.confirmedParts.isEmpty())
            m_log.WriteActivityLog(QStringLiteral("%1 of the %2 parts of this SMS went out before; the rest follow.")
                                       .arg(plan.confirmedParts.size())
                                       .arg(count));
    }
    plan.partSent = [&](int partNo, int messageRef) {
        Status s = outbox.confirmPart(row.id, partNo, messageRef, m_clock.now());
        if (s && partNo < count) // the lease lasts while the parts go
            s = outbox.holdForSending(row.id, m_station, claim::kModem, leaseEnd()).status();
        if (!s)
            logDatabaseError(s.error);
        // A stop ends the SMS between its parts; the confirmed ones are not sent again.
        return bool(s) && (partNo >= count || !stopping());
    };

    ModemResult result;
    switch (settings.SIMCardDeliveryMode) {
    case SimDeliveryMode::StoreAndDeliver:
        m_log.WriteActivityLog(QStringLiteral("Sending SMS to ") + row.recipientMobileNo +
                               QStringLiteral(" using GSM modem and method - STORE & DELIVER."));
        result = m_modem.StoreAndSendSMS(recipient, message, plan);
        break;
    case SimDeliveryMode::DirectDeliver:
        m_log.WriteActivityLog(QStringLiteral("Sending SMS to ") + row.recipientMobileNo +
                               QStringLiteral(" using GSM modem and method - DIRECT DELIVERY."));
        result = m_modem.SendSMSDirect(recipient, message, plan);
        break;
    case SimDeliveryMode::None:
        break;
    }
    if (result.ok)
        return Outcome::Sent;
    return stopping() ? Outcome::Stopped : Outcome::Failed;
}

OutboxPass::Outcome OutboxPass::sendThroughGateway(const RuntimeSettings &settings, const OutboxRow &row)
{
    if (const Outcome c = hold(row.id, claim::kSmtp); c != Outcome::Sent)
        return c;
    const QString rowFromName = row.smsFromName.trimmed();

    SmtpSendRequest request;
    request.server = settings.SMSSMTPServer;
    request.port = settings.SMSSMTPPort;
    request.authenticationRequired = settings.IsSMSSMTPAuthenticationRequired;
    request.authenticationType = settings.SMSSMTPAuthenticationType;
    request.userName = settings.SMSSMTPUserName;
    request.password = settings.SMSSMTPPassword;
    request.allowCleartextPassword = settings.SMSSMTPAllowClearTextLogin;
    request.encodeType = settings.SMSSMTPEncodeType;
    request.fromName = rowFromName.isEmpty() ? settings.SMSSMTPFromName : rowFromName;
    request.fromAddress = settings.MaskedEmailDomain.trimmed().isEmpty()
                              ? settings.SMSSMTPYourEmailAddress
                              : request.fromName + QLatin1Char('@') + settings.MaskedEmailDomain;
    request.toAddress = row.recipientMobileNo.trimmed() + QLatin1Char('@') + settings.SMSSMTPEmailPostfix;
    request.message = row.message.trimmed();

    m_log.WriteActivityLog(QStringLiteral("Sending SMS to ") + request.toAddress +
                           QStringLiteral(" using external SMS gateway '") + settings.SMSSMTPServer +
                           QStringLiteral("' using Encode-Type: ") + QString::number(settings.SMSSMTPEncodeType));
    const SmtpResult result =
        m_smtp.SendSMSThroughSMTP(request, [this](const QString &line) { m_log.WriteActivityLog(line); });
    if (!result.ok()) {
        m_log.WriteActivityLog(
            QStringLiteral("**ERROR** SMS delivery failed. Error %1: %2\r\n").arg(result.code).arg(result.description));
        return Outcome::Failed;
    }
    return Outcome::Sent;
}

} // namespace parlix

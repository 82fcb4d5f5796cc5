#include "engine/ReceivePass.h"

#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "engine/AutoReplyRepository.h"
#include "engine/OutboxPass.h"
#include "engine/SimLedgerRepository.h"
#include "engine/SmsRules.h"
#include "modem/Modem.h"
#include "modem/Pdu.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"

namespace parlix {

namespace {

// What identifies a SIM message across passes while it is still on the SIM: the same sender
// may well send the same text to the same slot again, but not with the same time stamp.
QString messageKey(const SIMMessage &m, const QString &text)
{
    return m.Index.trimmed() + QLatin1Char('\x1f') + m.Number.trimmed() + QLatin1Char('\x1f') + m.Timestamp +
           QLatin1Char('\x1f') + text;
}

// Where the parts that never arrived stood in a long SMS stored without them.
const QString kMissingPart = QStringLiteral("[part missing]");

} // namespace

ReceivePass::ReceivePass(QSqlDatabase db, ActivityLog &log, Prompt &prompt, const Clock &clock, Modem &modem)
    : m_db(std::move(db))
    , m_log(log)
    , m_prompt(prompt)
    , m_clock(clock)
    , m_modem(modem)
{
}

void ReceivePass::ReceiveSIMMessages(qint16 listDelay)
{
    if (!m_modem.PortConnected()) {
        m_prompt.inform(kNotCommunicatingText);
        return;
    }
    storeStaleParts();
    SIMMessageList list;
    bool complete = false;
    if (!m_modem.ModemBusy()) {
        m_modem.setReadingSIM(true);
        m_modem.ListSIMMessages(QStringLiteral("ALL"), listDelay);
        m_modem.setReadingSIM(false);
        list = m_modem.SIMMessages();
        complete = m_modem.listingComplete();
    }
    // The listing leaves the line breaks that end the last record on its text; the same
    // message read in another position would not have them.
    auto textOf = [&](qsizetype i) {
        QString text = list.at(i).Text;
        if (i == list.size() - 1 && !m_modem.pduMode()) {
            while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
                text.chop(1);
        }
        return text;
    };
    SimLedgerRepository ledger(m_db, m_station);
    if (complete) {
        // What the SIM no longer holds was deleted after all: its key may come back.
        QStringList keys;
        for (qsizetype i = 0; i < list.size(); ++i)
            keys << messageKey(list.at(i), textOf(i));
        if (const Status s = ledger.forgetAllBut(keys); !s)
            m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + s.error);
    }
    if (list.isEmpty()) {
        m_log.WriteActivityLog(QStringLiteral("No new SMS found."));
        return;
    }
    m_log.WriteActivityLog(QStringLiteral("Total %1 new SMS found.").arg(list.size()));

    bool anyTaken = false;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (m_stop != nullptr && m_stop->load())
            break; // what is left stays on the SIM for the next start
        const SIMMessage &entry = list.at(i);
        if (entry.Status != QLatin1String("REC READ") && entry.Status != QLatin1String("REC UNREAD"))
            continue;
        anyTaken = true;
        const QString number = QString::number(i + 1);
        const QString sender = normaliseSenderNumber(entry.Number);
        const QString text = textOf(i);
        const QString key = messageKey(entry, text);
        m_log.WriteActivityLog(QStringLiteral("Retrieving SMS No. ") + number);

        if (!entry.decodeError.isEmpty()) {
            m_log.WriteActivityLog(QStringLiteral("**ERROR** SMS No. ") + number + QStringLiteral(" cannot be read: ") +
                                   entry.decodeError + QStringLiteral(" It stays on the SIM card."));
            continue;
        }
        if (entry.isReport || entry.partCount > 1) {
            if (!(entry.isReport ? takeReport(entry) : takePart(entry, sender)))
                continue;
            m_log.WriteActivityLog(QStringLiteral("Deleting SMS No. ") + number +
                                   QStringLiteral(" from the SIM card."));
            m_modem.DeleteSIMMessage(qint16(entry.Index.trimmed().toInt()));
            if (entry.partCount > 1) {
                const ReceivedPart part{sender, entry.concatRef, entry.partCount, entry.partNo, text};
                const QDateTime when = m_clock.now();
                auto whole = InboxRepository(m_db).completeMessage(part, when, m_station);
                if (!whole)
                    m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + whole.error());
                else if (whole.value())
                    announce(*whole.value(), sender, QString(), when);
            }
            continue;
        }

        auto already = ledger.isStored(key);
        if (!already) {
            m_log.WriteActivityLog(QStringLiteral("**ERROR** SMS No. ") + number +
                                   QStringLiteral(" could not be stored: ") + already.error() +
                                   QStringLiteral(" It stays on the SIM card."));
            continue;
        }
        const bool fresh = !already.value();
        if (fresh) {
            const QDateTime when = m_clock.now();
            auto stored = ledger.storeReceived(key, sender, text, when);
            if (!stored) {
                // Never delete what is not safely in the inbox: the next pass tries it again.
                m_log.WriteActivityLog(QStringLiteral("**ERROR** SMS No. ") + number +
                                       QStringLiteral(" could not be stored: ") + stored.error() +
                                       QStringLiteral(" It stays on the SIM card."));
                continue;
            }
            if (m_hooks.smsStored)
                m_hooks.smsStored(stored.value(), sender, text, when);
            if (m_hooks.playSound)
                m_hooks.playSound(QStringLiteral("SMSNotify.wav"));
        } else {
            m_log.WriteActivityLog(
                QStringLiteral("SMS No. ") + number +
                QStringLiteral(" is already in the inbox; only its copy on the SIM card is removed."));
        }

        m_log.WriteActivityLog(QStringLiteral("Deleting SMS No. ") + number + QStringLiteral(" from the SIM card."));
        if (m_modem.DeleteSIMMessage(qint16(entry.Index.trimmed().toInt())).ok) {
            if (const Status s = ledger.forget(key); !s)
                m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + s.error);
        }

        if (fresh)
            queueKeywordReply(sender, text);
    }
    if (anyTaken && m_hooks.refreshMessageBox)
        m_hooks.refreshMessageBox();
}

bool ReceivePass::takePart(const SIMMessage &entry, const QString &sender)
{
    const ReceivedPart part{sender, entry.concatRef, entry.partCount, entry.partNo, entry.Text};
    if (const Status s = InboxRepository(m_db).insertPart(part, m_clock.now()); !s) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** Part %1 of %2 of an SMS from %3 could not be kept: ")
                                   .arg(entry.partNo)
                                   .arg(entry.partCount)
                                   .arg(sender) +
                               s.error + QStringLiteral(" It stays on the SIM card."));
        return false;
    }
    return true;
}

bool ReceivePass::takeReport(const SIMMessage &entry)
{
    return recordReport(entry.reportReference, entry.Number, entry.reportStatus);
}

void ReceivePass::takePushedReport(const QString &line)
{
    const qsizetype lineBreak = line.indexOf(QLatin1Char('\n'));
    bool lengthOk = false;
    const int length = line.mid(5, lineBreak - 5).trimmed().toInt(&lengthOk);
    const QString hex = line.mid(lineBreak + 1).trimmed();
    auto decoded = pdu::decodePdu(hex.toLatin1(), lengthOk ? length : -1);
    const auto *report = decoded ? std::get_if<pdu::StatusReport>(&decoded.value()) : nullptr;
    if (lineBreak < 0 || report == nullptr) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** A delivery report from the modem could not be read (") +
                               (decoded ? QStringLiteral("not a status report") : decoded.error()) +
                               QStringLiteral("): ") + line.mid(lineBreak + 1));
        return;
    }
    recordReport(report->messageReference, report->recipient.number, report->status);
}

bool ReceivePass::recordReport(int reference, const QString &recipient, int status)
{
    OutboxRepository outbox(m_db);
    auto target = outbox.findReportTarget(reference, recipient);
    if (!target) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + target.error());
        return false;
    }
    if (!target.value()) {
        m_log.WriteActivityLog(QStringLiteral("A delivery report for an unknown SMS (reference %1 to %2) was removed.")
                                   .arg(reference)
                                   .arg(recipient));
        return true;
    }
    if (const Status s = outbox.recordReport(*target.value(), status, m_clock.now()); !s) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + s.error);
        return false;
    }
    m_log.WriteActivityLog(QStringLiteral("Delivery report for the SMS to %1 (reference %2): status %3.")
                               .arg(recipient)
                               .arg(reference)
                               .arg(status));
    if (m_hooks.refreshMessageBox)
        m_hooks.refreshMessageBox();
    return true;
}

void ReceivePass::storeStaleParts()
{
    const QDateTime now = m_clock.now();
    auto stored = InboxRepository(m_db).storeIncomplete(now.addSecs(-qint64(m_partsWaitHours * 3600)), kMissingPart,
                                                        now, m_station);
    if (!stored) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + stored.error());
        return;
    }
    for (const StoredMessage &m : stored.value()) {
        m_log.WriteActivityLog(QStringLiteral("A long SMS from ") + m.sender +
                               QStringLiteral(" is stored without the parts that never arrived."));
        announce(m.id, m.sender, m.message, now);
    }
}

void ReceivePass::announce(qint64 id, const QString &sender, const QString &text, const QDateTime &when)
{
    QString message = text;
    if (message.isNull()) {
        auto row = InboxRepository(m_db).find(id);
        if (!row) {
            m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + row.error());
            return;
        }
        message = row.value().message;
    }
    if (m_hooks.smsStored)
        m_hooks.smsStored(id, sender, message, when);
    if (m_hooks.playSound)
        m_hooks.playSound(QStringLiteral("SMSNotify.wav"));
    queueKeywordReply(sender, message);
}

void ReceivePass::queueKeywordReply(const QString &sender, const QString &message)
{
    AutoReplyRepository replies(m_db);
    auto on = replies.sendAutoReply();
    if (!on) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + on.error());
        return;
    }
    if (!on.value())
        return;
    auto keywords = replies.keywords();
    if (!keywords) {
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + keywords.error());
        return;
    }
    const auto match = firstMatchingKeyword(keywordSearchText(message), keywords.value());
    if (!match)
        return;
    m_log.WriteActivityLog(QStringLiteral("Sending AutoReply to SMS."));
    auto queued = OutboxRepository(m_db).insertPending(sender, match->reply.trimmed(), m_clock.now());
    if (!queued)
        m_log.WriteActivityLog(QStringLiteral("**ERROR** ") + queued.error());
}

} // namespace parlix

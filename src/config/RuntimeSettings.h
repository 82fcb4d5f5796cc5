#pragma once

#include "core/Result.h"
#include "store/SettingsRepository.h"

#include <QMetaType>
#include <QString>
#include <QVariant>

namespace parlix {

// How SMS go out: through the modem, through an email-to-SMS gateway, or by the mix-mode rules.
enum class DeliveryMedium { None, Modem, SmtpGateway, MixMode };
// How the modem sends: straight away (AT+CMGS) or stored on the SIM first (AT+CMGW, AT+CMSS).
enum class SimDeliveryMode { None, DirectDeliver, StoreAndDeliver };

// The words the delivery settings are stored with ("MODEM", "SMTPSMSGATEWAY", "MIXMODE",
// "DIRECT DELIVER", "STORE AND DELIVER"; empty for None), and back: a stored word is read
// ignoring case and surrounding blanks, and an unknown one reads as None.
QString storedWord(DeliveryMedium medium);
QString storedWord(SimDeliveryMode mode);
DeliveryMedium deliveryMediumFrom(const QString &stored);
SimDeliveryMode simDeliveryModeFrom(const QString &stored);
// The message formats a modem is used in (ModemSettings.SMSFormat).
namespace smsformat {
inline const QString kText = QStringLiteral("TEXT");
inline const QString kPdu = QStringLiteral("PDU");
// Anything but the text format's word means PDU, as the column's default does.
inline bool isPdu(const QString &stored)
{
    return stored.trimmed().compare(kText, Qt::CaseInsensitive) != 0;
}
} // namespace smsformat

inline constexpr qint64 kDefaultMaxEmailSizeKB = 10240;
inline constexpr qint64 kLargestMaxEmailSizeKB = 2097151; // below 2 GB

// Every setting the engine uses, read once at start-up and afterwards changed only by the
// settings windows (which write the tables and send the new value to the engine).
struct RuntimeSettings
{
    QString POP3MailServer;
    QVariant POP3Port;     // as stored; users convert it to a 32-bit integer
    QVariant POP3UserName; // as stored; users convert it to text
    QString POP3Password;
    QString EmailCheckInterval; // seconds, as text
    bool WebMailToSMSEnabled = false;
    // The operator allows the POP3 password on a link without TLS.
    bool POP3AllowClearTextLogin = false;
    // Emails larger than this are skipped by the poll, never read.
    qint64 MaxEmailSizeKB = kDefaultMaxEmailSizeKB;

    DeliveryMedium SMSDeliveryMedia = DeliveryMedium::None;
    QString MixModeMobileNumbers;                               // in mix mode only
    DeliveryMedium MixModeDeliveryMedia = DeliveryMedium::None; // in mix mode only: Modem or SmtpGateway
    bool IsSMSSMTPAuthenticationRequired = false;
    // The operator allows the login's password on a link without TLS.
    bool SMSSMTPAllowClearTextLogin = false;
    QString SMSSMTPFromName;
    QString SMSSMTPYourEmailAddress;
    QString SMSSMTPServer;
    qint16 SMSSMTPPort = 0;
    QString SMSSMTPUserName;
    QString SMSSMTPPassword;
    QString SMSSMTPEmailPostfix;
    QString MaskedEmailDomain;
    qint16 SMSSMTPEncodeType = 0;
    qint16 SMSSMTPAuthenticationType = 0;
    SimDeliveryMode SIMCardDeliveryMode = SimDeliveryMode::None;

    bool AutoReplyOnMissedCallEnabled = false;
    QString MissedCallReplyMessage;

    double ModemDelayFactor = 1.0;
    // PDU mode (Unicode, linked long SMS, delivery reports) rather than text mode; a stored
    // format other than "TEXT" means PDU.
    bool PduMode = true;
    bool DeliveryReportsRequested = false;
    // How long a received part waits for the rest of its message before it is stored alone.
    double PartsWaitHours = 24;
    qint16 ReceiveIntervalSeconds = 0; // 0 = off
    qint16 SendIntervalSeconds = 0;    // 0 = off
    qint32 RecordsPerPage = 100;

    // Period of the mailbox timer in ms; 0 when webmail-to-SMS is off or has no settings row.
    qint64 webMailTimerMs = 0;

    // The SMTP gateway and mix mode send without a modem link too.
    bool sendsWithoutModem() const
    {
        return SMSDeliveryMedia == DeliveryMedium::SmtpGateway || SMSDeliveryMedia == DeliveryMedium::MixMode;
    }
};

// The loading rules, as a pure function of the stored rows. A failure names the table, the
// column and the value that stopped it.
Result<RuntimeSettings> loadRuntimeSettings(const SettingsRows &rows);

// Mix-mode prefixes as stored ("+91937; 922") into the form the outbox pass matches ("91937,922").
QString normaliseMixModeNumbers(const QString &stored);
// The part of an address after its first "@", or the whole address when it has none.
QString maskedDomainOf(const QString &address);
// A 16-bit integer the way the settings are converted: a number, rounded half to even.
Result<qint16> toInt16(const QVariant &value, const QString &table, const QString &column);

} // namespace parlix

Q_DECLARE_METATYPE(parlix::RuntimeSettings)

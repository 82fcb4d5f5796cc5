#include "config/SettingsSave.h"

#include "config/RuntimeSettings.h"
#include "config/SettingsChecks.h"
#include "core/Prompt.h"
#include "store/SettingsRepository.h"
#include "store/SqlDialect.h"

#include <cmath>

namespace parlix {

namespace {

// Whole numbers are stored as integers so that they read back as they were typed.
QVariant storedNumber(double value)
{
    if (std::floor(value) == value && std::abs(value) < 1e15)
        return QVariant(qlonglong(value));
    return QVariant(value);
}

class SaveRun
{
public:
    SaveRun(SettingsRepository &repository, Prompt &prompt, const RuntimeSettings &current, const SettingsInput &in)
        : m_repository(repository)
        , m_prompt(prompt)
        , m_in(in)
    {
        m_out.settings = current;
    }

    SettingsSaveOutcome run(SettingsSections sections)
    {
        if ((!sections.mailbox || saveMailbox()) && (!sections.timers || saveTimers()) &&
            (!sections.modem || saveModem())) {
            m_prompt.inform(QStringLiteral("Settings Saved Successfully!!!"));
            m_out.completed = true;
        }
        return m_out;
    }

private:
    bool refuse(const QString &field, const QString &message)
    {
        m_prompt.inform(message, Prompt::Icon::None);
        m_out.focusField = field;
        return false;
    }

    bool write(const QString &table, const QVariantMap &columns)
    {
        const Status written = m_repository.saveSingleRow(table, columns);
        if (!written) {
            m_prompt.inform(written.error, Prompt::Icon::Critical);
            return false;
        }
        return true;
    }

    bool saveMailbox()
    {
        const QString server = m_in.pop3MailServer.trimmed();
        const QString user = m_in.pop3UserName.trimmed();
        const QString password = m_in.pop3Password.trimmed();
        if (server.isEmpty())
            return refuse(QStringLiteral("Pop3MailServer"), QStringLiteral("Please Enter POP3 Mail Server Name / IP"));
        // Only a real port number may be stored: anything else would stop the next start-up.
        const auto port = wholeNumberIn(m_in.pop3Port, 1, 65535);
        if (!port)
            return refuse(QStringLiteral("Pop3Port"), QStringLiteral("Please Enter Numeric Port Number"));
        if (user.isEmpty())
            return refuse(QStringLiteral("POP3UserName"), QStringLiteral("Please Enter POP3 Username"));
        if (password.isEmpty())
            return refuse(QStringLiteral("POP3Password"), QStringLiteral("Please Enter POP3 Password"));
        const auto interval = plainNumber(m_in.emailCheckInterval);
        if (!interval)
            return refuse(QStringLiteral("EmailCheckInterval"),
                          QStringLiteral("Please Enter Numeric Email Checking Interval"));
        if (*interval < 3 || *interval > 86400)
            return refuse(QStringLiteral("EmailCheckInterval"),
                          QStringLiteral("Please insert seconds greater than or equal to 3 and less than or equal "
                                         "to 86400."));

        std::optional<qint64> maxSize;
        if (!m_in.maxEmailSizeKB.trimmed().isEmpty()) {
            maxSize = wholeNumberIn(m_in.maxEmailSizeKB, 1, kLargestMaxEmailSizeKB);
            if (!maxSize)
                return refuse(QStringLiteral("txtMaxEmailSizeKB"),
                              QStringLiteral("Please enter the largest email size to read in KB, from 1 to %1.")
                                  .arg(kLargestMaxEmailSizeKB));
        }

        const QVariant storedInterval = storedNumber(*interval);
        QVariantMap columns = {
            {QStringLiteral("POP3MailServer"), server},
            {QStringLiteral("POP3Port"), QVariant(qlonglong(*port))},
            {QStringLiteral("POP3UserName"), user},
            {QStringLiteral("POP3Password"), password},
            {QStringLiteral("EmailCheckInterval"), storedInterval},
            {QStringLiteral("IsEnabled"), sql::boolValue(m_in.webMailEnabled)},
            {QStringLiteral("IsPOP3ClearTextLoginAllowed"), sql::boolValue(m_in.pop3AllowClearTextLogin)}};
        if (maxSize)
            columns.insert(QStringLiteral("MaxEmailSizeKB"), QVariant(qlonglong(*maxSize)));
        if (!write(QStringLiteral("WebMailToSMS_POP3Settings"), columns))
            return false;

        RuntimeSettings &s = m_out.settings;
        s.POP3MailServer = server;
        s.POP3Port = QVariant(qlonglong(*port));
        s.POP3UserName = user;
        s.POP3Password = password;
        s.EmailCheckInterval = storedInterval.toString();
        s.WebMailToSMSEnabled = m_in.webMailEnabled;
        s.POP3AllowClearTextLogin = m_in.pop3AllowClearTextLogin;
        if (maxSize)
            s.MaxEmailSizeKB = *maxSize;
        s.webMailTimerMs = m_in.webMailEnabled ? qint64(std::llround(*interval * 1000.0)) : 0;
        m_out.anyWritten = true;
        return true;
    }

    // One seconds box at save time; the value when it may be stored.
    std::optional<double> seconds(const QString &text, const QString &field, SecondsBox box)
    {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            refuse(field, QStringLiteral("Please enter time in seconds."));
            return std::nullopt;
        }
        const auto value = plainNumber(t);
        if (!value) {
            refuse(field, QStringLiteral("Please enter numeric value."));
            return std::nullopt;
        }
        if (*value < 3) {
            refuse(field, box == SecondsBox::Receive
                              ? QStringLiteral("Automatically receive all messages time should be greater than or "
                                               "equal to 3.")
                              : QStringLiteral("Automatically send all messages time should be greater than or equal "
                                               "to 3."));
            return std::nullopt;
        }
        // A value that was stored by other means never went through the typing check.
        if (auto tooLong = secondsTypingMessage(t, box)) {
            refuse(field, *tooLong);
            return std::nullopt;
        }
        return value;
    }

    bool checkSmtpGateway()
    {
        const QString prefix = QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter ");
        if (m_in.smtpFromName.trimmed().isEmpty())
            return refuse(QStringLiteral("txtSMSSMTPFromName"), prefix + QStringLiteral("default From Name."));
        if (m_in.smtpServer.trimmed().isEmpty())
            return refuse(QStringLiteral("txtSMSSMTPServer"), prefix + QStringLiteral("SMTP server."));
        if (m_in.smtpPort.trimmed().isEmpty())
            return refuse(QStringLiteral("txtSMSSMTPPort"), prefix + QStringLiteral("your SMTP Server Port."));
        const QString address = m_in.smtpYourEmailAddress.trimmed();
        if (address.isEmpty())
            return refuse(QStringLiteral("txtSMSSMTPYourEmailAddress"),
                          prefix + QStringLiteral("your Email Address on SMTP Server."));
        if (!address.contains(QLatin1Char('@')))
            return refuse(QStringLiteral("txtSMSSMTPYourEmailAddress"),
                          QStringLiteral("Your Email Address on SMTP Server must contain '@' character."));
        return true;
    }

    bool saveTimers()
    {
        const auto receive = seconds(m_in.receiveSeconds, QStringLiteral("txttime"), SecondsBox::Receive);
        if (!receive)
            return false;
        const auto send = seconds(m_in.sendSeconds, QStringLiteral("txtSendmsgtime"), SecondsBox::Send);
        if (!send)
            return false;
        if (m_in.deliveryMedia == DeliveryMedium::SmtpGateway && !checkSmtpGateway())
            return false;
        // The port is kept as a 16-bit number by the engine; a wider or non-numeric one would
        // stop the next start-up, so it is refused here whatever the delivery option.
        std::optional<qint64> smtpPort;
        if (!m_in.smtpPort.trimmed().isEmpty()) {
            smtpPort = wholeNumberIn(m_in.smtpPort, 1, 32767);
            if (!smtpPort)
                return refuse(QStringLiteral("txtSMSSMTPPort"),
                              QStringLiteral("SMTP Port Number should be a number from 1 to 32767."));
        }
        if (m_in.deliveryMedia == DeliveryMedium::None)
            return refuse(QStringLiteral("OptSMSDeliveryModem"),
                          QStringLiteral("You must select atleast one SMS delivey media"));
        if (m_in.deliveryMedia == DeliveryMedium::MixMode) {
            m_prompt.inform(QStringLiteral("You have selected 'MIX MODE' as your SMS delivery option.\n"
                                           "Make sure that you have also filled in all the parameters for: \n"
                                           "1) Delivery through modem AND\n"
                                           "2) Delivery through SMTP SMS gateway\n"
                                           "All the values must have been filled otherwise this delivery method "
                                           "may not work properly."),
                            Prompt::Icon::None);
        }

        const QString fromName = m_in.smtpFromName.trimmed();
        const QString address = m_in.smtpYourEmailAddress.trimmed();
        const QString server = m_in.smtpServer.trimmed();
        const QString postfix = m_in.smtpEmailPostfix.trimmed();
        m_out.mixModeNumbers = normaliseMixModeNumbers(m_in.mixModeNumbers);

        QVariantMap columns = {
            {QStringLiteral("ReceiveAllMessagesTime"), storedNumber(*receive)},
            {QStringLiteral("SendAllMessagesTime"), storedNumber(*send)},
            {QStringLiteral("EnableReceiveTimer"), sql::boolValue(m_in.receiveEnabled)},
            {QStringLiteral("EnableSendTimer"), sql::boolValue(m_in.sendEnabled)},
            {QStringLiteral("SMSDeliveryMedia"), storedWord(m_in.deliveryMedia)},
            {QStringLiteral("SMSSMTPFromName"), fromName},
            {QStringLiteral("SMSSMTPYourEmailAddress"), address},
            {QStringLiteral("SMSSMTPServer"), server},
            {QStringLiteral("SMSSMTPPort"),
             smtpPort ? QVariant(qlonglong(*smtpPort)) : QVariant(QMetaType(QMetaType::LongLong))},
            {QStringLiteral("SMSSMTPEmailPostfix"), postfix},
            {QStringLiteral("IsFromNameSentByMaskingYourEmail"), sql::boolValue(m_in.maskYourEmail)},
            {QStringLiteral("MixModeMobileNumbers"), m_out.mixModeNumbers},
        };
        // A group with no option chosen keeps what is stored.
        if (m_in.simDeliveryMode != SimDeliveryMode::None)
            columns.insert(QStringLiteral("SIMCardDeliveryMode"), storedWord(m_in.simDeliveryMode));
        if (m_in.mixDeliveryMedia != DeliveryMedium::None)
            columns.insert(QStringLiteral("MixModeDeliveryMedia"), storedWord(m_in.mixDeliveryMedia));
        if (!write(QStringLiteral("Timer_Setting"), columns))
            return false;

        RuntimeSettings &s = m_out.settings;
        s.ReceiveIntervalSeconds = m_in.receiveEnabled ? qint16(std::nearbyint(*receive)) : qint16(0);
        s.SendIntervalSeconds = m_in.sendEnabled ? qint16(std::nearbyint(*send)) : qint16(0);
        s.SMSDeliveryMedia = m_in.deliveryMedia;
        s.SMSSMTPFromName = fromName;
        s.SMSSMTPYourEmailAddress = address;
        s.SMSSMTPServer = server;
        s.SMSSMTPPort = smtpPort ? qint16(*smtpPort) : qint16(0);
        s.SMSSMTPEmailPostfix = postfix;
        s.MixModeMobileNumbers = m_out.mixModeNumbers;
        s.MaskedEmailDomain = m_in.maskYourEmail ? maskedDomainOf(address) : QString();
        if (m_in.simDeliveryMode != SimDeliveryMode::None)
            s.SIMCardDeliveryMode = m_in.simDeliveryMode;
        if (m_in.mixDeliveryMedia != DeliveryMedium::None)
            s.MixModeDeliveryMedia = m_in.mixDeliveryMedia;
        m_out.anyWritten = true;
        return true;
    }

    bool saveModem()
    {
        const std::pair<const QString *, std::pair<const char *, const char *>> required[] = {
            {&m_in.commPort, {"Combo_comportNo", "Please select Comm port Number."}},
            {&m_in.bitsPerSecond, {"Combo_BitsPerSec", "Please select Bits Per Second."}},
            {&m_in.dataBits, {"Combo_DataBits", "Please select Data Bits."}},
            {&m_in.parity, {"Combo_Parity", "Please select Parity."}},
            {&m_in.stopBits, {"Combo_stopBit", "Please select Stop bits."}},
            {&m_in.flowControl, {"Cmb_FlowControl", "Please select Flow Control."}},
            {&m_in.characterSet, {"cmb_CharSet", "Please select Character set."}},
        };
        for (const auto &[value, check] : required) {
            if (value->trimmed().isEmpty())
                return refuse(QLatin1String(check.first), QLatin1String(check.second));
        }
        // A port is a number from the list or a device name; text with blanks or a number off
        // the list names no port the link could open.
        const QString port = m_in.commPort.trimmed();
        const bool numeric = !port.isEmpty() && port.at(0).isDigit();
        if ((numeric && !wholeNumberIn(port, 1, 20)) || port.contains(QLatin1Char(' ')))
            return refuse(QStringLiteral("Combo_comportNo"), QStringLiteral("Please select Comm port Number."));
        // The speed box takes typed values; only a usable line speed may reach the table.
        const auto speed = wholeNumberIn(m_in.bitsPerSecond, 1, 99999999);
        if (!speed)
            return refuse(QStringLiteral("Combo_BitsPerSec"), QStringLiteral("Please select Bits Per Second."));
        const auto delay = plainNumber(m_in.delayFactor);
        if (!delay || *delay <= 0)
            return refuse(QStringLiteral("cmbDelay"), missingDelayFactorMessage());

        if (m_in.speedFromFoundList && m_in.bitsPerSecond.trimmed() != QLatin1String("9600")) {
            if (!m_prompt.question(
                    QStringLiteral("You have changed the default settings for 'bits / seconds', this needs to "
                                   "restart(OFF & ON) your modem.\nDo you still want to save the settings?"))) {
                m_out.focusField = QStringLiteral("Combo_BitsPerSec");
                return false;
            }
        }
        m_out.speedQuestionDone = true;
        const QString format = smsformat::isPdu(m_in.smsFormat) ? smsformat::kPdu : smsformat::kText;

        if (!write(QStringLiteral("ModemSettings"),
                   {{QStringLiteral("CommPortNo"), m_in.commPort.trimmed()},
                    {QStringLiteral("BitsPerSecond"), QVariant(qlonglong(*speed))},
                    {QStringLiteral("DataBits"), storedNumber(m_in.dataBits.trimmed().toDouble())},
                    {QStringLiteral("Parity"), m_in.parity.trimmed()},
                    {QStringLiteral("StopBits"), m_in.stopBits.trimmed()},
                    {QStringLiteral("FlowControl"), m_in.flowControl.trimmed()},
                    {QStringLiteral("CharacterSet"), m_in.characterSet.trimmed()},
                    {QStringLiteral("EnabledCallerId"), sql::boolValue(m_in.callerId)},
                    {QStringLiteral("ModemDelayFactor"), storedNumber(*delay)},
                    {QStringLiteral("SMSFormat"), format},
                    {QStringLiteral("IsDeliveryReportRequested"), sql::boolValue(m_in.deliveryReports)}}))
            return false;
        m_out.settings.ModemDelayFactor = *delay;
        m_out.settings.PduMode = format == smsformat::kPdu;
        m_out.settings.DeliveryReportsRequested = m_in.deliveryReports;
        m_out.anyWritten = true;
        return true;
    }

    SettingsRepository &m_repository;
    Prompt &m_prompt;
    const SettingsInput &m_in;
    SettingsSaveOutcome m_out;
};

} // namespace

QString missingDelayFactorMessage()
{
    return QStringLiteral("Please select Modem Delay Factor.");
}

SettingsSaveOutcome saveSettings(SettingsRepository &repository, Prompt &prompt, const RuntimeSettings &current,
                                 const SettingsInput &input, SettingsSections sections)
{
    return SaveRun(repository, prompt, current, input).run(sections);
}

void chooseFoundModem(SettingsInput &input, const QString &port, bool pduMode)
{
    input.smsFormat = pduMode ? smsformat::kPdu : smsformat::kText;
    input.commPort = port.trimmed();
    input.bitsPerSecond = QLatin1String(kFoundModemSpeed);
    input.delayFactor = QLatin1String(kFoundModemDelayFactor);
    input.speedFromFoundList = true;
}

SettingsInput storedSettingsInput(const SettingsRows &rows)
{
    SettingsInput in;
    const auto text = [](const std::optional<QVariantMap> &row, const char *column) {
        return row ? row->value(QLatin1String(column)).toString().trimmed() : QString();
    };
    const auto flag = [](const std::optional<QVariantMap> &row, const char *column) {
        return row && sql::boolFrom(row->value(QLatin1String(column)));
    };
    const auto &pop3 = rows.pop3;
    in.pop3MailServer = text(pop3, "POP3MailServer");
    in.pop3Port = text(pop3, "POP3Port");
    in.pop3UserName = text(pop3, "POP3UserName");
    in.pop3Password = text(pop3, "POP3Password");
    in.emailCheckInterval = text(pop3, "EmailCheckInterval");
    in.webMailEnabled = flag(pop3, "IsEnabled");
    in.pop3AllowClearTextLogin = flag(pop3, "IsPOP3ClearTextLoginAllowed");
    in.maxEmailSizeKB = text(pop3, "MaxEmailSizeKB");
    if (in.maxEmailSizeKB.isEmpty())
        in.maxEmailSizeKB = QString::number(kDefaultMaxEmailSizeKB);

    const auto &timer = rows.timer;
    in.receiveSeconds = text(timer, "ReceiveAllMessagesTime");
    in.sendSeconds = text(timer, "SendAllMessagesTime");
    in.receiveEnabled = flag(timer, "EnableReceiveTimer");
    in.sendEnabled = flag(timer, "EnableSendTimer");
    in.deliveryMedia = deliveryMediumFrom(text(timer, "SMSDeliveryMedia"));
    in.simDeliveryMode = simDeliveryModeFrom(text(timer, "SIMCardDeliveryMode"));
    in.mixDeliveryMedia = deliveryMediumFrom(text(timer, "MixModeDeliveryMedia"));
    if (in.mixDeliveryMedia == DeliveryMedium::MixMode)
        in.mixDeliveryMedia = DeliveryMedium::None;
    in.smtpServer = text(timer, "SMSSMTPServer");
    in.smtpEmailPostfix = text(timer, "SMSSMTPEmailPostfix");
    in.smtpPort = text(timer, "SMSSMTPPort");
    in.smtpFromName = text(timer, "SMSSMTPFromName");
    in.smtpYourEmailAddress = text(timer, "SMSSMTPYourEmailAddress");
    in.maskYourEmail = flag(timer, "IsFromNameSentByMaskingYourEmail");
    in.mixModeNumbers = text(timer, "MixModeMobileNumbers");
    in.smtpLogin = storedAdvancedSmtpInput(timer);

    const auto &modem = rows.modem;
    if (!modem) {
        in.bitsPerSecond = QStringLiteral("9600");
        in.dataBits = QStringLiteral("8");
        in.parity = QStringLiteral("n");
        in.stopBits = QStringLiteral("1");
        in.flowControl = QStringLiteral("0");
        in.characterSet = QStringLiteral("GSM");
        in.delayFactor = QStringLiteral("1");
        in.smsFormat = smsformat::kPdu;
        return in;
    }
    in.commPort = text(modem, "CommPortNo");
    in.bitsPerSecond = text(modem, "BitsPerSecond");
    in.dataBits = text(modem, "DataBits");
    in.parity = text(modem, "Parity");
    in.stopBits = text(modem, "StopBits");
    in.flowControl = text(modem, "FlowControl");
    in.characterSet = text(modem, "CharacterSet");
    in.delayFactor = text(modem, "ModemDelayFactor");
    in.callerId = flag(modem, "EnabledCallerId");
    in.smsFormat = text(modem, "SMSFormat").toUpper() == smsformat::kText ? smsformat::kText : smsformat::kPdu;
    in.deliveryReports = flag(modem, "IsDeliveryReportRequested");
    return in;
}

Result<MissedCallReply> loadMissedCallReply(SettingsRepository &repository)
{
    auto row = repository.missedCallReply();
    if (!row)
        return Result<MissedCallReply>::failure(row.error());
    MissedCallReply reply;
    if (row.value()) {
        reply.message = row.value()->value(QStringLiteral("Message")).toString().trimmed();
        reply.enabled = sql::boolFrom(row.value()->value(QStringLiteral("IsActive")));
    }
    return reply;
}

Result<RuntimeSettings> saveMissedCallReply(SettingsRepository &repository, const RuntimeSettings &current,
                                            const MissedCallReply &reply)
{
    const QString message = reply.message.trimmed();
    const Status saved = repository.saveSingleRow(
        QStringLiteral("AutoReply_OnMissedCall"),
        {{QStringLiteral("Message"), message}, {QStringLiteral("IsActive"), sql::boolValue(reply.enabled)}});
    if (!saved)
        return Result<RuntimeSettings>::failure(saved.error);
    RuntimeSettings settings = current;
    settings.AutoReplyOnMissedCallEnabled = reply.enabled;
    settings.MissedCallReplyMessage = message;
    return settings;
}

AdvancedSmtpSaveOutcome saveAdvancedSmtpSettings(SettingsRepository &repository, Prompt &prompt,
                                                 const RuntimeSettings &current, const AdvancedSmtpInput &input)
{
    AdvancedSmtpSaveOutcome out;
    const QString user = input.userName.trimmed();
    const QString password = input.password.trimmed();
    if (user.isEmpty()) {
        prompt.inform(QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter your SMTP Username."));
        out.focusField = QStringLiteral("txtSMSSMTPUserName");
        return out;
    }
    if (password.isEmpty()) {
        prompt.inform(QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter your SMTP Password."));
        out.focusField = QStringLiteral("txtSMSSMTPPassword");
        return out;
    }

    const qint16 method = qint16(qMax(0, input.authenticationType));
    const bool encodeChosen = input.encodeType == 0 || input.encodeType == 1;
    QVariantMap columns = {
        {QStringLiteral("SMSSMTPUserName"), input.userName},
        {QStringLiteral("SMSSMTPPassword"), input.password},
        {QStringLiteral("IsSMSSMTPAuthenticationRequired"), sql::boolValue(input.authenticationRequired)},
        {QStringLiteral("IsSMTPClearTextLoginAllowed"), sql::boolValue(input.allowClearTextLogin)},
        {QStringLiteral("SMSSMTPAuthenticationType"), int(method)},
    };
    if (encodeChosen)
        columns.insert(QStringLiteral("SMSSMTPEncodeType"), input.encodeType);
    if (const Status written = repository.saveSingleRow(QStringLiteral("Timer_Setting"), columns); !written) {
        prompt.inform(written.error, Prompt::Icon::Critical);
        return out;
    }

    out.saved = true;
    out.settings = current;
    // The settings are read trimmed at start-up; the same values go to the engine now.
    out.settings.SMSSMTPUserName = user;
    out.settings.SMSSMTPPassword = password;
    out.settings.IsSMSSMTPAuthenticationRequired = input.authenticationRequired;
    out.settings.SMSSMTPAllowClearTextLogin = input.allowClearTextLogin;
    out.settings.SMSSMTPAuthenticationType = method;
    if (encodeChosen)
        out.settings.SMSSMTPEncodeType = qint16(input.encodeType);
    return out;
}

AdvancedSmtpInput storedAdvancedSmtpInput(const std::optional<QVariantMap> &timer)
{
    AdvancedSmtpInput in;
    if (!timer)
        return in;
    const QVariantMap &r = *timer;
    in.authenticationRequired = sql::boolFrom(r.value(QStringLiteral("IsSMSSMTPAuthenticationRequired")));
    in.allowClearTextLogin = sql::boolFrom(r.value(QStringLiteral("IsSMTPClearTextLoginAllowed")));
    const int method = r.value(QStringLiteral("SMSSMTPAuthenticationType")).toInt();
    in.authenticationType = method >= 0 && method <= 3 ? method : 0;
    in.userName = r.value(QStringLiteral("SMSSMTPUserName")).toString();
    in.password = r.value(QStringLiteral("SMSSMTPPassword")).toString();
    const QVariant encode = r.value(QStringLiteral("SMSSMTPEncodeType"));
    if (!encode.isNull() && (encode.toInt() == 0 || encode.toInt() == 1))
        in.encodeType = encode.toInt();
    return in;
}

} // namespace parlix

#include "config/SettingsColumns.h"

#include "config/RuntimeSettings.h"

#include <QLocale>

namespace parlix {

namespace {

enum class Section { Mailbox, Timers, Modem, SmtpLogin };

struct Column
{
    const char *name;
    Section section;
    QString SettingsInput::*text = nullptr;
    bool SettingsInput::*flag = nullptr;
    QStringList choices = {};      // stored forms the window offers; empty: any text
    const char *refusal = nullptr; // the window's message for a value off its list
    // For the option groups: takes the chosen word (one of choices).
    void (*choose)(SettingsInput &, const QString &) = nullptr;
    // The login columns the advanced SMTP window saves.
    QString AdvancedSmtpInput::*loginText = nullptr;
    bool AdvancedSmtpInput::*loginFlag = nullptr;
};

const QList<Column> &columns()
{
    using I = SettingsInput;
    static const QStringList delays = [] {
        QStringList out;
        for (int quarter = 4; quarter <= 16; ++quarter)
            out << QLocale::c().toString(quarter / 4.0, 'g', 15);
        return out;
    }();
    static const QList<Column> all = {
        {"POP3MailServer", Section::Mailbox, &I::pop3MailServer},
        {"POP3Port", Section::Mailbox, &I::pop3Port},
        {"POP3UserName", Section::Mailbox, &I::pop3UserName},
        {"POP3Password", Section::Mailbox, &I::pop3Password},
        {"EmailCheckInterval", Section::Mailbox, &I::emailCheckInterval},
        {"IsEnabled", Section::Mailbox, nullptr, &I::webMailEnabled},
        {"IsPOP3ClearTextLoginAllowed", Section::Mailbox, nullptr, &I::pop3AllowClearTextLogin},
        {"MaxEmailSizeKB", Section::Mailbox, &I::maxEmailSizeKB},

        {"ReceiveAllMessagesTime", Section::Timers, &I::receiveSeconds},
        {"SendAllMessagesTime", Section::Timers, &I::sendSeconds},
        {"EnableReceiveTimer", Section::Timers, nullptr, &I::receiveEnabled},
        {"EnableSendTimer", Section::Timers, nullptr, &I::sendEnabled},
        {"SMSDeliveryMedia",
         Section::Timers,
         nullptr,
         nullptr,
         {storedWord(DeliveryMedium::Modem), storedWord(DeliveryMedium::SmtpGateway),
          storedWord(DeliveryMedium::MixMode)},
         "You must select atleast one SMS delivey media",
         [](I &in, const QString &word) { in.deliveryMedia = deliveryMediumFrom(word); }},
        {"SIMCardDeliveryMode",
         Section::Timers,
         nullptr,
         nullptr,
         {storedWord(SimDeliveryMode::StoreAndDeliver), storedWord(SimDeliveryMode::DirectDeliver)},
         nullptr,
         [](I &in, const QString &word) { in.simDeliveryMode = simDeliveryModeFrom(word); }},
        {"MixModeDeliveryMedia",
         Section::Timers,
         nullptr,
         nullptr,
         {storedWord(DeliveryMedium::Modem), storedWord(DeliveryMedium::SmtpGateway)},
         nullptr,
         [](I &in, const QString &word) { in.mixDeliveryMedia = deliveryMediumFrom(word); }},
        {"SMSSMTPServer", Section::Timers, &I::smtpServer},
        {"SMSSMTPEmailPostfix", Section::Timers, &I::smtpEmailPostfix},
        {"SMSSMTPPort", Section::Timers, &I::smtpPort},
        {"SMSSMTPFromName", Section::Timers, &I::smtpFromName},
        {"SMSSMTPYourEmailAddress", Section::Timers, &I::smtpYourEmailAddress},
        {"IsFromNameSentByMaskingYourEmail", Section::Timers, nullptr, &I::maskYourEmail},
        {"MixModeMobileNumbers", Section::Timers, &I::mixModeNumbers},

        {"CommPortNo", Section::Modem, &I::commPort},
        {"BitsPerSecond", Section::Modem, &I::bitsPerSecond},
        {"DataBits", Section::Modem, &I::dataBits, nullptr, {"5", "6", "7", "8"}, "Please select Data Bits."},
        {"Parity", Section::Modem, &I::parity, nullptr, {"e", "o", "n", "m", "s"}, "Please select Parity."},
        {"StopBits", Section::Modem, &I::stopBits, nullptr, {"1", "1.5", "2"}, "Please select Stop bits."},
        {"FlowControl", Section::Modem, &I::flowControl, nullptr, {"0", "1", "2"}, "Please select Flow Control."},
        {"CharacterSet",
         Section::Modem,
         &I::characterSet,
         nullptr,
         {"ANSI", "ASCII", "GSM"},
         "Please select Character set."},
        {"EnabledCallerId", Section::Modem, nullptr, &I::callerId},
        {"SMSFormat", Section::Modem, &I::smsFormat, nullptr, {smsformat::kText, smsformat::kPdu}},
        {"IsDeliveryReportRequested", Section::Modem, nullptr, &I::deliveryReports},
        {"ModemDelayFactor", Section::Modem, &I::delayFactor, nullptr, delays},

        {.name = "SMSSMTPUserName", .section = Section::SmtpLogin, .loginText = &AdvancedSmtpInput::userName},
        {.name = "SMSSMTPPassword", .section = Section::SmtpLogin, .loginText = &AdvancedSmtpInput::password},
        {.name = "IsSMSSMTPAuthenticationRequired",
         .section = Section::SmtpLogin,
         .loginFlag = &AdvancedSmtpInput::authenticationRequired},
        {.name = "IsSMTPClearTextLoginAllowed",
         .section = Section::SmtpLogin,
         .loginFlag = &AdvancedSmtpInput::allowClearTextLogin},
        {"SMSSMTPAuthenticationType",
         Section::SmtpLogin,
         nullptr,
         nullptr,
         {"0", "1", "2", "3"},
         nullptr,
         [](I &in, const QString &position) { in.smtpLogin.authenticationType = position.toInt(); }},
        {"SMSSMTPEncodeType",
         Section::SmtpLogin,
         nullptr,
         nullptr,
         {"0", "1"},
         nullptr,
         [](I &in, const QString &position) { in.smtpLogin.encodeType = position.toInt(); }},
    };
    return all;
}

std::optional<bool> flagValue(const QString &value)
{
    const QString v = value.trimmed().toLower();
    if (v == QLatin1String("1") || v == QLatin1String("true") || v == QLatin1String("yes"))
        return true;
    if (v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("no"))
        return false;
    return std::nullopt;
}

// The choice as the list holds it; numbers compared as numbers ("2.50" is "2.5").
std::optional<QString> choiceValue(const QString &value, const QStringList &choices)
{
    const QString v = value.trimmed();
    bool isNumber = false;
    const double number = QLocale::c().toDouble(v, &isNumber);
    for (const QString &choice : choices) {
        if (choice.compare(v, Qt::CaseInsensitive) == 0)
            return choice;
        bool choiceIsNumber = false;
        if (isNumber && QLocale::c().toDouble(choice, &choiceIsNumber) == number && choiceIsNumber)
            return choice;
    }
    return std::nullopt;
}

} // namespace

QStringList settableColumns()
{
    QStringList names;
    for (const Column &c : columns())
        names << QLatin1String(c.name);
    return names;
}

Status applySetting(SettingsInput &input, SettingsSections &sections, const QString &column, const QString &value)
{
    const Column *found = nullptr;
    for (const Column &c : columns()) {
        if (column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            found = &c;
    }
    if (found == nullptr)
        return Status::failure(QStringLiteral("%1 is not a setting. Settings: %2")
                                   .arg(column, settableColumns().join(QStringLiteral(", "))));
    if (found->flag != nullptr || found->loginFlag != nullptr) {
        const auto on = flagValue(value);
        if (!on)
            return Status::failure(QStringLiteral("%1 takes 1 (yes) or 0 (no).").arg(QLatin1String(found->name)));
        (found->flag != nullptr ? input.*found->flag : input.smtpLogin.*found->loginFlag) = *on;
    } else if (!found->choices.isEmpty()) {
        const auto choice = choiceValue(value, found->choices);
        if (!choice)
            return Status::failure(
                found->refusal != nullptr ? QString::fromLatin1(found->refusal)
                : found->section == Section::Modem // the delay factor
                    ? missingDelayFactorMessage()
                    : QStringLiteral("%1 takes one of: %2")
                          .arg(QLatin1String(found->name), found->choices.join(QStringLiteral(", "))));
        if (found->choose != nullptr)
            found->choose(input, *choice);
        else
            input.*found->text = *choice;
    } else if (found->loginText != nullptr) {
        input.smtpLogin.*found->loginText = value;
    } else {
        input.*found->text = value;
    }
    switch (found->section) {
    case Section::Mailbox:
        sections.mailbox = true;
        break;
    case Section::Timers:
        sections.timers = true;
        break;
    case Section::Modem:
        sections.modem = true;
        break;
    case Section::SmtpLogin:
        sections.smtpLogin = true;
        break;
    }
    return Status::success();
}

QStringList settingsShowLines(const SettingsRows &rows)
{
    QStringList lines;
    const std::pair<const char *, const std::optional<QVariantMap> *> tables[] = {
        {"ModemSettings", &rows.modem},
        {"Timer_Setting", &rows.timer},
        {"WebMailToSMS_POP3Settings", &rows.pop3},
    };
    for (const auto &[table, row] : tables) {
        if (!*row) {
            lines << QStringLiteral("%1: no row yet").arg(QLatin1String(table));
            continue;
        }
        for (auto it = (*row)->cbegin(); it != (*row)->cend(); ++it) {
            QString value = it.value().isNull() ? QStringLiteral("(empty)") : it.value().toString();
            if (it.key().contains(QLatin1String("Password"), Qt::CaseInsensitive) && !it.value().toString().isEmpty())
                value = QStringLiteral("********");
            lines << QStringLiteral("%1.%2 = %3").arg(QLatin1String(table), it.key(), value);
        }
    }
    return lines;
}

} // namespace parlix

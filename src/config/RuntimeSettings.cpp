#include "config/RuntimeSettings.h"

#include "store/SqlDialect.h"

#include <cmath>

namespace parlix {

namespace {

const QString kPop3Table = QStringLiteral("WebMailToSMS_POP3Settings");
const QString kTimerTable = QStringLiteral("Timer_Setting");
const QString kMissedTable = QStringLiteral("AutoReply_OnMissedCall");
const QString kModemTable = QStringLiteral("ModemSettings");

QString shown(const QVariant &value)
{
    return value.isNull() ? QStringLiteral("(null)") : QStringLiteral("\"%1\"").arg(value.toString());
}

QString failureText(const QString &table, const QString &column, const QVariant &value, const QString &why)
{
    return QStringLiteral("The setting %1.%2 holds %3: %4").arg(table, column, shown(value), why);
}

Result<double> toNumber(const QVariant &value, const QString &table, const QString &column)
{
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return Result<double>::failure(failureText(table, column, value, QStringLiteral("it is not a number.")));
    return number;
}

QString trimmed(const QVariantMap &row, const char *column)
{
    return row.value(QLatin1String(column)).toString().trimmed();
}

bool isNullOrEmpty(const QVariant &v)
{
    return v.isNull() || v.toString().trimmed().isEmpty();
}

Status requireNotNull(const QVariantMap &row, const char *column)
{
    if (row.value(QLatin1String(column)).isNull())
        return Status::failure(
            failureText(kPop3Table, QLatin1String(column), QVariant(), QStringLiteral("a value is required.")));
    return Status::success();
}

Status loadPop3(const QVariantMap &row, RuntimeSettings &s)
{
    for (const char *column : {"POP3MailServer", "POP3Password", "EmailCheckInterval", "IsEnabled"}) {
        if (Status st = requireNotNull(row, column); !st)
            return st;
    }
    s.POP3MailServer = trimmed(row, "POP3MailServer");
    const QVariant port = row.value(QStringLiteral("POP3Port"));
    s.POP3Port = port.typeId() == QMetaType::QString ? QVariant(port.toString().trimmed()) : port;
    const QVariant user = row.value(QStringLiteral("POP3UserName"));
    s.POP3UserName = user.typeId() == QMetaType::QString ? QVariant(user.toString().trimmed()) : user;
    s.POP3Password = trimmed(row, "POP3Password");
    s.EmailCheckInterval = trimmed(row, "EmailCheckInterval");
    s.WebMailToSMSEnabled = sql::boolFrom(row.value(QStringLiteral("IsEnabled")));
    if (s.WebMailToSMSEnabled) {
        auto seconds = toNumber(s.EmailCheckInterval, kPop3Table, QStringLiteral("EmailCheckInterval"));
        if (!seconds)
            return seconds.status();
        const double ms = std::round(seconds.value() * 1000.0);
        if (ms <= 0 || ms > 2147483647.0)
            return Status::failure(failureText(kPop3Table, QStringLiteral("EmailCheckInterval"), s.EmailCheckInterval,
                                               QStringLiteral("it is not a usable number of seconds.")));
        s.webMailTimerMs = qint64(ms);
    }
    return Status::success();
}

Status loadTimerDelivery(const QVariantMap &row, RuntimeSettings &s)
{
    s.SMSDeliveryMedia = deliveryMediumFrom(row.value(QStringLiteral("SMSDeliveryMedia")).toString());
    if (s.SMSDeliveryMedia == DeliveryMedium::MixMode) {
        s.MixModeMobileNumbers = normaliseMixModeNumbers(row.value(QStringLiteral("MixModeMobileNumbers")).toString());
        const DeliveryMedium mix = deliveryMediumFrom(row.value(QStringLiteral("MixModeDeliveryMedia")).toString());
        s.MixModeDeliveryMedia = mix == DeliveryMedium::MixMode ? DeliveryMedium::None : mix;
    }
    s.IsSMSSMTPAuthenticationRequired = sql::boolFrom(row.value(QStringLiteral("IsSMSSMTPAuthenticationRequired")));
    s.SMSSMTPAllowClearTextLogin = sql::boolFrom(row.value(QStringLiteral("IsSMTPClearTextLoginAllowed")));

    const auto loadText = [&](const char *column, QString &field) {
        const QString v = trimmed(row, column);
        if (!v.isEmpty())
            field = v;
    };
    loadText("SMSSMTPFromName", s.SMSSMTPFromName);
    loadText("SMSSMTPYourEmailAddress", s.SMSSMTPYourEmailAddress);
    loadText("SMSSMTPServer", s.SMSSMTPServer);
    const QVariant port = row.value(QStringLiteral("SMSSMTPPort"));
    if (!isNullOrEmpty(port)) {
        auto p = toInt16(port, kTimerTable, QStringLiteral("SMSSMTPPort"));
        if (!p)
            return p.status();
        s.SMSSMTPPort = p.value();
    }
    loadText("SMSSMTPUserName", s.SMSSMTPUserName);
    loadText("SMSSMTPPassword", s.SMSSMTPPassword);
    loadText("SMSSMTPEmailPostfix", s.SMSSMTPEmailPostfix);
    s.MaskedEmailDomain = sql::boolFrom(row.value(QStringLiteral("IsFromNameSentByMaskingYourEmail")))
                              ? maskedDomainOf(s.SMSSMTPYourEmailAddress)
                              : QString();
    for (auto [column, field] : {std::pair{"SMSSMTPEncodeType", &s.SMSSMTPEncodeType},
                                 std::pair{"SMSSMTPAuthenticationType", &s.SMSSMTPAuthenticationType}}) {
        const QVariant v = row.value(QLatin1String(column));
        if (v.isNull())
            continue;
        auto n = toInt16(v, kTimerTable, QLatin1String(column));
        if (!n)
            return n.status();
        *field = n.value();
    }
    s.SIMCardDeliveryMode = simDeliveryModeFrom(row.value(QStringLiteral("SIMCardDeliveryMode")).toString());
    return Status::success();
}

Status loadTimerPeriods(const QVariantMap &row, RuntimeSettings &s)
{
    for (auto [enable, column, field] :
         {std::tuple{"EnableReceiveTimer", "ReceiveAllMessagesTime", &s.ReceiveIntervalSeconds},
          std::tuple{"EnableSendTimer", "SendAllMessagesTime", &s.SendIntervalSeconds}}) {
        *field = 0;
        if (!sql::boolFrom(row.value(QLatin1String(enable))))
            continue;
        auto n = toInt16(row.value(QLatin1String(column)), kTimerTable, QLatin1String(column));
        if (!n)
            return n.status();
        *field = n.value();
    }
    return Status::success();
}

} // namespace

QString normaliseMixModeNumbers(const QString &stored)
{
    QString s = stored.trimmed();
    s.remove(QLatin1Char('+'));
    s.remove(QLatin1Char(' '));
    s.replace(QLatin1Char(';'), QLatin1Char(','));
    return s;
}

QString maskedDomainOf(const QString &address)
{
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    return at < 0 ? address : address.mid(at + 1);
}

Result<qint16> toInt16(const QVariant &value, const QString &table, const QString &column)
{
    auto number = toNumber(value, table, column);
    if (!number)
        return Result<qint16>::failure(number.error());
    // Halves go to the even neighbour, as the stored settings were always converted.
    const double rounded = std::nearbyint(number.value());
    if (rounded < -32768.0 || rounded > 32767.0)
        return Result<qint16>::failure(
            failureText(table, column, value, QStringLiteral("the number is outside -32768 to 32767.")));
    return qint16(rounded);
}

namespace {

const std::pair<DeliveryMedium, const char *> kMediumWords[] = {
    {DeliveryMedium::Modem, "MODEM"},
    {DeliveryMedium::SmtpGateway, "SMTPSMSGATEWAY"},
    {DeliveryMedium::MixMode, "MIXMODE"},
};
const std::pair<SimDeliveryMode, const char *> kSimModeWords[] = {
    {SimDeliveryMode::DirectDeliver, "DIRECT DELIVER"},
    {SimDeliveryMode::StoreAndDeliver, "STORE AND DELIVER"},
};

template <typename Enum, size_t N> QString wordOf(Enum value, const std::pair<Enum, const char *> (&words)[N])
{
    for (const auto &[e, word] : words) {
        if (e == value)
            return QString::fromLatin1(word);
    }
    return {};
}

template <typename Enum, size_t N> Enum valueOf(const QString &stored, const std::pair<Enum, const char *> (&words)[N])
{
    const QString word = stored.trimmed();
    for (const auto &[e, w] : words) {
        if (word.compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return e;
    }
    return Enum::None;
}

} // namespace

QString storedWord(DeliveryMedium medium)
{
    return wordOf(medium, kMediumWords);
}

QString storedWord(SimDeliveryMode mode)
{
    return wordOf(mode, kSimModeWords);
}

DeliveryMedium deliveryMediumFrom(const QString &stored)
{
    return valueOf(stored, kMediumWords);
}

SimDeliveryMode simDeliveryModeFrom(const QString &stored)
{
    return valueOf(stored, kSimModeWords);
}

Result<RuntimeSettings> loadRuntimeSettings(const SettingsRows &rows)
{
    RuntimeSettings s;
    if (rows.pop3) {
        if (Status st = loadPop3(*rows.pop3, s); !st)
            return Result<RuntimeSettings>::failure(st.error);
    }
    if (rows.timer) {
        if (Status st = loadTimerDelivery(*rows.timer, s); !st)
            return Result<RuntimeSettings>::failure(st.error);
    }
    if (rows.missedCallActive) {
        s.AutoReplyOnMissedCallEnabled = true;
        s.MissedCallReplyMessage = rows.missedCallActive->value(QStringLiteral("Message")).toString().trimmed();
    }
    if (rows.modem) {
        const QVariant factor = rows.modem->value(QStringLiteral("ModemDelayFactor"));
        if (!isNullOrEmpty(factor)) {
            auto f = toNumber(factor, kModemTable, QStringLiteral("ModemDelayFactor"));
            if (!f)
                return Result<RuntimeSettings>::failure(f.error());
            s.ModemDelayFactor = f.value();
        }
        s.PduMode = rows.modem->value(QStringLiteral("SMSFormat")).toString().trimmed().toUpper() != smsformat::kText;
        s.DeliveryReportsRequested = sql::boolFrom(rows.modem->value(QStringLiteral("IsDeliveryReportRequested")));
        const QVariant wait = rows.modem->value(QStringLiteral("PartsWaitHours"));
        if (!isNullOrEmpty(wait)) {
            auto hours = toNumber(wait, kModemTable, QStringLiteral("PartsWaitHours"));
            if (!hours)
                return Result<RuntimeSettings>::failure(hours.error());
            if (hours.value() > 0)
                s.PartsWaitHours = hours.value();
        }
    }
    if (rows.timer) {
        if (Status st = loadTimerPeriods(*rows.timer, s); !st)
            return Result<RuntimeSettings>::failure(st.error);
    }
    s.RecordsPerPage = 100;
    return s;
}

} // namespace parlix

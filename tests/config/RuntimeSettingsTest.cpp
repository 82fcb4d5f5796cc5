#include "config/RuntimeSettings.h"

#include <gtest/gtest.h>

using namespace parlix;

namespace {

QVariantMap pop3Row(QVariantMap overrides = {})
{
    QVariantMap row{{"POP3MailServer", " pop.example.com "},
                    {"POP3Port", 110},
                    {"POP3UserName", " gw "},
                    {"POP3Password", " s3cret "},
                    {"EmailCheckInterval", 30},
                    {"IsEnabled", 1}};
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
        row[it.key()] = it.value();
    return row;
}

QVariantMap timerRow(QVariantMap overrides = {})
{
    QVariantMap row{{"ReceiveAllMessagesTime", 10},
                    {"SendAllMessagesTime", 20},
                    {"EnableReceiveTimer", 1},
                    {"EnableSendTimer", 1},
                    {"SMSDeliveryMedia", "MODEM"},
                    {"SIMCardDeliveryMode", "DIRECT DELIVER"},
                    {"IsFromNameSentByMaskingYourEmail", 0},
                    {"IsSMSSMTPAuthenticationRequired", 0}};
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
        row[it.key()] = it.value();
    return row;
}

RuntimeSettings load(const SettingsRows &rows)
{
    auto r = loadRuntimeSettings(rows);
    EXPECT_TRUE(r.ok()) << r.error().toStdString();
    return r.ok() ? r.value() : RuntimeSettings{};
}

QString failure(const SettingsRows &rows)
{
    auto r = loadRuntimeSettings(rows);
    EXPECT_FALSE(r.ok());
    return r.ok() ? QString() : r.error();
}

const QVariant kNull = QVariant(QMetaType(QMetaType::QString));

} // namespace

TEST(RuntimeSettingsLoad, Pop3ValuesAreTrimmedAndTheTimerPeriodFollowsTheInterval)
{
    SettingsRows rows;
    rows.pop3 = pop3Row();
    RuntimeSettings s = load(rows);
    EXPECT_EQ(s.POP3MailServer, "pop.example.com");
    EXPECT_EQ(s.POP3UserName.toString(), "gw");
    EXPECT_EQ(s.POP3Password, "s3cret");
    EXPECT_EQ(s.POP3Port.toInt(), 110);
    EXPECT_TRUE(s.WebMailToSMSEnabled);
    EXPECT_EQ(s.webMailTimerMs, 30000);

    rows.pop3 = pop3Row({{"EmailCheckInterval", " 600 "}});
    EXPECT_EQ(load(rows).webMailTimerMs, 600000);
    rows.pop3 = pop3Row({{"EmailCheckInterval", "2.5"}});
    EXPECT_EQ(load(rows).webMailTimerMs, 2500);

    rows.pop3 = pop3Row({{"IsEnabled", 0}, {"EmailCheckInterval", "soon"}});
    s = load(rows);
    EXPECT_FALSE(s.WebMailToSMSEnabled);
    EXPECT_EQ(s.webMailTimerMs, 0);
}

TEST(RuntimeSettingsLoad, DeliveryWordsAreReadIgnoringCaseAndOnlyKnownOnesKept)
{
    SettingsRows rows;
    const QList<std::pair<QString, DeliveryMedium>> cases = {
        {"smtpsmsgateway", DeliveryMedium::SmtpGateway},
        {" Modem ", DeliveryMedium::Modem},
        {"mixmode", DeliveryMedium::MixMode},
        {"PIGEON", DeliveryMedium::None},
        {"", DeliveryMedium::None},
    };
    for (const auto &[stored, loaded] : cases) {
        rows.timer = timerRow({{"SMSDeliveryMedia", stored}});
        EXPECT_EQ(load(rows).SMSDeliveryMedia, loaded) << stored.toStdString();
        // What is written back is the word the next load reads as the same medium.
        EXPECT_EQ(deliveryMediumFrom(storedWord(loaded)), loaded);
    }
    rows.timer = timerRow({{"SIMCardDeliveryMode", "store and deliver "}});
    EXPECT_EQ(load(rows).SIMCardDeliveryMode, SimDeliveryMode::StoreAndDeliver);
    rows.timer = timerRow({{"SIMCardDeliveryMode", "deliver later"}});
    EXPECT_EQ(load(rows).SIMCardDeliveryMode, SimDeliveryMode::None);
}

TEST(RuntimeSettingsLoad, MixModeFieldsOnlyInMixMode)
{
    SettingsRows rows;
    rows.timer = timerRow({{"SMSDeliveryMedia", "MIXMODE"},
                           {"MixModeMobileNumbers", " +91937; 922 "},
                           {"MixModeDeliveryMedia", "smtpsmsgateway"}});
    RuntimeSettings s = load(rows);
    EXPECT_EQ(s.MixModeMobileNumbers, "91937,922");
    EXPECT_EQ(s.MixModeDeliveryMedia, DeliveryMedium::SmtpGateway);

    rows.timer = timerRow({{"SMSDeliveryMedia", "MIXMODE"}, {"MixModeDeliveryMedia", "MIXMODE"}});
    EXPECT_EQ(load(rows).MixModeDeliveryMedia, DeliveryMedium::None);

    rows.timer = timerRow(
        {{"SMSDeliveryMedia", "MODEM"}, {"MixModeMobileNumbers", "+91937; 922"}, {"MixModeDeliveryMedia", "MODEM"}});
    s = load(rows);
    EXPECT_EQ(s.MixModeMobileNumbers, "");
    EXPECT_EQ(s.MixModeDeliveryMedia, DeliveryMedium::None);
}

TEST(RuntimeSettingsLoad, SmtpTextsKeepDefaultsWhenEmptyAndTheDomainIsMasked)
{
    SettingsRows rows;
    rows.timer = timerRow({{"SMSSMTPFromName", "  Front Desk "},
                           {"SMSSMTPYourEmailAddress", "me@mail@example.com"},
                           {"SMSSMTPServer", kNull},
                           {"SMSSMTPPort", " 587 "},
                           {"SMSSMTPUserName", "   "},
                           {"IsFromNameSentByMaskingYourEmail", 1},
                           {"IsSMSSMTPAuthenticationRequired", 1},
                           {"SMSSMTPAuthenticationType", 2},
                           {"SMSSMTPEncodeType", kNull}});
    RuntimeSettings s = load(rows);
    EXPECT_EQ(s.SMSSMTPFromName, "Front Desk");
    EXPECT_EQ(s.SMSSMTPServer, "");
    EXPECT_EQ(s.SMSSMTPUserName, "");
    EXPECT_EQ(s.SMSSMTPPort, 587);
    EXPECT_EQ(s.MaskedEmailDomain, "mail@example.com"); // everything after the first "@"
    EXPECT_TRUE(s.IsSMSSMTPAuthenticationRequired);
    EXPECT_EQ(s.SMSSMTPAuthenticationType, 2);
    EXPECT_EQ(s.SMSSMTPEncodeType, 0);

    rows.timer = timerRow({{"SMSSMTPYourEmailAddress", "nodomain"}, {"IsFromNameSentByMaskingYourEmail", 1}});
    EXPECT_EQ(load(rows).MaskedEmailDomain, "nodomain");
    rows.timer = timerRow({{"SMSSMTPYourEmailAddress", "me@example.com"}, {"IsFromNameSentByMaskingYourEmail", 0}});
    EXPECT_EQ(load(rows).MaskedEmailDomain, "");
}

TEST(RuntimeSettingsLoad, ClearTextLoginIsAllowedOnlyWhenTheColumnHoldsTrue)
{
    SettingsRows rows;
    rows.timer = timerRow(); // a row from before the column existed
    EXPECT_FALSE(load(rows).SMSSMTPAllowClearTextLogin);
    const QList<std::pair<QVariant, bool>> cases = {
        {1, true}, {true, true}, {" yes ", true}, {0, false}, {kNull, false}, {"no", false}, {"", false},
    };
    for (const auto &[stored, allowed] : cases) {
        rows.timer = timerRow({{"IsSMTPClearTextLoginAllowed", stored}});
        EXPECT_EQ(load(rows).SMSSMTPAllowClearTextLogin, allowed) << stored.toString().toStdString();
    }
}

TEST(RuntimeSettingsLoad, TimerPeriodsOnlyWhenTheirTimerIsEnabled)
{
    SettingsRows rows;
    rows.timer = timerRow({{"EnableSendTimer", 0}, {"SendAllMessagesTime", 45}, {"ReceiveAllMessagesTime", " 12 "}});
    RuntimeSettings s = load(rows);
    EXPECT_EQ(s.SendIntervalSeconds, 0);
    EXPECT_EQ(s.ReceiveIntervalSeconds, 12);

    rows.timer = timerRow({{"EnableSendTimer", 0}, {"SendAllMessagesTime", "not a number"}});
    EXPECT_EQ(load(rows).SendIntervalSeconds, 0); // not converted, so no failure
}

TEST(RuntimeSettingsLoad, MissedCallReplyAndDelayFactor)
{
    SettingsRows rows;
    rows.missedCallActive = QVariantMap{{"Message", "  Sorry we missed you  "}, {"IsActive", 1}};
    rows.modem = QVariantMap{{"ModemDelayFactor", 2}};
    RuntimeSettings s = load(rows);
    EXPECT_TRUE(s.AutoReplyOnMissedCallEnabled);
    EXPECT_EQ(s.MissedCallReplyMessage, "Sorry we missed you");
    EXPECT_DOUBLE_EQ(s.ModemDelayFactor, 2.0);

    rows.missedCallActive = QVariantMap{{"Message", kNull}, {"IsActive", 1}};
    rows.modem = QVariantMap{{"ModemDelayFactor", " "}};
    s = load(rows);
    EXPECT_TRUE(s.AutoReplyOnMissedCallEnabled);
    EXPECT_EQ(s.MissedCallReplyMessage, "");
    EXPECT_DOUBLE_EQ(s.ModemDelayFactor, 1.0);
}

TEST(RuntimeSettingsLoad, SixteenBitConversionRoundsHalvesToEvenAndRefusesOverflow)
{
    const QList<std::pair<QVariant, int>> good = {{"2.5", 2}, {"3.5", 4}, {"-7", -7}, {"32767", 32767}, {" 25 ", 25}};
    for (const auto &[value, expected] : good) {
        auto r = toInt16(value, "Timer_Setting", "SMSSMTPPort");
        ASSERT_TRUE(r.ok()) << value.toString().toStdString();
        EXPECT_EQ(r.value(), expected);
    }
    EXPECT_FALSE(toInt16("32768", "T", "C").ok());
    EXPECT_FALSE(toInt16("-32769", "T", "C").ok());
    EXPECT_FALSE(toInt16("", "T", "C").ok());
}

TEST(RuntimeSettingsLoad, FailuresNameTableColumnAndValue)
{
    struct Case
    {
        SettingsRows rows;
        QString expected;
    };
    const auto pop3 = [](QVariantMap overrides) {
        SettingsRows rows;
        rows.pop3 = pop3Row(std::move(overrides));
        return rows;
    };
    const auto timer = [](QVariantMap overrides) {
        SettingsRows rows;
        rows.timer = timerRow(std::move(overrides));
        return rows;
    };
    SettingsRows badFactor;
    badFactor.modem = QVariantMap{{"ModemDelayFactor", "slow"}};
    const QList<Case> cases = {
        {pop3({{"POP3Password", kNull}}), "WebMailToSMS_POP3Settings.POP3Password holds (null)"},
        {pop3({{"IsEnabled", QVariant()}}), "WebMailToSMS_POP3Settings.IsEnabled holds (null)"},
        {pop3({{"EmailCheckInterval", "soon"}}),
         "WebMailToSMS_POP3Settings.EmailCheckInterval holds \"soon\": it is not a number."},
        {timer({{"SMSSMTPPort", 70000}}),
         "Timer_Setting.SMSSMTPPort holds \"70000\": the number is outside -32768 to 32767."},
        {timer({{"ReceiveAllMessagesTime", "ten"}}),
         "Timer_Setting.ReceiveAllMessagesTime holds \"ten\": it is not a number."},
        {badFactor, "ModemSettings.ModemDelayFactor holds \"slow\": it is not a number."},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(failure(c.rows).contains(c.expected)) << failure(c.rows).toStdString();

    // These two keep whatever is stored, null included.
    EXPECT_TRUE(loadRuntimeSettings(pop3({{"POP3Port", kNull}, {"POP3UserName", kNull}})).ok());
}

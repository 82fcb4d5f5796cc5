#include "config/RuntimeSettings.h"

#include <gtest/gtest.h>

#include <functional>

using namespace parlix;

namespace {

const QVariant kNull = QVariant(QMetaType(QMetaType::QString));

QVariantMap withOverrides(QVariantMap row, const QVariantMap &overrides)
{
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
        row[it.key()] = it.value();
    return row;
}

SettingsRows pop3(const QVariantMap &overrides = {})
{
    SettingsRows rows;
    rows.pop3 = withOverrides({{"POP3MailServer", " pop.example.com "},
                               {"POP3Port", 110},
                               {"POP3UserName", " gw "},
                               {"POP3Password", " s3cret "},
                               {"EmailCheckInterval", 30},
                               {"IsEnabled", 1}},
                              overrides);
    return rows;
}

SettingsRows timer(const QVariantMap &overrides = {})
{
    SettingsRows rows;
    rows.timer = withOverrides({{"ReceiveAllMessagesTime", 10},
                                {"SendAllMessagesTime", 20},
                                {"EnableReceiveTimer", 1},
                                {"EnableSendTimer", 1},
                                {"SMSDeliveryMedia", "MODEM"},
                                {"SIMCardDeliveryMode", "DIRECT DELIVER"},
                                {"IsFromNameSentByMaskingYourEmail", 0},
                                {"IsSMSSMTPAuthenticationRequired", 0}},
                               overrides);
    return rows;
}

SettingsRows missedCallAndModem(const QVariant &message, const QVariant &delayFactor)
{
    SettingsRows rows;
    rows.missedCallActive = QVariantMap{{"Message", message}, {"IsActive", 1}};
    rows.modem = QVariantMap{{"ModemDelayFactor", delayFactor}};
    return rows;
}

// The field's name, for the trace, and how to read it.
#define FIELD(member) #member, [](const RuntimeSettings &s) { return QVariant::fromValue(s.member); }

} // namespace

// Each row as stored, and the value the engine then reads: texts trimmed, numbers converted,
// stored words read ignoring case, and fields that only count in one mode left empty otherwise.
TEST(RuntimeSettingsLoad, StoredValuesBecomeWhatTheEngineReads)
{
    struct Case
    {
        SettingsRows rows;
        const char *field;
        std::function<QVariant(const RuntimeSettings &)> read;
        QVariant expected;
    };
    const QVariant smtp = QVariant::fromValue(DeliveryMedium::SmtpGateway);
    const QVariant none = QVariant::fromValue(DeliveryMedium::None);
    const QVariantMap masked = {{"IsFromNameSentByMaskingYourEmail", 1}};
    const Case cases[] = {
        {pop3(), FIELD(POP3MailServer), "pop.example.com"},
        {pop3(), FIELD(POP3UserName), "gw"},
        {pop3(), FIELD(POP3Password), "s3cret"},
        {pop3({{"EmailCheckInterval", " 600 "}}), FIELD(webMailTimerMs), 600000},
        {pop3({{"EmailCheckInterval", "2.5"}}), FIELD(webMailTimerMs), 2500},
        {pop3({{"IsEnabled", 0}, {"EmailCheckInterval", "soon"}}), FIELD(webMailTimerMs), 0},
        // These two keep whatever is stored, null included.
        {pop3({{"POP3Port", kNull}}), FIELD(POP3Port), kNull},
        {pop3({{"POP3UserName", kNull}}), FIELD(POP3UserName), kNull},

        {timer({{"SMSDeliveryMedia", "smtpsmsgateway"}}), FIELD(SMSDeliveryMedia), smtp},
        {timer({{"SMSDeliveryMedia", " Modem "}}), FIELD(SMSDeliveryMedia), QVariant::fromValue(DeliveryMedium::Modem)},
        {timer({{"SMSDeliveryMedia", "mixmode"}}), FIELD(SMSDeliveryMedia),
         QVariant::fromValue(DeliveryMedium::MixMode)},
        {timer({{"SMSDeliveryMedia", "PIGEON"}}), FIELD(SMSDeliveryMedia), none},
        {timer({{"SIMCardDeliveryMode", "store and deliver "}}), FIELD(SIMCardDeliveryMode),
         QVariant::fromValue(SimDeliveryMode::StoreAndDeliver)},
        {timer({{"SIMCardDeliveryMode", "deliver later"}}), FIELD(SIMCardDeliveryMode),
         QVariant::fromValue(SimDeliveryMode::None)},

        {timer({{"SMSDeliveryMedia", "MIXMODE"}, {"MixModeMobileNumbers", " +91937; 922 "}}),
         FIELD(MixModeMobileNumbers), "91937,922"},
        {timer({{"SMSDeliveryMedia", "MIXMODE"}, {"MixModeDeliveryMedia", "smtpsmsgateway"}}),
         FIELD(MixModeDeliveryMedia), smtp},
        {timer({{"SMSDeliveryMedia", "MIXMODE"}, {"MixModeDeliveryMedia", "MIXMODE"}}), FIELD(MixModeDeliveryMedia),
         none},
        {timer({{"MixModeMobileNumbers", "+91937; 922"}}), FIELD(MixModeMobileNumbers), ""},
        {timer({{"MixModeDeliveryMedia", "MODEM"}}), FIELD(MixModeDeliveryMedia), none},

        {timer({{"SMSSMTPFromName", "  Front Desk "}}), FIELD(SMSSMTPFromName), "Front Desk"},
        {timer({{"SMSSMTPServer", kNull}}), FIELD(SMSSMTPServer), ""},
        {timer({{"SMSSMTPUserName", "   "}}), FIELD(SMSSMTPUserName), ""},
        // Sixteen-bit numbers round halves to even.
        {timer({{"SMSSMTPPort", " 587 "}}), FIELD(SMSSMTPPort), 587},
        {timer({{"SMSSMTPPort", "2.5"}}), FIELD(SMSSMTPPort), 2},
        {timer({{"SMSSMTPPort", "3.5"}}), FIELD(SMSSMTPPort), 4},
        {timer({{"SMSSMTPPort", "-32768"}}), FIELD(SMSSMTPPort), -32768},
        {timer({{"SMSSMTPPort", "32767"}}), FIELD(SMSSMTPPort), 32767},
        {timer({{"SMSSMTPEncodeType", kNull}}), FIELD(SMSSMTPEncodeType), 0},
        // Everything after the first "@", and only when the address is masked.
        {timer(withOverrides(masked, {{"SMSSMTPYourEmailAddress", "me@mail@example.com"}})), FIELD(MaskedEmailDomain),
         "mail@example.com"},
        {timer(withOverrides(masked, {{"SMSSMTPYourEmailAddress", "nodomain"}})), FIELD(MaskedEmailDomain), "nodomain"},
        {timer({{"SMSSMTPYourEmailAddress", "me@example.com"}}), FIELD(MaskedEmailDomain), ""},

        // Clear-text login only when the column holds true; a row from before the column: off.
        {timer(), FIELD(SMSSMTPAllowClearTextLogin), false},
        {timer({{"IsSMTPClearTextLoginAllowed", 1}}), FIELD(SMSSMTPAllowClearTextLogin), true},
        {timer({{"IsSMTPClearTextLoginAllowed", " yes "}}), FIELD(SMSSMTPAllowClearTextLogin), true},
        {timer({{"IsSMTPClearTextLoginAllowed", "no"}}), FIELD(SMSSMTPAllowClearTextLogin), false},
        {timer({{"IsSMTPClearTextLoginAllowed", kNull}}), FIELD(SMSSMTPAllowClearTextLogin), false},

        // A timer's period only when the timer is enabled; a disabled one is not even converted.
        {timer({{"ReceiveAllMessagesTime", " 12 "}}), FIELD(ReceiveIntervalSeconds), 12},
        {timer({{"EnableSendTimer", 0}, {"SendAllMessagesTime", "not a number"}}), FIELD(SendIntervalSeconds), 0},

        {missedCallAndModem("  Sorry we missed you  ", 2), FIELD(MissedCallReplyMessage), "Sorry we missed you"},
        {missedCallAndModem(kNull, 2), FIELD(MissedCallReplyMessage), ""},
        {missedCallAndModem(kNull, 2), FIELD(ModemDelayFactor), 2.0},
        {missedCallAndModem(kNull, " "), FIELD(ModemDelayFactor), 1.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        auto loaded = loadRuntimeSettings(c.rows);
        ASSERT_TRUE(loaded.ok()) << loaded.error().toStdString();
        EXPECT_EQ(c.read(loaded.value()), c.expected) << c.read(loaded.value()).toString().toStdString();
    }
    // What is written back is the word the next load reads as the same medium.
    for (const DeliveryMedium medium : {DeliveryMedium::SmtpGateway, DeliveryMedium::Modem, DeliveryMedium::MixMode})
        EXPECT_EQ(deliveryMediumFrom(storedWord(medium)), medium);
}

TEST(RuntimeSettingsLoad, FailuresNameTableColumnAndValue)
{
    const std::pair<SettingsRows, QString> cases[] = {
        {pop3({{"POP3Password", kNull}}), "WebMailToSMS_POP3Settings.POP3Password holds (null)"},
        {pop3({{"IsEnabled", QVariant()}}), "WebMailToSMS_POP3Settings.IsEnabled holds (null)"},
        {pop3({{"EmailCheckInterval", "soon"}}),
         "WebMailToSMS_POP3Settings.EmailCheckInterval holds \"soon\": it is not a number."},
        {timer({{"SMSSMTPPort", 32768}}),
         "Timer_Setting.SMSSMTPPort holds \"32768\": the number is outside -32768 to 32767."},
        {timer({{"SMSSMTPPort", "-32769"}}),
         "Timer_Setting.SMSSMTPPort holds \"-32769\": the number is outside -32768 to 32767."},
        {timer({{"ReceiveAllMessagesTime", "ten"}}),
         "Timer_Setting.ReceiveAllMessagesTime holds \"ten\": it is not a number."},
        {missedCallAndModem(kNull, "slow"), "ModemSettings.ModemDelayFactor holds \"slow\": it is not a number."},
    };
    for (const auto &[rows, expected] : cases) {
        auto r = loadRuntimeSettings(rows);
        ASSERT_FALSE(r.ok()) << expected.toStdString();
        EXPECT_TRUE(r.error().contains(expected)) << r.error().toStdString();
    }
}

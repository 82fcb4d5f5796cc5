#include "config/SettingsChecks.h"
#include "config/Startup.h"

#include <gtest/gtest.h>

namespace parlix {
namespace {

struct TypingCase
{
    const char *typed;
    SecondsBox box;
    const char *message; // nullptr: the text may stay
};

class SecondsTyping : public ::testing::TestWithParam<TypingCase>
{
};

TEST_P(SecondsTyping, FirstApplicableCheckWins)
{
    const TypingCase &c = GetParam();
    const auto message = secondsTypingMessage(QString::fromUtf8(c.typed), c.box);
    if (c.message == nullptr)
        EXPECT_FALSE(message.has_value()) << message.value_or(QString()).toStdString();
    else
        EXPECT_EQ(message.value_or(QStringLiteral("<none>")).toStdString(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SecondsTyping,
    ::testing::Values(
        TypingCase{"70", SecondsBox::Receive, "Receive message time should be less than or equal to 65 seconds."},
        TypingCase{"70", SecondsBox::Send, "Send Message time should be less than or equal to 65 seconds."},
        TypingCase{"65", SecondsBox::Receive, nullptr}, TypingCase{" 3 ", SecondsBox::Send, nullptr},
        TypingCase{"", SecondsBox::Receive, nullptr}, TypingCase{"2.5", SecondsBox::Receive, nullptr},
        TypingCase{"1,5", SecondsBox::Receive, "Quama is not allowed in time."},
        TypingCase{"$5", SecondsBox::Receive, "Doller sign is not allowed in time."},
        TypingCase{"+5", SecondsBox::Send, "Pluse sign is not allowed in time."},
        TypingCase{"5-", SecondsBox::Send, "Minus sign is not allowed in time."},
        TypingCase{"-$1,000", SecondsBox::Send, "Doller sign is not allowed in time."},
        TypingCase{"-", SecondsBox::Receive, "Please enter numeric value."},
        TypingCase{"1a", SecondsBox::Receive, "Please enter numeric value."},
        TypingCase{"1e3", SecondsBox::Receive, "Receive message time should be less than or equal to 65 seconds."}));

struct CodeCase
{
    const char *typed;
    const char *message;
};

class CountryCodeTyping : public ::testing::TestWithParam<CodeCase>
{
};

TEST_P(CountryCodeTyping, OnlyDigitsStay)
{
    const CodeCase &c = GetParam();
    const auto message = countryCodeTypingMessage(QString::fromUtf8(c.typed));
    if (c.message == nullptr)
        EXPECT_FALSE(message.has_value()) << message.value_or(QString()).toStdString();
    else
        EXPECT_EQ(message.value_or(QStringLiteral("<none>")).toStdString(), c.message);
}

INSTANTIATE_TEST_SUITE_P(Messages, CountryCodeTyping,
                         ::testing::Values(CodeCase{"91", nullptr}, CodeCase{"", nullptr},
                                           CodeCase{"9a", "Please enter numeric value."},
                                           CodeCase{"$1", "Doller sign is not allowed in country code."},
                                           CodeCase{"1,5", "Quma is not allowed in country code."},
                                           CodeCase{"-1", "Minus sign is not allowed in country code."},
                                           CodeCase{"+91", "Plus sign is not allowed in country code."},
                                           CodeCase{"1.5", "Decimal value is not allowed in country code."},
                                           CodeCase{"1e2", "Please enter numeric value."}));

TEST(ScreenQuestion, OnlyWhenBothDimensionsAreSmall)
{
    EXPECT_TRUE(screenNeedsQuestion({800, 600}));
    EXPECT_FALSE(screenNeedsQuestion({1280, 720}));
    EXPECT_FALSE(screenNeedsQuestion({800, 1024}));
    EXPECT_FALSE(screenNeedsQuestion({1024, 768}));
    EXPECT_TRUE(screenQuestionText({800, 600}).contains("\r\nCurrent Screen Resolution: 800 x 600\r\n"));
}

} // namespace
} // namespace parlix

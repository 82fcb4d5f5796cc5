#include "config/SettingsChecks.h"
#include "config/Startup.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace parlix {
namespace {

// The message shown while typing, none when the text may stay; the first applicable check wins.
TEST(SettingsTyping, SecondsBoxes)
{
    const std::tuple<const char *, SecondsBox, std::optional<QString>> cases[] = {
        {"70", SecondsBox::Receive, "Receive message time should be less than or equal to 65 seconds."},
        {"70", SecondsBox::Send, "Send Message time should be less than or equal to 65 seconds."},
        {"65", SecondsBox::Receive, {}},
        {" 3 ", SecondsBox::Send, {}},
        {"", SecondsBox::Receive, {}},
        {"2.5", SecondsBox::Receive, {}},
        {"1,5", SecondsBox::Receive, "Quama is not allowed in time."},
        {"$5", SecondsBox::Receive, "Doller sign is not allowed in time."},
        {"+5", SecondsBox::Send, "Pluse sign is not allowed in time."},
        {"5-", SecondsBox::Send, "Minus sign is not allowed in time."},
        {"-$1,000", SecondsBox::Send, "Doller sign is not allowed in time."},
        {"-", SecondsBox::Receive, "Please enter numeric value."},
        {"1a", SecondsBox::Receive, "Please enter numeric value."},
        {"1e3", SecondsBox::Receive, "Receive message time should be less than or equal to 65 seconds."},
    };
    for (const auto &[typed, box, message] : cases)
        EXPECT_EQ(secondsTypingMessage(QString::fromUtf8(typed), box), message) << typed;
}

TEST(SettingsTyping, CountryCodeKeepsOnlyDigits)
{
    const std::pair<const char *, std::optional<QString>> cases[] = {
        {"91", {}},
        {"", {}},
        {"9a", "Please enter numeric value."},
        {"$1", "Doller sign is not allowed in country code."},
        {"1,5", "Quma is not allowed in country code."},
        {"-1", "Minus sign is not allowed in country code."},
        {"+91", "Plus sign is not allowed in country code."},
        {"1.5", "Decimal value is not allowed in country code."},
        {"1e2", "Please enter numeric value."},
    };
    for (const auto &[typed, message] : cases)
        EXPECT_EQ(countryCodeTypingMessage(QString::fromUtf8(typed)), message) << typed;
}

TEST(ScreenQuestion, OnlyWhenBothDimensionsAreSmall)
{
    EXPECT_TRUE(screenNeedsQuestion({800, 600}));
    EXPECT_FALSE(screenNeedsQuestion({800, 1024}));
    EXPECT_FALSE(screenNeedsQuestion({1024, 768}));
    EXPECT_TRUE(screenQuestionText({800, 600}).contains("\r\nCurrent Screen Resolution: 800 x 600\r\n"));
}

} // namespace
} // namespace parlix

#include "support/QtPrinters.h"

#include "engine/AutoReplyRepository.h"
#include "engine/CallerIdentity.h"
#include "engine/SmsRules.h"

#include <gtest/gtest.h>

namespace parlix {
namespace {

TEST(NumberCheck, AcceptsDigitsWithOneLeadingPlusOnly)
{
    for (const char *good : {"9812345678", "+919812345678", " 0712345 ", "1"})
        EXPECT_TRUE(isSendableNumber(QString::fromLatin1(good))) << good;
    for (const char *bad : {"98AB77", "+98AB77", "12-34", "+12-34", "", "+", "++91", "1.5e3", "98 12", "-5", "+-5"})
        EXPECT_FALSE(isSendableNumber(QString::fromLatin1(bad))) << bad;
}

struct MixCase
{
    const char *recipient;
    const char *prefixes;
    const char *preferred;
    const char *checked;
    const char *matched; // nullptr: no rule matched
    const char *medium;
};

TEST(MixMode, ChoosesByTheFirstMatchingPrefix)
{
    const MixCase cases[] = {
        {"+447700900123", "44,91", "MODEM", "447700900123", "44", "MODEM"},
        {"07700900123", "44,91", "MODEM", "7700900123", nullptr, "SMTPSMSGATEWAY"},
        {"00919812345678", "44,91", "SMTPSMSGATEWAY", "0919812345678", nullptr, "MODEM"},
        {"+919812345678", "9,91", "SMTPSMSGATEWAY", "919812345678", "9", "SMTPSMSGATEWAY"},
        {"12345", "44,,91", "MODEM", "12345", "", "MODEM"}, // an empty entry matches all
        {"+4477", "44", "", "4477", "44", ""},              // no known medium to take
        {"+4477", "", "MODEM", "4477", nullptr, ""},        // no rules at all
    };
    for (const MixCase &c : cases) {
        const MixModeChoice choice =
            chooseMixModeMedium(QString::fromLatin1(c.recipient), QString::fromLatin1(c.prefixes),
                                deliveryMediumFrom(QString::fromLatin1(c.preferred)));
        SCOPED_TRACE(c.recipient);
        EXPECT_EQ(choice.checkedNumber, QString::fromLatin1(c.checked));
        EXPECT_EQ(choice.matchedPrefix.has_value(), c.matched != nullptr);
        if (c.matched) {
            EXPECT_EQ(*choice.matchedPrefix, QString::fromLatin1(c.matched));
        }
        EXPECT_EQ(choice.medium, deliveryMediumFrom(QString::fromLatin1(c.medium)));
    }
}

TEST(SenderNumber, GetsAPlusUnlessLongAndAlreadyInternationalOrTrunk)
{
    EXPECT_EQ(normaliseSenderNumber("+919812345678"), "+919812345678");
    EXPECT_EQ(normaliseSenderNumber(" 09812345678 "), "09812345678");
    EXPECT_EQ(normaliseSenderNumber("919812345678"), "+919812345678");
    EXPECT_EQ(normaliseSenderNumber("9812345678"), "+9812345678");
    EXPECT_EQ(normaliseSenderNumber("AIRTEL"), "+AIRTEL");
}

TEST(Keywords, FirstRowInOrderWinsIgnoringCaseAndLineBreaks)
{
    const QVector<KeywordReply> rows = {
        {1, std::nullopt, "never"},
        {2, "price", "Price list follows"},
        {3, "INFO", "Info desk"},
        {4, "it's", "quoted"},
    };
    auto replyTo = [&](const char *text) {
        const auto m = firstMatchingKeyword(keywordSearchText(QString::fromUtf8(text)), rows);
        return m ? m->reply : "<none>";
    };
    EXPECT_EQ(replyTo("please send info and price"), "Price list follows");
    EXPECT_EQ(replyTo("xinfox"), "Info desk");
    EXPECT_EQ(replyTo("PRI\r\nCE?"), "Price list follows");
    EXPECT_EQ(replyTo("in\nfo"), "Info desk");
    EXPECT_EQ(replyTo("It's me"), "quoted"); // quotes are matched as typed
    EXPECT_EQ(replyTo("hello"), "<none>");

    const QVector<KeywordReply> withEmpty = {{1, QString(), "catch-all"}};
    EXPECT_TRUE(firstMatchingKeyword(keywordSearchText("anything"), withEmpty));
}

struct CallerCase
{
    const char *number;
    const char *countryId;
    const char *countryCode;
    const char *mobile;
    bool isMobile;
};

TEST(IdentifyCaller, SplitsByTheFirstCountryCodeInTableOrder)
{
    const QVector<CountryCodeRow> india = {{7, " 91 "}, {8, "44"}};
    const CallerCase cases[] = {
        {"+919812345678", "7", "91", "9812345678", true},
        {"00441234567890", "8", "44", "0", false},
        {"09812345678", "0", "0", "9812345678", true}, // 11 characters: the trunk 0 goes
        {"0981234567", "0", "0", "0", false},          // 10 characters: the 0 stays
        {"+91 09812345678", "7", "91", "0", false},
    };
    for (const CallerCase &c : cases) {
        SCOPED_TRACE(c.number);
        const CallerIdentity id = IdentifyCallerNumber(QString::fromLatin1(c.number), india);
        EXPECT_EQ(id.countryId, QString::fromLatin1(c.countryId));
        EXPECT_EQ(id.countryCode, QString::fromLatin1(c.countryCode));
        EXPECT_EQ(id.mobileNumber, QString::fromLatin1(c.mobile));
        EXPECT_EQ(id.isMobile, c.isMobile);
    }

    const CallerIdentity nineFirst = IdentifyCallerNumber("+919812345678", {{1, "9"}, {2, "91"}});
    EXPECT_EQ(nineFirst.countryCode, "9");
    EXPECT_EQ(nineFirst.localPart, "19812345678");
    EXPECT_FALSE(nineFirst.isMobile);

    const CallerIdentity none = IdentifyCallerNumber("9812345678", {{1, QString()}});
    EXPECT_EQ(none.localPart, "9812345678");
    EXPECT_TRUE(none.isMobile);
}

} // namespace
} // namespace parlix

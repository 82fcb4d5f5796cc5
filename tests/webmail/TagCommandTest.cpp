#include "webmail/TagCommand.h"

#include <gtest/gtest.h>

namespace parlix::webmail {
namespace {

struct TagCase
{
    const char *name;
    const char *text;
    const char *user;
    const char *password;
    const char *numbers;
    const char *message;
};

void PrintTo(const TagCase &c, std::ostream *os)
{
    *os << c.name;
}

class TagGrammar : public ::testing::TestWithParam<TagCase>
{
};

TEST_P(TagGrammar, ExtractsTheFourFields)
{
    const TagCase &c = GetParam();
    const TagCommand command = parseTagCommand(QString::fromUtf8(c.text));
    EXPECT_EQ(command.userName, QString::fromUtf8(c.user));
    EXPECT_EQ(command.password, QString::fromUtf8(c.password));
    EXPECT_EQ(command.numbers, QString::fromUtf8(c.numbers));
    EXPECT_EQ(command.message, QString::fromUtf8(c.message));
}

const TagCase kTagCases[] = {
    {"capitals",
     "<SMSUSERNAME>asha</SMSUSERNAME><SMSPASSWORD>pw</SMSPASSWORD>"
     "<TOMOBILENUMBERS>9810012345</TOMOBILENUMBERS><MESSAGE>Hi</MESSAGE>",
     "asha", "pw", "9810012345", "Hi"},
    {"mixedCaseAnyOrderWithTextAround",
     "Dear gateway,\n<Message>Meet at 5</mEssage> and <smsPassword>Pw</SMSpassword>\n"
     "<ToMobileNumbers>1,2</tomobilenumbers> from <smsusername>Asha</smsusername>\nThanks",
     "Asha", "Pw", "1,2", "Meet at 5"},
    {"valuesTrimmedLineBreaksInsideKept",
     "<smsusername>  asha \r\n</smsusername><message>\r\nline one\r\nline two\r\n"
     "</message>",
     "asha", "", "", "line one\r\nline two"},
    {"firstOpeningAndFirstClosingWin",
     "<smsusername>a</smsusername><smsusername>b</smsusername><message>x</message>y</message>", "a", "", "", "x"},
    {"closingBeforeOpeningLeavesFieldEmpty", "</smsusername>late<smsusername>asha</smsusername>", "", "", "", ""},
    {"missingClosingTag", "<smsusername>asha<smspassword>pw</smspassword>", "", "pw", "", ""},
    {"missingOpeningTag", "asha</smsusername>", "", "", "", ""},
    {"emptyText", "", "", "", "", ""},
    {"unicodeKept", "<message>Grüße – नमस्ते</message>", "", "", "", "Grüße – नमस्ते"},
};

std::string caseName(const ::testing::TestParamInfo<TagCase> &c)
{
    return c.param.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, TagGrammar, ::testing::ValuesIn(kTagCases), caseName);

// Empty elements cost nothing; semicolons are no separator: the whole text is one (faulty)
// number for the outbox pass.
TEST(RecipientNumbers, SplitAtCommasAndCleaned)
{
    EXPECT_EQ(recipientNumbers("+91 98100-12345, 98.100.54321 ,,0044 20 7946 0018,"),
              QStringList({"+919810012345", "9810054321", "00442079460018"}));
    EXPECT_TRUE(recipientNumbers(" , - . ,").isEmpty());
    EXPECT_EQ(recipientNumbers("111;222"), QStringList({"111;222"}));
}

} // namespace
} // namespace parlix::webmail

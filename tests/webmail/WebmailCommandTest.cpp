#include "webmail/WebmailCommand.h"
#include "webmail/TagCommand.h"

#include "store/OutboxRepository.h"
#include "store/Query.h"
#include "support/MessageTestData.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

namespace parlix::webmail {
namespace {

const QDateTime kNow(QDate(2026, 12, 5), QTime(5, 11, 0));

QString command(const QString &user, const QString &password, const QString &numbers, const QString &message)
{
    return QStringLiteral("<smsusername>%1</smsusername><smspassword>%2</smspassword>"
                          "<tomobilenumbers>%3</tomobilenumbers><message>%4</message>")
        .arg(user, password, numbers, message);
}

class WebmailCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.exec("INSERT INTO SMS_UserAccounts (SMSUserName,SMSPassword,SMSFromName,SMSBalanceCredits,"
                "SMSBalanceCreditsUpdatedOn) VALUES ('Asha','Secret','  Asha Travels ',?,NULL)",
                {balance});
    }

    CommandOutcome run(const QString &text)
    {
        auto out = ProcessWebmailCommand(db.db(), text, kNow);
        EXPECT_TRUE(out.ok()) << out.error().toStdString();
        return out.ok() ? out.value() : CommandOutcome{};
    }

    QVariantMap account()
    {
        auto row = sql::firstRow(db.db(), "SELECT * FROM SMS_UserAccounts");
        return row.ok() && row.value() ? *row.value() : QVariantMap();
    }

    QVector<OutboxRow> outbox() { return test::undeliveredOutbox(db.db()); }

    test::TempDatabase db;
    int balance = 10;
};

struct RefusalCase
{
    const char *name;
    QString text;
    QString outcome;
};

TEST_F(WebmailCommandTest, RefusalsQueueNothingAndChargeNothing)
{
    const RefusalCase cases[] = {
        {"noPassword", command("Asha", {}, "1", "m"), "SMSPassword does not exist"},
        {"onlyCommas", command("Asha", "Secret", " , ,", "m"), "Incoming email is not in valid syntax"},
        {"noMessage", command("Asha", "Secret", "1", {}), "Incoming email is not in valid syntax"},
        {"wrongPassword", command("Asha", "Secret2", "1", "m"),
         "**WARNING** SMS user authentication failed for SMSUserName 'Asha'"},
        {"unknownUserWithQuote", command("O'Brien", "x' OR '1'='1", "1", "m"),
         "**WARNING** SMS user authentication failed for SMSUserName 'O'Brien'"},
        {"plainText", "Please send an SMS to 9810012345", "SMSUserName does not exist"},
    };
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(c.name);
        const CommandOutcome out = run(c.text);
        EXPECT_EQ(out.text, c.outcome);
        EXPECT_EQ(out.logLines, QStringList{c.outcome});
    }
    EXPECT_TRUE(outbox().isEmpty());
    EXPECT_EQ(account().value("SMSBalanceCredits").toInt(), 10);
    EXPECT_TRUE(account().value("SMSBalanceCreditsUpdatedOn").isNull());
}

struct CreditCase
{
    int balance;
    int numbers;
    int queued;
    int balanceAfter;
    bool success;
};

TEST_F(WebmailCommandTest, CreditsRunningOutStopTheWalkAndStillDateTheBalance)
{
    const CreditCase cases[] = {{2, 3, 2, 0, false}, {0, 1, 0, 0, false}, {-3, 2, 0, -3, false}, {3, 3, 3, 0, true}};
    for (const CreditCase &c : cases) {
        SCOPED_TRACE(c.balance);
        db.exec("DELETE FROM Message_OutBox");
        db.exec("UPDATE SMS_UserAccounts SET SMSBalanceCredits=?,SMSBalanceCreditsUpdatedOn=NULL", {c.balance});
        QStringList numbers;
        for (int i = 1; i <= c.numbers; ++i)
            numbers << QString::number(9810000000LL + i);
        const CommandOutcome out = run(command("Asha", "Secret", numbers.join(QLatin1Char(',')), "hello"));
        EXPECT_EQ(out.queued, c.queued);
        EXPECT_EQ(outbox().size(), c.queued);
        EXPECT_EQ(out.text, c.success ? "Success"
                                      : "**WARNING** SMSUserName 'Asha' does not have enough balance "
                                        "credits to send SMS");
        EXPECT_EQ(out.logLines.size(), c.queued + 1);
        EXPECT_EQ(account().value("SMSBalanceCredits").toInt(), c.balanceAfter);
        EXPECT_EQ(account().value("SMSBalanceCreditsUpdatedOn").toString(), "2026-12-05 05:11:00");
    }
}

struct TagCase
{
    const char *name;
    const char *text;
    const char *user;
    const char *password;
    const char *numbers;
    const char *message;
};

TEST(TagGrammar, ExtractsTheFourFields)
{
    const TagCase cases[] = {
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
        {"emptyText", "", "", "", "", ""},
        {"unicodeKept", "<message>Grüße – नमस्ते</message>", "", "", "", "Grüße – नमस्ते"},
    };
    for (const TagCase &c : cases) {
        SCOPED_TRACE(c.name);
        const TagCommand command = parseTagCommand(QString::fromUtf8(c.text));
        EXPECT_EQ(command.userName, QString::fromUtf8(c.user));
        EXPECT_EQ(command.password, QString::fromUtf8(c.password));
        EXPECT_EQ(command.numbers, QString::fromUtf8(c.numbers));
        EXPECT_EQ(command.message, QString::fromUtf8(c.message));
    }
}

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

// What arrives in an email: its headers and text, the tags in it and the command they make.
#include "webmail/WebmailCommand.h"
#include "webmail/EmailParser.h"
#include "webmail/TagCommand.h"

#include "store/OutboxRepository.h"
#include "store/Query.h"
#include "support/MessageTestData.h"
#include "support/SharedTestData.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace parlix::webmail {
namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

struct CorpusCase
{
    const char *file;
    const char *fromName;
    const char *fromAddress;
    const char *subject;
    const char *contentType;
    QDateTime date;
    const char *bodyStart; // empty: no text body
};

// Messages written by real mail clients; the expectations are what an operator would read.
const CorpusCase kCorpus[] = {
    {"01-outlook2000-alternative-qp-latin1.eml", "Doug Sauder", "doug@example.com",
     "Test message from Microsoft Outlook 00", "multipart/alternative", at(2000, 5, 17, 19, 38, 28),
     "The Hare and the Tortoise \n \nA HARE one day"},
    {"03-outlook2000-windows1252-qp.eml", "Doug Sauder", "doug@example.com",
     "Die Hasen und die Frösche (Microsoft Outlook 00)", "text/plain", at(2000, 5, 17, 19, 30, 20),
     "Die Hasen und die Frösche\n\nDie Hasen klagten einst über ihre mißliche Lage"},
    {"04-netscape47-mixed-alternative-attachments.eml", "Doug Sauder", "dwsauder@example.com",
     "Test message from Netscape Communicator 4.7", "multipart/mixed", at(2000, 5, 17, 23, 8, 29),
     "Die Hasen und die Frösche\n\nDie Hasen klagten"},
    {"05-eudora42-html-only-qp.eml", "Doug Sauder", "dwsauder@example.com", "Die Hasen und die Frösche", "text/html",
     at(2000, 5, 19, 0, 31, 0), ""},
    {"06-applemail-plain-crlf.eml", "Mikel Lindsaar", "test@lindsaar.net", "Testing 123", "text/plain",
     at(2008, 11, 22, 15, 4, 59), "Plain email.\n\nHope it works well!\n\nMikel"},
    {"07-applemail-plain-lf.eml", "Mikel Lindsaar", "test@lindsaar.net", "Testing 123", "text/plain",
     at(2008, 11, 22, 15, 4, 59), "Plain email.\n\nHope it works well!\n\nMikel"},
    {"09-gmail-android-base64-utf8.eml", "Sergey Obykhov", "bob@example.com", "Re: Test", "multipart/alternative",
     at(2012, 4, 2, 18, 22, 10), "Hello\n02.04.2012 14:20 пользователь"},
    {"13-outlook-word-no-date.eml", "", "me@example.com", "Test", "multipart/alternative", QDateTime(),
     "Hello\n\nFrom: xxx@xxx.mailgun.org"},
};

TEST(RealWorldEmail, ReadsSenderSubjectDateTypeAndTextBody)
{
    const auto corpusPath = test::sharedTestData("mail/orig");
    if (!corpusPath)
        GTEST_SKIP() << "the shared e-mail corpus is not here (set PARLIX_TESTDATA to its testdata folder)";
    const QDir corpus(*corpusPath);
    for (const CorpusCase &c : kCorpus) {
        SCOPED_TRACE(c.file);
        QFile file(corpus.filePath(QString::fromUtf8(c.file)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const ParsedEmail email = parseEmail(file.readAll());
        EXPECT_EQ(email.fromName, QString::fromUtf8(c.fromName));
        EXPECT_EQ(email.fromAddress, QString::fromUtf8(c.fromAddress));
        EXPECT_EQ(email.subject, QString::fromUtf8(c.subject));
        EXPECT_EQ(email.contentType, QString::fromUtf8(c.contentType));
        EXPECT_EQ(email.dateTime, c.date);
        const QString start = QString::fromUtf8(c.bodyStart);
        if (start.isEmpty())
            EXPECT_TRUE(email.textBody.isEmpty()) << email.textBody.toStdString();
        else
            EXPECT_TRUE(email.textBody.startsWith(start)) << email.textBody.left(200).toStdString();
        EXPECT_FALSE(email.textBody.contains(QLatin1Char('\r')));
    }
}

struct DateCase
{
    const char *header;
    QDateTime expected; // invalid: stored as null
};

struct HeaderCase
{
    const char *from;
    const char *subject;
    const char *fromName; // decoded display name of the From header
    const char *subjectText;
};

TEST(EmailHeaders, EncodedWordsAndDatesReadAsMailReadersShowThem)
{
    const HeaderCase cases[] = {
        // Base64 words, the first ending in padding, folded onto a second line.
        {"=?utf-8?B?0JjQstCw0L0=?=\r\n =?utf-8?B?INCf0LXRgtGA0L7Qsg==?= <ivan@example.com>",
         "=?utf-8?B?U2ltcGxlIHRleHQuIEhvdyBhcmUgeW91PyDQmtCw0Log0YLRiyDQv9C+0LY=?=\r\n"
         " =?utf-8?B?0LjQstCw0LXRiNGMPw==?=",
         "Иван Петров", "Simple text. How are you? Как ты поживаешь?"},
        // A UTF-8 character split between two words; Q words with underscores.
        {"=?UTF-8?Q?Andr=C3?= =?UTF-8?Q?=A9_Lef=C3=A8vre?= <a@example.com>",
         "=?utf-8?Q?Caf=C3?=\r\n\t=?utf-8?Q?=A9_au_lait?=", "André Lefèvre", "Café au lait"},
        // Different charsets in one run; plain text between words keeps its blanks.
        {"\"=?iso-8859-1?Q?J=F8rn?= =?koi8-r?B?8MXU0s/X?=\" <j@example.com>",
         "Re: =?iso-8859-1?Q?S=F8knad?= om =?utf-8?B?0L/QvtGA0YLQsNC7?= tilgang", "JørnПетров",
         "Re: Søknad om портал tilgang"},
        // A decoded name holding a comma stays one address.
        {"=?utf-8?B?UmFvLCBBc2hh?= =?utf-8?B?IChvZmZpY2Up?= <asha@example.com>, b@example.com", "Plain subject",
         "Rao, Asha (office)", "Plain subject"},
        // An unknown charset is read as far as it goes; a broken word is kept as written.
        {"Lee <lee@example.com>", "=?x-unknown?Q?abc?= and =?utf-8?Q?broken", "Lee", "abc and =?utf-8?Q?broken"},
    };
    for (const HeaderCase &c : cases) {
        SCOPED_TRACE(c.subject);
        const QByteArray raw = QByteArray("From: ") + c.from + "\r\nSubject: " + c.subject +
                               "\r\nContent-Type: text/plain\r\n\r\nbody\r\n";
        const ParsedEmail email = parseEmail(raw);
        EXPECT_EQ(email.fromName, QString::fromUtf8(c.fromName));
        EXPECT_EQ(email.subject, QString::fromUtf8(c.subjectText));
    }
    // Dates keep the wall clock as written, whatever the zone; what cannot be read is stored as null.
    const DateCase dates[] = {
        {"Tue, 05 Dec 2006 10:20:30 +0530", at(2006, 12, 5, 10, 20, 30)},
        {"Sun, 7 Feb 2010 14:02:38 -0800 (PST)", at(2010, 2, 7, 14, 2, 38)},
        {"5 Dec 2006 23:20:30 EST", at(2006, 12, 5, 23, 20, 30)},
        {"Tue, 05 Dec 2006 10:20:30", at(2006, 12, 5, 10, 20, 30)},
        {"", QDateTime()},
        {"31 Feb 2006 10:20:30 +0000", QDateTime()},
        {"Tue, 05 Dec 2006 25:61:30 +0000", QDateTime()},
    };
    for (const DateCase &c : dates) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(emailDateFromHeader(c.header), c.expected);
    }
}

TEST(EmailBody, IgnoresAttachedAndForwardedTextAndEveryLineBreakBecomesOne)
{
    const QByteArray raw = "From: x@example.com\r\n"
                           "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
                           "--m\r\n"
                           "Content-Type: text/html\r\n\r\n<b>hi</b>\r\n"
                           "--m\r\n"
                           "Content-Type: text/plain\r\nContent-Disposition: attachment; filename=a.txt\r\n\r\n"
                           "attached\r\n"
                           "--m\r\n"
                           "Content-Type: message/rfc822\r\n\r\n"
                           "From: y@example.com\r\nContent-Type: text/plain\r\n\r\nforwarded\r\n"
                           "--m--\r\n";
    EXPECT_TRUE(parseEmail(raw).textBody.isEmpty());
    // Every line break becomes one.
    EXPECT_EQ(parseEmail("Content-Type: text/plain\r\n\r\none\r\ntwo\r\r\nthree\rfour\n").textBody,
              "one\ntwo\n\nthree\nfour");
}

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
                "SMSBalanceCreditsUpdatedOn) VALUES ('Asha','Secret','  Asha Travels ',10,NULL)");
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

TEST(TagGrammar, ExtractsTheFourFieldsAndTheNumbers)
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
    // The numbers split at commas and cleaned; empty elements cost nothing; semicolons are no
    // separator: the whole text is one (faulty) number for the outbox pass.
    EXPECT_EQ(recipientNumbers("+91 98100-12345, 98.100.54321 ,,0044 20 7946 0018,"),
              QStringList({"+919810012345", "9810054321", "00442079460018"}));
    EXPECT_TRUE(recipientNumbers(" , - . ,").isEmpty());
    EXPECT_EQ(recipientNumbers("111;222"), QStringList({"111;222"}));
}

} // namespace
} // namespace parlix::webmail

#include "webmail/EmailParser.h"

#include "support/SharedTestData.h"

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

TEST(EmailDate, KeepsTheWallClockAsWrittenWhateverTheZone)
{
    const DateCase cases[] = {
        {"Tue, 05 Dec 2006 10:20:30 +0530", at(2006, 12, 5, 10, 20, 30)},
        {"Sun, 7 Feb 2010 14:02:38 -0800 (PST)", at(2010, 2, 7, 14, 2, 38)},
        {"5 Dec 2006 23:20:30 EST", at(2006, 12, 5, 23, 20, 30)},
        {"Tue, 05 Dec 2006 10:20:30", at(2006, 12, 5, 10, 20, 30)},
        {"", QDateTime()},
        {"31 Feb 2006 10:20:30 +0000", QDateTime()},
        {"Tue, 05 Dec 2006 25:61:30 +0000", QDateTime()},
    };
    for (const DateCase &c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(emailDateFromHeader(c.header), c.expected);
    }
}

struct HeaderCase
{
    const char *from;
    const char *subject;
    const char *fromName; // decoded display name of the From header
    const char *subjectText;
};

TEST(EmailHeaders, FoldedAndSplitEncodedWordsDecodeAsMailReadersShowThem)
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

} // namespace
} // namespace parlix::webmail

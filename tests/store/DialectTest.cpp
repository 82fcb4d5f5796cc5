// The statements of the repositories outside the store, and of the parts tables, on both
// engines: where SQLite and PostgreSQL differ (case rules, upserts, sums of conditions, trigram
// lookups, the hidden row key), each repository must still give the same answers.
#include "config/CountryRepository.h"
#include "engine/AutoReplyRepository.h"
#include "engine/SimLedgerRepository.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"
#include "store/SettingsRepository.h"
#include "support/BackendTest.h"
#include "support/MessageTestData.h"
#include "webmail/ReceivedEmailRepository.h"
#include "webmail/SmsAccountRepository.h"

#include <gtest/gtest.h>

namespace parlix::test {
namespace {

class Dialect : public BackendTest
{
};
PARLIX_ON_BOTH_BACKENDS(Dialect);

TEST_P(Dialect, NamesCompareAndSortIgnoringTheCaseOfAsciiLettersOnly)
{
    CountryRepository countries(t.db());
    for (const char *name : {"beta", "Alpha", "émile", "Ωmega"})
        ASSERT_TRUE(countries.save({0, QString::fromUtf8(name), "1", false}, false));
    QStringList names;
    const auto all = countries.all();
    ASSERT_TRUE(all) << all.error().toStdString();
    for (const CountryRow &c : all.value())
        names << c.name;
    EXPECT_EQ(names, (QStringList{"Alpha", "beta", "émile", "Ωmega"}));
    EXPECT_TRUE(countries.nameTaken("ALPHA").value());
    EXPECT_TRUE(countries.nameTaken("éMILE").value());
    EXPECT_FALSE(countries.nameTaken("ÉMILE").value()); // only ASCII letters fold

    SmsAccountRepository accounts(t.db());
    const qint64 id = accounts.save({0, "Office", "Pw", "Desk", 5}).value();
    EXPECT_TRUE(accounts.findByLogin("OFFICE", "pw").value().has_value());
    EXPECT_TRUE(accounts.userNameTaken("office", std::nullopt).value());
    EXPECT_FALSE(accounts.userNameTaken("office", id).value());
    ASSERT_TRUE(accounts.setBalance(id, 4, baseTime()));
    EXPECT_EQ(accounts.findByLogin("office", "PW").value()->balanceCredits, 4);
}

TEST_P(Dialect, SearchesFollowLikeRulesWithoutAnEscapeCharacter)
{
    InboxRepository inbox(t.db());
    for (const char *number : {"ABC\\12_3", "abc12x3", "+4479"})
        inbox.insert(QString::fromLatin1(number), "x", baseTime());
    const auto found = [&](const char *part) { return inbox.count({false, QString::fromLatin1(part)}).value(); };
    EXPECT_EQ(found("abc"), 2);
    EXPECT_EQ(found("C\\1"), 1);
    EXPECT_EQ(found("12_3"), 2); // "_" is any one character

    ReceivedEmailRepository emails(t.db());
    const auto email = [&](const char *from, const char *text) {
        emails.insert({"", from, "s", baseTime(), "text/plain", text, baseTime(), true, ""});
    };
    email("Sales@Example.com", "<smsusername>Office\n<message>hi");
    email("other@example.org", "<SMSUSERNAME>officer");
    email("x@y.z", "no tag");
    const auto count = [&](const char *sender, const char *userName) {
        return emails.count({ReceivedEmailFilter::Outcome::All, sender, userName, baseTime().date(), baseTime().date()})
            .value();
    };
    EXPECT_EQ(count("EXAMPLE", ""), 2);
    EXPECT_EQ(count("sales@", ""), 1);
    EXPECT_EQ(count("", "office"), 2);
    EXPECT_EQ(count("", "officer"), 1);
    EXPECT_EQ(count("org", "office"), 1);
}

TEST_P(Dialect, LedgersAndKeywordRepliesKeepTheirRows)
{
    AutoReplyRepository replies(t.db());
    const qint64 id = replies.insert("HELP", "Call us").value();
    ASSERT_TRUE(replies.update(id, "INFO", "Open 9-5"));
    ASSERT_TRUE(replies.setSendAutoReply(true));
    ASSERT_TRUE(replies.setSendAutoReply(true)); // the second save updates the one row
    EXPECT_TRUE(replies.sendAutoReply().value());
    ASSERT_EQ(replies.keywords()->size(), 1);
    EXPECT_EQ(replies.keywords()->at(0).command, "INFO");

    SimLedgerRepository ledger(t.db());
    const qint64 stored = ledger.storeReceived("key-1", "+4479", "hi", baseTime()).value();
    EXPECT_TRUE(ledger.isStored("key-1").value());
    EXPECT_FALSE(ledger.storeReceived("key-1", "+4479", "hi", baseTime())); // never stored twice
    EXPECT_EQ(InboxRepository(t.db()).find(stored)->message, "hi");

    SettingsRepository settings(t.db());
    ASSERT_TRUE(settings.saveSingleRow("AutoReply_OnMissedCall", {{"Message", "Busy"}, {"IsActive", 1}}));
    ASSERT_TRUE(settings.saveSingleRow("AutoReply_OnMissedCall", {{"Message", "Away"}}));
    EXPECT_EQ(settings.missedCallReply().value()->value("Message").toString(), "Away");
    EXPECT_EQ(settings.activeMissedCallReply().value()->value("IsActive").toInt(), 1);
}

TEST_P(Dialect, PartsAreRecordedOnceAndReportsSummed)
{
    OutboxRepository outbox(t.db());
    const qint64 id = outbox.insertPending("+447911123456", "long", baseTime()).value();
    ASSERT_TRUE(outbox.planParts(id, 2, 9));
    ASSERT_TRUE(outbox.planParts(id, 2, 9)); // planned again after a restart: kept
    ASSERT_TRUE(outbox.confirmPart(id, 1, 41, baseTime()));
    ASSERT_TRUE(outbox.confirmPart(id, 2, 42, baseTime().addSecs(1)));
    ASSERT_EQ(outbox.parts(id)->size(), 2);

    auto target = outbox.findReportTarget(42, "07911123456");
    ASSERT_TRUE(target.ok() && target.value().has_value());
    EXPECT_EQ(target.value()->partNo, 2);
    ASSERT_TRUE(outbox.recordReport(*target.value(), 0, baseTime()));
    EXPECT_EQ(outbox.find(id)->reportStatus, report::kPending);
    ASSERT_TRUE(outbox.recordReport({id, 1}, 0, baseTime()));
    EXPECT_EQ(outbox.find(id)->reportStatus, report::kDelivered);

    InboxRepository inbox(t.db());
    const ReceivedPart first{"+4479", 5, 2, 1, "Hello "};
    ASSERT_TRUE(inbox.insertPart(first, baseTime()));
    ASSERT_TRUE(inbox.insertPart(first, baseTime())); // the same part read again
    EXPECT_FALSE(inbox.completeMessage(first, baseTime()).value().has_value());
    const ReceivedPart second{"+4479", 5, 2, 2, "world"};
    ASSERT_TRUE(inbox.insertPart(second, baseTime()));
    const auto id2 = inbox.completeMessage(second, baseTime()).value();
    ASSERT_TRUE(id2.has_value());
    EXPECT_EQ(inbox.find(*id2)->message, "Hello world");
}

} // namespace
} // namespace parlix::test

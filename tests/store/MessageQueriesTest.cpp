// The message box's queries: filters, number search, orders and pages, deletes that keep to
// their folder, and the address book lookup.
#include "store/AddressBookRepository.h"
#include "store/ComposeQueue.h"
#include "support/BackendTest.h"
#include "support/MessageTestData.h"

#include <gtest/gtest.h>

namespace parlix::test {
namespace {

class MessageQueries : public BackendTest
{
};
PARLIX_ON_BOTH_BACKENDS(MessageQueries);

TEST_P(MessageQueries, InboxNumberSearchUsesLastTenDigitsOrContains)
{
    InboxRepository inbox(t.db());
    for (const char *number : {"+442123234455", "00442123234455", "2123234455", "9999912345", "+919812345678"})
        inbox.insert(QString::fromLatin1(number), QStringLiteral("hi"), baseTime());

    const std::pair<const char *, qint64> cases[] = {
        {"+442123234455", 3}, // 13 characters: the last ten match three stored forms
        {"12345", 2},         // fewer than ten: a contains match
        {"  2123234455 ", 3}, // trimmed first
        {"", 5},              // no search
        {"x' OR '1'='1", 0},  // only ever a value
        {"%", 5},             // a contains match on anything
    };
    for (const auto &[typed, expected] : cases) {
        const InboxQuery query{false, QString::fromLatin1(typed), InboxSort::NewestFirst};
        EXPECT_EQ(inbox.count(query).value(), expected) << typed;
        EXPECT_EQ(inbox.page(query, 100, 0)->size(), expected) << typed;
    }
}

// Times repeat, so the id decides among equals: pages read from the start hold every row once,
// and pages read from the end are the same pages.
TEST_P(MessageQueries, InboxPagesFollowTheOrderWithoutGapsOrRepeats)
{
    InboxRepository inbox(t.db());
    for (int i = 0; i < 23; ++i)
        inbox.insert(QStringLiteral("n%1").arg(i % 7), QStringLiteral("m%1").arg(6 - i % 7),
                     baseTime().addSecs(60 * (i % 5)));
    const auto ids = [](const QVector<InboxRow> &rows) {
        QList<qint64> out;
        for (const auto &r : rows)
            out << r.id;
        return out;
    };
    for (InboxSort sort : {InboxSort::NewestFirst, InboxSort::OldestFirst, InboxSort::Sender, InboxSort::Message}) {
        const InboxQuery query{false, {}, sort};
        QList<qint64> seen;
        for (qint64 offset : {0, 5, 10, 15, 20, 22, 25}) {
            const QList<qint64> page = ids(inbox.page(query, 5, offset).value());
            EXPECT_EQ(ids(inbox.page(query, 5, offset, 23).value()), page) << int(sort) << " at " << offset;
            if (offset % 5 == 0)
                seen += page;
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen.size(), 23) << int(sort);
        EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << int(sort);
    }
    EXPECT_EQ(inbox.page({false, {}, InboxSort::Message}, 1, 0)->value(0).senderMobileNo, "n6"); // m0
    EXPECT_EQ(inbox.page({false, {}, InboxSort::Sender}, 1, 22)->value(0).senderMobileNo, "n6");
}

TEST_P(MessageQueries, OutboxFoldersAndTheirDefaultOrders)
{
    addOutbox(t, QStringLiteral("111"), QStringLiteral("b"), 3);
    addOutbox(t, QStringLiteral("222"), QStringLiteral("a"), 1);
    addOutbox(t, QStringLiteral("333"), QStringLiteral("c"), 2, baseTime().addDays(1));
    addOutbox(t, QStringLiteral("444"), QStringLiteral("d"), 4, baseTime().addDays(3));
    addOutbox(t, QStringLiteral("555"), QStringLiteral("e"), 5, baseTime().addDays(2));
    OutboxRepository outbox(t.db());

    auto numbers = [&](const OutboxQuery &q) {
        QStringList out;
        const auto rows = outbox.page(q, 100, 0);
        for (const auto &r : rows.value())
            out << r.recipientMobileNo;
        return out;
    };
    EXPECT_EQ(numbers({OutboxFolder::Waiting, {}, OutboxSort::Default}), (QStringList{"222", "111"}));
    EXPECT_EQ(numbers({OutboxFolder::Sent, {}, OutboxSort::Default}), (QStringList{"444", "555", "333"}));
    EXPECT_EQ(numbers({OutboxFolder::Sent, {}, OutboxSort::Message}), (QStringList{"333", "444", "555"}));
    EXPECT_EQ(outbox.count({OutboxFolder::Sent, QStringLiteral("55"), OutboxSort::Default}).value(), 1);
}

TEST_P(MessageQueries, OutboxDeleteKeepsToTheFolderTheRowWasSeenIn)
{
    const qint64 waiting = addOutbox(t, QStringLiteral("111"), QStringLiteral("x"), 1);
    const qint64 sent = addOutbox(t, QStringLiteral("222"), QStringLiteral("y"), 2, baseTime());
    OutboxRepository outbox(t.db());
    // Seen in the outbox but delivered meanwhile, and the other way round: left alone.
    EXPECT_FALSE(outbox.removeFromFolder(sent, OutboxFolder::Waiting).value());
    EXPECT_FALSE(outbox.removeFromFolder(waiting, OutboxFolder::Sent).value());
    EXPECT_TRUE(outbox.removeFromFolder(waiting, OutboxFolder::Waiting).value());
    EXPECT_TRUE(outbox.removeFromFolder(sent, OutboxFolder::Sent).value());
    EXPECT_EQ(outbox.count({OutboxFolder::Waiting, {}, OutboxSort::Default}).value(), 0);
    EXPECT_EQ(outbox.count({OutboxFolder::Sent, {}, OutboxSort::Default}).value(), 0);
}

TEST_P(MessageQueries, AddressBookMatchesEitherMobileOnItsLastTenDigits)
{
    t.exec(QStringLiteral("INSERT INTO UserDetails (Mobile1, Mobile2) VALUES ('0000000001', '+919812345678')"));
    AddressBookRepository book(t.db());
    EXPECT_TRUE(book.knowsNumber(QStringLiteral(" 09812345678 ")).value());
    EXPECT_TRUE(book.knowsNumber(QStringLiteral("0000000001")).value());
    EXPECT_FALSE(book.knowsNumber(QStringLiteral("9812345679")).value());
    EXPECT_FALSE(book.knowsNumber(QStringLiteral("'; DROP TABLE UserDetails; --")).value());
}

} // namespace
} // namespace parlix::test

// The message box as the operator uses it: folders, search, unread filter, orders, preview
// and read marking, deleting, the address book menu, Reply and Forward, and the rows the
// engine announces.
#include "gui/messages/MessageBoxWindow.h"
#include "../WindowFixture.h"
#include "gui/messages/ComposeWindow.h"
#include "support/MessageTestData.h"

#include <QMenu>

namespace parlix::test {
namespace {

class MessageBoxTest : public WindowFixture
{
protected:
    void open(const QString &msgType = {})
    {
        MessageBoxServices services{db.db(), &prompt, &clock, {}, {}, {}, {}, {}};
        window = std::make_unique<MessageBoxWindow>(services, msgType);
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    template <typename T> T *child(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    QTreeWidget *tree() const { return child<QTreeWidget>("TreeView1"); }
    QTreeWidget *list() const { return child<QTreeWidget>("ListMessage"); }
    QTreeWidgetItem *node(int i) const { return tree()->topLevelItem(0)->child(i); }
    QAction *tool(const char *name) const { return child<QAction>(name); }
    void clickNode(int i) { clickItem(tree(), node(i)); }
    void search(const QString &text)
    {
        QLineEdit *box = child<QLineEdit>("txtMobNo");
        QTest::mouseClick(box, Qt::LeftButton);
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    QStringList numbers() const { return columnTexts(list(), 0); }
    QStringList messages() const { return columnTexts(list(), 2); }

    std::unique_ptr<MessageBoxWindow> window;
};

TEST_F(MessageBoxTest, OpensOnTheFolderTheHomePageAskedForWithUnreadFilterAndSearch)
{
    addInbox(db, 2, /*read=*/true, QStringLiteral("+919812345678"));
    addInbox(db, 3, /*read=*/false, QStringLiteral("+919812345678"));
    addInbox(db, 4, /*read=*/false, QStringLiteral("+447700900123"));
    db.exec(QStringLiteral("UPDATE Message_InBox SET ReceivedBy='north'"));
    addOutbox(db, QStringLiteral("555"), QStringLiteral("waiting"), 1);
    EXPECT_FALSE(MessageBoxWindow::MessageBoxOpen());

    open(QStringLiteral("I"));
    EXPECT_TRUE(MessageBoxWindow::MessageBoxOpen());
    EXPECT_TRUE(window->isInBoxSelected());
    EXPECT_EQ(list()->headerItem()->text(5), QStringLiteral("Received By"));
    EXPECT_EQ(columnTexts(list(), 5), QStringList(7, QStringLiteral("north")));
    EXPECT_TRUE(list()->topLevelItem(0)->font(0).bold());
    EXPECT_EQ(node(0)->text(0), QStringLiteral("Inbox(7)"));
    EXPECT_TRUE(node(0)->font(0).bold());
    EXPECT_EQ(node(1)->text(0), QStringLiteral("Outbox(1)"));
    EXPECT_EQ(node(2)->text(0), QStringLiteral("Sent Items"));
    EXPECT_FALSE(tool("tbDelete")->isEnabled());
    search(QStringLiteral("9812345678"));
    EXPECT_EQ(numbers().size(), 3);
    QTest::mouseClick(child<QRadioButton>("optAllSMS"), Qt::LeftButton);
    EXPECT_EQ(numbers().size(), 5);
    EXPECT_EQ(child<QLabel>("lblPages")->text(), QStringLiteral("of 1 Pages. Total records: 5"));

    open(QStringLiteral("O"));
    EXPECT_TRUE(window->isOutBoxSelected());
    EXPECT_FALSE(child<QRadioButton>("optUnread")->isEnabled());

    open();
    EXPECT_EQ(window->folder(), MessageBoxWindow::Folder::None);
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    window.reset();
    EXPECT_FALSE(MessageBoxWindow::MessageBoxOpen());
}

TEST_F(MessageBoxTest, SentItemsNewestFirstAndHeaderOrders)
{
    addOutbox(db, QStringLiteral("111"), QStringLiteral("charlie"), 1, baseTime().addDays(1));
    addOutbox(db, QStringLiteral("222"), QStringLiteral("alpha"), 2, baseTime().addDays(3));
    addOutbox(db, QStringLiteral("333"), QStringLiteral("bravo"), 3, baseTime().addDays(2));
    db.exec(QStringLiteral("UPDATE Message_OutBox SET SentBy='south' WHERE RecipientMobileNo='333'"));
    open();
    clickNode(2);
    ASSERT_TRUE(window->isSentItemsSelected());
    EXPECT_EQ(numbers(), (QStringList{"222", "333", "111"}));
    EXPECT_EQ(list()->headerItem()->text(6), QStringLiteral("Sent By"));
    EXPECT_EQ(columnTexts(list(), 6), (QStringList{"", "south", ""}));
    clickHeader(list(), 2);
    EXPECT_EQ(messages(), (QStringList{"alpha", "bravo", "charlie"}));
    clickHeader(list(), 1); // the name column keeps the order
    EXPECT_EQ(messages(), (QStringList{"alpha", "bravo", "charlie"}));
    clickHeader(list(), 3);
    EXPECT_EQ(numbers(), (QStringList{"222", "333", "111"}));
    clickHeader(list(), 0);
    EXPECT_EQ(numbers(), (QStringList{"111", "222", "333"}));
}

TEST_F(MessageBoxTest, ClickingAnUnreadRowShowsItAndMarksItRead)
{
    InboxRepository inbox(db.db());
    const qint64 first =
        inbox.insert(QStringLiteral("+919812345678"), QStringLiteral("line one\r\nline two"), baseTime()).value();
    inbox.insert(QStringLiteral("+447700900123"), QStringLiteral("other"), baseTime().addSecs(-60));
    open(QStringLiteral("I"));
    child<QRadioButton>("optAllSMS")->click();
    EXPECT_EQ(messages().first(), QStringLiteral("line one line two"));

    clickItem(list(), list()->topLevelItem(0), Qt::LeftButton, 2);
    EXPECT_EQ(child<QPlainTextEdit>("txtMessage")->toPlainText(), QStringLiteral("line one\nline two"));
    EXPECT_EQ(child<QLabel>("LblNo")->text(), QStringLiteral("+919812345678"));
    EXPECT_TRUE(child<QLabel>("LblName")->text().isEmpty());
    EXPECT_TRUE(inbox.find(first)->isRead);
    EXPECT_FALSE(list()->topLevelItem(0)->font(0).bold());
    EXPECT_EQ(node(0)->text(0), QStringLiteral("Inbox(1)"));
    EXPECT_EQ(tree()->currentItem(), node(0));
    EXPECT_TRUE(tool("tbDelete")->isEnabled());
    EXPECT_TRUE(tool("tbReply")->isEnabled());

    clickItem(list(), list()->topLevelItem(1));
    EXPECT_EQ(node(0)->text(0), QStringLiteral("Inbox"));
    EXPECT_FALSE(node(0)->font(0).bold());
}

TEST_F(MessageBoxTest, DeletingAsksFirstAndTakesSelectedRowsIncludingAdjacentOnes)
{
    QVector<qint64> ids;
    for (int i = 0; i < 10; ++i)
        ids << addOutbox(db, QStringLiteral("10%1").arg(i), QStringLiteral("m%1").arg(i), i);
    open(QStringLiteral("O"));
    ASSERT_EQ(numbers().size(), 10);
    const QString question = QStringLiteral("Are you sure to delete the message(s)?");
    prompt.scriptAnswers({true}); // nothing selected: it asks first, then says so
    window->DeleteSMS();
    EXPECT_EQ(prompt.texts(),
              (QStringList{question, QStringLiteral("Please select message which you want to delete.")}));
    prompt.clear();

    // Rows 3 and 4 side by side, and row 8; row 8 was delivered after the list was shown.
    OutboxRepository(db.db()).markSent(ids[8], baseTime());
    clickItem(list(), list()->topLevelItem(3));
    clickItem(list(), list()->topLevelItem(4), Qt::LeftButton, 0, Qt::ControlModifier);
    clickItem(list(), list()->topLevelItem(8), Qt::LeftButton, 0, Qt::ControlModifier);
    prompt.scriptAnswers({false, true});
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(numbers().size(), 10);
    QTest::keyClick(list(), Qt::Key_Delete);

    EXPECT_EQ(prompt.texts(), (QStringList{question, question}));
    EXPECT_EQ(numbers(), (QStringList{"100", "101", "102", "105", "106", "107", "109"}));
    OutboxRepository outbox(db.db());
    EXPECT_EQ(outbox.count({OutboxFolder::Waiting, {}, OutboxSort::Default}).value(), 7);
    EXPECT_EQ(outbox.count({OutboxFolder::Sent, {}, OutboxSort::Default}).value(), 1); // not deleted
    EXPECT_EQ(node(1)->text(0), QStringLiteral("Outbox(7)"));
}

TEST_F(MessageBoxTest, RightClickOffersToEditAKnownContact)
{
    db.exec(QStringLiteral("INSERT INTO UserDetails (Mobile1, Mobile2) VALUES ('1', '09812345678')"));
    InboxRepository inbox(db.db());
    inbox.insert(QStringLiteral("+919812345678"), QStringLiteral("known"), baseTime());
    inbox.insert(QStringLiteral("+447700900123"), QStringLiteral("stranger"), baseTime().addSecs(-60));
    open(QStringLiteral("I"));
    auto *menu = child<QMenu>("PopUpAddBk");
    auto state = [&](const char *name) { return menu->findChild<QAction *>(QLatin1String(name))->isEnabled(); };

    // The menu pops up within the right click, so its absence needs no wait either.
    for (int row : {0, 1}) { // the known number, then the stranger
        rightClickItem(list(), list()->topLevelItem(row));
        EXPECT_TRUE(menu->isVisible());
        EXPECT_EQ(state("mnuEdit"), row == 0);
        EXPECT_EQ(state("mnuAdd"), row == 1);
        menu->close();
    }

    // Not on the number column, or not in the inbox: no menu.
    rightClickItem(list(), list()->topLevelItem(0), 2);
    EXPECT_FALSE(menu->isVisible());
    clickNode(1);
    addOutbox(db, QStringLiteral("9812345678"), QStringLiteral("x"), 1);
    clickNode(1);
    rightClickItem(list(), list()->topLevelItem(0));
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(MessageBoxTest, ReplyAndForwardFillTheComposeWindow)
{
    InboxRepository(db.db()).insert(QStringLiteral("+919812345678"), QStringLiteral("  see you\r\nat 5 "), baseTime());
    open(QStringLiteral("I"));
    clickItem(list(), list()->topLevelItem(0));

    QString numbers, message;
    auto read = [&](ComposeWindow *compose) {
        numbers = compose->findChild<QLineEdit *>(QStringLiteral("MobileNumbers"))->text();
        message = compose->findChild<QPlainTextEdit *>(QStringLiteral("Message"))->toPlainText();
        compose->reject();
    };
    whenModal<ComposeWindow>(read);
    tool("tbReply")->trigger();
    EXPECT_EQ(numbers, QStringLiteral("+919812345678"));
    EXPECT_TRUE(message.isEmpty());

    whenModal<ComposeWindow>(read);
    tool("tbForward")->trigger();
    EXPECT_TRUE(numbers.isEmpty());
    EXPECT_EQ(message, QStringLiteral("see you\nat 5"));
}

TEST_F(MessageBoxTest, EngineAnnouncementsRefreshTheWindow)
{
    addInbox(db, 1);
    open(QStringLiteral("I"));
    window->addReceivedRow(42, QStringLiteral(" +4477 "), QStringLiteral("new\r\none"), baseTime());
    ASSERT_EQ(list()->topLevelItemCount(), 2);
    EXPECT_EQ(list()->topLevelItem(0)->text(0), QStringLiteral("+4477"));
    EXPECT_EQ(list()->topLevelItem(0)->text(2), QStringLiteral("new one"));
    EXPECT_TRUE(list()->topLevelItem(0)->font(0).bold());

    const qint64 id = addOutbox(db, QStringLiteral("555"), QStringLiteral("pending"), 1);
    clickNode(1);
    OutboxRepository(db.db()).markSent(id, baseTime());
    window->RefreshMessageBoxWindow();
    EXPECT_TRUE(numbers().isEmpty());
    EXPECT_EQ(node(1)->text(0), QStringLiteral("Outbox"));
    window->addReceivedRow(43, QStringLiteral("1"), QStringLiteral("x"), baseTime()); // not the inbox: ignored
    EXPECT_TRUE(numbers().isEmpty());
}

} // namespace
} // namespace parlix::test

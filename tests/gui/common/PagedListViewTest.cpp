// The paged list view: page counts and captions, the last page, Next and Previous, and the
// page box's messages, over a real inbox table.
#include "gui/common/PagedListView.h"
#include "../WindowFixture.h"
#include "support/MessageTestData.h"

namespace parlix::test {
namespace {

class PagedListViewTest : public WindowFixture
{
protected:
    void open(int rows, PagedListView::Options options = {})
    {
        addInbox(db, rows);
        view = std::make_unique<PagedListView>(prompt, std::move(options));
        const QSqlDatabase conn = db.db();
        const InboxQuery query{false, {}, InboxSort::OldestFirst};
        view->setSource({[conn, query] { return InboxRepository(conn).count(query); },
                         [conn, query](qint64 offset, int limit, qint64 total, QTreeWidget &list) -> Status {
                             auto page = InboxRepository(conn).page(query, limit, offset, total);
                             if (!page)
                                 return page.status();
                             for (const auto &row : page.value())
                                 list.addTopLevelItem(new QTreeWidgetItem({row.message}));
                             return Status::success();
                         }});
        view->show();
        view->fill();
    }
    QString caption() const { return view->findChild<QLabel *>(QStringLiteral("lblPages"))->text(); }
    QPushButton *button(const char *name) const { return view->findChild<QPushButton *>(QLatin1String(name)); }
    QLineEdit *pageBox() const { return view->findChild<QLineEdit *>(QStringLiteral("txtPages")); }
    QStringList rows() const { return columnTexts(view->list(), 0); }

    std::unique_ptr<PagedListView> view;
};

// Next, Previous and the last page are the received SMS report's (tested there, 500 a page).
TEST_F(PagedListViewTest, CaptionsAndAPageBoxLeftToTheOperator)
{
    open(200);
    EXPECT_EQ(caption(), QStringLiteral("of 2 Total records: 200")); // pages that come out even
    db.exec(QStringLiteral("DELETE FROM Message_InBox"));
    open(250);
    EXPECT_EQ(caption(), QStringLiteral("of 3 Pages. Total records: 250"));
    QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
    EXPECT_EQ(rows().first(), QStringLiteral("message 101"));
    EXPECT_TRUE(pageBox()->text().isEmpty());
}

TEST_F(PagedListViewTest, EmptyResultKeepsTheCaptionAndPageCount)
{
    open(150);
    const QString before = caption();
    db.exec(QStringLiteral("DELETE FROM Message_InBox"));
    view->fill();
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(caption(), before);
    EXPECT_EQ(view->pageCount(), 2);
}

TEST_F(PagedListViewTest, PageBoxRefusesWhatIsNotAWholeNumber)
{
    open(250);
    view->setCurrentPage(2);
    for (const char *typed : {"2.5", "-1", "+2", "$3"}) {
        prompt.clear();
        pageBox()->clear();
        pageBox()->setText(QLatin1String(typed)); // as pasted: one change of the text
        EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Please enter numeric value.")}) << typed;
        EXPECT_EQ(pageBox()->text(), QStringLiteral("2")) << typed;
    }
}

TEST_F(PagedListViewTest, PageBoxEnterJumpsOrSaysThePageDoesNotExist)
{
    open(250);
    for (const char *typed : {"0", "4", ""}) {
        prompt.clear();
        pageBox()->setText(QLatin1String(typed));
        QTest::keyClick(pageBox(), Qt::Key_Return);
        EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("This page does not exist.")}) << typed;
        EXPECT_EQ(pageBox()->text(), QStringLiteral("1")) << typed;
    }
    prompt.clear();
    pageBox()->setText(QStringLiteral("3"));
    QTest::keyClick(pageBox(), Qt::Key_Return);
    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_EQ(view->currentPage(), 3);
    EXPECT_EQ(rows().first(), QStringLiteral("message 201"));
}

} // namespace
} // namespace parlix::test

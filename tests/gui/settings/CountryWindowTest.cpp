#include "../WindowFixture.h"

#include "gui/settings/CountryWindow.h"

namespace parlix::test {
namespace {

class CountryWindowTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        db.exec(QStringLiteral("INSERT INTO Country (CountryName, CountryCode, IsDefault) VALUES "
                               "('India','91',1),('Germany','49',0),('Kenya','254',0)"));
        window = new CountryWindow(db.db(), prompt);
        window->show();
    }
    void TearDown() override { delete window.data(); }

    QTreeWidget *list() { return child<QTreeWidget>(window, "ListCountry"); }
    QTreeWidgetItem *item(const QString &name)
    {
        const auto found = list()->findItems(name, Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found.first();
    }
    void type(const char *box, const QString &text)
    {
        child<QLineEdit>(window, box)->clear();
        QTest::keyClicks(child<QLineEdit>(window, box), text);
    }
    void click(const char *name) { QTest::mouseClick(child<QAbstractButton>(window, name), Qt::LeftButton); }
    QStringList names() const { return column("SELECT CountryName FROM Country ORDER BY CountryName"); }

    QPointer<CountryWindow> window;
};

TEST_F(CountryWindowTest, DuplicateNameIsRefusedWhateverItsCase)
{
    type("txtCountry", QStringLiteral(" GERMANY "));
    click("CmdEdit");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("This country already exist!!!")});
    EXPECT_TRUE(child<QLineEdit>(window, "txtCountry")->text().isEmpty());
    EXPECT_EQ(names().size(), 3);

    // Editing a country may keep its own name.
    list()->setCurrentItem(item(QStringLiteral("Kenya")));
    Q_EMIT list()->itemClicked(item(QStringLiteral("Kenya")), 0);
    EXPECT_EQ(child<QLineEdit>(window, "txtCode")->text(), QStringLiteral("254"));
    type("txtCode", QStringLiteral("2540"));
    prompt.clear();
    click("CmdEdit");
    EXPECT_TRUE(prompt.texts().isEmpty()) << prompt.lastText().toStdString();
    EXPECT_EQ(item(QStringLiteral("Kenya"))->text(1), QStringLiteral("2540"));
}

TEST_F(CountryWindowTest, SecondDefaultAsksBeforeMovingTheDefault)
{
    const QString question =
        QStringLiteral("The country 'India' is already set as default. Do you want to change the settings ?");
    type("txtCountry", QStringLiteral("Nepal"));
    type("txtCode", QStringLiteral("977"));
    child<QCheckBox>(window, "chkDefault")->setChecked(true);
    prompt.scriptAnswers({false});
    click("CmdEdit");
    EXPECT_EQ(prompt.texts(), QStringList{question});
    EXPECT_EQ(columnTexts(list(), 3), (QStringList{"No", "Yes", "No", "No"})); // Germany, India, Kenya, Nepal

    prompt.clear();
    Q_EMIT list()->itemClicked(item(QStringLiteral("Nepal")), 0);
    child<QCheckBox>(window, "chkDefault")->setChecked(true);
    click("CmdEdit"); // Yes
    EXPECT_EQ(prompt.texts(), QStringList{question});
    EXPECT_EQ(columnTexts(list(), 3), (QStringList{"No", "No", "No", "Yes"}));
    EXPECT_TRUE(child<QLineEdit>(window, "txtCountry")->text().isEmpty());
}

// The messages are the typing check's (tested there); the box keeps only what passed it.
TEST_F(CountryWindowTest, CodeBoxKeepsOnlyDigits)
{
    type("txtCode", QStringLiteral("+44")); // key by key: the lone sign is refused, the digits stay
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Please enter numeric value.")});
    EXPECT_EQ(child<QLineEdit>(window, "txtCode")->text(), QStringLiteral("44"));
    child<QLineEdit>(window, "txtCode")->setText(QStringLiteral("+44")); // pasted whole: cleared
    EXPECT_TRUE(child<QLineEdit>(window, "txtCode")->text().isEmpty());
}

TEST_F(CountryWindowTest, ListByNameAndACountryInUseIsKeptAndNamed)
{
    EXPECT_EQ(columnTexts(list(), 0), (QStringList{"Germany", "India", "Kenya"})); // the default: the test above
    EXPECT_EQ(item(QStringLiteral("Kenya"))->text(1), QStringLiteral("254"));
    EXPECT_FALSE(child(window, "Cmd_delete")->isEnabled());
    const qint64 kenya = item(QStringLiteral("Kenya"))->text(2).toLongLong();
    db.exec(QStringLiteral("INSERT INTO UserDetails (Mobile1, CountryId) VALUES ('254700000001', ?)"), {kenya});
    item(QStringLiteral("Kenya"))->setCheckState(0, Qt::Checked);
    item(QStringLiteral("Germany"))->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(child(window, "Cmd_delete")->isEnabled());
    prompt.scriptAnswers({false});
    click("Cmd_delete");
    EXPECT_EQ(names().size(), 3);
    prompt.clear();
    prompt.scriptAnswers({true});
    click("Cmd_delete");
    EXPECT_EQ(prompt.texts(), (QStringList{QStringLiteral("Are you sure to delete the country?"),
                                           QStringLiteral("You can not delete Country of name Kenya.Because they are "
                                                          "already in use.")}));
    EXPECT_EQ(names(), (QStringList{"India", "Kenya"}));
    EXPECT_EQ(columnTexts(list(), 0), (QStringList{"India", "Kenya"}));
}

} // namespace
} // namespace parlix::test

#include "SettingsTestSupport.h"

#include "config/CountryRepository.h"
#include "gui/settings/CountryWindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTreeWidget>

namespace parlix::test {
namespace {

class CountryWindowTest : public SettingsFixture
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
    QVector<CountryRow> countries() { return CountryRepository(db.db()).all().value(); }

    QPointer<CountryWindow> window;
};

TEST_F(CountryWindowTest, ListShowsCountriesByNameWithTheDefault)
{
    ASSERT_EQ(list()->topLevelItemCount(), 3);
    EXPECT_EQ(list()->topLevelItem(0)->text(0), QStringLiteral("Germany"));
    EXPECT_EQ(item(QStringLiteral("India"))->text(3), QStringLiteral("Yes"));
    EXPECT_EQ(item(QStringLiteral("Kenya"))->text(1), QStringLiteral("254"));
    EXPECT_FALSE(child(window, "Cmd_delete")->isEnabled());
    QTest::mouseClick(child<QCheckBox>(window, "chkAll"), Qt::LeftButton);
    EXPECT_TRUE(child(window, "Cmd_delete")->isEnabled());
}

TEST_F(CountryWindowTest, DuplicateNameIsRefusedWhateverItsCase)
{
    type("txtCountry", QStringLiteral(" GERMANY "));
    click("CmdEdit");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("This country already exist!!!")});
    EXPECT_TRUE(child<QLineEdit>(window, "txtCountry")->text().isEmpty());
    EXPECT_EQ(countries().size(), 3);

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
    EXPECT_EQ(item(QStringLiteral("Nepal"))->text(3), QStringLiteral("No"));
    EXPECT_EQ(item(QStringLiteral("India"))->text(3), QStringLiteral("Yes"));

    prompt.clear();
    Q_EMIT list()->itemClicked(item(QStringLiteral("Nepal")), 0);
    child<QCheckBox>(window, "chkDefault")->setChecked(true);
    click("CmdEdit"); // Yes
    EXPECT_EQ(prompt.texts(), QStringList{question});
    EXPECT_EQ(item(QStringLiteral("Nepal"))->text(3), QStringLiteral("Yes"));
    EXPECT_EQ(item(QStringLiteral("India"))->text(3), QStringLiteral("No"));
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

TEST_F(CountryWindowTest, CountryInUseIsKeptAndNamed)
{
    const qint64 kenya = item(QStringLiteral("Kenya"))->text(2).toLongLong();
    db.exec(QStringLiteral("INSERT INTO UserDetails (Mobile1, CountryId) VALUES ('254700000001', ?)"), {kenya});
    item(QStringLiteral("Kenya"))->setCheckState(0, Qt::Checked);
    item(QStringLiteral("Germany"))->setCheckState(0, Qt::Checked);
    prompt.scriptAnswers({false});
    click("Cmd_delete");
    EXPECT_EQ(countries().size(), 3);
    prompt.clear();
    prompt.scriptAnswers({true});
    click("Cmd_delete");
    EXPECT_EQ(prompt.texts(), (QStringList{QStringLiteral("Are you sure to delete the country?"),
                                           QStringLiteral("You can not delete Country of name Kenya.Because they are "
                                                          "already in use.")}));
    QStringList names;
    for (const CountryRow &c : countries())
        names << c.name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("India"), QStringLiteral("Kenya")}));
    EXPECT_EQ(list()->topLevelItemCount(), 2);
}

} // namespace
} // namespace parlix::test

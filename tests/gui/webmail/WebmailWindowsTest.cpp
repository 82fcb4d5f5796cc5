// The SMS user accounts window and the webmail inbox viewer, driven through their controls.
#include "../WindowFixture.h"
#include "gui/webmail/SmsAccountsWindow.h"
#include "gui/webmail/WebmailInboxWindow.h"
#include "webmail/ReceivedEmailRepository.h"

#include <QDateEdit>

namespace parlix::test {
namespace {

class WebmailWindowsTest : public WindowFixture
{
protected:
    WebmailWindowsTest() { clock.set(QDateTime(QDate(2026, 12, 5), QTime(14, 0))); }
    qint64 email(const QDateTime &when, bool sent, const QString &from, const QString &text)
    {
        return ReceivedEmailRepository(db.db())
            .insert({QStringLiteral("Name"), from, QStringLiteral("Subject"), when, QStringLiteral("text/plain"), text,
                     when, sent, sent ? QString() : QStringLiteral("SMSPassword does not exist")})
            .value();
    }
};

// ---- frm_ManageSMSUsers ---------------------------------------------------------------------

TEST_F(WebmailWindowsTest, AccountChecksStopAtTheFirstFailureWithTheFocusInItsBox)
{
    db.exec(QStringLiteral("INSERT INTO SMS_UserAccounts (SMSUserName,SMSPassword,SMSFromName,SMSBalanceCredits) "
                           "VALUES ('acme','pw','ACME',3)"));
    struct Case
    {
        const char *user, *password, *from, *credits, *message, *focus;
    };
    const Case cases[] = {
        {" ", "p", "f", "1", "Please enter SMS UserName.", "txtSMSUserName"},
        {"u", "  ", "f", "1", "Please enter SMS Password.", "txtSMSPassword"},
        {"u", "p", "", "1", "Please enter SMS From Name", "txtSMSFromName"},
        {"u", "p", "f", "ten", "Please enter SMS Balance Credits as a numeric value", "txtSMSBalanceCredits"},
        {"u", "p", "f", "", "Please enter SMS Balance Credits as a numeric value", "txtSMSBalanceCredits"},
        {" ACME ", "p", "f", "1", "This SMS UserName already exists!", "txtSMSUserName"},
        {" newbie ", "p", "Newbie Ltd", "12.5", nullptr, "txtSMSUserName"},
    };
    SmsAccountsWindow window(db.db(), prompt);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message ? c.message : "saved");
        prompt.clear();
        child<QLineEdit>(&window, "txtSMSUserName")->setText(QLatin1String(c.user));
        child<QLineEdit>(&window, "txtSMSPassword")->setText(QLatin1String(c.password));
        child<QLineEdit>(&window, "txtSMSFromName")->setText(QLatin1String(c.from));
        child<QLineEdit>(&window, "txtSMSBalanceCredits")->setText(QLatin1String(c.credits));
        child<QPushButton>(&window, "cmdSave")->click();
        EXPECT_EQ(prompt.texts(), c.message ? QStringList{QLatin1String(c.message)} : QStringList());
        EXPECT_EQ(window.focusWidget(), child(&window, c.focus));
    }
    EXPECT_EQ(column("SELECT SMSUserName||'/'||SMSBalanceCredits FROM SMS_UserAccounts ORDER BY UserId"),
              (QStringList{"acme/3", "newbie/12.5"}));
    // Saved: the boxes are empty again for the next account.
    EXPECT_TRUE(child<QLineEdit>(&window, "txtSMSUserName")->text().isEmpty());
}

TEST_F(WebmailWindowsTest, PasswordsStayMaskedAnAccountKeepsItsOwnNameAndTickedOnesAreDeletedAfterYes)
{
    db.exec(QStringLiteral("INSERT INTO SMS_UserAccounts (SMSUserName,SMSPassword,SMSFromName,SMSBalanceCredits) "
                           "VALUES ('acme','s3cret','ACME',3),('other','pw2','Other',1)"));
    SmsAccountsWindow window(db.db(), prompt);
    window.show();
    auto *list = child<QTreeWidget>(&window, "listMember");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    for (int c = 0; c < list->columnCount(); ++c)
        EXPECT_FALSE(columnTexts(list, c).contains(QStringLiteral("s3cret"))) << "column " << c;
    EXPECT_EQ(list->topLevelItem(0)->text(1), SmsAccountsWindow::maskedPassword());

    clickItem(list, list->topLevelItem(0));
    auto *password = child<QLineEdit>(&window, "txtSMSPassword");
    EXPECT_EQ(password->text(), QStringLiteral("s3cret"));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    child<QCheckBox>(&window, "chkShowPassword")->click();
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);

    // Saved under its own name, in other letters, with new credits: no duplicate.
    child<QLineEdit>(&window, "txtSMSUserName")->setText(QStringLiteral("Acme"));
    child<QLineEdit>(&window, "txtSMSBalanceCredits")->setText(QStringLiteral("40"));
    child<QPushButton>(&window, "cmdSave")->click();
    EXPECT_TRUE(prompt.texts().isEmpty()) << prompt.lastText().toStdString();
    EXPECT_EQ(column("SELECT SMSUserName||'/'||SMSPassword||'/'||SMSBalanceCredits FROM SMS_UserAccounts "
                     "ORDER BY UserId"),
              (QStringList{"Acme/s3cret/40", "other/pw2/1"}));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    auto *remove = child<QPushButton>(&window, "cmdDelete");
    EXPECT_FALSE(remove->isEnabled());
    child<QCheckBox>(&window, "chkAll")->click();
    EXPECT_TRUE(remove->isEnabled());
    prompt.scriptAnswers({false});
    remove->click();
    EXPECT_EQ(column("SELECT COUNT(*) FROM SMS_UserAccounts"), QStringList{"2"});

    child<QCheckBox>(&window, "chkAll")->click();
    EXPECT_FALSE(remove->isEnabled());
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    prompt.scriptAnswers({true});
    remove->click();
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Are you sure to delete these data?"));
    EXPECT_EQ(column("SELECT SMSUserName FROM SMS_UserAccounts"), QStringList{"Acme"});
    EXPECT_EQ(columnTexts(list, 0), QStringList{"Acme"});
    EXPECT_FALSE(remove->isEnabled());
}

// ---- frm_POP3InBoxForWebToSMS -----------------------------------------------------------------

TEST_F(WebmailWindowsTest, ViewerFiltersByOutcomeSenderUserNameAndWholeDays)
{
    const QDate today = clock.now().date();
    const QString tagged = QStringLiteral("<smsusername>%1</smsusername><message>hi</message>");
    const qint64 morning = email(QDateTime(today, QTime(9, 0)), false, "alice@acme.example", tagged.arg("acme"));
    const qint64 lastSecond =
        email(QDateTime(today, QTime(23, 59, 59)), false, "bob@other.example", "<SMSUserName>ACME2</SMSUserName>");
    const qint64 sent = email(QDateTime(today, QTime(10, 0)), true, "carol@acme.example", tagged.arg(" acme"));
    const qint64 quoted = email(QDateTime(today, QTime(11, 0)), true, "dave@other.example",
                                tagged.arg("zed") + QStringLiteral("\n> ") + tagged.arg("acme"));
    const qint64 yesterday = email(QDateTime(today.addDays(-1), QTime(12, 0)), false, "eve@acme.example", "x");
    email(QDateTime(today.addDays(1), QTime(0, 0)), false, "late@acme.example", "x");

    WebmailInboxWindow window(db.db(), prompt, clock);
    auto *list = child<QTreeWidget>(&window, "ListMessage");
    auto ids = [](std::initializer_list<qint64> keys) {
        QStringList out;
        for (qint64 k : keys)
            out << QString::number(k);
        return out;
    };
    // Opening: today's emails that were not turned into SMS, newest first.
    EXPECT_EQ(columnTexts(list, 0), ids({lastSecond, morning}));
    EXPECT_EQ(list->topLevelItem(0)->text(5), QStringLiteral("SMSPassword does not exist"));

    struct Case
    {
        int outcome;
        const char *sender, *userName;
        int fromDays;
        QStringList expected;
    };
    const Case cases[] = {
        {1, "", "", 0, ids({quoted, sent})},     {0, "acme.ex", "", 0, ids({sent, morning})},
        {0, "ob", "", 0, ids({lastSecond})},     {0, "", "acme", 0, ids({lastSecond, quoted, morning})},
        {0, "", "acme2", 0, ids({lastSecond})},  {0, "", "ac", 0, ids({lastSecond, quoted, morning})},
        {0, "acme", "acme", -1, ids({morning})}, {2, "", "", -1, ids({lastSecond, morning, yesterday})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.sender) + "/" + c.userName);
        child<QComboBox>(&window, "cmbEmailType")->setCurrentIndex(c.outcome);
        child<QLineEdit>(&window, "txtEmail")->setText(QLatin1String(c.sender));
        child<QLineEdit>(&window, "txtSMSUserName")->setText(QLatin1String(c.userName));
        child<QDateEdit>(&window, "dtpFromDate")->setDate(today.addDays(c.fromDays));
        child<QPushButton>(&window, "cmdSearch")->click();
        EXPECT_EQ(columnTexts(list, 0), c.expected);
    }
}

TEST_F(WebmailWindowsTest, ViewerShowsTheClickedTextAndDeletesSelectedRows)
{
    const QDateTime now = clock.now();
    const qint64 first = email(now.addSecs(-60), false, "a@x.example", "first text\nsecond line");
    const qint64 second = email(now.addSecs(-30), false, "b@x.example", "other");
    db.exec(QStringLiteral("INSERT INTO WebMailToSMS_ProcessedUidl (Uidl,MessagesReceivedId) VALUES ('u1',?)"),
            {first});
    WebmailInboxWindow window(db.db(), prompt, clock);
    window.show();
    auto *list = child<QTreeWidget>(&window, "ListMessage");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    clickItem(list, list->topLevelItem(1));
    EXPECT_EQ(child<QPlainTextEdit>(&window, "txtMessage")->toPlainText(), QStringLiteral("first text\nsecond line"));

    list->clearSelection();
    child<QPushButton>(&window, "cmdDeleteMails")->click();
    EXPECT_EQ(prompt.texts(), QStringList{WebmailInboxWindow::nothingSelectedText()});

    list->topLevelItem(1)->setSelected(true);
    prompt.scriptAnswers({false});
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(list->topLevelItemCount(), 2);
    prompt.scriptAnswers({true});
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(prompt.lastText(), WebmailInboxWindow::deleteQuestionText());
    EXPECT_EQ(columnTexts(list, 0), QStringList{QString::number(second)});
    EXPECT_EQ(column("SELECT id FROM WebMailToSMS_MessagesReceived"), QStringList{QString::number(second)});
    // The mailbox poller still knows the message, so it is never charged again.
    EXPECT_EQ(column("SELECT Uidl FROM WebMailToSMS_ProcessedUidl"), QStringList{"u1"});
}

} // namespace
} // namespace parlix::test

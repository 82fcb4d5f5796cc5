// The keyword and missed-call auto-reply windows in the running program: what they save is
// used by the engine's next receive pass or missed call, without a restart.
#include "../EngineWindowFixture.h"
#include "gui/autoreply/KeywordReplyWindow.h"
#include "gui/autoreply/MissedCallReplyWindow.h"
#include "gui/common/WaitWindow.h"
#include "gui/messages/MessageBoxWindow.h"

namespace parlix::test {
namespace {

using AutoReplyWindowsTest = EngineWindowFixture;

TEST_F(AutoReplyWindowsTest, KeywordEditorChecksDeletesAndALowerCaseKeywordAnswersTheNextSmsInAnyCase)
{
    openConnected();
    window->homePage(); // the message box's Auto Reply button opens the editor
    trigger("tbMessageBox");
    auto *box = qobject_cast<MessageBoxWindow *>(window->openedWindow(WindowEntry::MessageBox));
    ASSERT_NE(box, nullptr);
    box->findChild<QAction *>(QStringLiteral("tbAutoReply"))->trigger();
    auto *editor = qobject_cast<KeywordReplyWindow *>(window->openedWindow(WindowEntry::KeywordAutoReply));
    ASSERT_NE(editor, nullptr);

    auto *command = child<QLineEdit>(editor, "Text_received");
    auto *reply = child<QPlainTextEdit>(editor, "Text_reply");
    reply->setPlainText(QString(200, QLatin1Char('r')));
    EXPECT_EQ(reply->toPlainText().size(), 160);

    auto save = [&](const char *keyword, const char *answer) {
        command->setText(QLatin1String(keyword));
        reply->setPlainText(QLatin1String(answer));
        child<QPushButton>(editor, "CmdEdit")->click();
    };
    save("   ", "r");
    EXPECT_EQ(editor->focusWidget(), command);
    save("price", " \n ");
    EXPECT_EQ(editor->focusWidget(), reply);
    EXPECT_EQ(prompt.texts(), (QStringList{"Please Enter SMS Command.", "Please Enter Auto Reply."}));
    EXPECT_EQ(column("SELECT COUNT(*) FROM SMS_AutoReply"), QStringList{"0"});
    save("hours", "Open 9 to 5");
    save("price", "Prices start at 10");
    EXPECT_TRUE(command->text().isEmpty());

    // The ticked rows go after Yes.
    auto *list = child<QTreeWidget>(editor, "ListOfSMSReply");
    auto *remove = child<QPushButton>(editor, "Cmd_delete");
    EXPECT_FALSE(remove->isEnabled());
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    prompt.scriptAnswers({true});
    remove->click();
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Are you sure to delete the items?"));
    EXPECT_EQ(column("SELECT SMS_Command FROM SMS_AutoReply"), QStringList{"price"});
    EXPECT_EQ(columnTexts(list, 0), QStringList{"price"});
    child<QCheckBox>(editor, "chkSendAutoreply")->click();
    EXPECT_EQ(column("SELECT SendAutoReply FROM SMS_AutoReplySettings"), QStringList{"1"});

    // No restart: the next receive pass answers with the new keyword.
    modem.receiveSms(QStringLiteral("+447700900123"), QStringLiteral("What is your PRICE list?"));
    box->findChild<QAction *>(QStringLiteral("tbReceiveAll"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box->findChild<WaitWindow *>()->isVisible(); }, 10000));
    EXPECT_EQ(column("SELECT RecipientMobileNo||'/'||Message FROM Message_OutBox"),
              QStringList{"+447700900123/Prices start at 10"});
}

TEST_F(AutoReplyWindowsTest, MissedCallReplyIsSavedTrimmedExitKeepsItAndTheNextMissedCallUsesIt)
{
    db.exec(QStringLiteral("INSERT INTO Country (CountryName,CountryCode) VALUES ('India','91')"));
    openConnected();
    auto edit = [&](const QString &text, bool enabled, const char *button) {
        whenModal<MissedCallReplyWindow>([=](MissedCallReplyWindow *w) {
            w->findChild<QPlainTextEdit *>(QStringLiteral("Text_Message"))->setPlainText(text);
            w->findChild<QCheckBox *>(QStringLiteral("chkSetMsg"))->setChecked(enabled);
            w->findChild<QPushButton *>(QLatin1String(button))->click();
        });
        trigger("mnuAutoReplyOnMissedCall");
    };
    edit(QStringLiteral("  Sorry, we are busy.  "), true, "Cmdsend");
    EXPECT_EQ(column("SELECT Message||'/'||IsActive FROM AutoReply_OnMissedCall"),
              QStringList{"Sorry, we are busy./1"});
    EXPECT_TRUE(window->settings().AutoReplyOnMissedCallEnabled);
    EXPECT_EQ(window->settings().MissedCallReplyMessage, QStringLiteral("Sorry, we are busy."));

    edit(QStringLiteral("Something else"), false, "cmdExit");
    EXPECT_EQ(column("SELECT Message||'/'||IsActive FROM AutoReply_OnMissedCall"),
              QStringList{"Sorry, we are busy./1"});
    EXPECT_EQ(window->settings().MissedCallReplyMessage, QStringLiteral("Sorry, we are busy."));

    // The window loads what was saved; the engine got it without a restart.
    modem.ring(QStringLiteral("+919812345678"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.text().contains(QStringLiteral("+919812345678")); }, 5000));
    modem.endCall();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !column("SELECT Message FROM Message_OutBox").isEmpty(); }, 5000))
        << log.text().toStdString();
    EXPECT_EQ(column("SELECT RecipientMobileNo||'/'||Message FROM Message_OutBox"),
              QStringList{"+919812345678/Sorry, we are busy."});
}

} // namespace
} // namespace parlix::test

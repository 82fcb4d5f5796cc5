// The SIM manager and the auto-reply windows in the running program: the main window over the
// real engine thread and the modem simulator.
#include "ModemSimulator.h"

#include "../messages/WidgetHelpers.h"
#include "core/ActivityLog.h"
#include "engine/Engine.h"
#include "gui/autoreply/KeywordReplyWindow.h"
#include "gui/autoreply/MissedCallReplyWindow.h"
#include "gui/common/WaitWindow.h"
#include "gui/main/MainWindow.h"
#include "gui/messages/MessageBoxWindow.h"
#include "gui/sim/SimManagerWindow.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/TempDatabase.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

#include <gtest/gtest.h>

namespace parlix::test {
namespace {

class EngineWindowsTest : public ::testing::Test
{
protected:
    EngineWindowsTest()
        : engine({db.path(), &log, &prompt, &clock})
    {
        engine.start();
    }
    ~EngineWindowsTest() override
    {
        window.reset();
        engine.stop();
    }

    // The main window connected to the simulator, with the gateway timers off so that only
    // the commands under test talk to the modem.
    void openConnected()
    {
        QString error;
        ASSERT_TRUE(modem.start(&error)) << "the modem simulator does not start: " << error.toStdString();
        db.exec(QStringLiteral("UPDATE Timer_Setting SET EnableReceiveTimer=0, EnableSendTimer=0"));
        db.exec(QStringLiteral("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,"
                               "FlowControl,CharacterSet,EnabledCallerId,ModemDelayFactor) "
                               "VALUES (?,115200,8,'n','1','0','GSM',1,1)"),
                {modem.devicePath()});
        window = std::make_unique<MainWindow>(MainWindowServices{&log, &db.conn(), &engine, &prompt, &clock});
        ASSERT_TRUE(window->load()) << window->loadError().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->showsConnected(); }, 5000)) << log.text().toStdString();
        prompt.clear();
    }
    void trigger(const char *action) { window->findChild<QAction *>(QLatin1String(action))->trigger(); }
    template <typename T = QWidget> T *child(QWidget *w, const char *name)
    {
        auto *found = w->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QStringList column(const char *sql)
    {
        QSqlQuery q(db.db());
        EXPECT_TRUE(q.exec(QLatin1String(sql)));
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    SimManagerWindow *openSimManager()
    {
        trigger("mnuLowLevelSIMAccess");
        return qobject_cast<SimManagerWindow *>(window->openedWindow(WindowEntry::SimAccess));
    }
    // Runs a command of the SIM manager and waits for the engine to finish it.
    void runSim(SimManagerWindow *sim, const char *button)
    {
        child<QPushButton>(sim, button)->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !sim->isWorking(); }, 10000)) << log.text().toStdString();
    }

    TempDatabase db;
    ManualClock clock;
    ActivityLog log{clock};
    PromptRecorder prompt;
    sim::ModemSimulator modem;
    EngineHost engine;
    std::unique_ptr<MainWindow> window;
};

// ---- Manage Messages ---------------------------------------------------------------------------

TEST_F(EngineWindowsTest, SimManagerListsByStatusDeletesNothingOnNoAndEmptiesTheSimByType)
{
    const int first =
        modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900123"), QStringLiteral("first"));
    const int read =
        modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+447700900999"), QStringLiteral("old"));
    const int second =
        modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+919812345678"), QStringLiteral("second"));
    modem.addMessage(QStringLiteral("STO SENT"), QStringLiteral("+14155550199"), QStringLiteral("gone out"));
    openConnected();
    SimManagerWindow *sim = openSimManager();
    ASSERT_NE(sim, nullptr);
    auto *list = child<QTreeWidget>(sim, "Listmessage");

    child<QCheckBox>(sim, "chkReadUnRead")->setChecked(true);
    child<QPushButton>(sim, "cmdShow")->click();
    EXPECT_TRUE(sim->findChild<WaitWindow *>()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sim->isWorking(); }, 10000)) << log.text().toStdString();
    EXPECT_FALSE(sim->findChild<WaitWindow *>()->isVisible());
    EXPECT_EQ(columnTexts(list, 0), (QStringList{"first", "second"}));
    EXPECT_EQ(columnTexts(list, 1), (QStringList{"UNREAD", "UNREAD"}));
    EXPECT_EQ(columnTexts(list, 2), (QStringList{"+447700900123", "+919812345678"}));
    EXPECT_EQ(columnTexts(list, 3), (QStringList{QString::number(first), QString::number(second)}));

    // One block per ticked status, in a fixed order; listing the unread ones made them read.
    child<QCheckBox>(sim, "chkReadAll")->setChecked(true);
    child<QCheckBox>(sim, "chkReadRead")->setChecked(true);
    runSim(sim, "cmdShow");
    EXPECT_EQ(columnTexts(list, 1), (QStringList{"ALL", "ALL", "ALL", "ALL", "READ", "READ", "READ"}));
    EXPECT_EQ(columnTexts(list, 3).count(QString::number(read)), 2);

    child<QCheckBox>(sim, "chkAll")->click();
    prompt.scriptAnswers({false});
    child<QPushButton>(sim, "cmdDeleteSelected")->click();
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Are you sure to delete the selected messages?"));
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(child<QCheckBox>(sim, "chkReadUnRead")->isChecked());
    QTest::qWait(100);
    EXPECT_EQ(modem.messages().size(), 4);

    child<QCheckBox>(sim, "chkDeleteAll")->setChecked(true);
    prompt.scriptAnswers({true});
    runSim(sim, "cmdDelete");
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Are you sure to delete the Messages?"));
    EXPECT_TRUE(modem.messages().isEmpty());
}

TEST_F(EngineWindowsTest, SimManagerDeletesTheTickedEntriesOnly)
{
    modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+447700900123"), QStringLiteral("keep"));
    const int drop =
        modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+447700900124"), QStringLiteral("drop"));
    openConnected();
    SimManagerWindow *sim = openSimManager();
    ASSERT_NE(sim, nullptr);
    child<QCheckBox>(sim, "chkReadRead")->setChecked(true);
    runSim(sim, "cmdShow");
    auto *list = child<QTreeWidget>(sim, "Listmessage");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    prompt.scriptAnswers({true});
    runSim(sim, "cmdDeleteSelected");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    ASSERT_EQ(modem.messages().size(), 1);
    EXPECT_EQ(modem.messages().first().text, QStringLiteral("keep"));
    EXPECT_TRUE(modem.commands().contains(QStringLiteral("AT+CMGD=%1").arg(drop)));
}

TEST_F(EngineWindowsTest, SimManagerWithThePortClosedSaysSoAndSendsNothing)
{
    modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+447700900123"), QStringLiteral("hi"));
    openConnected();
    trigger("mnustop");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->portConnected(); }, 5000));
    SimManagerWindow *sim = openSimManager();
    ASSERT_NE(sim, nullptr);
    modem.clearLog();
    child<QCheckBox>(sim, "chkReadUnRead")->setChecked(true);
    runSim(sim, "cmdShow");
    child<QCheckBox>(sim, "chkDeleteAll")->setChecked(true);
    prompt.scriptAnswers({true});
    runSim(sim, "cmdDelete");
    const QString notCommunicating = QStringLiteral("Computer is not communicating with the modem. Please select the "
                                                    "option 'Listen To Modem' before executing any modem commands.");
    EXPECT_EQ(prompt.texts(), (QStringList{notCommunicating, QStringLiteral("Are you sure to delete the Messages?"),
                                           notCommunicating}));
    EXPECT_TRUE(modem.commands().isEmpty());
    EXPECT_EQ(modem.messages().size(), 1);
}

// ---- Frm_Reply -----------------------------------------------------------------------------------

TEST_F(EngineWindowsTest, KeywordEditorChecksLimitsAndALowerCaseKeywordAnswersTheNextSmsInAnyCase)
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
    QTest::keyClicks(command, QStringLiteral("abcdefghijklmnopqrst"));
    EXPECT_EQ(command->text(), QStringLiteral("abcdefghijklmno"));
    reply->setPlainText(QString(200, QLatin1Char('r')));
    EXPECT_EQ(reply->toPlainText().size(), 160);

    struct Case
    {
        const char *command, *reply, *message, *focus;
    };
    const Case cases[] = {
        {"   ", "r", "Please Enter SMS Command.", "Text_received"},
        {"price", " \n ", "Please Enter Auto Reply.", "Text_reply"},
    };
    for (const Case &c : cases) {
        prompt.clear();
        command->setText(QLatin1String(c.command));
        reply->setPlainText(QLatin1String(c.reply));
        child<QPushButton>(editor, "CmdEdit")->click();
        EXPECT_EQ(prompt.texts(), QStringList{QLatin1String(c.message)});
        EXPECT_EQ(editor->focusWidget(), child(editor, c.focus));
    }
    EXPECT_EQ(column("SELECT COUNT(*) FROM SMS_AutoReply"), QStringList{"0"});

    command->setText(QStringLiteral("price"));
    reply->setPlainText(QStringLiteral("Prices start at 10"));
    child<QPushButton>(editor, "CmdEdit")->click();
    EXPECT_EQ(columnTexts(child<QTreeWidget>(editor, "ListOfSMSReply"), 0), QStringList{"price"});
    EXPECT_TRUE(command->text().isEmpty());
    child<QCheckBox>(editor, "chkSendAutoreply")->click();
    EXPECT_EQ(column("SELECT SendAutoReply FROM SMS_AutoReplySettings"), QStringList{"1"});

    // No restart: the next receive pass answers with the new keyword.
    modem.receiveSms(QStringLiteral("+447700900123"), QStringLiteral("What is your PRICE list?"));
    box->findChild<QAction *>(QStringLiteral("tbReceiveAll"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box->findChild<WaitWindow *>()->isVisible(); }, 10000));
    EXPECT_EQ(column("SELECT RecipientMobileNo||'/'||Message FROM Message_OutBox"),
              QStringList{"+447700900123/Prices start at 10"});
}

TEST_F(EngineWindowsTest, KeywordEditorDeletesTheTickedRows)
{
    db.exec(QStringLiteral("INSERT INTO SMS_AutoReply (SMS_Command,SMS_Reply) VALUES ('a','1'),('b','2'),('c','3')"));
    KeywordReplyWindow editor(db.db(), prompt);
    auto *list = child<QTreeWidget>(&editor, "ListOfSMSReply");
    auto *remove = child<QPushButton>(&editor, "Cmd_delete");
    EXPECT_FALSE(remove->isEnabled());
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    list->topLevelItem(2)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(remove->isEnabled());
    prompt.scriptAnswers({true});
    remove->click();
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Are you sure to delete the items?"));
    EXPECT_EQ(column("SELECT SMS_Command FROM SMS_AutoReply"), QStringList{"b"});
    EXPECT_EQ(columnTexts(list, 0), QStringList{"b"});
}

// ---- AutoReply on Missed Call ----------------------------------------------------------------------

TEST_F(EngineWindowsTest, MissedCallReplyIsSavedTrimmedExitKeepsItAndTheNextMissedCallUsesIt)
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

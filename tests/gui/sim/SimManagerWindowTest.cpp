// The SIM manager over the real engine thread and the modem simulator.
#include "gui/sim/SimManagerWindow.h"
#include "../EngineWindowFixture.h"
#include "gui/common/WaitWindow.h"

namespace parlix::test {
namespace {

class SimManagerWindowTest : public EngineWindowFixture
{
protected:
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
};

// The port closed at the end: the window says so and nothing reaches the modem.
TEST_F(SimManagerWindowTest, SimManagerListsByStatusDeletesTheTickedOnesEmptiesTheSimAndNeedsThePort)
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

    // No sends nothing to the engine, Yes only the ticked entries.
    child<QCheckBox>(sim, "chkAll")->click();
    prompt.scriptAnswers({false});
    child<QPushButton>(sim, "cmdDeleteSelected")->click();
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Are you sure to delete the selected messages?"));
    EXPECT_FALSE(sim->isWorking());
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(child<QCheckBox>(sim, "chkReadUnRead")->isChecked());
    child<QCheckBox>(sim, "chkReadRead")->setChecked(true);
    runSim(sim, "cmdShow");
    ASSERT_EQ(columnTexts(list, 0), (QStringList{"first", "old", "second"}));
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    prompt.scriptAnswers({true});
    runSim(sim, "cmdDeleteSelected");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(modem.commands().contains(QStringLiteral("AT+CMGD=%1").arg(read)));
    ASSERT_EQ(modem.messages().size(), 3);

    child<QCheckBox>(sim, "chkDeleteAll")->setChecked(true);
    prompt.scriptAnswers({true});
    runSim(sim, "cmdDelete");
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Are you sure to delete the Messages?"));
    EXPECT_TRUE(modem.messages().isEmpty());

    trigger("mnustop");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->portConnected(); }, 5000));
    modem.clearLog();
    prompt.clear();
    child<QCheckBox>(sim, "chkReadUnRead")->setChecked(true);
    runSim(sim, "cmdShow");
    prompt.scriptAnswers({true});
    runSim(sim, "cmdDelete");
    const QString notCommunicating = QStringLiteral("Computer is not communicating with the modem. Please select the "
                                                    "option 'Listen To Modem' before executing any modem commands.");
    EXPECT_EQ(prompt.texts(), (QStringList{notCommunicating, QStringLiteral("Are you sure to delete the Messages?"),
                                           notCommunicating}));
    EXPECT_TRUE(modem.commands().isEmpty());
}

} // namespace
} // namespace parlix::test

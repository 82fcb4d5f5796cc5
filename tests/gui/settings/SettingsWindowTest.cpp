#include "../WindowFixture.h"

#include "core/BlockingWindow.h"
#include "gui/settings/SettingsWindow.h"
#include "store/OutboxRepository.h"
#include "store/SettingsRepository.h"

#include <QTabWidget>

namespace parlix::test {
namespace {

const QString kReceiveTooSmall =
    QStringLiteral("Automatically receive all messages time should be greater than or equal to 3.");

class SettingsWindowTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        qRegisterMetaType<parlix::RuntimeSettings>();
        window = new SettingsWindow(services());
        window->show();
    }
    void TearDown() override { delete window.data(); }

    QLineEdit *edit(const char *name) { return child<QLineEdit>(window, name); }
    QComboBox *combo(const char *name) { return child<QComboBox>(window, name); }
    // Clicks a button as the operator would: on the tab that shows it.
    void click(const char *name)
    {
        auto *button = child<QAbstractButton>(window, name);
        auto *tabs = child<QTabWidget>(window, "tabSettings");
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i)->isAncestorOf(button))
                tabs->setCurrentIndex(i);
        }
        // Near the left edge: an option's indicator and text, not the empty stretch beside them.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(qMin(8, button->width() / 2), button->height() / 2));
    }
    void setText(const char *name, const QString &text) { edit(name)->setText(text); }
    QString currentTab() const
    {
        return child<QTabWidget>(window, "tabSettings")
            ->tabText(child<QTabWidget>(window, "tabSettings")->currentIndex());
    }
    QString focused() const { return window->focusWidget() ? window->focusWidget()->objectName() : QString(); }

    void fillMailbox(const QString &interval = QStringLiteral("30"))
    {
        setText("Pop3MailServer", QStringLiteral(" pop.example.net "));
        setText("Pop3Port", QStringLiteral("110"));
        setText("POP3UserName", QStringLiteral("gateway"));
        setText("POP3Password", QStringLiteral("s3cret"));
        setText("EmailCheckInterval", interval);
    }
    // The other serial choices keep what a new database shows.
    void fillModem()
    {
        combo("Combo_comportNo")->setEditText(QStringLiteral("/dev/ttyUSB0"));
        combo("Cmb_FlowControl")->setCurrentText(QStringLiteral("Hardware"));
        combo("cmbDelay")->setCurrentText(QStringLiteral("1.5"));
    }
    void fillSmtp(const QString &address)
    {
        click("OptSMSDeliverySMTPSMSGateway");
        setText("txtSMSSMTPFromName", QStringLiteral("Kovax"));
        setText("txtSMSSMTPServer", QStringLiteral("smtp.example.net"));
        setText("txtSMSSMTPPort", QStringLiteral("25"));
        setText("txtSMSSMTPEmailPostfix", QStringLiteral("sms.example.net"));
        setText("txtSMSSMTPYourEmailAddress", address);
    }

    QPointer<SettingsWindow> window;
};

// The messages are the typing check's (tested there); both boxes use it and drop the refused key.
TEST_F(SettingsWindowTest, SecondsBoxesRefuseWhatCannotBeATimerPeriod)
{
    edit("txttime")->clear();
    QTest::keyClicks(edit("txttime"), QStringLiteral("1,5"));
    EXPECT_EQ(edit("txttime")->text(), QStringLiteral("5"));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Quama is not allowed in time.")});
    EXPECT_EQ(prompt.requests().value(0).icon, Prompt::Icon::None);
    edit("txtSendmsgtime")->clear();
    QTest::keyClicks(edit("txtSendmsgtime"), QStringLiteral("70"));
    EXPECT_TRUE(edit("txtSendmsgtime")->text().isEmpty());
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Send Message time should be less than or equal to 65 seconds."));
}

TEST_F(SettingsWindowTest, MailboxIsCheckedEvenWhenWebmailIsOff)
{
    ASSERT_FALSE(child<QCheckBox>(window, "chkEnableWebMailToSMS")->isChecked());
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Please Enter POP3 Mail Server Name / IP")});
    EXPECT_EQ(focused(), QStringLiteral("Pop3MailServer"));
    EXPECT_EQ(currentTab(), QStringLiteral("Email - To - SMS Settings"));
    EXPECT_TRUE(column("SELECT * FROM WebMailToSMS_POP3Settings").isEmpty());
}

// A receive period under 3 stops the save after the mailbox row was written and announced.
TEST_F(SettingsWindowTest, CheckIntervalBoundsAndAReceivePeriodOfTwo)
{
    const QString bounds =
        QStringLiteral("Please insert seconds greater than or equal to 3 and less than or equal to 86400.");
    QSignalSpy saved(window.data(), &SettingsWindow::settingsSaved);
    child<QCheckBox>(window, "chkEnableWebMailToSMS")->setChecked(true);
    fillModem();
    for (auto [interval, message] : {std::pair{"2", bounds}, std::pair{"86401", bounds},
                                     std::pair{"abc", QStringLiteral("Please Enter Numeric Email Checking Interval")},
                                     std::pair{"86400", QString()}, std::pair{"3", QString()}}) {
        SCOPED_TRACE(interval);
        prompt.clear();
        saved.clear();
        fillMailbox(QString::fromLatin1(interval));
        setText("txttime", QStringLiteral("2"));
        click("cmdSave1");
        if (!message.isEmpty()) {
            EXPECT_EQ(prompt.texts(), QStringList{message});
            EXPECT_EQ(focused(), QStringLiteral("EmailCheckInterval"));
            EXPECT_EQ(saved.count(), 0);
        } else {
            EXPECT_EQ(prompt.texts(), QStringList{kReceiveTooSmall});
            EXPECT_EQ(focused(), QStringLiteral("txttime"));
            EXPECT_EQ(currentTab(), QStringLiteral("SMS Timer Settings"));
            ASSERT_EQ(saved.count(), 1);
            const auto settings = saved.at(0).at(0).value<RuntimeSettings>();
            EXPECT_EQ(settings.POP3MailServer, QStringLiteral("pop.example.net"));
            EXPECT_TRUE(settings.WebMailToSMSEnabled);
            EXPECT_EQ(settings.webMailTimerMs, QString::fromLatin1(interval).toLongLong() * 1000);
        }
    }
    EXPECT_EQ(column("SELECT EmailCheckInterval FROM WebMailToSMS_POP3Settings"), QStringList{"3"});
    EXPECT_EQ(column("SELECT ReceiveAllMessagesTime FROM Timer_Setting"), QStringList{"10"});
    EXPECT_TRUE(column("SELECT * FROM ModemSettings").isEmpty());
}

TEST_F(SettingsWindowTest, SmtpGatewayFieldsAreRequiredInOrderAndTheAddressNeedsAnAt)
{
    fillMailbox();
    fillModem();
    setText("txttime", QStringLiteral("20"));
    click("OptSMSDeliverySMTPSMSGateway");
    click("cmdSave1");
    EXPECT_EQ(prompt.lastText(),
              QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter default From Name."));
    EXPECT_EQ(focused(), QStringLiteral("txtSMSSMTPFromName"));
    setText("txtSMSSMTPFromName", QStringLiteral("Kovax"));
    click("cmdSave1");
    EXPECT_EQ(prompt.lastText(),
              QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter SMTP server."));

    fillSmtp(QStringLiteral("gateway.example.net"));
    prompt.clear();
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(),
              QStringList{QStringLiteral("Your Email Address on SMTP Server must contain '@' character.")});
    EXPECT_EQ(focused(), QStringLiteral("txtSMSSMTPYourEmailAddress"));
    EXPECT_EQ(column("SELECT ReceiveAllMessagesTime||'/'||SMSDeliveryMedia FROM Timer_Setting"),
              QStringList{"10/MODEM"});
}

TEST_F(SettingsWindowTest, MixModeDigitsAreNormalisedIntoTableBoxAndSettings)
{
    QSignalSpy saved(window.data(), &SettingsWindow::settingsSaved);
    fillMailbox();
    fillModem();
    click("OptSMSDeliveryMixMode");
    click("OptSMSMixMode_ThroughSMSSMTP");
    setText("txtSMSMixModeMobilesStartWith", QStringLiteral("+91937; 922"));
    click("cmdSave1");

    ASSERT_EQ(prompt.texts().size(), 2);
    EXPECT_TRUE(
        prompt.texts().at(0).startsWith(QStringLiteral("You have selected 'MIX MODE' as your SMS delivery option.\n")));
    EXPECT_EQ(prompt.texts().at(1), QStringLiteral("Settings Saved Successfully!!!"));
    EXPECT_EQ(edit("txtSMSMixModeMobilesStartWith")->text(), QStringLiteral("91937,922"));
    EXPECT_EQ(
        column("SELECT MixModeMobileNumbers||'/'||SMSDeliveryMedia||'/'||MixModeDeliveryMedia FROM Timer_Setting"),
        QStringList{"91937,922/MIXMODE/SMTPSMSGATEWAY"});
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.at(0).at(0).value<RuntimeSettings>().MixModeMobileNumbers, QStringLiteral("91937,922"));
}

TEST_F(SettingsWindowTest, CompleteSaveGivesWhatTheNextStartWouldLoad)
{
    QSignalSpy saved(window.data(), &SettingsWindow::settingsSaved);
    fillMailbox();
    child<QCheckBox>(window, "chkEnableWebMailToSMS")->setChecked(true);
    fillModem();
    fillSmtp(QStringLiteral("office@sms.example.net"));
    child<QCheckBox>(window, "chkIsFromNameSentByMaskingYourEmail")->setChecked(true);
    setText("txttime", QStringLiteral("60"));
    child<QCheckBox>(window, "chkEnableSend")->setChecked(false);
    combo("cmbSMSFormat")->setCurrentText(QStringLiteral("Text"));
    child<QCheckBox>(window, "chkDeliveryReports")->setChecked(true);
    click("cmdSave1");

    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Settings Saved Successfully!!!")});
    EXPECT_EQ(column("SELECT CommPortNo||'/'||BitsPerSecond||'/'||Parity||'/'||FlowControl||'/'||StopBits||'/'||"
                     "ModemDelayFactor||'/'||SMSFormat||'/'||IsDeliveryReportRequested FROM ModemSettings"),
              QStringList{"/dev/ttyUSB0/9600/n/2/1/1.5/TEXT/1"});

    SettingsRepository repository(db.db());
    auto loaded = loadRuntimeSettings(repository.readAll().value());
    ASSERT_TRUE(loaded) << loaded.error().toStdString();
    ASSERT_EQ(saved.count(), 1);
    const auto s = saved.at(0).at(0).value<RuntimeSettings>();
    // What the window hands the engine is what the next start would load.
    const auto fields = [](const RuntimeSettings &x) {
        return QVariantList{x.POP3MailServer,      x.POP3Port.toInt(),         x.POP3Password,
                            x.EmailCheckInterval,  x.webMailTimerMs,           int(x.SMSDeliveryMedia),
                            x.SMSSMTPPort,         x.MaskedEmailDomain,        x.ReceiveIntervalSeconds,
                            x.SendIntervalSeconds, int(x.SIMCardDeliveryMode), x.ModemDelayFactor};
    };
    EXPECT_EQ(fields(s), fields(loaded.value()));
    EXPECT_EQ(s.MaskedEmailDomain, QStringLiteral("sms.example.net"));
    EXPECT_EQ(s.SendIntervalSeconds, 0);

    // Reopening shows the stored words, not the stored letters.
    delete window.data();
    window = new SettingsWindow(services());
    EXPECT_EQ(combo("Combo_Parity")->currentText(), QStringLiteral("None"));
    EXPECT_EQ(combo("Cmb_FlowControl")->currentText(), QStringLiteral("Hardware"));
    EXPECT_EQ(combo("cmbDelay")->currentText(), QStringLiteral("1.5"));
    EXPECT_EQ(combo("cmbSMSFormat")->currentText(), QStringLiteral("Text"));
    EXPECT_TRUE(child<QCheckBox>(window, "chkDeliveryReports")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(window, "OptSMSDeliverySMTPSMSGateway")->isChecked());
    EXPECT_EQ(edit("POP3Password")->echoMode(), QLineEdit::Password);
}

TEST_F(SettingsWindowTest, ModemChoicesAreRequiredAndTheDelayFactorLast)
{
    fillMailbox();
    fillModem();
    combo("cmbDelay")->setCurrentIndex(-1);
    setText("txttime", QStringLiteral("20"));
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Please select Modem Delay Factor.")});
    EXPECT_EQ(focused(), QStringLiteral("cmbDelay"));
    EXPECT_EQ(currentTab(), QStringLiteral("Modem Settings"));
    // The timer row was written before the modem checks.
    EXPECT_EQ(column("SELECT ReceiveAllMessagesTime FROM Timer_Setting"), QStringList{"20"});
    EXPECT_TRUE(column("SELECT * FROM ModemSettings").isEmpty());
}

TEST_F(SettingsWindowTest, NewDatabaseShowsTheSerialDefaultsSoThePortCompletesTheRow)
{
    fillMailbox();
    combo("Combo_comportNo")->setEditText(QStringLiteral("/dev/ttyUSB0"));
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Settings Saved Successfully!!!")});
    EXPECT_EQ(column("SELECT CommPortNo||'/'||BitsPerSecond||'/'||DataBits||'/'||Parity||'/'||StopBits||'/'||"
                     "FlowControl||'/'||CharacterSet||'/'||ModemDelayFactor||'/'||SMSFormat||'/'||"
                     "IsDeliveryReportRequested FROM ModemSettings"),
              QStringList{"/dev/ttyUSB0/9600/8/n/1/0/GSM/1/PDU/0"});
}

TEST_F(SettingsWindowTest, RestartQuestionOnlyForASpeedTakenFromTheFoundList)
{
    const QString question =
        QStringLiteral("You have changed the default settings for 'bits / seconds', this needs "
                       "to restart(OFF & ON) your modem.\nDo you still want to save the settings?");
    fillMailbox();
    fillModem();
    combo("Combo_BitsPerSec")->setEditText(QStringLiteral("115200"));
    click("cmdSave1");
    EXPECT_FALSE(prompt.texts().contains(question));
    EXPECT_EQ(prompt.lastText(), QStringLiteral("Settings Saved Successfully!!!"));

    prompt.clear();
    window->applyFoundModem(QStringLiteral(" /dev/ttyACM1"));
    prompt.scriptAnswers({false});
    click("cmdSave1");
    EXPECT_EQ(prompt.lastText(), question);
    EXPECT_EQ(focused(), QStringLiteral("Combo_BitsPerSec"));
    EXPECT_TRUE(window->selectPortFromList());
    EXPECT_EQ(column("SELECT CommPortNo FROM ModemSettings"), QStringList{"/dev/ttyUSB0"});

    prompt.clear();
    click("cmdSave1"); // Yes
    EXPECT_EQ(prompt.texts(), (QStringList{question, QStringLiteral("Settings Saved Successfully!!!")}));
    EXPECT_FALSE(window->selectPortFromList());
    EXPECT_EQ(column("SELECT CommPortNo||'/'||ModemDelayFactor FROM ModemSettings"), QStringList{"/dev/ttyACM1/2.25"});
}

TEST_F(SettingsWindowTest, NoDeliveryOptionWritesNoTimerRow)
{
    db.exec(QStringLiteral("UPDATE Timer_Setting SET SMSDeliveryMedia=NULL, ReceiveAllMessagesTime=10"));
    delete window.data();
    window = new SettingsWindow(services());
    fillMailbox();
    setText("txttime", QStringLiteral("30"));
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("You must select atleast one SMS delivey media")});
    EXPECT_EQ(currentTab(), QStringLiteral("SMS Timer Settings"));
    EXPECT_EQ(column("SELECT ReceiveAllMessagesTime FROM Timer_Setting"), QStringList{"10"});
}

TEST_F(SettingsWindowTest, DeliveryOptionShowsItsFrameAndTicksEnableTheirBoxes)
{
    const char *options[] = {"OptSMSDeliveryModem", "OptSMSDeliverySMTPSMSGateway", "OptSMSDeliveryMixMode"};
    const char *frames[] = {"fraSIMCardDelivery", "fraSMTPSettings", "fraMixModeRules"};
    for (int chosen : {1, 2, 0}) {
        click(options[chosen]);
        for (int f = 0; f < 3; ++f)
            EXPECT_EQ(child(window, frames[f])->isVisible(), f == chosen) << options[chosen] << " " << frames[f];
    }
    child<QCheckBox>(window, "chkEnableReceive")->setChecked(false);
    EXPECT_FALSE(edit("txttime")->isEnabled());
    child<QCheckBox>(window, "chkEnableReceive")->setChecked(true);
    EXPECT_TRUE(edit("txttime")->isEnabled());
}

TEST_F(SettingsWindowTest, OpenPortLocksTheModemSettings)
{
    auto *alert = child<QLabel>(window, "lblAlertMsg");
    EXPECT_FALSE(alert->isVisibleTo(window));
    window->setPortConnected(true);
    EXPECT_TRUE(alert->isVisibleTo(window));
    EXPECT_FALSE(alert->text().isEmpty());
    for (const char *name : {"Combo_comportNo", "Combo_BitsPerSec", "cmbDelay", "chkEnbCallID", "cmdChkModem"})
        EXPECT_FALSE(child(window, name)->isEnabled()) << name;
    window->setPortConnected(false);
    EXPECT_TRUE(child(window, "cmdChkModem")->isEnabled());
}

// Which rows count as sending is the store's (tested there); a lease that ran out is put back.
TEST_F(SettingsWindowTest, ResetStatusReturnsAnExpiredSendingRowToWaiting)
{
    OutboxRepository outbox(db.db());
    const QDateTime when = clock.now();
    const qint64 stuck = outbox.insertPending(QStringLiteral("+15550001"), QStringLiteral("a"), when).value();
    ASSERT_EQ(outbox.claimWaiting(QStringLiteral("gone"), when.addSecs(-1), 1)->first().id, stuck);
    click("cmdResetStatus");
    EXPECT_TRUE(outbox.find(stuck)->deliveryStatus.isEmpty());
}

TEST_F(SettingsWindowTest, WhatIsThisAndTheBlockingFlag)
{
    EXPECT_TRUE(BlockingWindowOpen());
    Q_EMIT child<QLabel>(window, "lblWhatIsThis")->linkActivated(QStringLiteral("#"));
    EXPECT_TRUE(prompt.lastText().startsWith(QStringLiteral("To mask (change) the sender's mobile number")));
    click("cmdExit3");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }));
    EXPECT_FALSE(BlockingWindowOpen());
}

} // namespace
} // namespace parlix::test

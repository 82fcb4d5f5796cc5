#include "SettingsTestSupport.h"

#include "core/BlockingWindow.h"
#include "gui/settings/SettingsWindow.h"
#include "store/OutboxRepository.h"
#include "store/SettingsRepository.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

namespace parlix::test {
namespace {

const QString kReceiveTooSmall =
    QStringLiteral("Automatically receive all messages time should be greater than or equal to 3.");

class SettingsWindowTest : public SettingsFixture
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
    void fillModem()
    {
        combo("Combo_comportNo")->setEditText(QStringLiteral("/dev/ttyUSB0"));
        combo("Combo_BitsPerSec")->setEditText(QStringLiteral("9600"));
        combo("Combo_DataBits")->setCurrentText(QStringLiteral("8"));
        combo("Combo_Parity")->setCurrentText(QStringLiteral("None"));
        combo("Combo_stopBit")->setCurrentText(QStringLiteral("1"));
        combo("Cmb_FlowControl")->setCurrentText(QStringLiteral("Hardware"));
        combo("cmb_CharSet")->setCurrentText(QStringLiteral("GSM"));
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

TEST_F(SettingsWindowTest, SecondsBoxesRefuseWhatCannotBeATimerPeriod)
{
    struct Case
    {
        const char *box;
        const char *typed;
        QString message;  // empty: stays
        const char *left; // what the box holds after the last key
    } cases[] = {
        {"txttime", "70", QStringLiteral("Receive message time should be less than or equal to 65 seconds."), ""},
        {"txttime", "65", QString(), "65"},
        // The comma is refused as it is typed; the key after it starts afresh.
        {"txttime", "1,5", QStringLiteral("Quama is not allowed in time."), "5"},
        {"txtSendmsgtime", "70", QStringLiteral("Send Message time should be less than or equal to 65 seconds."), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.box) + " " + c.typed);
        prompt.clear();
        edit(c.box)->clear();
        QTest::keyClicks(edit(c.box), QString::fromLatin1(c.typed));
        EXPECT_EQ(edit(c.box)->text(), QString::fromLatin1(c.left));
        if (c.message.isEmpty()) {
            EXPECT_TRUE(prompt.texts().isEmpty());
        } else {
            EXPECT_EQ(prompt.texts(), QStringList{c.message});
            EXPECT_EQ(prompt.requests().value(0).icon, Prompt::Icon::None);
        }
    }
}

TEST_F(SettingsWindowTest, ReceivePeriodOfTwoStopsAfterTheMailboxWasSaved)
{
    QSignalSpy saved(window.data(), &SettingsWindow::settingsSaved);
    fillMailbox();
    fillModem();
    setText("txttime", QStringLiteral("2"));
    click("cmdSave1");

    EXPECT_EQ(prompt.texts(), QStringList{kReceiveTooSmall});
    EXPECT_EQ(focused(), QStringLiteral("txttime"));
    EXPECT_EQ(currentTab(), QStringLiteral("SMS Timer Settings"));
    const QVariantMap pop3 = row(QStringLiteral("SELECT * FROM WebMailToSMS_POP3Settings"));
    EXPECT_EQ(pop3.value("POP3MailServer").toString(), QStringLiteral("pop.example.net"));
    EXPECT_EQ(pop3.value("EmailCheckInterval").toInt(), 30);
    EXPECT_EQ(row(QStringLiteral("SELECT * FROM Timer_Setting")).value("ReceiveAllMessagesTime").toInt(), 10);
    EXPECT_TRUE(row(QStringLiteral("SELECT * FROM ModemSettings")).isEmpty());
    // The engine hears of the mailbox change even though the save stopped.
    ASSERT_EQ(saved.count(), 1);
    const auto settings = saved.at(0).at(0).value<RuntimeSettings>();
    EXPECT_EQ(settings.POP3MailServer, QStringLiteral("pop.example.net"));
    EXPECT_FALSE(settings.WebMailToSMSEnabled);
}

TEST_F(SettingsWindowTest, MailboxIsCheckedEvenWhenWebmailIsOff)
{
    ASSERT_FALSE(child<QCheckBox>(window, "chkEnableWebMailToSMS")->isChecked());
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Please Enter POP3 Mail Server Name / IP")});
    EXPECT_EQ(focused(), QStringLiteral("Pop3MailServer"));
    EXPECT_EQ(currentTab(), QStringLiteral("Email - To - SMS Settings"));
    EXPECT_TRUE(row(QStringLiteral("SELECT * FROM WebMailToSMS_POP3Settings")).isEmpty());
}

TEST_F(SettingsWindowTest, CheckIntervalBounds)
{
    const QString bounds =
        QStringLiteral("Please insert seconds greater than or equal to 3 and less than or equal to 86400.");
    QSignalSpy saved(window.data(), &SettingsWindow::settingsSaved);
    child<QCheckBox>(window, "chkEnableWebMailToSMS")->setChecked(true);
    for (auto [interval, message] : {std::pair{"2", bounds}, std::pair{"86401", bounds},
                                     std::pair{"abc", QStringLiteral("Please Enter Numeric Email Checking Interval")},
                                     std::pair{"86400", QString()}, std::pair{"3", QString()}}) {
        SCOPED_TRACE(interval);
        prompt.clear();
        saved.clear();
        fillMailbox(QString::fromLatin1(interval));
        setText("txttime", QStringLiteral("1")); // stops the save right after the mailbox
        click("cmdSave1");
        if (!message.isEmpty()) {
            EXPECT_EQ(prompt.texts(), QStringList{message});
            EXPECT_EQ(focused(), QStringLiteral("EmailCheckInterval"));
            EXPECT_EQ(saved.count(), 0);
        } else {
            EXPECT_EQ(prompt.texts(), QStringList{kReceiveTooSmall});
            ASSERT_EQ(saved.count(), 1);
            const auto settings = saved.at(0).at(0).value<RuntimeSettings>();
            EXPECT_TRUE(settings.WebMailToSMSEnabled);
            EXPECT_EQ(settings.webMailTimerMs, QString::fromLatin1(interval).toLongLong() * 1000);
        }
    }
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
    const QVariantMap timer = row(QStringLiteral("SELECT * FROM Timer_Setting"));
    EXPECT_EQ(timer.value("ReceiveAllMessagesTime").toInt(), 10);
    EXPECT_EQ(timer.value("SMSDeliveryMedia").toString(), QStringLiteral("MODEM"));
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
    const QVariantMap timer = row(QStringLiteral("SELECT * FROM Timer_Setting"));
    EXPECT_EQ(timer.value("MixModeMobileNumbers").toString(), QStringLiteral("91937,922"));
    EXPECT_EQ(timer.value("SMSDeliveryMedia").toString(), QStringLiteral("MIXMODE"));
    EXPECT_EQ(timer.value("MixModeDeliveryMedia").toString(), QStringLiteral("SMTPSMSGATEWAY"));
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
    click("cmdSave1");

    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Settings Saved Successfully!!!")});
    const QVariantMap modem = row(QStringLiteral("SELECT * FROM ModemSettings"));
    EXPECT_EQ(modem.value("CommPortNo").toString(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(modem.value("BitsPerSecond").toInt(), 9600);
    EXPECT_EQ(modem.value("Parity").toString(), QStringLiteral("n"));
    EXPECT_EQ(modem.value("FlowControl").toString(), QStringLiteral("2"));
    EXPECT_EQ(modem.value("StopBits").toString(), QStringLiteral("1"));
    EXPECT_EQ(modem.value("ModemDelayFactor").toDouble(), 1.5);

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
    EXPECT_EQ(s.SMSDeliveryMedia, DeliveryMedium::SmtpGateway);
    EXPECT_EQ(s.SMSSMTPPort, 25);
    EXPECT_EQ(s.MaskedEmailDomain, QStringLiteral("sms.example.net"));
    EXPECT_EQ(s.ReceiveIntervalSeconds, 60);
    EXPECT_EQ(s.SendIntervalSeconds, 0);

    // Reopening shows the stored words, not the stored letters.
    delete window.data();
    window = new SettingsWindow(services());
    EXPECT_EQ(combo("Combo_Parity")->currentText(), QStringLiteral("None"));
    EXPECT_EQ(combo("Cmb_FlowControl")->currentText(), QStringLiteral("Hardware"));
    EXPECT_EQ(combo("cmbDelay")->currentText(), QStringLiteral("1.5"));
    EXPECT_EQ(combo("Combo_comportNo")->currentText(), QStringLiteral("/dev/ttyUSB0"));
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
    EXPECT_EQ(row(QStringLiteral("SELECT * FROM Timer_Setting")).value("ReceiveAllMessagesTime").toInt(), 20);
    EXPECT_TRUE(row(QStringLiteral("SELECT * FROM ModemSettings")).isEmpty());

    prompt.clear();
    combo("Combo_comportNo")->setEditText(QString());
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Please select Comm port Number.")});
}

TEST_F(SettingsWindowTest, NewDatabaseShowsTheSerialDefaultsSoThePortCompletesTheRow)
{
    QStringList shown;
    for (const char *name : {"Combo_BitsPerSec", "Combo_DataBits", "Combo_Parity", "Combo_stopBit", "Cmb_FlowControl",
                             "cmb_CharSet", "cmbDelay"})
        shown << combo(name)->currentText();
    EXPECT_EQ(shown, QStringList({"9600", "8", "None", "1", "None", "GSM", "1"}));

    fillMailbox();
    combo("Combo_comportNo")->setEditText(QStringLiteral("/dev/ttyUSB0"));
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Settings Saved Successfully!!!")});
    const QVariantMap modem = row(QStringLiteral("SELECT * FROM ModemSettings"));
    EXPECT_EQ(modem.value("CommPortNo").toString(), "/dev/ttyUSB0");
    EXPECT_EQ(modem.value("Parity").toString(), "n");
    EXPECT_EQ(modem.value("FlowControl").toString(), "0");
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
    EXPECT_EQ(combo("Combo_comportNo")->currentText(), QStringLiteral("/dev/ttyACM1"));
    EXPECT_EQ(combo("Combo_BitsPerSec")->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(combo("cmbDelay")->currentText(), QStringLiteral("2.25"));
    prompt.scriptAnswers({false});
    click("cmdSave1");
    EXPECT_EQ(prompt.lastText(), question);
    EXPECT_EQ(focused(), QStringLiteral("Combo_BitsPerSec"));
    EXPECT_TRUE(window->selectPortFromList());
    EXPECT_EQ(row(QStringLiteral("SELECT * FROM ModemSettings")).value("CommPortNo").toString(),
              QStringLiteral("/dev/ttyUSB0"));

    prompt.clear();
    click("cmdSave1"); // Yes
    EXPECT_EQ(prompt.texts(), (QStringList{question, QStringLiteral("Settings Saved Successfully!!!")}));
    EXPECT_FALSE(window->selectPortFromList());
    const QVariantMap modem = row(QStringLiteral("SELECT * FROM ModemSettings"));
    EXPECT_EQ(modem.value("CommPortNo").toString(), QStringLiteral("/dev/ttyACM1"));
    EXPECT_EQ(modem.value("ModemDelayFactor").toDouble(), 2.25);

    prompt.clear();
    click("cmdSave1");
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("Settings Saved Successfully!!!")});
}

// What the operator chose is what the row holds and what the window shows when reopened.
TEST_F(SettingsWindowTest, SmsFormatAndDeliveryReportsAreSavedAndLoaded)
{
    const struct
    {
        const char *format;
        bool reports;
        QString stored;
    } cases[] = {{"Text", true, QStringLiteral("TEXT")},
                 {"PDU (Unicode and long SMS)", false, QStringLiteral("PDU")},
                 {"PDU (Unicode and long SMS)", true, QStringLiteral("PDU")}};
    fillMailbox();
    fillModem();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        combo("cmbSMSFormat")->setCurrentText(QString::fromLatin1(c.format));
        child<QCheckBox>(window, "chkDeliveryReports")->setChecked(c.reports);
        prompt.clear();
        click("cmdSave1");
        EXPECT_EQ(prompt.lastText(), QStringLiteral("Settings Saved Successfully!!!"));
        const QVariantMap modem = row(QStringLiteral("SELECT * FROM ModemSettings"));
        EXPECT_EQ(modem.value("SMSFormat").toString(), c.stored);
        EXPECT_EQ(modem.value("IsDeliveryReportRequested").toBool(), c.reports);

        delete window.data();
        window = new SettingsWindow(services());
        EXPECT_EQ(combo("cmbSMSFormat")->currentText(), QString::fromLatin1(c.format));
        EXPECT_EQ(child<QCheckBox>(window, "chkDeliveryReports")->isChecked(), c.reports);
    }
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
    EXPECT_EQ(row(QStringLiteral("SELECT * FROM Timer_Setting")).value("ReceiveAllMessagesTime").toInt(), 10);
}

TEST_F(SettingsWindowTest, DeliveryOptionShowsItsFrameAndTicksEnableTheirBoxes)
{
    struct Case
    {
        const char *option;
        bool sim, smtp, mix;
    } cases[] = {{"OptSMSDeliverySMTPSMSGateway", false, true, false},
                 {"OptSMSDeliveryMixMode", false, false, true},
                 {"OptSMSDeliveryModem", true, false, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.option);
        click(c.option);
        EXPECT_EQ(child(window, "fraSIMCardDelivery")->isVisible(), c.sim);
        EXPECT_EQ(child(window, "fraSMTPSettings")->isVisible(), c.smtp);
        EXPECT_EQ(child(window, "fraMixModeRules")->isVisible(), c.mix);
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
    EXPECT_TRUE(alert->text().isEmpty());
    window->setPortConnected(true);
    EXPECT_TRUE(alert->isVisibleTo(window));
    EXPECT_FALSE(alert->text().isEmpty());
    for (const char *name : {"Combo_comportNo", "Combo_BitsPerSec", "cmbDelay", "chkEnbCallID", "cmdChkModem"})
        EXPECT_FALSE(child(window, name)->isEnabled()) << name;
    window->setPortConnected(false);
    EXPECT_TRUE(child(window, "cmdChkModem")->isEnabled());
}

TEST_F(SettingsWindowTest, ResetStatusReturnsOnlySendingRowsToWaiting)
{
    OutboxRepository outbox(db.db());
    const QDateTime when = clock.now();
    const qint64 stuck = outbox.insertPending(QStringLiteral("+15550001"), QStringLiteral("a"), when).value();
    const qint64 sent = outbox.insertPending(QStringLiteral("+15550002"), QStringLiteral("b"), when).value();
    const qint64 faulty = outbox.insertPending(QStringLiteral("x"), QStringLiteral("c"), when).value();
    // Left at SENDING by a station whose lease has run out.
    ASSERT_EQ(outbox.claimWaiting(QStringLiteral("gone"), when.addSecs(-1), 1)->first().id, stuck);
    ASSERT_TRUE(outbox.markSent(sent, when));
    ASSERT_TRUE(outbox.markFaultyNumber(faulty));

    click("cmdResetStatus");
    EXPECT_TRUE(outbox.find(stuck)->deliveryStatus.isEmpty());
    EXPECT_EQ(outbox.find(sent)->deliveryStatus, delivery::kSent);
    EXPECT_EQ(outbox.find(faulty)->deliveryStatus, delivery::kFaultyNumber);
    ASSERT_EQ(outbox.waitingExtent()->second, 1);
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

#include "../WindowFixture.h"

#include "gui/settings/AdvancedSmtpWindow.h"

namespace parlix::test {
namespace {

class AdvancedSmtpWindowTest : public WindowFixture
{
protected:
    AdvancedSmtpWindow *open()
    {
        window = new AdvancedSmtpWindow(services());
        window->show();
        return window;
    }
    void TearDown() override { delete window.data(); }
    QPointer<AdvancedSmtpWindow> window;
};

TEST_F(AdvancedSmtpWindowTest, LoginIsRequiredOnEverySave)
{
    open();
    EXPECT_FALSE(child(window, "txtSMSSMTPUserName")->isEnabled());
    QTest::mouseClick(child<QAbstractButton>(window, "cmdSave"), Qt::LeftButton);
    EXPECT_EQ(prompt.lastText(),
              QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter your SMTP Username."));
    // The box asked for can be typed in, tick or no tick.
    EXPECT_TRUE(child(window, "txtSMSSMTPUserName")->isEnabled());
    EXPECT_EQ(window->focusWidget(), child(window, "txtSMSSMTPUserName"));
    child<QLineEdit>(window, "txtSMSSMTPUserName")->setText(QStringLiteral("office"));
    child<QLineEdit>(window, "txtSMSSMTPPassword")->setText(QStringLiteral("   "));
    QTest::mouseClick(child<QAbstractButton>(window, "cmdSave"), Qt::LeftButton);
    EXPECT_EQ(prompt.lastText(),
              QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter your SMTP Password."));
    EXPECT_EQ(column("SELECT SMSSMTPUserName IS NULL FROM Timer_Setting"), QStringList{"1"});
}

// The clear-text tick is offered only with a login; unticked later, it is stored as such.
TEST_F(AdvancedSmtpWindowTest, SavingStoresPositionsAndAnnouncesThem)
{
    qRegisterMetaType<parlix::RuntimeSettings>();
    open();
    QSignalSpy saved(window.data(), &AdvancedSmtpWindow::settingsSaved);
    EXPECT_FALSE(child(window, "chkAllowClearTextLogin")->isEnabled());
    child<QCheckBox>(window, "chkSMSSMTPAuthenticationRequired")->setChecked(true);
    child<QCheckBox>(window, "chkAllowClearTextLogin")->setChecked(true);
    child<QComboBox>(window, "cmbSMSSMTPAuthenticationType")->setCurrentText(QStringLiteral("AUTH PLAIN"));
    child<QComboBox>(window, "cmbSMSSMTPEncodeType")->setCurrentText(QStringLiteral("UUENCODE"));
    child<QLineEdit>(window, "txtSMSSMTPUserName")->setText(QStringLiteral("office"));
    child<QLineEdit>(window, "txtSMSSMTPPassword")->setText(QStringLiteral("pa'ss"));
    QTest::mouseClick(child<QAbstractButton>(window, "cmdSave"), Qt::LeftButton);

    EXPECT_EQ(column("SELECT SMSSMTPAuthenticationType||'/'||SMSSMTPEncodeType||'/'||IsSMSSMTPAuthenticationRequired||"
                     "'/'||IsSMTPClearTextLoginAllowed||'/'||SMSSMTPPassword FROM Timer_Setting"),
              QStringList{"3/1/1/1/pa'ss"});
    ASSERT_EQ(saved.count(), 1);
    const auto s = saved.at(0).at(0).value<RuntimeSettings>();
    EXPECT_EQ(s.SMSSMTPAuthenticationType, 3);
    EXPECT_EQ(s.SMSSMTPEncodeType, 1);
    EXPECT_TRUE(s.IsSMSSMTPAuthenticationRequired);
    EXPECT_TRUE(s.SMSSMTPAllowClearTextLogin);
    EXPECT_EQ(s.SMSSMTPUserName, QStringLiteral("office"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); })) << "the window closes after saving";

    // Reopened, it shows what was stored.
    open();
    EXPECT_EQ(child<QComboBox>(window, "cmbSMSSMTPAuthenticationType")->currentText(), QStringLiteral("AUTH PLAIN"));
    EXPECT_EQ(child<QComboBox>(window, "cmbSMSSMTPEncodeType")->currentText(), QStringLiteral("UUENCODE"));
    EXPECT_TRUE(child(window, "txtSMSSMTPPassword")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(window, "txtSMSSMTPPassword")->echoMode(), QLineEdit::Password);
    auto *allow = child<QCheckBox>(window, "chkAllowClearTextLogin");
    EXPECT_TRUE(allow->isChecked() && allow->isEnabled());
    allow->setChecked(false);
    QTest::mouseClick(child<QAbstractButton>(window, "cmdSave"), Qt::LeftButton);
    EXPECT_EQ(column("SELECT IsSMTPClearTextLoginAllowed FROM Timer_Setting"), QStringList{"0"});
}

} // namespace
} // namespace parlix::test

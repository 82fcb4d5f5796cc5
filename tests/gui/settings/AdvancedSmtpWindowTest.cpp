#include "SettingsTestSupport.h"

#include "gui/settings/AdvancedSmtpWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

namespace parlix::test {
namespace {

class AdvancedSmtpWindowTest : public SettingsFixture
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
    EXPECT_TRUE(row(QStringLiteral("SELECT * FROM Timer_Setting")).value("SMSSMTPUserName").isNull());
}

TEST_F(AdvancedSmtpWindowTest, SavingStoresPositionsAndAnnouncesThem)
{
    qRegisterMetaType<parlix::RuntimeSettings>();
    open();
    QSignalSpy saved(window.data(), &AdvancedSmtpWindow::settingsSaved);
    child<QCheckBox>(window, "chkSMSSMTPAuthenticationRequired")->setChecked(true);
    child<QComboBox>(window, "cmbSMSSMTPAuthenticationType")->setCurrentText(QStringLiteral("AUTH PLAIN"));
    child<QComboBox>(window, "cmbSMSSMTPEncodeType")->setCurrentText(QStringLiteral("UUENCODE"));
    child<QLineEdit>(window, "txtSMSSMTPUserName")->setText(QStringLiteral("office"));
    child<QLineEdit>(window, "txtSMSSMTPPassword")->setText(QStringLiteral("pa'ss"));
    QTest::mouseClick(child<QAbstractButton>(window, "cmdSave"), Qt::LeftButton);

    const QVariantMap timer = row(QStringLiteral("SELECT * FROM Timer_Setting"));
    EXPECT_EQ(timer.value("SMSSMTPAuthenticationType").toInt(), 3);
    EXPECT_EQ(timer.value("SMSSMTPEncodeType").toInt(), 1);
    EXPECT_EQ(timer.value("IsSMSSMTPAuthenticationRequired").toInt(), 1);
    EXPECT_EQ(timer.value("SMSSMTPPassword").toString(), QStringLiteral("pa'ss"));
    ASSERT_EQ(saved.count(), 1);
    const auto s = saved.at(0).at(0).value<RuntimeSettings>();
    EXPECT_EQ(s.SMSSMTPAuthenticationType, 3);
    EXPECT_EQ(s.SMSSMTPEncodeType, 1);
    EXPECT_TRUE(s.IsSMSSMTPAuthenticationRequired);
    EXPECT_EQ(s.SMSSMTPUserName, QStringLiteral("office"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); })) << "the window closes after saving";

    // Reopened, it shows what was stored.
    open();
    EXPECT_EQ(child<QComboBox>(window, "cmbSMSSMTPAuthenticationType")->currentText(), QStringLiteral("AUTH PLAIN"));
    EXPECT_EQ(child<QComboBox>(window, "cmbSMSSMTPEncodeType")->currentText(), QStringLiteral("UUENCODE"));
    EXPECT_TRUE(child(window, "txtSMSSMTPPassword")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(window, "txtSMSSMTPPassword")->echoMode(), QLineEdit::Password);
}

TEST_F(AdvancedSmtpWindowTest, ClearTextLoginIsOfferedWithALoginAndReachesTheEngine)
{
    qRegisterMetaType<parlix::RuntimeSettings>();
    open();
    auto *required = child<QCheckBox>(window, "chkSMSSMTPAuthenticationRequired");
    auto *allow = child<QCheckBox>(window, "chkAllowClearTextLogin");
    EXPECT_FALSE(allow->isEnabled());
    required->setChecked(true);
    EXPECT_TRUE(allow->isEnabled());
    allow->setChecked(true);
    child<QLineEdit>(window, "txtSMSSMTPUserName")->setText(QStringLiteral("office"));
    child<QLineEdit>(window, "txtSMSSMTPPassword")->setText(QStringLiteral("pw"));
    QSignalSpy saved(window.data(), &AdvancedSmtpWindow::settingsSaved);
    QTest::mouseClick(child<QAbstractButton>(window, "cmdSave"), Qt::LeftButton);
    EXPECT_EQ(row(QStringLiteral("SELECT * FROM Timer_Setting")).value("IsSMTPClearTextLoginAllowed").toInt(), 1);
    ASSERT_EQ(saved.count(), 1);
    EXPECT_TRUE(saved.at(0).at(0).value<RuntimeSettings>().SMSSMTPAllowClearTextLogin);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }));

    open();
    allow = child<QCheckBox>(window, "chkAllowClearTextLogin");
    EXPECT_TRUE(allow->isChecked());
    EXPECT_TRUE(allow->isEnabled());
    allow->setChecked(false);
    QSignalSpy savedAgain(window.data(), &AdvancedSmtpWindow::settingsSaved);
    QTest::mouseClick(child<QAbstractButton>(window, "cmdSave"), Qt::LeftButton);
    EXPECT_EQ(row(QStringLiteral("SELECT * FROM Timer_Setting")).value("IsSMTPClearTextLoginAllowed").toInt(), 0);
    ASSERT_EQ(savedAgain.count(), 1);
    EXPECT_FALSE(savedAgain.at(0).at(0).value<RuntimeSettings>().SMSSMTPAllowClearTextLogin);
}

} // namespace
} // namespace parlix::test

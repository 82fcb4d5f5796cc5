#include "gui/settings/AdvancedSmtpWindow.h"

#include "config/SettingsSave.h"
#include "core/Prompt.h"
#include "engine/SmtpGateway.h"
#include "store/SettingsRepository.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace parlix {

AdvancedSmtpWindow::AdvancedSmtpWindow(SettingsServices services, QWidget *parent)
    : QDialog(parent)
    , m_services(std::move(services))
{
    setObjectName(QStringLiteral("frm_SMTPSMS_AdvancedSettings"));
    setWindowTitle(QStringLiteral("Advanced SMTP Parlix Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    m_required = new QCheckBox;
    m_required->setObjectName(QStringLiteral("chkSMSSMTPAuthenticationRequired"));
    m_method = new QComboBox;
    m_method->setObjectName(QStringLiteral("cmbSMSSMTPAuthenticationType"));
    m_method->addItems(
        {QStringLiteral("None"), QStringLiteral("POP3"), QStringLiteral("AUTH LOGIN"), QStringLiteral("AUTH PLAIN")});
    m_user = new QLineEdit;
    m_user->setObjectName(QStringLiteral("txtSMSSMTPUserName"));
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("txtSMSSMTPPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_allowClearText = new QCheckBox(QLatin1String(kAllowClearTextLoginText));
    m_allowClearText->setObjectName(QStringLiteral("chkAllowClearTextLogin"));
    m_allowClearText->setEnabled(false);
    m_encode = new QComboBox;
    m_encode->setObjectName(QStringLiteral("cmbSMSSMTPEncodeType"));
    m_encode->addItems({QStringLiteral("MIME_ENCODE"), QStringLiteral("UUENCODE")});
    m_encode->setCurrentIndex(-1);

    // Ticking opens the login boxes; clearing the tick leaves them as they are.
    connect(m_required, &QCheckBox::toggled, this, [this](bool on) {
        m_allowClearText->setEnabled(on);
        if (on) {
            m_user->setEnabled(true);
            m_password->setEnabled(true);
        }
    });

    auto *saveButton = new QPushButton(QStringLiteral("Save"));
    saveButton->setObjectName(QStringLiteral("cmdSave"));
    saveButton->setAutoDefault(false);
    auto *exitButton = new QPushButton(QStringLiteral("Exit"));
    exitButton->setObjectName(QStringLiteral("cmdExit"));
    exitButton->setAutoDefault(false);
    connect(saveButton, &QPushButton::clicked, this, &AdvancedSmtpWindow::save);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("SMTP Authentication Required? :"), m_required);
    form->addRow(QStringLiteral("Authentication Type :"), m_method);
    form->addRow(QStringLiteral("SMTP Username :"), m_user);
    form->addRow(QStringLiteral("SMTP Password :"), m_password);
    form->addRow(QString(), m_allowClearText);
    form->addRow(QStringLiteral("Encode Type :"), m_encode);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    load();
}

void AdvancedSmtpWindow::load()
{
    SettingsRepository repository(m_services.db);
    auto row = repository.timerSettings();
    if (!row) {
        m_services.prompt->inform(row.error(), Prompt::Icon::Critical);
        return;
    }
    if (!row.value())
        return;
    const AdvancedSmtpInput stored = storedAdvancedSmtpInput(row.value());
    m_required->setChecked(stored.authenticationRequired);
    m_user->setEnabled(stored.authenticationRequired);
    m_password->setEnabled(stored.authenticationRequired);
    m_allowClearText->setChecked(stored.allowClearTextLogin);
    m_allowClearText->setEnabled(stored.authenticationRequired);
    m_method->setCurrentIndex(stored.authenticationType);
    m_user->setText(stored.userName);
    m_password->setText(stored.password);
    if (stored.encodeType >= 0)
        m_encode->setCurrentIndex(stored.encodeType);
}

void AdvancedSmtpWindow::save()
{
    // The login is asked for on every save, so its boxes must be open to type in even when
    // the server needs no login.
    if (m_user->text().trimmed().isEmpty() || m_password->text().trimmed().isEmpty()) {
        m_user->setEnabled(true);
        m_password->setEnabled(true);
    }
    AdvancedSmtpInput in;
    in.userName = m_user->text();
    in.password = m_password->text();
    in.authenticationRequired = m_required->isChecked();
    in.allowClearTextLogin = m_allowClearText->isChecked();
    in.authenticationType = m_method->currentIndex();
    in.encodeType = m_encode->currentIndex();

    SettingsRepository repository(m_services.db);
    const AdvancedSmtpSaveOutcome out =
        saveAdvancedSmtpSettings(repository, *m_services.prompt, currentSettingsOf(m_services), in);
    if (!out.focusField.isEmpty()) {
        if (auto *box = findChild<QWidget *>(out.focusField))
            box->setFocus();
    }
    if (!out.saved)
        return;
    Q_EMIT settingsSaved(out.settings);
    accept();
}

} // namespace parlix

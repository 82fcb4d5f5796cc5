#include "gui/settings/AdvancedSmtpWindow.h"

#include "engine/SmtpGateway.h"
#include "core/Prompt.h"
#include "store/SettingsRepository.h"
#include "store/SqlDialect.h"

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
    const QVariantMap &r = *row.value();
    const bool required = sql::boolFrom(r.value(QStringLiteral("IsSMSSMTPAuthenticationRequired")));
    m_required->setChecked(required);
    m_user->setEnabled(required);
    m_password->setEnabled(required);
    m_allowClearText->setChecked(sql::boolFrom(r.value(QStringLiteral("IsSMTPClearTextLoginAllowed"))));
    m_allowClearText->setEnabled(required);

    const QVariant method = r.value(QStringLiteral("SMSSMTPAuthenticationType"));
    const int position = method.isNull() ? 0 : method.toInt();
    m_method->setCurrentIndex(position >= 0 && position < m_method->count() ? position : 0);
    const QVariant user = r.value(QStringLiteral("SMSSMTPUserName"));
    if (!user.isNull())
        m_user->setText(user.toString());
    const QVariant password = r.value(QStringLiteral("SMSSMTPPassword"));
    if (!password.isNull())
        m_password->setText(password.toString());
    const QVariant encode = r.value(QStringLiteral("SMSSMTPEncodeType"));
    if (!encode.isNull() && (encode.toInt() == 0 || encode.toInt() == 1))
        m_encode->setCurrentIndex(encode.toInt());
}

void AdvancedSmtpWindow::save()
{
    const QString user = m_user->text().trimmed();
    const QString password = m_password->text().trimmed();
    // The login is asked for on every save, so its boxes must be open to type in even when
    // the server needs no login.
    if (user.isEmpty() || password.isEmpty()) {
        m_user->setEnabled(true);
        m_password->setEnabled(true);
    }
    if (user.isEmpty()) {
        m_services.prompt->inform(
            QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter your SMTP Username."));
        m_user->setFocus();
        return;
    }
    if (password.isEmpty()) {
        m_services.prompt->inform(
            QStringLiteral("If SMS delivery method is SMTP Gateway then you must enter your SMTP Password."));
        m_password->setFocus();
        return;
    }

    QVariantMap columns = {
        {QStringLiteral("SMSSMTPUserName"), m_user->text()},
        {QStringLiteral("SMSSMTPPassword"), m_password->text()},
        {QStringLiteral("IsSMSSMTPAuthenticationRequired"), sql::boolValue(m_required->isChecked())},
        {QStringLiteral("IsSMTPClearTextLoginAllowed"), sql::boolValue(m_allowClearText->isChecked())},
        {QStringLiteral("SMSSMTPAuthenticationType"), qMax(0, m_method->currentIndex())},
    };
    const int encode = m_encode->currentIndex();
    if (encode == 0 || encode == 1)
        columns.insert(QStringLiteral("SMSSMTPEncodeType"), encode);

    SettingsRepository repository(m_services.db);
    const Status written = repository.saveSingleRow(QStringLiteral("Timer_Setting"), columns);
    if (!written) {
        m_services.prompt->inform(written.error, Prompt::Icon::Critical);
        return;
    }

    RuntimeSettings settings = currentSettingsOf(m_services);
    // The settings are read trimmed at start-up; the same values go to the engine now.
    settings.SMSSMTPUserName = user;
    settings.SMSSMTPPassword = password;
    settings.IsSMSSMTPAuthenticationRequired = m_required->isChecked();
    settings.SMSSMTPAllowClearTextLogin = m_allowClearText->isChecked();
    settings.SMSSMTPAuthenticationType = qint16(qMax(0, m_method->currentIndex()));
    if (encode == 0 || encode == 1)
        settings.SMSSMTPEncodeType = qint16(encode);
    Q_EMIT settingsSaved(settings);
    accept();
}

} // namespace parlix

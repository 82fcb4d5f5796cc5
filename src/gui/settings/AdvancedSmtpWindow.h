#pragma once

#include "config/SettingsServices.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace parlix {

// frm_SMTPSMS_AdvancedSettings: the login and encoding of the SMTP gateway. Save writes
// Timer_Setting, announces the new settings and closes. Deletes itself when closed.
class AdvancedSmtpWindow : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdvancedSmtpWindow)

public:
    explicit AdvancedSmtpWindow(SettingsServices services, QWidget *parent = nullptr);

public Q_SLOTS:
    void save();

Q_SIGNALS:
    void settingsSaved(const parlix::RuntimeSettings &settings);

private:
    void load();

    SettingsServices m_services;
    QCheckBox *m_required = nullptr;
    QCheckBox *m_allowClearText = nullptr;
    QComboBox *m_method = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QComboBox *m_encode = nullptr;
};

} // namespace parlix

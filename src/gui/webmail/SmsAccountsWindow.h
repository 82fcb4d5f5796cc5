#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace parlix {

class Prompt;

// frm_ManageSMSUsers: the SMS user accounts that webmail commands charge. Lists every
// account, adds or edits one at a time, deletes the ticked ones. Passwords are never shown
// in the list; the password box masks its text unless the operator asks to see it.
class SmsAccountsWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmsAccountsWindow)

public:
    SmsAccountsWindow(QSqlDatabase db, Prompt &prompt, QWidget *parent = nullptr);

    static QString maskedPassword() { return QStringLiteral("********"); }

public Q_SLOTS:
    void FillUserList();
    void ClearFormFields();
    void save();
    void deleteTicked();

private:
    void rowClicked(QTreeWidgetItem *item);
    void tickAll(bool ticked);
    void updateDeleteButton();
    bool refuse(const QString &text, QLineEdit *box);

    QSqlDatabase m_db;
    Prompt &m_prompt;
    bool m_addingNew = true;
    QTreeWidget *m_list;
    QCheckBox *m_all;
    QPushButton *m_delete;
    QLineEdit *m_userName;
    QLineEdit *m_password;
    QCheckBox *m_showPassword;
    QLineEdit *m_fromName;
    QLineEdit *m_credits;
    QLineEdit *m_id;
};

} // namespace parlix

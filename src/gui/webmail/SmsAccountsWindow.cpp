#include "gui/webmail/SmsAccountsWindow.h"

#include "config/SettingsChecks.h"
#include "core/Prompt.h"
#include "gui/common/TickedList.h"
#include "webmail/SmsAccountRepository.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace parlix {

namespace {

enum Column { kUserName, kPassword, kFromName, kCredits, kUserId };

// The value of a credit text that passes the lenient number test: "$1,200.5", "12.5 ", "5-".
std::optional<double> creditValue(const QString &typed)
{
    if (!isLenientNumber(typed))
        return std::nullopt;
    QString text = typed.trimmed();
    text.remove(QLatin1Char('$'));
    text.remove(QLatin1Char(','));
    if (text.endsWith(QLatin1Char('-')) || text.endsWith(QLatin1Char('+')))
        text = text.right(1) + text.chopped(1);
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString creditText(double credits)
{
    return QLocale::c().toString(credits, 'g', 15);
}

} // namespace

SmsAccountsWindow::SmsAccountsWindow(QSqlDatabase db, Prompt &prompt, QWidget *parent)
    : QDialog(parent)
    , m_db(std::move(db))
    , m_prompt(prompt)
    , m_list(new QTreeWidget(this))
    , m_all(new QCheckBox(QStringLiteral("Select All"), this))
    , m_delete(new QPushButton(QStringLiteral("&Delete Selected"), this))
    , m_userName(new QLineEdit(this))
    , m_password(new QLineEdit(this))
    , m_showPassword(new QCheckBox(QStringLiteral("Show"), this))
    , m_fromName(new QLineEdit(this))
    , m_credits(new QLineEdit(this))
    , m_id(new QLineEdit(this))
{
    setObjectName(QStringLiteral("frm_ManageSMSUsers"));
    setWindowTitle(QStringLiteral("Manage SMS Users Accounts"));

    m_list->setObjectName(QStringLiteral("listMember"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("SMS User Name"), QStringLiteral("SMS Password"),
                             QStringLiteral("SMS From Name"), QStringLiteral("SMS Balance Credits"), QString()});
    m_list->setColumnHidden(kUserId, true);
    for (int c = kUserName; c <= kCredits; ++c)
        m_list->header()->setSectionResizeMode(c, QHeaderView::Stretch);
    m_all->setObjectName(QStringLiteral("chkAll"));
    m_delete->setObjectName(QStringLiteral("cmdDelete"));
    m_userName->setObjectName(QStringLiteral("txtSMSUserName"));
    m_password->setObjectName(QStringLiteral("txtSMSPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_showPassword->setObjectName(QStringLiteral("chkShowPassword"));
    m_showPassword->setToolTip(QStringLiteral("Show the password while it is being typed or checked."));
    m_fromName->setObjectName(QStringLiteral("txtSMSFromName"));
    m_credits->setObjectName(QStringLiteral("txtSMSBalanceCredits"));
    m_id->setObjectName(QStringLiteral("txtId"));
    m_id->setVisible(false);

    auto *saveButton = new QPushButton(QStringLiteral("&Save"), this);
    saveButton->setObjectName(QStringLiteral("cmdSave"));
    auto *exitButton = new QPushButton(QStringLiteral("&Exit"), this);
    exitButton->setObjectName(QStringLiteral("cmdCancel"));
    saveButton->setAutoDefault(false);
    exitButton->setAutoDefault(false);
    m_delete->setAutoDefault(false);

    auto *listRow = new QHBoxLayout;
    listRow->addWidget(m_all);
    listRow->addStretch();
    listRow->addWidget(m_delete);

    auto *passwordRow = new QHBoxLayout;
    passwordRow->addWidget(m_password, 1);
    passwordRow->addWidget(m_showPassword);
    auto *fromHint = new QLabel(QStringLiteral("(SMS From Name is used while sending SMS on behalf of this user "
                                               "account through an external SMTP Parlix)"),
                                this);
    fromHint->setWordWrap(true);
    auto *form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("SMS User Name :"), this), 0, 0);
    form->addWidget(m_userName, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("SMS Password :"), this), 1, 0);
    form->addLayout(passwordRow, 1, 1);
    form->addWidget(new QLabel(QStringLiteral("SMS From Name :"), this), 2, 0);
    form->addWidget(m_fromName, 2, 1);
    form->addWidget(fromHint, 3, 1);
    form->addWidget(new QLabel(QStringLiteral("SMS Balance credits :"), this), 4, 0);
    form->addWidget(m_credits, 4, 1);
    form->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(exitButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("To edit click on User Name."), this));
    layout->addWidget(m_list, 1);
    layout->addLayout(listRow);
    layout->addLayout(form);
    layout->addWidget(m_id);
    layout->addLayout(buttons);
    resize(640, 520);

    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { rowClicked(item); });
    connect(m_list, &QTreeWidget::itemChanged, this, &SmsAccountsWindow::updateDeleteButton);
    connect(m_all, &QCheckBox::clicked, this, &SmsAccountsWindow::tickAll);
    connect(m_delete, &QPushButton::clicked, this, &SmsAccountsWindow::deleteTicked);
    connect(m_showPassword, &QCheckBox::toggled, this,
            [this](bool show) { m_password->setEchoMode(show ? QLineEdit::Normal : QLineEdit::Password); });
    connect(saveButton, &QPushButton::clicked, this, &SmsAccountsWindow::save);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    FillUserList();
    ClearFormFields();
}

void SmsAccountsWindow::FillUserList()
{
    const QSignalBlocker block(m_list);
    m_list->clear();
    auto accounts = SmsAccountRepository(m_db).all();
    if (!accounts)
        m_prompt.inform(accounts.error(), Prompt::Icon::Critical);
    for (const SmsAccountEntry &a : accounts ? accounts.value() : QVector<SmsAccountEntry>()) {
        // The list holds no password at all, only its mask.
        auto *item = new QTreeWidgetItem(m_list, {a.userName.trimmed(), maskedPassword(), a.fromName,
                                                  creditText(a.balanceCredits), QString::number(a.userId)});
        QFont bold = item->font(kUserName);
        bold.setBold(true);
        item->setFont(kUserName, bold);
        item->setForeground(kUserName, QColor(Qt::blue));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(kUserName, Qt::Unchecked);
    }
    m_all->setChecked(false);
    m_delete->setEnabled(false);
}

void SmsAccountsWindow::ClearFormFields()
{
    m_addingNew = true;
    m_id->clear();
    m_userName->clear();
    m_password->clear();
    m_showPassword->setChecked(false);
    m_fromName->clear();
    m_credits->clear();
    m_userName->setFocus();
}

void SmsAccountsWindow::rowClicked(QTreeWidgetItem *item)
{
    if (item == nullptr)
        return;
    m_addingNew = false;
    m_id->setText(item->text(kUserId));
    auto found = SmsAccountRepository(m_db).find(item->text(kUserId).toLongLong());
    if (!found) {
        m_prompt.inform(found.error(), Prompt::Icon::Critical);
        return;
    }
    if (!found.value())
        return;
    const SmsAccountEntry &a = *found.value();
    m_userName->setText(a.userName);
    m_password->setText(a.password);
    m_showPassword->setChecked(false);
    m_fromName->setText(a.fromName);
    m_credits->setText(creditText(a.balanceCredits));
}

void SmsAccountsWindow::tickAll(bool ticked)
{
    setAllTicked(m_list, kUserName, ticked);
    updateDeleteButton();
}

void SmsAccountsWindow::updateDeleteButton()
{
    m_delete->setEnabled(anyTicked(m_list, kUserName));
}

bool SmsAccountsWindow::refuse(const QString &text, QLineEdit *box)
{
    m_prompt.inform(text, Prompt::Icon::None);
    box->setFocus();
    return false;
}

void SmsAccountsWindow::save()
{
    SmsAccountEntry account;
    account.userName = m_userName->text().trimmed();
    account.password = m_password->text().trimmed();
    account.fromName = m_fromName->text().trimmed();
    if (account.userName.isEmpty())
        return void(refuse(QStringLiteral("Please enter SMS UserName."), m_userName));
    if (account.password.isEmpty())
        return void(refuse(QStringLiteral("Please enter SMS Password."), m_password));
    if (account.fromName.isEmpty())
        return void(refuse(QStringLiteral("Please enter SMS From Name"), m_fromName));
    const std::optional<double> credits = creditValue(m_credits->text());
    if (!credits)
        return void(refuse(QStringLiteral("Please enter SMS Balance Credits as a numeric value"), m_credits));
    account.balanceCredits = *credits;
    if (!m_addingNew)
        account.userId = m_id->text().trimmed().toLongLong();

    SmsAccountRepository accounts(m_db);
    auto taken = accounts.userNameTaken(account.userName,
                                        account.userId != 0 ? std::optional<qint64>(account.userId) : std::nullopt);
    if (!taken) {
        m_prompt.inform(taken.error(), Prompt::Icon::Critical);
        return;
    }
    if (taken.value())
        return void(refuse(QStringLiteral("This SMS UserName already exists!"), m_userName));
    auto saved = accounts.save(account);
    if (!saved) {
        m_prompt.inform(saved.error(), Prompt::Icon::Critical);
        return;
    }
    FillUserList();
    ClearFormFields();
}

void SmsAccountsWindow::deleteTicked()
{
    if (!m_prompt.question(QStringLiteral("Are you sure to delete these data?")))
        return;
    SmsAccountRepository accounts(m_db);
    for (const qint64 id : tickedKeys(m_list, kUserName, kUserId)) {
        if (const Status removed = accounts.remove(id); !removed) {
            m_prompt.inform(removed.error, Prompt::Icon::Critical);
            break;
        }
    }
    FillUserList();
}

} // namespace parlix

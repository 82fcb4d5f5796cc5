#include "gui/settings/CountryWindow.h"

#include "config/CountryRepository.h"
#include "config/SettingsChecks.h"
#include "core/Prompt.h"
#include "gui/common/TickedList.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {
enum Column { NameColumn, CodeColumn, IdColumn, DefaultColumn };
}

CountryWindow::CountryWindow(QSqlDatabase db, Prompt &prompt, QWidget *parent)
    : QWidget(parent)
    , m_db(std::move(db))
    , m_prompt(prompt)
{
    setObjectName(QStringLiteral("frmCountry"));
    setWindowTitle(QStringLiteral("Country"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("ListCountry"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Country Name"), QStringLiteral("Country Code"), QStringLiteral("Id"),
                             QStringLiteral("Is Set Default")});
    m_list->setColumnHidden(IdColumn, true);
    m_list->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { showRow(item); });
    connect(m_list, &QTreeWidget::itemChanged, this, &CountryWindow::updateDeleteButton);

    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("txtCountry"));
    m_code = new QLineEdit;
    m_code->setObjectName(QStringLiteral("txtCode"));
    connect(m_code, &QLineEdit::textChanged, this, &CountryWindow::checkCode);
    m_id = new QLineEdit;
    m_id->setObjectName(QStringLiteral("txtId"));
    m_id->setVisible(false);
    m_default = new QCheckBox(QStringLiteral("Set as default"));
    m_default->setObjectName(QStringLiteral("chkDefault"));
    m_all = new QCheckBox(QStringLiteral("Select All"));
    m_all->setObjectName(QStringLiteral("chkAll"));
    connect(m_all, &QCheckBox::clicked, this, &CountryWindow::tickAll);

    auto *saveButton = new QPushButton(QStringLiteral("&Save"));
    saveButton->setObjectName(QStringLiteral("CmdEdit"));
    m_delete = new QPushButton(QStringLiteral("&Delete"));
    m_delete->setObjectName(QStringLiteral("Cmd_delete"));
    auto *exitButton = new QPushButton(QStringLiteral("E&xit"));
    exitButton->setObjectName(QStringLiteral("CmdExit"));
    connect(saveButton, &QPushButton::clicked, this, &CountryWindow::save);
    connect(m_delete, &QPushButton::clicked, this, &CountryWindow::removeTicked);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Country Name :"), m_name);
    form->addRow(QStringLiteral("Country Code :"), m_code);
    form->addRow(QString(), m_default);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_all);
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(m_delete);
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("To edit click on country name.")));
    layout->addWidget(m_list);
    layout->addLayout(form);
    layout->addWidget(m_id);
    layout->addLayout(buttons);

    reload();
}

// Stands for closing the window and opening it again: fresh list, empty edit fields.
void CountryWindow::reload()
{
    const QSignalBlocker blockList(m_list);
    m_list->clear();
    m_name->clear();
    {
        const QSignalBlocker blockCode(m_code);
        m_code->clear();
    }
    m_id->clear();
    m_default->setChecked(false);
    m_all->setChecked(false);
    m_delete->setEnabled(false);

    CountryRepository countries(m_db);
    auto rows = countries.all();
    if (!rows) {
        m_prompt.inform(rows.error(), Prompt::Icon::Critical);
        return;
    }
    for (const CountryRow &c : rows.value()) {
        auto *item = new QTreeWidgetItem(m_list, {c.name, c.code, QString::number(c.id),
                                                  c.isDefault ? QStringLiteral("Yes") : QStringLiteral("No")});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(NameColumn, Qt::Unchecked);
    }
}

void CountryWindow::showRow(QTreeWidgetItem *item)
{
    m_name->setText(item->text(NameColumn));
    {
        const QSignalBlocker blockCode(m_code);
        m_code->setText(item->text(CodeColumn));
    }
    m_id->setText(item->text(IdColumn));
    m_default->setChecked(item->text(DefaultColumn) == QLatin1String("Yes"));
}

void CountryWindow::checkCode()
{
    const auto message = countryCodeTypingMessage(m_code->text());
    if (!message)
        return;
    {
        const QSignalBlocker blockCode(m_code);
        m_code->clear();
    }
    m_prompt.inform(*message, Prompt::Icon::None);
    m_code->setFocus();
}

void CountryWindow::tickAll(bool ticked)
{
    setAllTicked(m_list, NameColumn, ticked);
    updateDeleteButton();
}

void CountryWindow::updateDeleteButton()
{
    m_delete->setEnabled(anyTicked(m_list, NameColumn));
}

void CountryWindow::save()
{
    const QString name = m_name->text().trimmed();
    if (name.isEmpty()) {
        m_prompt.inform(QStringLiteral("Please Enter Country Name."), Prompt::Icon::None);
        return;
    }
    const QString code = m_code->text().trimmed();
    if (!code.isEmpty() && !isLenientNumber(code)) {
        m_prompt.inform(QStringLiteral("Country Code should be numeric."), Prompt::Icon::None);
        return;
    }

    CountryRepository countries(m_db);
    const std::optional<qint64> id =
        m_id->text().trimmed().isEmpty() ? std::nullopt : std::optional<qint64>(m_id->text().toLongLong());
    auto taken = countries.nameTaken(name, id);
    if (!taken) {
        m_prompt.inform(taken.error(), Prompt::Icon::Critical);
        return;
    }
    if (taken.value()) {
        m_prompt.inform(QStringLiteral("This country already exist!!!"), Prompt::Icon::None);
        m_name->clear();
        m_name->setFocus();
        return;
    }

    bool moveDefault = false;
    if (m_default->isChecked()) {
        auto current = countries.otherDefault(id);
        if (!current) {
            m_prompt.inform(current.error(), Prompt::Icon::Critical);
            return;
        }
        if (current.value()) {
            moveDefault = m_prompt.question(QStringLiteral("The country '") + current.value()->name +
                                            QStringLiteral("' is already set as default. Do you want to change the "
                                                           "settings ?"));
            if (!moveDefault)
                m_default->setChecked(false);
        }
    }

    CountryRow row;
    row.id = id.value_or(0);
    row.name = name;
    row.code = code;
    row.isDefault = m_default->isChecked();
    auto saved = countries.save(row, moveDefault);
    if (!saved) {
        m_prompt.inform(saved.error(), Prompt::Icon::Critical);
        return;
    }
    reload();
}

void CountryWindow::removeTicked()
{
    if (!m_prompt.question(QStringLiteral("Are you sure to delete the country?")))
        return;
    CountryRepository countries(m_db);
    QStringList inUse;
    for (const QTreeWidgetItem *item : tickedItems(m_list, NameColumn)) {
        auto removed = countries.removeUnlessInUse(item->text(IdColumn).toLongLong());
        if (!removed) {
            m_prompt.inform(removed.error(), Prompt::Icon::Critical);
            reload();
            return;
        }
        if (!removed.value())
            inUse << item->text(NameColumn);
    }
    if (!inUse.isEmpty()) {
        m_prompt.inform(QStringLiteral("You can not delete Country of name ") + inUse.join(QLatin1Char(',')) +
                            QStringLiteral(".Because they are already in use."),
                        Prompt::Icon::None);
    }
    reload();
}

} // namespace parlix

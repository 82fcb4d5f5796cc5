#include "gui/reports/MissedCallsReportWindow.h"

#include "core/Clock.h"
#include "core/Prompt.h"
#include "store/CallRepository.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {

enum Column { DateColumn, NumberColumn, TimeColumn, IdColumn };

QDateEdit *datePicker(const char *name, const QDate &day)
{
    auto *picker = new QDateEdit(day);
    picker->setObjectName(QLatin1String(name));
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    return picker;
}

} // namespace

MissedCallsReportWindow::MissedCallsReportWindow(QSqlDatabase db, Prompt &prompt, const Clock &clock, QWidget *parent)
    : QWidget(parent)
    , m_db(std::move(db))
    , m_prompt(prompt)
    , m_from(datePicker("DtpFrom", clock.today()))
    , m_to(datePicker("DtpTo", clock.today()))
    , m_list(new QTreeWidget)
    , m_all(new QCheckBox(QStringLiteral("Select All")))
    , m_delete(new QPushButton(QStringLiteral("&Delete Selected")))
{
    setObjectName(QStringLiteral("frmMissedCallsReport"));
    setWindowTitle(QStringLiteral("Missed Calls Report"));

    m_list->setObjectName(QStringLiteral("ListLogs"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setColumnCount(4);
    connect(m_list, &QTreeWidget::itemChanged, this, &MissedCallsReportWindow::rowTicked);

    auto *searchButton = new QPushButton(QStringLiteral("&Search"));
    searchButton->setObjectName(QStringLiteral("cmdSearch"));
    connect(searchButton, &QPushButton::clicked, this, &MissedCallsReportWindow::search);
    m_all->setObjectName(QStringLiteral("chkAll"));
    connect(m_all, &QCheckBox::clicked, this, &MissedCallsReportWindow::tickAll);
    m_delete->setObjectName(QStringLiteral("cmdDelete"));
    m_delete->setEnabled(false);
    connect(m_delete, &QPushButton::clicked, this, &MissedCallsReportWindow::deleteSelected);
    auto *exitButton = new QPushButton(QStringLiteral("&Exit"));
    exitButton->setObjectName(QStringLiteral("cmdExit"));
    connect(exitButton, &QPushButton::clicked, this, &MissedCallsReportWindow::closeWindow);

    auto *dates = new QHBoxLayout;
    dates->addWidget(new QLabel(QStringLiteral("From Date :")));
    dates->addWidget(m_from);
    dates->addWidget(new QLabel(QStringLiteral("To Date :")));
    dates->addWidget(m_to);
    dates->addWidget(searchButton);
    dates->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_all);
    buttons->addStretch();
    buttons->addWidget(m_delete);
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(dates);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(540, 420);

    fill();
}

void MissedCallsReportWindow::fill()
{
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    m_list->setHeaderLabels(
        {QStringLiteral("Call Date"), QStringLiteral("Call Number"), QStringLiteral("Call Timing"), QString()});
    // Twips of the original layout at 15 to the pixel.
    m_list->setColumnWidth(DateColumn, 2500 / 15);
    m_list->setColumnWidth(NumberColumn, 2600 / 15);
    m_list->setColumnWidth(TimeColumn, 2000 / 15);
    m_list->setColumnHidden(IdColumn, true);

    const auto rows = CallRepository(m_db).missedBetween(m_from->date(), m_to->date());
    if (!rows) {
        m_prompt.inform(rows.error(), Prompt::Icon::Critical);
        return;
    }
    for (const CallRow &row : rows.value()) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(DateColumn, row.callDateTime.toString(QStringLiteral("dd/MM/yyyy")));
        item->setText(NumberColumn, row.callerNumber);
        item->setText(TimeColumn, row.callDateTime.toString(QStringLiteral("HH:mm")));
        item->setText(IdColumn, QString::number(row.id));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(DateColumn, Qt::Unchecked);
    }
}

void MissedCallsReportWindow::search()
{
    if (m_from->date() > m_to->date()) {
        m_prompt.inform(fromAfterToText(), Prompt::Icon::None);
        return;
    }
    fill();
}

void MissedCallsReportWindow::tickAll(bool ticked)
{
    m_ticking = true;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setCheckState(DateColumn, ticked ? Qt::Checked : Qt::Unchecked);
    m_ticking = false;
    m_delete->setEnabled(true);
}

void MissedCallsReportWindow::rowTicked()
{
    if (m_ticking)
        return;
    bool any = false;
    for (int i = 0; i < m_list->topLevelItemCount() && !any; ++i)
        any = m_list->topLevelItem(i)->checkState(DateColumn) == Qt::Checked;
    m_delete->setEnabled(any);
}

void MissedCallsReportWindow::deleteSelected()
{
    if (!m_prompt.question(deleteQuestionText()))
        return;
    QVector<qint64> ids;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_list->topLevelItem(i);
        if (item->checkState(DateColumn) == Qt::Checked)
            ids << item->text(IdColumn).trimmed().toLongLong();
    }
    if (Status s = CallRepository(m_db).remove(ids); !s) {
        m_prompt.inform(s.error, Prompt::Icon::Critical);
        return;
    }
    m_prompt.inform(deletedText(), Prompt::Icon::None);
    fill();
    m_delete->setEnabled(false);
}

void MissedCallsReportWindow::closeWindow()
{
    // The window sits in a frame of the main window or in a dialog made around it.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else if (isWindow())
        close();
    else
        window()->close();
}

} // namespace parlix

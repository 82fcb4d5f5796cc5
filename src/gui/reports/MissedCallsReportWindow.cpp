#include "gui/reports/MissedCallsReportWindow.h"

#include "core/Clock.h"
#include "core/Prompt.h"
#include "gui/common/TickedList.h"
#include "gui/reports/DateRangeFilter.h"
#include "store/CallRepository.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {

enum Column { DateColumn, NumberColumn, TimeColumn, IdColumn };

} // namespace

MissedCallsReportWindow::MissedCallsReportWindow(QSqlDatabase db, Prompt &prompt, const Clock &clock, QWidget *parent)
    : QWidget(parent)
    , m_db(std::move(db))
    , m_prompt(prompt)
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
    m_dates = dateRangeFilter("DtpFrom", "DtpTo", clock.today(), searchButton);
    m_all->setObjectName(QStringLiteral("chkAll"));
    connect(m_all, &QCheckBox::clicked, this, &MissedCallsReportWindow::tickAll);
    m_delete->setObjectName(QStringLiteral("cmdDelete"));
    m_delete->setEnabled(false);
    connect(m_delete, &QPushButton::clicked, this, &MissedCallsReportWindow::deleteSelected);
    auto *exitButton = new QPushButton(QStringLiteral("&Exit"));
    exitButton->setObjectName(QStringLiteral("cmdExit"));
    connect(exitButton, &QPushButton::clicked, this, &MissedCallsReportWindow::closeWindow);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_all);
    buttons->addStretch();
    buttons->addWidget(m_delete);
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_dates.row);
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

    const auto rows = CallRepository(m_db).missedBetween(m_dates.from->date(), m_dates.to->date());
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
    if (m_dates.from->date() > m_dates.to->date()) {
        m_prompt.inform(fromAfterToText(), Prompt::Icon::None);
        return;
    }
    fill();
}

void MissedCallsReportWindow::tickAll(bool ticked)
{
    setAllTicked(m_list, DateColumn, ticked);
    m_delete->setEnabled(true);
}

void MissedCallsReportWindow::rowTicked()
{
    m_delete->setEnabled(anyTicked(m_list, DateColumn));
}

void MissedCallsReportWindow::deleteSelected()
{
    if (!m_prompt.question(deleteQuestionText()))
        return;
    if (Status s = CallRepository(m_db).remove(tickedKeys(m_list, DateColumn, IdColumn)); !s) {
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

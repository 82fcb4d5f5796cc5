#include "gui/reports/SmsReportWindow.h"

#include "core/Clock.h"
#include "core/Prompt.h"
#include "gui/common/NamedButton.h"
#include "gui/common/PagedListView.h"
#include "gui/common/TickedList.h"
#include "gui/reports/DateRangeFilter.h"
#include "store/Database.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {

enum Column { NumberColumn, MessageColumn, ReceivedColumn, KeyColumn };

PagedListView::Options pageOptions()
{
    PagedListView::Options options;
    options.pageSize = SmsReportWindow::kPageSize;
    options.caption = [](qint64 pageCount, qint64 total, int) {
        return QStringLiteral("of %1 Pages. Total Records : %2").arg(pageCount).arg(total);
    };
    options.initialCaption = QString();
    options.writesPageBox = true;
    options.blankCaptionWhenEmpty = true;
    return options;
}

} // namespace

SmsReportWindow::SmsReportWindow(ReportServices services, QWidget *parent)
    : QDialog(parent)
    , m_services(std::move(services))
    , m_paged(new PagedListView(*m_services.prompt, pageOptions()))
    , m_all(new QCheckBox(QStringLiteral("Select All")))
    , m_delete(namedButton("CmdDelete", QStringLiteral("&Delete Selected")))
{
    setObjectName(QStringLiteral("Frm_SMSReport"));
    setWindowTitle(QStringLiteral("Received SMS Report"));

    QTreeWidget *list = m_paged->list();
    list->setObjectName(QStringLiteral("lstSMS"));
    list->setHeaderLabels(
        {QStringLiteral("Mobile Number"), QStringLiteral("Message"), QStringLiteral("Received On"), QString()});
    // Twips of the original layout at 15 to the pixel.
    list->setColumnWidth(NumberColumn, 1900 / 15);
    list->setColumnWidth(MessageColumn, 7000 / 15);
    list->setColumnWidth(ReceivedColumn, 2000 / 15);
    list->setColumnHidden(KeyColumn, true);
    connect(list->header(), &QHeaderView::sectionClicked, this, &SmsReportWindow::sortBy);
    connect(list, &QTreeWidget::itemChanged, this, &SmsReportWindow::rowTicked);

    m_paged->setRefill([this] { fill(); });
    m_paged->setSource({[this]() -> Result<qint64> {
                            auto count = InboxRepository(m_services.db->db()).count(query());
                            m_total = count ? count.value() : 0;
                            return count;
                        },
                        [this](qint64 offset, int limit, qint64 total, QTreeWidget &view) -> Status {
                            const auto rows = InboxRepository(m_services.db->db()).page(query(), limit, offset, total);
                            if (!rows)
                                return rows.status();
                            for (const InboxRow &row : rows.value()) {
                                auto *item = new QTreeWidgetItem(&view);
                                item->setText(NumberColumn, row.senderMobileNo);
                                item->setText(MessageColumn, row.message);
                                item->setText(ReceivedColumn,
                                              row.inboxDateTime.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
                                item->setText(KeyColumn, QString::number(row.id));
                                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                                item->setCheckState(NumberColumn, Qt::Unchecked);
                            }
                            return Status::success();
                        }});

    QPushButton *show = namedButton("cmdShow", QStringLiteral("&Show"));
    connect(show, &QPushButton::clicked, this, [this] {
        m_paged->setCurrentPage(1);
        fill();
    });
    m_dates = dateRangeFilter("DtpFromDate", "DtpToDate", m_services.clock->today(), show);
    m_all->setObjectName(QStringLiteral("chkAll"));
    connect(m_all, &QCheckBox::clicked, this, &SmsReportWindow::tickAll);
    m_delete->setEnabled(false);
    connect(m_delete, &QPushButton::clicked, this, &SmsReportWindow::deleteTicked);
    QPushButton *exportButton = namedButton("cmdExport", QStringLiteral("&Export All"));
    connect(exportButton, &QPushButton::clicked, this, &SmsReportWindow::exportAll);
    QPushButton *exitButton = namedButton("cmdExit", QStringLiteral("E&xit"));
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_all);
    buttons->addStretch();
    buttons->addWidget(m_delete);
    buttons->addWidget(exportButton);
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_dates.row);
    layout->addWidget(m_paged, 1);
    layout->addLayout(buttons);
    resize(820, 560);
}

InboxQuery SmsReportWindow::query() const
{
    InboxQuery q;
    q.sort = m_sort;
    q.from = m_fromDate.startOfDay();
    q.to = QDateTime(m_toDate, QTime(23, 59, 59));
    return q;
}

void SmsReportWindow::fill()
{
    m_fillPending = false;
    m_fromDate = m_dates.from->date();
    m_toDate = m_dates.to->date();
    {
        const QSignalBlocker quiet(m_paged->list());
        m_paged->fill();
    }
    m_all->setChecked(false);
    m_delete->setEnabled(false);
}

// Showing the window and its becoming active come together; one fill serves both.
void SmsReportWindow::fillSoon()
{
    if (m_fillPending)
        return;
    m_fillPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_fillPending)
            fill();
    });
}

void SmsReportWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    fillSoon();
}

void SmsReportWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        fillSoon();
}

void SmsReportWindow::sortBy(int column)
{
    switch (column) {
    case NumberColumn:
        m_sort = InboxSort::Sender;
        break;
    case MessageColumn:
        m_sort = InboxSort::Message;
        break;
    case ReceivedColumn:
        m_sort = InboxSort::NewestFirst;
        break;
    default:
        return;
    }
    fill();
}

void SmsReportWindow::tickAll(bool ticked)
{
    setAllTicked(m_paged->list(), NumberColumn, ticked);
    m_delete->setEnabled(ticked);
}

void SmsReportWindow::rowTicked()
{
    m_delete->setEnabled(anyTicked(m_paged->list(), NumberColumn));
}

void SmsReportWindow::deleteTicked()
{
    if (m_services.prompt->question(deleteQuestionText())) {
        const QVector<qint64> ids = tickedKeys(m_paged->list(), NumberColumn, KeyColumn);
        if (Status s = InboxRepository(m_services.db->db()).remove(ids); !s)
            m_services.prompt->inform(s.error, Prompt::Icon::Critical);
    }
    fill();
}

void SmsReportWindow::exportAll()
{
    m_services.prompt->inform(exportAllText(), Prompt::Icon::None);
    if (m_total == 0) {
        m_services.prompt->inform(nothingToExportText(), Prompt::Icon::None);
        return;
    }
    delete m_step2;
    delete m_step3;
    m_step2 = new ExportStep2Window(
        *m_services.prompt, [this] { return m_total; }, this);
    m_step3 = new ExportStep3Window(
        *m_services.prompt, {m_services.db->path(), m_fromDate, m_toDate, [this] { return m_step2->SqlExportSMS(); }},
        m_services.chooseFile, this);
    hideForWizard();

    // Each step is modal in turn; Back and Next move between them, anything else ends the wizard.
    bool onStep3 = false;
    for (;;) {
        const int result = onStep3 ? m_step3->exec() : m_step2->exec();
        if (!onStep3 && result == WizardNext) {
            onStep3 = true;
        } else if (onStep3 && result == WizardBack) {
            onStep3 = false;
        } else {
            if (!onStep3 && result == WizardBack) {
                show();
                return;
            }
            break;
        }
    }
    closeFromHidden();
}

// The report may run in a modal loop of its own; QDialog's hide would end that loop, so the
// window is hidden as a plain widget while the wizard is open.
void SmsReportWindow::hideForWizard()
{
    QWidget::setVisible(false);
}

// A hidden dialog's reject() does not end its modal loop; show it, off screen, to close it.
void SmsReportWindow::closeFromHidden()
{
    setAttribute(Qt::WA_DontShowOnScreen);
    show();
    reject();
}

} // namespace parlix

#include "gui/webmail/WebmailInboxWindow.h"

#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "gui/common/PagedListView.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {

enum Column { kId, kEmailDate, kSender, kSubject, kReceivedOn, kStatus };

QString dateText(const QDateTime &when)
{
    return when.isValid() ? generalDateText(when) : QString();
}

} // namespace

WebmailInboxWindow::WebmailInboxWindow(QSqlDatabase db, Prompt &prompt, const Clock &clock, QWidget *parent)
    : QWidget(parent)
    , m_db(std::move(db))
    , m_prompt(prompt)
    , m_outcome(new QComboBox(this))
    , m_sender(new QLineEdit(this))
    , m_userName(new QLineEdit(this))
    , m_from(new QDateEdit(this))
    , m_to(new QDateEdit(this))
    , m_search(new QPushButton(QStringLiteral("&Search"), this))
    , m_paged(new PagedListView(prompt, {}, this))
    , m_list(m_paged->list())
    , m_text(new QPlainTextEdit(this))
    , m_delete(new QPushButton(QStringLiteral("&Delete"), this))
    , m_close(new QPushButton(QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("frm_POP3InBoxForWebToSMS"));
    setWindowTitle(QStringLiteral("POP3 Inbox For Web-To-SMS"));

    m_outcome->setObjectName(QStringLiteral("cmbEmailType"));
    m_outcome->addItems({QStringLiteral("All Received Emails"), QStringLiteral("Emails sent to SMS"),
                         QStringLiteral("Emails could NOT be sent to SMS")});
    m_outcome->setCurrentIndex(2);
    m_sender->setObjectName(QStringLiteral("txtEmail"));
    m_userName->setObjectName(QStringLiteral("txtSMSUserName"));
    for (QDateEdit *date : {m_from, m_to}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
        date->setDate(clock.now().date());
    }
    m_from->setObjectName(QStringLiteral("dtpFromDate"));
    m_to->setObjectName(QStringLiteral("dtpToDate"));
    m_search->setObjectName(QStringLiteral("cmdSearch"));
    m_list->setObjectName(QStringLiteral("ListMessage"));
    m_list->setColumnCount(6);
    m_list->setHeaderLabels({QStringLiteral("id"), QStringLiteral("Email Date/Time"),
                             QStringLiteral("Sender's Email Address"), QStringLiteral("Email Subject"),
                             QStringLiteral("Received On"), QStringLiteral("Status")});
    const int widths[] = {60, 150, 220, 240, 150, 260};
    for (int c = kId; c <= kStatus; ++c)
        m_list->header()->resizeSection(c, widths[c]);
    m_list->header()->setStretchLastSection(true);
    m_text->setObjectName(QStringLiteral("txtMessage"));
    m_text->setReadOnly(true);
    m_delete->setObjectName(QStringLiteral("cmdDeleteMails"));
    m_close->setObjectName(QStringLiteral("cmdClose"));

    auto *filters = new QGridLayout;
    filters->addWidget(new QLabel(QStringLiteral("Email Type :"), this), 0, 0);
    filters->addWidget(m_outcome, 0, 1);
    filters->addWidget(new QLabel(QStringLiteral("Sender's Email :"), this), 0, 2);
    filters->addWidget(m_sender, 0, 3);
    filters->addWidget(new QLabel(QStringLiteral("SMS User Name :"), this), 0, 4);
    filters->addWidget(m_userName, 0, 5);
    filters->addWidget(new QLabel(QStringLiteral("From Date :"), this), 1, 0);
    filters->addWidget(m_from, 1, 1);
    filters->addWidget(new QLabel(QStringLiteral("To Date :"), this), 1, 2);
    filters->addWidget(m_to, 1, 3);
    filters->addWidget(m_search, 1, 5, Qt::AlignRight);
    filters->setColumnStretch(3, 1);
    filters->setColumnStretch(5, 1);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_paged);
    split->addWidget(m_text);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_delete);
    buttons->addWidget(m_close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    resize(960, 600);

    connect(m_search, &QPushButton::clicked, this, &WebmailInboxWindow::FillPOP3TreeView);
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { rowClicked(item); });
    connect(m_delete, &QPushButton::clicked, this, &WebmailInboxWindow::DeletePOP3Message);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    m_list->installEventFilter(this);

    FillPOP3TreeView();
}

ReceivedEmailFilter WebmailInboxWindow::filter() const
{
    using Outcome = ReceivedEmailFilter::Outcome;
    const QString outcome = m_outcome->currentText().toUpper();
    ReceivedEmailFilter f;
    f.outcome = outcome == QLatin1String("EMAILS SENT TO SMS")                ? Outcome::SentToSms
                : outcome == QLatin1String("EMAILS COULD NOT BE SENT TO SMS") ? Outcome::NotSentToSms
                                                                              : Outcome::All;
    f.sender = m_sender->text();
    f.userName = m_userName->text();
    f.from = m_from->date();
    f.to = m_to->date();
    return f;
}

void WebmailInboxWindow::FillPOP3TreeView()
{
    m_text->clear();
    const QSqlDatabase db = m_db;
    const ReceivedEmailFilter f = filter();
    m_paged->setSource({[db, f] { return ReceivedEmailRepository(db).count(f); },
                        [db, f](qint64 offset, int limit, qint64 total, QTreeWidget &list) -> Status {
                            auto rows = ReceivedEmailRepository(db).page(f, limit, offset, total);
                            if (!rows)
                                return rows.status();
                            for (const ReceivedEmailRow &r : rows.value()) {
                                auto *item = new QTreeWidgetItem(
                                    &list, {QString::number(r.id), dateText(r.emailDateTime), r.fromAddress, r.subject,
                                            dateText(r.receivedOn), r.reasonForNotSending});
                                item->setData(kId, Qt::UserRole, r.id);
                            }
                            return Status::success();
                        }});
    m_paged->fill();
}

void WebmailInboxWindow::rowClicked(QTreeWidgetItem *item)
{
    m_text->clear();
    if (item == nullptr)
        return;
    auto text = ReceivedEmailRepository(m_db).textOf(item->data(kId, Qt::UserRole).toLongLong());
    if (!text) {
        m_prompt.inform(text.error(), Prompt::Icon::Critical);
        return;
    }
    if (text.value())
        m_text->setPlainText(*text.value());
}

void WebmailInboxWindow::DeletePOP3Message()
{
    if (m_list->selectedItems().isEmpty()) {
        m_prompt.inform(nothingSelectedText());
        return;
    }
    if (!m_prompt.question(deleteQuestionText()))
        return;
    ReceivedEmailRepository store(m_db);
    for (QTreeWidgetItem *item : m_list->selectedItems()) {
        if (const Status removed = store.remove(item->data(kId, Qt::UserRole).toLongLong()); !removed) {
            m_prompt.inform(removed.error, Prompt::Icon::Critical);
            break;
        }
        delete item;
    }
    FillPOP3TreeView();
}

bool WebmailInboxWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        DeletePOP3Message();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace parlix

#include "gui/messages/MessageBoxWindow.h"

#include "core/ActivityLog.h"
#include "core/Prompt.h"
#include "gui/common/Icons.h"
#include "gui/common/PagedListView.h"
#include "gui/common/WaitWindow.h"
#include "gui/messages/ComposeWindow.h"
#include "store/AddressBookRepository.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>

namespace parlix {

namespace {

std::atomic<int> g_openWindows = 0;

// Sub-items of every folder's rows; the outbox adds the status after the hidden key.
enum Column { kNumber = 0, kName = 1, kMessage = 2, kDate = 3, kKey = 4, kStatus = 5 };

// What the phone's delivery report said: when it arrived, or what is still awaited; empty
// when no report was asked for.
QString deliveredText(const OutboxRow &row)
{
    if (row.reportStatus == report::kDelivered)
        return QStringLiteral("Yes, ") + QLocale().toString(row.reportDatetime, QLocale::ShortFormat);
    if (row.reportStatus == report::kFailed)
        return QStringLiteral("Failed");
    if (row.reportStatus == report::kPending)
        return QStringLiteral("Pending");
    return {};
}
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kTwipsPerPixel = 15;

// The list shows each message on one line.
QString oneLine(const QString &message)
{
    QString text = message.trimmed();
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

QString dateText(const QDateTime &when)
{
    return when.isValid() ? generalDateText(when) : QString();
}

QTreeWidgetItem *rowItem(const QString &number, const QString &message, const QDateTime &when, qint64 key)
{
    auto *item = new QTreeWidgetItem;
    item->setText(kNumber, number.trimmed());
    item->setText(kMessage, oneLine(message));
    item->setText(kDate, dateText(when));
    item->setText(kKey, QString::number(key));
    item->setData(kNumber, Qt::UserRole, key);
    return item;
}

void setBold(QTreeWidgetItem *item, bool bold)
{
    for (int c = 0; c < item->columnCount(); ++c) {
        QFont f = item->font(c);
        f.setBold(bold);
        item->setFont(c, f);
    }
}

QAction *toolButton(QToolBar *bar, const QString &name, const QString &text, const QString &tip, const QIcon &icon)
{
    QAction *action = bar->addAction(icon, text);
    action->setObjectName(name);
    action->setToolTip(tip);
    return action;
}

} // namespace

bool MessageBoxWindow::MessageBoxOpen()
{
    return g_openWindows.load() > 0;
}

MessageBoxWindow::MessageBoxWindow(MessageBoxServices services, const QString &msgType, QWidget *parent)
    : QWidget(parent)
    , m_services(std::move(services))
    , m_toolbar(new QToolBar(this))
    , m_tree(new QTreeWidget(this))
    , m_paged(new PagedListView(*m_services.prompt, {}, this))
    , m_list(m_paged->list())
    , m_search(new QLineEdit(this))
    , m_show(new QPushButton(QStringLiteral("Search"), this))
    , m_unread(new QRadioButton(QStringLiteral("All Unread"), this))
    , m_allSms(new QRadioButton(QStringLiteral("All SMS"), this))
    , m_number(new QLabel(this))
    , m_name(new QLabel(this))
    , m_preview(new QPlainTextEdit(this))
    , m_addressBook(new QMenu(this))
{
    ++g_openWindows;
    setObjectName(QStringLiteral("Frm_MessageBox"));
    setWindowTitle(QStringLiteral("Message Box"));
    setWindowIcon(icons::messageBox());

    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setIconSize(QSize(20, 20));
    m_list->setObjectName(QStringLiteral("ListMessage"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_search->setObjectName(QStringLiteral("txtMobNo"));
    m_show->setObjectName(QStringLiteral("cmdShow"));
    m_unread->setObjectName(QStringLiteral("optUnread"));
    m_allSms->setObjectName(QStringLiteral("optAllSMS"));
    m_unread->setChecked(true);
    m_number->setObjectName(QStringLiteral("LblNo"));
    m_name->setObjectName(QStringLiteral("LblName"));
    m_preview->setObjectName(QStringLiteral("txtMessage"));
    m_preview->setReadOnly(true);

    buildToolbar();
    buildAddressBookMenu();

    // Search row above the list; preview below it; the folder tree on the left.
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("Mobile Number :"), this));
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_show);
    searchRow->addSpacing(16);
    searchRow->addWidget(m_unread);
    searchRow->addWidget(m_allSms);

    auto *previewBox = new QWidget(this);
    auto *previewGrid = new QGridLayout(previewBox);
    previewGrid->setContentsMargins(0, 4, 0, 0);
    auto *numberCaption = new QLabel(QStringLiteral("Mobile Number :"), previewBox);
    auto *nameCaption = new QLabel(QStringLiteral("Name :"), previewBox);
    for (QLabel *caption : {numberCaption, nameCaption})
        caption->setStyleSheet(QStringLiteral("font-weight: bold;"));
    previewGrid->addWidget(numberCaption, 0, 0);
    previewGrid->addWidget(m_number, 0, 1);
    previewGrid->addWidget(nameCaption, 0, 2);
    previewGrid->addWidget(m_name, 0, 3);
    previewGrid->setColumnStretch(1, 1);
    previewGrid->setColumnStretch(3, 1);
    previewGrid->addWidget(m_preview, 1, 0, 1, 4);

    auto *right = new QSplitter(Qt::Vertical, this);
    right->addWidget(m_paged);
    right->addWidget(previewBox);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 1);
    auto *rightPane = new QWidget(this);
    auto *rightLayout = new QVBoxLayout(rightPane);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(searchRow);
    rightLayout->addWidget(right, 1);

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_tree);
    split->addWidget(rightPane);
    split->setStretchFactor(1, 1);
    split->setSizes({190, 700});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 4);
    layout->addWidget(m_toolbar);
    layout->addWidget(split, 1);
    resize(900, 600);

    m_paged->setRefill([this] { refillCurrentFolder(); });
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { folderClicked(item); });
    connect(m_list, &QTreeWidget::itemClicked, this, &MessageBoxWindow::rowClicked);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &MessageBoxWindow::updateSelectionButtons);
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &MessageBoxWindow::headerClicked);
    connect(m_list, &QWidget::customContextMenuRequested, this, &MessageBoxWindow::listContextMenu);
    connect(m_show, &QPushButton::clicked, this, &MessageBoxWindow::refillCurrentFolder);
    connect(m_search, &QLineEdit::returnPressed, this, &MessageBoxWindow::refillCurrentFolder);
    for (QRadioButton *option : {m_unread, m_allSms}) {
        connect(option, &QRadioButton::clicked, this, [this] {
            fillListInbox();
            selectNode(Folder::Inbox);
        });
    }
    m_search->installEventFilter(this);
    m_list->installEventFilter(this);

    // Opening: no folder, page 1, the hint in the search box, the row actions off.
    resetSearchBox();
    updateSelectionButtons();
    fillTreeView();
    showFolderFor(msgType);
}

MessageBoxWindow::~MessageBoxWindow()
{
    --g_openWindows;
    if (m_wait)
        m_wait->close();
}

void MessageBoxWindow::buildToolbar()
{
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_compose = toolButton(m_toolbar, QStringLiteral("tbCompose"), QStringLiteral("&Compose"),
                           QStringLiteral("Write SMS and send at Out Box"), icons::compose());
    m_sendAll = toolButton(m_toolbar, QStringLiteral("tbSendAll"), QStringLiteral("Send &All"),
                           QStringLiteral("Send all SMS from Out Box"), icons::sendAll());
    m_receiveAll = toolButton(m_toolbar, QStringLiteral("tbReceiveAll"), QStringLiteral("&Receive All"),
                              QStringLiteral("Receive All SMS."), icons::receiveAll());
    m_reply = toolButton(m_toolbar, QStringLiteral("tbReply"), QStringLiteral("Re&ply"),
                         QStringLiteral("Send reply to selected message."), icons::reply());
    m_forward = toolButton(m_toolbar, QStringLiteral("tbForward"), QStringLiteral("&Forward"),
                           QStringLiteral("Forward this message to another user."), icons::forward());
    m_delete = toolButton(m_toolbar, QStringLiteral("tbDelete"), QStringLiteral("&Delete"),
                          QStringLiteral("Delete selected SMS."), icons::remove());
    m_autoReply = toolButton(m_toolbar, QStringLiteral("tbAutoReply"), QStringLiteral("Auto Repl&y"),
                             QStringLiteral("Send automatic reply."), icons::autoReply());
    m_settings = toolButton(m_toolbar, QStringLiteral("tbSettings"), QStringLiteral("&Settings"),
                            QStringLiteral("Settings."), icons::settings());

    m_sendAll->setEnabled(bool(m_services.sendAll));
    m_receiveAll->setEnabled(bool(m_services.receiveAll));
    m_autoReply->setEnabled(bool(m_services.openAutoReply));
    m_settings->setEnabled(bool(m_services.openSettings));

    connect(m_compose, &QAction::triggered, this, [this] { compose({}, {}); });
    connect(m_sendAll, &QAction::triggered, this, [this] { runEnginePass(m_services.sendAll); });
    connect(m_receiveAll, &QAction::triggered, this, [this] { runEnginePass(m_services.receiveAll); });
    connect(m_reply, &QAction::triggered, this, [this] {
        if (QTreeWidgetItem *row = firstSelectedRow())
            compose(row->text(kNumber), {});
    });
    connect(m_forward, &QAction::triggered, this, [this] {
        QTreeWidgetItem *row = firstSelectedRow();
        if (row == nullptr)
            return;
        // The list holds the text on one line; forward the message as it was received.
        const qint64 key = row->data(kNumber, Qt::UserRole).toLongLong();
        QString text = row->text(kMessage);
        if (m_folder == Folder::Inbox) {
            if (auto found = InboxRepository(m_services.db).find(key))
                text = found->message;
        } else if (auto found = OutboxRepository(m_services.db).find(key)) {
            text = found->message;
        }
        compose({}, text.trimmed());
    });
    connect(m_delete, &QAction::triggered, this, &MessageBoxWindow::DeleteSMS);
    connect(m_autoReply, &QAction::triggered, this, [this] {
        if (m_services.openAutoReply)
            m_services.openAutoReply();
    });
    connect(m_settings, &QAction::triggered, this, [this] {
        if (m_services.openSettings)
            m_services.openSettings();
    });
}

void MessageBoxWindow::buildAddressBookMenu()
{
    m_addressBook->setObjectName(QStringLiteral("PopUpAddBk"));
    const std::pair<const char *, const char *> items[] = {{"mnuAdd", "Add Contact"},
                                                           {"mnuEdit", "Edit Contact"},
                                                           {"mnuCall", "Call This Contact"},
                                                           {"mnuSendSMS", "Send SMS"}};
    for (const auto &[name, text] : items) {
        QAction *action = m_addressBook->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
    }
    // Parlix keeps no address book window of its own; sending an SMS to the number is the one
    // action the window can do by itself.
    connect(m_addressBook->findChild<QAction *>(QStringLiteral("mnuSendSMS")), &QAction::triggered, this,
            [this] { compose(m_menuNumber, {}); });
}

void MessageBoxWindow::showFolderFor(const QString &msgType)
{
    if (msgType == QLatin1String("I")) {
        selectNode(Folder::Inbox);
        folderClicked(m_tree->topLevelItem(0)->child(0));
    } else if (msgType == QLatin1String("O")) {
        selectNode(Folder::Outbox);
        folderClicked(m_tree->topLevelItem(0)->child(1));
    }
}

void MessageBoxWindow::fillTreeView()
{
    const Result<qint64> unread = InboxRepository(m_services.db).countUnread();
    const Result<qint64> pending = OutboxRepository(m_services.db).countUndelivered();
    if (!unread || !pending)
        m_services.prompt->inform(!unread ? unread.error() : pending.error(), Prompt::Icon::Critical);

    m_tree->clear();
    auto *root = new QTreeWidgetItem(m_tree, {QStringLiteral("Message")});
    root->setData(0, Qt::UserRole, QStringLiteral("parent"));
    root->setData(0, kFolderRole, int(Folder::None));
    root->setIcon(0, icons::folderRoot());
    auto addNode = [root](const QString &caption, qint64 count, Folder folder, const QIcon &icon) {
        const bool counted = count > 0;
        auto *node = new QTreeWidgetItem(root, {counted ? caption + QStringLiteral("(%1)").arg(count) : caption});
        node->setData(0, kFolderRole, int(folder));
        node->setIcon(0, icon);
        QFont f = node->font(0);
        f.setBold(counted);
        node->setFont(0, f);
    };
    addNode(QStringLiteral("Inbox"), unread ? unread.value() : 0, Folder::Inbox, icons::folderInbox());
    addNode(QStringLiteral("Outbox"), pending ? pending.value() : 0, Folder::Outbox, icons::folderOutbox());
    addNode(QStringLiteral("Sent Items"), 0, Folder::Sent, icons::folderSent());
    QFont f = root->font(0);
    f.setBold(true);
    root->setFont(0, f);
    root->setExpanded(true);
    selectNode(m_folder);
}

void MessageBoxWindow::selectNode(Folder folder)
{
    QTreeWidgetItem *root = m_tree->topLevelItem(0);
    if (root == nullptr)
        return;
    for (int i = 0; i < root->childCount(); ++i) {
        if (root->child(i)->data(0, kFolderRole).toInt() == int(folder)) {
            m_tree->setCurrentItem(root->child(i));
            return;
        }
    }
}

void MessageBoxWindow::folderClicked(QTreeWidgetItem *item)
{
    if (item == nullptr)
        return;
    const auto folder = Folder(item->data(0, kFolderRole).toInt());
    m_paged->setCurrentPage(1);
    resetSearchBox();
    m_reply->setEnabled(false);
    m_forward->setEnabled(false);
    m_delete->setEnabled(false);
    if (folder == Folder::None)
        return;
    fillFolder(folder);
    m_list->clearSelection();
    updateSelectionButtons();
}

void MessageBoxWindow::fillListInbox()
{
    fillFolder(Folder::Inbox);
}

void MessageBoxWindow::fillListOutbox()
{
    fillFolder(Folder::Outbox);
}

void MessageBoxWindow::fillListSent()
{
    fillFolder(Folder::Sent);
}

void MessageBoxWindow::refillCurrentFolder()
{
    if (m_folder != Folder::None)
        fillFolder(m_folder);
}

QString MessageBoxWindow::searchText() const
{
    const QString text = m_search->text().trimmed();
    return text == hintText() ? QString() : text;
}

void MessageBoxWindow::fillFolder(Folder folder)
{
    m_folder = folder;
    selectNode(folder);
    m_unread->setEnabled(folder == Folder::Inbox);
    m_allSms->setEnabled(folder == Folder::Inbox);
    clearPreview();
    setColumns(folder);
    const QSqlDatabase db = m_services.db;

    if (folder == Folder::Inbox) {
        const InboxQuery query{m_unread->isChecked(), searchText(), m_inboxSort};
        m_paged->setSource({[db, query] { return InboxRepository(db).count(query); },
                            [db, query](qint64 offset, int limit, qint64 total, QTreeWidget &list) -> Status {
                                auto rows = InboxRepository(db).page(query, limit, offset, total);
                                if (!rows)
                                    return rows.status();
                                for (const InboxRow &row : rows.value()) {
                                    QTreeWidgetItem *item =
                                        rowItem(row.senderMobileNo, row.message, row.inboxDateTime, row.id);
                                    setBold(item, !row.isRead);
                                    list.addTopLevelItem(item);
                                }
                                return Status::success();
                            }});
    } else {
        const bool sent = folder == Folder::Sent;
        const OutboxQuery query{sent ? OutboxFolder::Sent : OutboxFolder::Waiting, searchText(),
                                sent ? m_sentSort : m_outboxSort};
        m_paged->setSource({[db, query] { return OutboxRepository(db).count(query); },
                            [db, query, sent](qint64 offset, int limit, qint64 total, QTreeWidget &list) -> Status {
                                auto rows = OutboxRepository(db).page(query, limit, offset, total);
                                if (!rows)
                                    return rows.status();
                                for (const OutboxRow &row : rows.value()) {
                                    QTreeWidgetItem *item =
                                        rowItem(row.recipientMobileNo, row.message,
                                                sent ? row.deliveryDatetime : row.outBoxDateTime, row.id);
                                    if (!sent)
                                        item->setText(kStatus, row.deliveryStatus.trimmed());
                                    else
                                        item->setText(kStatus, deliveredText(row));
                                    list.addTopLevelItem(item);
                                }
                                return Status::success();
                            }});
    }
    m_paged->fill();
}

void MessageBoxWindow::setColumns(Folder folder)
{
    QStringList headers;
    switch (folder) {
    case Folder::Inbox:
        headers = {QStringLiteral("Mobile Number"), QStringLiteral("Sender's Name"), QStringLiteral("Message"),
                   QStringLiteral("Received On"), QString()};
        break;
    case Folder::Outbox:
        headers = {QStringLiteral("Mobile Number"),
                   QStringLiteral("Recipient Name"),
                   QStringLiteral("Message"),
                   QStringLiteral("Outbox Date"),
                   QString(),
                   QStringLiteral("Status")};
        break;
    case Folder::Sent:
        headers = {QStringLiteral("Mobile Number"),
                   QStringLiteral("Recipient Name"),
                   QStringLiteral("Message"),
                   QStringLiteral("Delivered On"),
                   QString(),
                   QStringLiteral("Delivered")};
        break;
    case Folder::None:
        return;
    }
    m_list->clear();
    m_list->setColumnCount(headers.size());
    m_list->setHeaderLabels(headers);
    m_list->setColumnHidden(kKey, true);
    QHeaderView *header = m_list->header();
    if (folder == Folder::Outbox) {
        const int widths[] = {2000, 3000, 4000, 2000, 0, 1500};
        // The widths were chosen for a smaller font; a date must still fit whole.
        const int dateWidth = m_list->fontMetrics().horizontalAdvance(QStringLiteral("12/28/2026 12:59:59 PM")) + 16;
        for (int c = 0; c < headers.size(); ++c) {
            header->setSectionResizeMode(c, QHeaderView::Interactive);
            if (c != kKey)
                header->resizeSection(c, c == kDate ? std::max(dateWidth, widths[c] / kTwipsPerPixel)
                                                    : widths[c] / kTwipsPerPixel);
        }
    } else {
        // A quarter of the list's width each.
        for (int c = 0; c < headers.size(); ++c)
            header->setSectionResizeMode(c, c == kKey ? QHeaderView::Fixed : QHeaderView::Stretch);
    }
}

void MessageBoxWindow::headerClicked(int section)
{
    switch (m_folder) {
    case Folder::Inbox:
        if (section == kNumber)
            m_inboxSort = InboxSort::Sender;
        else if (section == kMessage)
            m_inboxSort = InboxSort::Message;
        else if (section == kDate)
            m_inboxSort = InboxSort::OldestFirst;
        break;
    case Folder::Outbox:
    case Folder::Sent: {
        // The name column is never filled, so its header keeps the current order.
        OutboxSort &sort = m_folder == Folder::Sent ? m_sentSort : m_outboxSort;
        if (section == kNumber)
            sort = OutboxSort::Recipient;
        else if (section == kMessage)
            sort = OutboxSort::Message;
        else if (section == kDate)
            sort = OutboxSort::Default;
        break;
    }
    case Folder::None:
        return;
    }
    refillCurrentFolder();
}

void MessageBoxWindow::rowClicked(QTreeWidgetItem *item, int)
{
    updateSelectionButtons();
    if (item == nullptr || m_folder == Folder::None)
        return;
    clearPreview();
    m_name->setText(item->text(kName));
    m_number->setText(item->text(kNumber));
    const qint64 key = item->data(kNumber, Qt::UserRole).toLongLong();

    if (m_folder == Folder::Inbox) {
        InboxRepository inbox(m_services.db);
        if (auto found = inbox.find(key)) {
            m_preview->setPlainText(found->message.trimmed());
            if (!found->isRead) {
                const Status marked = inbox.markRead(key);
                if (!marked)
                    m_services.prompt->inform(marked.error, Prompt::Icon::Critical);
            }
        }
        setBold(item, false);
        fillTreeView();
        selectNode(Folder::Inbox);
        return;
    }
    if (auto found = OutboxRepository(m_services.db).find(key))
        m_preview->setPlainText(found->message.trimmed());
    selectNode(m_folder);
}

void MessageBoxWindow::updateSelectionButtons()
{
    const bool selected = !m_list->selectedItems().isEmpty();
    // Reply and Forward answer or pass on a message that exists; an outbox row has not gone yet.
    const bool answerable = selected && (m_folder == Folder::Inbox || m_folder == Folder::Sent);
    m_reply->setEnabled(answerable);
    m_forward->setEnabled(answerable);
    m_delete->setEnabled(selected);
}

QTreeWidgetItem *MessageBoxWindow::firstSelectedRow() const
{
    if (m_folder != Folder::Inbox && m_folder != Folder::Sent)
        return nullptr;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->isSelected())
            return m_list->topLevelItem(i);
    }
    return nullptr;
}

void MessageBoxWindow::clearPreview()
{
    m_name->clear();
    m_number->clear();
    m_preview->clear();
}

void MessageBoxWindow::resetSearchBox()
{
    m_search->setText(hintText());
}

void MessageBoxWindow::DeleteSMS()
{
    if (!m_services.prompt->question(deleteQuestionText()))
        return;

    bool anySelected = false;
    int deleted = 0;
    if (m_folder != Folder::None) {
        InboxRepository inbox(m_services.db);
        OutboxRepository outbox(m_services.db);
        // A removed row lets the next one move up into its place, so the same position is
        // looked at again after each deletion.
        int i = 0;
        while (i < m_list->topLevelItemCount()) {
            QTreeWidgetItem *item = m_list->topLevelItem(i);
            if (!item->isSelected()) {
                ++i;
                continue;
            }
            anySelected = true;
            const qint64 key = item->data(kNumber, Qt::UserRole).toLongLong();
            const Status removed =
                m_folder == Folder::Inbox
                    ? inbox.remove(key)
                    : outbox
                          .removeFromFolder(key, m_folder == Folder::Sent ? OutboxFolder::Sent : OutboxFolder::Waiting)
                          .status();
            if (!removed) {
                m_services.prompt->inform(removed.error, Prompt::Icon::Critical);
                break;
            }
            delete m_list->takeTopLevelItem(i);
            ++deleted;
        }
    }
    if (deleted > 0) {
        clearPreview();
        fillTreeView();
    }
    if (!anySelected)
        m_services.prompt->inform(nothingSelectedText());
    updateSelectionButtons();
}

void MessageBoxWindow::listContextMenu(const QPoint &pos)
{
    if (m_folder != Folder::Inbox)
        return;
    QTreeWidgetItem *item = m_list->itemAt(pos);
    if (item == nullptr || m_list->columnAt(pos.x()) != kNumber)
        return;
    const QString number = item->text(kNumber).trimmed();
    if (number.isEmpty())
        return;
    const Result<bool> known = AddressBookRepository(m_services.db).knowsNumber(number);
    if (!known) {
        m_services.prompt->inform(known.error(), Prompt::Icon::Critical);
        return;
    }
    m_menuNumber = number;
    m_addressBook->findChild<QAction *>(QStringLiteral("mnuAdd"))->setEnabled(!known.value());
    m_addressBook->findChild<QAction *>(QStringLiteral("mnuEdit"))->setEnabled(known.value());
    m_addressBook->popup(m_list->viewport()->mapToGlobal(pos));
}

void MessageBoxWindow::runEnginePass(const std::function<void(std::function<void()>)> &pass)
{
    if (!pass || m_passesRunning > 0)
        return;
    ++m_passesRunning;
    m_sendAll->setEnabled(false);
    m_receiveAll->setEnabled(false);
    if (!m_wait)
        m_wait = new WaitWindow(this);
    m_wait->show();
    QPointer<MessageBoxWindow> self(this);
    pass([self] {
        if (MessageBoxWindow *window = self.data())
            window->passFinished();
    });
}

void MessageBoxWindow::passFinished()
{
    --m_passesRunning;
    if (m_wait)
        m_wait->close();
    m_sendAll->setEnabled(bool(m_services.sendAll));
    m_receiveAll->setEnabled(bool(m_services.receiveAll));
    fillTreeView();
    refillCurrentFolder();
}

void MessageBoxWindow::compose(const QString &numbers, const QString &message)
{
    ComposeWindow window(m_services.db, *m_services.prompt, *m_services.clock, this);
    window.setNumbers(numbers);
    window.setMessage(message);
    if (window.exec() != QDialog::Accepted)
        return;
    // The outbox count in the tree would otherwise go on showing the old number.
    fillTreeView();
    if (m_folder == Folder::Outbox)
        refillCurrentFolder();
}

void MessageBoxWindow::RefreshMessageBoxWindow()
{
    refillCurrentFolder();
    fillTreeView();
}

void MessageBoxWindow::addReceivedRow(qint64 id, const QString &sender, const QString &message, const QDateTime &when)
{
    if (m_folder != Folder::Inbox)
        return;
    QTreeWidgetItem *item = rowItem(sender, message, when, id);
    setBold(item, true);
    m_list->insertTopLevelItem(0, item);
}

bool MessageBoxWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn)) {
        if (m_search->text().trimmed() == hintText())
            m_search->clear();
    } else if (watched == m_list && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
            DeleteSMS();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace parlix

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
#include <optional>
#include <vector>

namespace parlix {

namespace {

std::atomic<int> g_openWindows = 0;

// Sub-items of every folder's rows; the outbox adds the status after the hidden key.
enum Column { kNumber = 0, kName = 1, kMessage = 2, kDate = 3, kKey = 4, kStatus = 5 };
// The station that received a message (the inbox's column after the key) or sent it (the sent
// items' column after the status).
constexpr int kInboxStation = 5;
constexpr int kSentStation = 6;

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

using Folder = MessageBoxWindow::Folder;
using SortOrder = MessageBoxWindow::SortOrder;

// What a folder is listed with: the unread option (inbox only), the search text and the order.
struct FolderFilter
{
    bool unreadOnly = false;
    QString search;
    SortOrder sort;
};

struct FolderColumn
{
    const char *header;
    int width;                       // pixels; 0 when the columns share the list's width
    std::optional<SortOrder> sortBy; // the order a click on its header asks for; none keeps it
};

// Everything that differs between the folders of the list.
struct FolderTable
{
    Folder folder;
    std::vector<FolderColumn> columns;
    SortOrder initialSort;
    PagedListView::Source (*rows)(const QSqlDatabase &db, const FolderFilter &filter);
    // The whole text of a row's message, as stored.
    std::optional<QString> (*message)(const QSqlDatabase &db, qint64 key);
    Status (*remove)(const QSqlDatabase &db, qint64 key);
};

PagedListView::Source inboxRows(const QSqlDatabase &db, const FolderFilter &filter)
{
    const InboxQuery query{filter.unreadOnly, filter.search, std::get<InboxSort>(filter.sort)};
    return {[db, query] { return InboxRepository(db).count(query); },
            [db, query](qint64 offset, int limit, qint64 total, QTreeWidget &list) -> Status {
                auto rows = InboxRepository(db).page(query, limit, offset, total);
                if (!rows)
                    return rows.status();
                for (const InboxRow &row : rows.value()) {
                    QTreeWidgetItem *item = rowItem(row.senderMobileNo, row.message, row.inboxDateTime, row.id);
                    item->setText(kInboxStation, row.receivedBy);
                    setBold(item, !row.isRead);
                    list.addTopLevelItem(item);
                }
                return Status::success();
            }};
}

// The outbox lists when a row was queued and its status; sent items when it was delivered.
PagedListView::Source outboxRows(const QSqlDatabase &db, const FolderFilter &filter, OutboxFolder which)
{
    const OutboxQuery query{which, filter.search, std::get<OutboxSort>(filter.sort)};
    return {[db, query] { return OutboxRepository(db).count(query); },
            [db, query](qint64 offset, int limit, qint64 total, QTreeWidget &list) -> Status {
                auto rows = OutboxRepository(db).page(query, limit, offset, total);
                if (!rows)
                    return rows.status();
                const bool sent = query.folder == OutboxFolder::Sent;
                for (const OutboxRow &row : rows.value()) {
                    QTreeWidgetItem *item = rowItem(row.recipientMobileNo, row.message,
                                                    sent ? row.deliveryDatetime : row.outBoxDateTime, row.id);
                    item->setText(kStatus, sent ? deliveredText(row) : row.deliveryStatus.trimmed());
                    if (sent)
                        item->setText(kSentStation, row.sentBy);
                    list.addTopLevelItem(item);
                }
                return Status::success();
            }};
}

std::optional<QString> inboxMessage(const QSqlDatabase &db, qint64 key)
{
    if (auto found = InboxRepository(db).find(key))
        return found->message;
    return std::nullopt;
}

std::optional<QString> outboxMessage(const QSqlDatabase &db, qint64 key)
{
    if (auto found = OutboxRepository(db).find(key))
        return found->message;
    return std::nullopt;
}

// The outbox widths leave the message the most room; the others share the width in quarters.
const FolderTable kFolderTables[] = {
    {Folder::Inbox,
     {{"Mobile Number", 0, InboxSort::Sender},
      {"Sender's Name", 0, std::nullopt},
      {"Message", 0, InboxSort::Message},
      {"Received On", 0, InboxSort::OldestFirst},
      {"", 0, std::nullopt},
      {"Received By", 0, std::nullopt}},
     InboxSort::NewestFirst,
     inboxRows,
     inboxMessage,
     [](const QSqlDatabase &db, qint64 key) { return InboxRepository(db).remove(key); }},
    {Folder::Outbox,
     {{"Mobile Number", 133, OutboxSort::Recipient},
      {"Recipient Name", 200, std::nullopt}, // never filled, so its header keeps the order
      {"Message", 266, OutboxSort::Message},
      {"Outbox Date", 133, OutboxSort::Default},
      {"", 0, std::nullopt},
      {"Status", 100, std::nullopt}},
     OutboxSort::Default,
     [](const QSqlDatabase &db, const FolderFilter &f) { return outboxRows(db, f, OutboxFolder::Waiting); },
     outboxMessage,
     [](const QSqlDatabase &db, qint64 key) {
         return OutboxRepository(db).removeFromFolder(key, OutboxFolder::Waiting).status();
     }},
    {Folder::Sent,
     {{"Mobile Number", 0, OutboxSort::Recipient},
      {"Recipient Name", 0, std::nullopt},
      {"Message", 0, OutboxSort::Message},
      {"Delivered On", 0, OutboxSort::Default},
      {"", 0, std::nullopt},
      {"Delivered", 0, std::nullopt},
      {"Sent By", 0, std::nullopt}},
     OutboxSort::Default,
     [](const QSqlDatabase &db, const FolderFilter &f) { return outboxRows(db, f, OutboxFolder::Sent); },
     outboxMessage,
     [](const QSqlDatabase &db, qint64 key) {
         return OutboxRepository(db).removeFromFolder(key, OutboxFolder::Sent).status();
     }},
};

void setColumns(QTreeWidget *list, const FolderTable &table)
{
    const int count = int(table.columns.size());
    QStringList headers;
    for (const FolderColumn &column : table.columns)
        headers << QString::fromLatin1(column.header);
    list->clear();
    list->setColumnCount(count);
    list->setHeaderLabels(headers);
    list->setColumnHidden(kKey, true);
    QHeaderView *header = list->header();
    if (table.columns.front().width > 0) {
        // The widths were chosen for a smaller font; a date must still fit whole.
        const int dateWidth = list->fontMetrics().horizontalAdvance(QStringLiteral("12/28/2026 12:59:59 PM")) + 16;
        for (int c = 0; c < count; ++c) {
            header->setSectionResizeMode(c, QHeaderView::Interactive);
            const int width = table.columns[size_t(c)].width;
            if (c != kKey)
                header->resizeSection(c, c == kDate ? std::max(dateWidth, width) : width);
        }
    } else {
        for (int c = 0; c < count; ++c)
            header->setSectionResizeMode(c, c == kKey ? QHeaderView::Fixed : QHeaderView::Stretch);
    }
}

// The table of a folder; nullptr for no folder.
const FolderTable *tableOf(Folder folder)
{
    for (const FolderTable &table : kFolderTables) {
        if (table.folder == folder)
            return &table;
    }
    return nullptr;
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
    for (const FolderTable &table : kFolderTables)
        m_sorts.emplace(table.folder, table.initialSort);
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
        const FolderTable *table = tableOf(m_folder);
        if (row == nullptr || table == nullptr)
            return;
        // The list holds the text on one line; forward the message as it was received.
        const qint64 key = row->data(kNumber, Qt::UserRole).toLongLong();
        const std::optional<QString> stored = table->message(m_services.db, key);
        compose({}, stored.value_or(row->text(kMessage)).trimmed());
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
    const FolderTable *table = tableOf(folder);
    if (table == nullptr)
        return;
    m_folder = folder;
    selectNode(folder);
    m_unread->setEnabled(folder == Folder::Inbox);
    m_allSms->setEnabled(folder == Folder::Inbox);
    clearPreview();
    setColumns(m_list, *table);
    m_paged->setSource(table->rows(m_services.db, {m_unread->isChecked(), searchText(), m_sorts.at(folder)}));
    m_paged->fill();
}

void MessageBoxWindow::headerClicked(int section)
{
    const FolderTable *table = tableOf(m_folder);
    if (table == nullptr)
        return;
    if (section >= 0 && size_t(section) < table->columns.size()) {
        if (const auto &sortBy = table->columns[size_t(section)].sortBy)
            m_sorts.at(m_folder) = *sortBy;
    }
    refillCurrentFolder();
}

void MessageBoxWindow::rowClicked(QTreeWidgetItem *item, int)
{
    updateSelectionButtons();
    const FolderTable *table = tableOf(m_folder);
    if (item == nullptr || table == nullptr)
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
    if (const auto message = table->message(m_services.db, key))
        m_preview->setPlainText(message->trimmed());
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
    if (const FolderTable *table = tableOf(m_folder)) {
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
            const Status removed = table->remove(m_services.db, key);
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
    ComposeWindow window(m_services.db, *m_services.prompt, *m_services.clock,
                         !m_services.pduMode || m_services.pduMode(), this);
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

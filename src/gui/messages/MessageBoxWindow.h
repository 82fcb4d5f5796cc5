#pragma once

#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"

#include <QPointer>
#include <QSqlDatabase>
#include <QWidget>

#include <functional>
#include <map>
#include <variant>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace parlix {

class Clock;
class PagedListView;
class Prompt;
class WaitWindow;

// What the message box is given by the main window. An engine command takes a callback that
// the main window runs when the engine reports the pass done; a missing command leaves its
// button disabled.
struct MessageBoxServices
{
    QSqlDatabase db;
    Prompt *prompt = nullptr;
    const Clock *clock = nullptr;
    std::function<void(std::function<void()> done)> sendAll;
    std::function<void(std::function<void()> done)> receiveAll;
    std::function<void()> openAutoReply;
    std::function<void()> openSettings; // on its "SMS Timer Settings" tab
    std::function<bool()> pduMode;      // the SMS format in use (RuntimeSettings::PduMode)
};

// Frm_MessageBox: the inbox, outbox and sent items, a page at a time, with the folder tree
// and its counts, a search by number, a preview that marks inbox messages read, and the
// toolbar of message actions. Windows hold no SQL: every statement is a repository's.
class MessageBoxWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessageBoxWindow)

public:
    enum class Folder { None, Inbox, Outbox, Sent };
    // The order a folder is listed in: the inbox's orders, or those of the outbox and sent items.
    using SortOrder = std::variant<InboxSort, OutboxSort>;
    static constexpr int kPageSize = 100;

    // msgType: "I" opens on the inbox, "O" on the outbox, anything else on no folder.
    MessageBoxWindow(MessageBoxServices services, const QString &msgType, QWidget *parent = nullptr);
    ~MessageBoxWindow() override;

    // True while a message box window exists.
    static bool MessageBoxOpen();

    Folder folder() const { return m_folder; }
    bool isInBoxSelected() const { return m_folder == Folder::Inbox; }
    bool isOutBoxSelected() const { return m_folder == Folder::Outbox; }
    bool isSentItemsSelected() const { return m_folder == Folder::Sent; }
    PagedListView *pagedList() const { return m_paged; }

    static QString hintText() { return QStringLiteral("Enter Mobile Number"); }
    static QString deleteQuestionText() { return QStringLiteral("Are you sure to delete the message(s)?"); }
    static QString nothingSelectedText() { return QStringLiteral("Please select message which you want to delete."); }

public Q_SLOTS:
    void fillListInbox();
    void fillListOutbox();
    void fillListSent();
    void fillTreeView();
    void DeleteSMS();
    // Chooses the folder the home page asked for, as a click on its node would.
    void showFolderFor(const QString &msgType);

    // The engine's announcements. After a pass that changed the folders: the folder shown is
    // listed again and the tree rebuilt. A received SMS was stored: it goes to the top of an
    // inbox list, in bold, until the next refill places it.
    void RefreshMessageBoxWindow();
    void addReceivedRow(qint64 id, const QString &sender, const QString &message, const QDateTime &when);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildToolbar();
    void buildAddressBookMenu();
    void refillCurrentFolder();
    void fillFolder(Folder folder);
    void folderClicked(QTreeWidgetItem *item);
    void rowClicked(QTreeWidgetItem *item, int column);
    void headerClicked(int section);
    void listContextMenu(const QPoint &pos);
    void updateSelectionButtons();
    void selectNode(Folder folder);
    void clearPreview();
    void resetSearchBox();
    QString searchText() const;
    void runEnginePass(const std::function<void(std::function<void()>)> &pass);
    void passFinished();
    void compose(const QString &numbers, const QString &message);
    QTreeWidgetItem *firstSelectedRow() const;

    MessageBoxServices m_services;
    Folder m_folder = Folder::None;
    std::map<Folder, SortOrder> m_sorts; // each folder's order, kept while the window is open
    QPointer<WaitWindow> m_wait;
    int m_passesRunning = 0;

    QToolBar *m_toolbar;
    QAction *m_compose = nullptr;
    QAction *m_sendAll = nullptr;
    QAction *m_receiveAll = nullptr;
    QAction *m_reply = nullptr;
    QAction *m_forward = nullptr;
    QAction *m_delete = nullptr;
    QAction *m_autoReply = nullptr;
    QAction *m_settings = nullptr;
    QTreeWidget *m_tree;
    PagedListView *m_paged;
    QTreeWidget *m_list;
    QLineEdit *m_search;
    QPushButton *m_show;
    QRadioButton *m_unread;
    QRadioButton *m_allSms;
    QLabel *m_number;
    QLabel *m_name;
    QPlainTextEdit *m_preview;
    QMenu *m_addressBook;
    QString m_menuNumber;
};

} // namespace parlix

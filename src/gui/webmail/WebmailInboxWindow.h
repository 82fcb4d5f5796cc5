#pragma once

#include "webmail/ReceivedEmailRepository.h"

#include <QSqlDatabase>
#include <QWidget>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace parlix {

class Clock;
class PagedListView;
class Prompt;

// frm_POP3InBoxForWebToSMS: the emails webmail-to-SMS has stored, a page of 100 at a time,
// filtered by outcome, sender, SMS user name and date; the text of the clicked email; deleting
// stored emails (the mailbox itself is not touched).
class WebmailInboxWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebmailInboxWindow)

public:
    WebmailInboxWindow(QSqlDatabase db, Prompt &prompt, const Clock &clock, QWidget *parent = nullptr);

    PagedListView *pagedList() const { return m_paged; }
    ReceivedEmailFilter filter() const;

    static QString deleteQuestionText() { return QStringLiteral("Are you sure to delete the message(s)?"); }
    static QString nothingSelectedText() { return QStringLiteral("Please select message which you want to delete."); }

public Q_SLOTS:
    void FillPOP3TreeView();
    void DeletePOP3Message();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rowClicked(QTreeWidgetItem *item);

    QSqlDatabase m_db;
    Prompt &m_prompt;
    QComboBox *m_outcome;
    QLineEdit *m_sender;
    QLineEdit *m_userName;
    QDateEdit *m_from;
    QDateEdit *m_to;
    QPushButton *m_search;
    PagedListView *m_paged;
    QTreeWidget *m_list;
    QPlainTextEdit *m_text;
    QPushButton *m_delete;
    QPushButton *m_close;
};

} // namespace parlix

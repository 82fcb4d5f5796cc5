#pragma once

#include <QSqlDatabase>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace parlix {

class Prompt;

// Frm_Reply: the keywords the receive pass answers, and the switch that turns keyword
// auto-reply on. The receive pass reads both from the database at every pass, so a change
// here answers the very next SMS.
class KeywordReplyWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeywordReplyWindow)

public:
    static constexpr int kCommandLength = 15;
    static constexpr int kReplyLength = 160;

    KeywordReplyWindow(QSqlDatabase db, Prompt &prompt, QWidget *parent = nullptr);

public Q_SLOTS:
    void save();
    void deleteTicked();

private:
    // Stands for closing the window and opening it again: the list read anew, empty boxes.
    void reopen();
    void switchClicked(bool on);
    void rowClicked(QTreeWidgetItem *item);
    void tickAll(bool ticked);
    void updateDeleteButton();

    QSqlDatabase m_db;
    Prompt &m_prompt;
    bool m_addingNew = true;
    QCheckBox *m_switch;
    QTreeWidget *m_list;
    QCheckBox *m_all;
    QPushButton *m_delete;
    QLineEdit *m_command;
    QPlainTextEdit *m_reply;
    QLineEdit *m_id;
};

} // namespace parlix

#include "gui/autoreply/KeywordReplyWindow.h"

#include "core/Prompt.h"
#include "engine/AutoReplyRepository.h"
#include "gui/common/TickedList.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {

enum Column { kCommand, kReply, kCommandId };
constexpr int kTwipsPerPixel = 15;

// A plain text box that takes no more than limit characters, typed or pasted.
void limitLength(QPlainTextEdit *box, int limit)
{
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box, limit] {
        const QString text = box->toPlainText();
        if (text.size() <= limit)
            return;
        const QSignalBlocker block(box);
        box->setPlainText(text.left(limit));
        box->moveCursor(QTextCursor::End);
    });
}

} // namespace

KeywordReplyWindow::KeywordReplyWindow(QSqlDatabase db, Prompt &prompt, QWidget *parent)
    : QWidget(parent)
    , m_db(std::move(db))
    , m_prompt(prompt)
    , m_switch(new QCheckBox(QStringLiteral("Enable SMS Auto Reply?"), this))
    , m_list(new QTreeWidget(this))
    , m_all(new QCheckBox(QStringLiteral("Select All"), this))
    , m_delete(new QPushButton(QStringLiteral("&Delete Selected"), this))
    , m_command(new QLineEdit(this))
    , m_reply(new QPlainTextEdit(this))
    , m_id(new QLineEdit(this))
{
    setObjectName(QStringLiteral("Frm_Reply"));
    setWindowTitle(QStringLiteral("SMS Auto Reply Setting"));

    m_switch->setObjectName(QStringLiteral("chkSendAutoreply"));
    m_list->setObjectName(QStringLiteral("ListOfSMSReply"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("SMS Command"), QStringLiteral("Auto Reply"), QString()});
    m_list->header()->resizeSection(kCommand, 2000 / kTwipsPerPixel);
    m_list->header()->resizeSection(kReply, 4700 / kTwipsPerPixel);
    m_list->setColumnHidden(kCommandId, true);
    m_all->setObjectName(QStringLiteral("chkAll"));
    m_delete->setObjectName(QStringLiteral("Cmd_delete"));
    m_command->setObjectName(QStringLiteral("Text_received"));
    m_command->setMaxLength(kCommandLength);
    m_reply->setObjectName(QStringLiteral("Text_reply"));
    m_reply->setTabChangesFocus(true);
    limitLength(m_reply, kReplyLength);
    m_id->setObjectName(QStringLiteral("Text_commandId"));
    m_id->setVisible(false);
    auto *saveButton = new QPushButton(QStringLiteral("&Save"), this);
    saveButton->setObjectName(QStringLiteral("CmdEdit"));
    auto *exitButton = new QPushButton(QStringLiteral("E&xit"), this);
    exitButton->setObjectName(QStringLiteral("CmdExit"));

    auto *listButtons = new QHBoxLayout;
    listButtons->addWidget(m_all);
    listButtons->addStretch();
    listButtons->addWidget(m_delete);
    auto *form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("SMS Command"), this), 0, 0);
    form->addWidget(m_command, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("Auto Reply :"), this), 1, 0, Qt::AlignTop);
    form->addWidget(m_reply, 1, 1);
    form->setColumnStretch(1, 1);
    m_reply->setFixedHeight(90);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(exitButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_switch);
    layout->addWidget(m_list, 1);
    layout->addLayout(listButtons);
    layout->addLayout(form);
    layout->addWidget(m_id);
    layout->addLayout(buttons);
    resize(560, 480);

    connect(m_switch, &QCheckBox::clicked, this, &KeywordReplyWindow::switchClicked);
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { rowClicked(item); });
    connect(m_list, &QTreeWidget::itemChanged, this, &KeywordReplyWindow::updateDeleteButton);
    connect(m_all, &QCheckBox::clicked, this, &KeywordReplyWindow::tickAll);
    connect(m_delete, &QPushButton::clicked, this, &KeywordReplyWindow::deleteTicked);
    connect(saveButton, &QPushButton::clicked, this, &KeywordReplyWindow::save);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);

    reopen();
}

void KeywordReplyWindow::reopen()
{
    AutoReplyRepository replies(m_db);
    auto on = replies.sendAutoReply();
    if (!on)
        m_prompt.inform(on.error(), Prompt::Icon::Critical);
    m_switch->setChecked(on && on.value());
    m_addingNew = true;
    m_id->clear();
    m_command->clear();
    m_reply->clear();
    m_all->setChecked(false);

    const QSignalBlocker block(m_list);
    m_list->clear();
    auto keywords = replies.keywords();
    if (!keywords)
        m_prompt.inform(keywords.error(), Prompt::Icon::Critical);
    for (const KeywordReply &k : keywords ? keywords.value() : QVector<KeywordReply>()) {
        auto *item =
            new QTreeWidgetItem(m_list, {k.command.value_or(QString()), k.reply, QString::number(k.commandId)});
        QFont bold = item->font(kCommand);
        bold.setBold(true);
        item->setFont(kCommand, bold);
        item->setForeground(kCommand, QColor(Qt::blue));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(kCommand, Qt::Unchecked);
    }
    m_delete->setEnabled(false);
}

void KeywordReplyWindow::switchClicked(bool on)
{
    if (const Status saved = AutoReplyRepository(m_db).setSendAutoReply(on); !saved) {
        m_prompt.inform(saved.error, Prompt::Icon::Critical);
        const QSignalBlocker block(m_switch);
        m_switch->setChecked(!on);
    }
}

void KeywordReplyWindow::rowClicked(QTreeWidgetItem *item)
{
    if (item == nullptr)
        return;
    m_addingNew = false;
    m_id->setText(item->text(kCommandId));
    m_command->setText(item->text(kCommand));
    m_reply->setPlainText(item->text(kReply));
}

void KeywordReplyWindow::tickAll(bool ticked)
{
    setAllTicked(m_list, kCommand, ticked);
    m_delete->setEnabled(ticked);
}

void KeywordReplyWindow::updateDeleteButton()
{
    m_delete->setEnabled(anyTicked(m_list, kCommand));
}

void KeywordReplyWindow::save()
{
    const QString command = m_command->text();
    const QString reply = m_reply->toPlainText();
    auto refuse = [this](const QString &text, QWidget *box) {
        m_prompt.inform(text, Prompt::Icon::None);
        box->setFocus();
    };
    if (command.trimmed().isEmpty())
        return refuse(QStringLiteral("Please Enter SMS Command."), m_command);
    if (reply.trimmed().isEmpty())
        return refuse(QStringLiteral("Please Enter Auto Reply."), m_reply);
    if (reply.size() > kReplyLength)
        return refuse(QStringLiteral("Please Enter 160 Characters Only."), m_reply);

    AutoReplyRepository replies(m_db);
    const Status saved = m_addingNew ? replies.insert(command, reply).status()
                                     : replies.update(m_id->text().toLongLong(), command, reply);
    if (!saved) {
        m_prompt.inform(saved.error, Prompt::Icon::Critical);
        return;
    }
    reopen();
}

void KeywordReplyWindow::deleteTicked()
{
    if (!m_prompt.question(QStringLiteral("Are you sure to delete the items?")))
        return;
    AutoReplyRepository replies(m_db);
    for (const qint64 id : tickedKeys(m_list, kCommand, kCommandId)) {
        if (const Status removed = replies.remove(id); !removed) {
            m_prompt.inform(removed.error, Prompt::Icon::Critical);
            break;
        }
    }
    reopen();
}

} // namespace parlix

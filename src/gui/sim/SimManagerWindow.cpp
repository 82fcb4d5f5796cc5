#include "gui/sim/SimManagerWindow.h"

#include "core/Prompt.h"
#include "engine/Engine.h"
#include "gui/common/WaitWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {

enum Column { kMessage, kStatus, kNumber, kIndex };

// In the order statuses are collected: the command's status and the list's status text.
struct StatusWord
{
    const char *caption;
    const char *status;
    const char *columnText;
};
constexpr StatusWord kStatuses[] = {
    {"All", "ALL", "ALL"},        {"Read", "REC READ", "READ"},        {"Un Read", "REC UNREAD", "UNREAD"},
    {"Sent", "STO SENT", "SENT"}, {"Un Sent", "STO UNSENT", "UNSENT"},
};

QString columnTextOf(const QString &status)
{
    for (const StatusWord &s : kStatuses) {
        if (status == QLatin1String(s.status))
            return QString::fromLatin1(s.columnText);
    }
    return status;
}

// Keeps the list's columns at a third of its width each, beside the narrow index column.
class ThirdsList final : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QTreeWidget::resizeEvent(event);
        const int width = viewport()->width();
        const int index = std::max(width / 40, 24);
        for (int c = kMessage; c <= kNumber; ++c)
            header()->resizeSection(c, (width - index) / 3);
        header()->resizeSection(kIndex, index);
    }
};

} // namespace

SimManagerWindow::SimManagerWindow(Engine *engine, Prompt &prompt, QWidget *parent)
    : QWidget(parent)
    , m_engine(engine)
    , m_prompt(prompt)
    , m_list(new ThirdsList(this))
    , m_all(new QCheckBox(QStringLiteral("Select All"), this))
{
    setObjectName(QStringLiteral("frmManageSIM"));
    setWindowTitle(QStringLiteral("Manage Messages"));

    auto *readFrame = new QGroupBox(QStringLiteral("Read Messages"), this);
    readFrame->setObjectName(QStringLiteral("fraRead"));
    m_readBoxes = makeBoxes(readFrame, QStringLiteral("chkRead"));
    auto *show = new QPushButton(QStringLiteral("&Show"), readFrame);
    show->setObjectName(QStringLiteral("cmdShow"));
    auto *deleteTickedButton = new QPushButton(QStringLiteral("Dele&te"), readFrame);
    deleteTickedButton->setObjectName(QStringLiteral("cmdDeleteSelected"));
    auto *exitRead = new QPushButton(QStringLiteral("&Exit"), readFrame);
    exitRead->setObjectName(QStringLiteral("cmdExit"));
    m_list->setObjectName(QStringLiteral("Listmessage"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels(
        {QStringLiteral("Message"), QStringLiteral("Status"), QStringLiteral("Mobile Number"), QString()});
    m_list->header()->setStretchLastSection(false);
    m_all->setObjectName(QStringLiteral("chkAll"));

    auto *readBoxes = new QHBoxLayout;
    for (QCheckBox *box : m_readBoxes)
        readBoxes->addWidget(box);
    readBoxes->addStretch();
    readBoxes->addWidget(show);
    auto *readButtons = new QHBoxLayout;
    readButtons->addWidget(m_all);
    readButtons->addStretch();
    readButtons->addWidget(deleteTickedButton);
    readButtons->addWidget(exitRead);
    auto *readLayout = new QVBoxLayout(readFrame);
    readLayout->addWidget(
        new QLabel(QStringLiteral("Please select the type of messages you wanted to read"), readFrame));
    readLayout->addLayout(readBoxes);
    readLayout->addWidget(m_list, 1);
    readLayout->addLayout(readButtons);

    auto *manageFrame = new QGroupBox(QStringLiteral("Manage Messages"), this);
    manageFrame->setObjectName(QStringLiteral("fraManage"));
    m_manageBoxes = makeBoxes(manageFrame, QStringLiteral("chkDelete"));
    auto *deleteByTypeButton = new QPushButton(QStringLiteral("&Delete"), manageFrame);
    deleteByTypeButton->setObjectName(QStringLiteral("cmdDelete"));
    auto *exitManage = new QPushButton(QStringLiteral("E&xit"), manageFrame);
    exitManage->setObjectName(QStringLiteral("cmdExit2"));
    auto *hint = new QLabel(QStringLiteral("Please select which type of messages you want to delete.All the messages "
                                           "of selected type will be deleted from the SIM card."),
                            manageFrame);
    hint->setWordWrap(true);
    auto *manageBoxes = new QHBoxLayout;
    for (QCheckBox *box : m_manageBoxes)
        manageBoxes->addWidget(box);
    manageBoxes->addStretch();
    manageBoxes->addWidget(deleteByTypeButton);
    manageBoxes->addWidget(exitManage);
    auto *manageLayout = new QVBoxLayout(manageFrame);
    manageLayout->addWidget(hint);
    manageLayout->addLayout(manageBoxes);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(readFrame, 1);
    layout->addWidget(manageFrame);
    resize(720, 520);

    connect(show, &QPushButton::clicked, this, &SimManagerWindow::showMessages);
    connect(deleteTickedButton, &QPushButton::clicked, this, &SimManagerWindow::deleteTicked);
    connect(deleteByTypeButton, &QPushButton::clicked, this, &SimManagerWindow::deleteByType);
    connect(exitRead, &QPushButton::clicked, this, &QWidget::close);
    connect(exitManage, &QPushButton::clicked, this, &QWidget::close);
    connect(m_all, &QCheckBox::clicked, this, [this](bool ticked) {
        for (int i = 0; i < m_list->topLevelItemCount(); ++i)
            m_list->topLevelItem(i)->setCheckState(kMessage, ticked ? Qt::Checked : Qt::Unchecked);
    });

    if (m_engine != nullptr) {
        connect(m_engine, &Engine::simMessagesListed, this, [this](const QString &status, const SIMMessageList &list) {
            if (m_working)
                addListed(status, list);
        });
        connect(m_engine, &Engine::simListingFinished, this, &SimManagerWindow::finishWork);
        connect(m_engine, &Engine::simMessagesDeleted, this, &SimManagerWindow::finishWork);
    }
}

SimManagerWindow::~SimManagerWindow()
{
    if (m_working)
        QApplication::restoreOverrideCursor();
    if (m_wait)
        m_wait->close();
}

SimManagerWindow::StatusBoxes SimManagerWindow::makeBoxes(QWidget *frame, const QString &prefix)
{
    StatusBoxes boxes{};
    // Shown in the order Un Sent, Sent, Un Read, Read, All; collected the other way round.
    for (int i = 0; i < 5; ++i) {
        const StatusWord &s = kStatuses[i];
        boxes[i] = new QCheckBox(QString::fromLatin1(s.caption), frame);
        boxes[i]->setObjectName(prefix + QString::fromLatin1(s.caption).remove(QLatin1Char(' ')));
    }
    return {boxes[4], boxes[3], boxes[2], boxes[1], boxes[0]};
}

QStringList SimManagerWindow::statusesOf(const StatusBoxes &boxes)
{
    QStringList statuses;
    for (int i = 0; i < 5; ++i) {
        if (boxes[4 - i]->isChecked())
            statuses << QString::fromLatin1(kStatuses[i].status);
    }
    return statuses;
}

void SimManagerWindow::showMessages()
{
    if (m_engine == nullptr || m_working)
        return;
    m_list->clear();
    m_all->setChecked(false);
    startWork();
    const QStringList statuses = statusesOf(m_readBoxes);
    QMetaObject::invokeMethod(
        m_engine, [engine = m_engine, statuses] { engine->listSimMessages(statuses); }, Qt::QueuedConnection);
}

void SimManagerWindow::addListed(const QString &status, const SIMMessageList &messages)
{
    const QString columnText = columnTextOf(status);
    for (const SIMMessage &m : messages) {
        // The listing leaves the line break that ends it on the last message's text.
        QString text = m.Text;
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        auto *item = new QTreeWidgetItem(m_list, {text, columnText, m.Number, m.Index.trimmed()});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(kMessage, Qt::Unchecked);
    }
}

void SimManagerWindow::deleteTicked()
{
    if (m_engine == nullptr || m_working)
        return;
    const bool yes = m_prompt.question(QStringLiteral("Are you sure to delete the selected messages?"));
    QList<int> indexes;
    for (int i = 0; yes && i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_list->topLevelItem(i);
        if (item->checkState(kMessage) == Qt::Checked)
            indexes << int(qint16(item->text(kIndex).trimmed().toInt()));
    }
    if (!yes) {
        reopen();
        return;
    }
    m_reopenWhenDone = true;
    startWork();
    QMetaObject::invokeMethod(
        m_engine, [engine = m_engine, indexes] { engine->deleteSimMessages(indexes); }, Qt::QueuedConnection);
}

void SimManagerWindow::deleteByType()
{
    if (m_engine == nullptr || m_working)
        return;
    const QStringList statuses = statusesOf(m_manageBoxes);
    if (!m_prompt.question(QStringLiteral("Are you sure to delete the Messages?")))
        return;
    startWork();
    QMetaObject::invokeMethod(
        m_engine, [engine = m_engine, statuses] { engine->deleteSimMessagesByStatus(statuses); }, Qt::QueuedConnection);
}

void SimManagerWindow::startWork()
{
    m_working = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!m_wait)
        m_wait = new WaitWindow(this);
    m_wait->show();
}

void SimManagerWindow::finishWork()
{
    if (!m_working)
        return;
    m_working = false;
    QApplication::restoreOverrideCursor();
    if (m_wait)
        m_wait->close();
    if (m_reopenWhenDone) {
        m_reopenWhenDone = false;
        reopen();
    }
    Q_EMIT commandFinished();
}

// Stands for closing the window and opening it again: an empty list, nothing ticked.
void SimManagerWindow::reopen()
{
    m_list->clear();
    m_all->setChecked(false);
    for (QCheckBox *box : m_readBoxes)
        box->setChecked(false);
    for (QCheckBox *box : m_manageBoxes)
        box->setChecked(false);
}

} // namespace parlix

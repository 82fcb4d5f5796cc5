#include "gui/main/HomePage.h"

#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "gui/common/Icons.h"
#include "gui/common/LinkLabel.h"
#include "store/CallRepository.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace parlix {

namespace {

QLabel *heading(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 11pt; color: #1f3b5c;"));
    return label;
}

LinkLabel *link(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new LinkLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// The links show their count after the design caption: "Inbox (3)".
QString counted(const QString &caption, qint64 count)
{
    return caption + QStringLiteral(" (") + QString::number(count) + QLatin1Char(')');
}

void setCount(LinkLabel *label, const QString &caption, const Result<qint64> &count)
{
    if (count)
        label->setText(counted(caption, count.value()));
}

} // namespace

HomePage::HomePage(QSqlDatabase db, ActivityLog &log, const Clock &clock, QWidget *parent)
    : QWidget(parent)
    , m_db(std::move(db))
    , m_log(log)
    , m_clock(clock)
    , m_today(new QLabel(this))
    , m_missCall(link(QStringLiteral("LblMissCall"), counted(QStringLiteral("Missed Calls"), 0), this))
    , m_inBox(link(QStringLiteral("lblInBox"), counted(QStringLiteral("Inbox"), 0), this))
    , m_outBox(link(QStringLiteral("lblOutBox"), counted(QStringLiteral("Outbox"), 0), this))
    , m_start(link(QStringLiteral("lblStart"), QStringLiteral("Start"), this))
    , m_stop(link(QStringLiteral("lblStop"), QStringLiteral("Stop"), this))
    , m_clear(link(QStringLiteral("lblClear"), QStringLiteral("Clear"), this))
    , m_logBox(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("frm_HomePage"));
    setWindowTitle(QStringLiteral("Home"));
    setWindowIcon(icons::app());

    m_today->setObjectName(QStringLiteral("lblToday"));
    m_today->setStyleSheet(QStringLiteral("font-size: 10pt;"));
    m_logBox->setObjectName(QStringLiteral("txtActivityLog"));
    m_logBox->setReadOnly(true);
    m_logBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_logBox->setStyleSheet(QStringLiteral("QPlainTextEdit { background: #fcfcfa; font-family: monospace; }"));

    // Left: the dashboard; right: the log, which gets the room.
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("dashboard"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setStyleSheet(QStringLiteral("#dashboard { background: #eef2f6; }"));
    panel->setFixedWidth(250);
    auto *left = new QVBoxLayout(panel);
    left->setContentsMargins(16, 16, 16, 16);
    left->setSpacing(6);
    auto *picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(icons::app().pixmap(56, 56));
    auto *product = new QLabel(QStringLiteral("Parlix\nSMS Gateway"), panel);
    product->setStyleSheet(QStringLiteral("font-size: 13pt; font-weight: bold; color: #1f3b5c;"));
    auto *brand = new QHBoxLayout;
    brand->addWidget(picture);
    brand->addWidget(product, 1);
    left->addLayout(brand);
    left->addSpacing(14);
    left->addWidget(heading(QStringLiteral("Today's Call Report :"), panel));
    left->addWidget(m_today);
    left->addWidget(m_missCall);
    left->addSpacing(14);
    left->addWidget(heading(QStringLiteral("Message Box :"), panel));
    left->addWidget(m_inBox);
    left->addWidget(m_outBox);
    left->addStretch();

    auto *logHeader = new QHBoxLayout;
    logHeader->addWidget(heading(QStringLiteral("Activity Log:"), this));
    logHeader->addSpacing(12);
    logHeader->addWidget(m_start);
    logHeader->addWidget(m_stop);
    logHeader->addWidget(m_clear);
    logHeader->addStretch();
    auto *right = new QVBoxLayout;
    right->addLayout(logHeader);
    right->addWidget(m_logBox, 1);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(12);
    layout->addWidget(panel);
    layout->addLayout(right, 1);

    connect(m_inBox, &LinkLabel::clicked, this, [this] {
        m_msgType = QStringLiteral("I");
        Q_EMIT messageBoxRequested();
    });
    connect(m_outBox, &LinkLabel::clicked, this, [this] {
        m_msgType = QStringLiteral("O");
        Q_EMIT messageBoxRequested();
    });
    connect(m_missCall, &LinkLabel::clicked, this, &HomePage::missedCallsRequested);
    connect(m_start, &LinkLabel::clicked, this, [this] {
        m_log.setEnabled(true);
        syncLogLinks();
    });
    connect(m_stop, &LinkLabel::clicked, this, [this] {
        m_log.setEnabled(false);
        syncLogLinks();
    });
    connect(m_clear, &LinkLabel::clicked, this, [this] {
        m_log.clear();
        showLog();
    });
    // The log is written from any thread; the box is brought up to date once per burst of
    // lines, on this thread.
    connect(
        &m_log, &ActivityLog::changed, this,
        [this] {
            if (m_logUpdatePending)
                return;
            m_logUpdatePending = true;
            QMetaObject::invokeMethod(this, &HomePage::showLog, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);

    m_msgType.clear();
    m_today->setText(QLocale(QLocale::English).toString(m_clock.today(), QStringLiteral("dd-MMMM-yyyy")));
    syncLogLinks();
    showLog();
    RefreshCounts();
}

void HomePage::RefreshCounts()
{
    setCount(m_missCall, QStringLiteral("Missed Calls"), CallRepository(m_db).countMissedOn(m_clock.today()));
    setCount(m_inBox, QStringLiteral("Inbox"), InboxRepository(m_db).countUnread());
    setCount(m_outBox, QStringLiteral("Outbox"), OutboxRepository(m_db).countUndelivered());
}

void HomePage::setMissedCallsLinkActive(bool active)
{
    m_missCall->setActive(active);
}

void HomePage::showLog()
{
    m_logUpdatePending = false;
    QString text = m_log.text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text == m_shownLog)
        return;
    m_shownLog = text;
    m_logBox->setPlainText(text);
    m_logBox->verticalScrollBar()->setValue(0); // the newest line is the first
}

void HomePage::syncLogLinks()
{
    const bool logging = m_log.isEnabled();
    m_start->setActive(!logging);
    m_stop->setActive(logging);
    m_clear->setActive(true);
}

} // namespace parlix

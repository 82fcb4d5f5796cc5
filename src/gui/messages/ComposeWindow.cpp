#include "gui/messages/ComposeWindow.h"

#include "config/RuntimeSettings.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "gui/common/Icons.h"
#include "modem/Pdu.h"
#include "store/ComposeQueue.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace parlix {

namespace {

QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

ComposeWindow::ComposeWindow(QSqlDatabase db, Prompt &prompt, const Clock &clock, bool pduMode, QWidget *parent)
    : QDialog(parent)
    , m_db(std::move(db))
    , m_prompt(prompt)
    , m_clock(clock)
    , m_numbers(new QLineEdit(this))
    , m_message(new QPlainTextEdit(this))
    , m_count(new QLabel(this))
{
    m_pduMode = pduMode;
    setObjectName(QStringLiteral("frm_ComposeSMS"));
    setWindowTitle(QStringLiteral("Compose & Send SMS"));
    setWindowIcon(icons::compose());
    setModal(true);

    m_numbers->setObjectName(QStringLiteral("MobileNumbers"));
    m_message->setObjectName(QStringLiteral("Message"));
    m_message->setTabChangesFocus(true);
    auto *send = new QPushButton(QStringLiteral("Send SMS"), this);
    send->setObjectName(QStringLiteral("Command1"));
    send->setIcon(icons::sendAll());
    send->setDefault(false);
    send->setAutoDefault(false);

    auto *hint1 =
        label(QStringLiteral("Label2"),
              QStringLiteral("(Separate multiple numbers by comma. e.g. 9888812121, +442123234455, ...)"), this);
    auto *hint2 = label(
        QStringLiteral("Label4"),
        m_pduMode ? QStringLiteral("(Max. %1 SMS)").arg(kMaxPduParts) : QStringLiteral("(Max. 160 characters)"), this);
    m_count->setObjectName(QStringLiteral("lblCharsLeft"));
    for (QLabel *hint : {hint1, hint2})
        hint->setStyleSheet(QStringLiteral("color: #5b6670;"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label(QStringLiteral("Label1"), QStringLiteral("Enter Mobile Numbers :"), this));
    layout->addWidget(m_numbers);
    layout->addWidget(hint1);
    layout->addSpacing(8);
    layout->addWidget(label(QStringLiteral("Label3"), QStringLiteral("Enter Your Message Here :"), this));
    layout->addWidget(m_message, 1);
    auto *hints = new QHBoxLayout;
    hints->addWidget(hint2);
    hints->addStretch();
    hints->addWidget(m_count);
    layout->addLayout(hints);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(send);
    layout->addLayout(buttons);
    resize(480, 320);

    connect(m_message, &QPlainTextEdit::textChanged, this, &ComposeWindow::limitMessage);
    limitMessage();
    connect(send, &QPushButton::clicked, this, &ComposeWindow::sendComposed);
}

void ComposeWindow::setNumbers(const QString &numbers)
{
    m_numbers->setText(numbers);
}

void ComposeWindow::setMessage(const QString &message)
{
    m_message->setPlainText(message);
}

bool ComposeWindow::fits(const QString &text) const
{
    return m_pduMode ? pdu::countText(text).parts <= kMaxPduParts : text.size() <= kMaxMessageLength;
}

// Typing and pasting alike stop at the limit; the cut keeps the start of the text.
void ComposeWindow::limitMessage()
{
    QString text = m_message->toPlainText();
    if (!fits(text)) {
        // The longest start that fits; a pasted book must not take a count per character.
        qsizetype keep = 0;
        for (qsizetype lo = 0, hi = text.size(); lo <= hi;) {
            const qsizetype mid = (lo + hi) / 2;
            if (fits(text.left(mid))) {
                keep = mid;
                lo = mid + 1;
            } else {
                hi = mid - 1;
            }
        }
        if (keep > 0 && text.at(keep - 1).isHighSurrogate())
            --keep; // never half an emoji
        text = text.left(keep);
        const QSignalBlocker block(m_message);
        m_message->setPlainText(text);
        m_message->moveCursor(QTextCursor::End);
    }
    if (m_pduMode) {
        const pdu::SmsCount count = pdu::countText(text);
        m_count->setText(QStringLiteral("%1 characters left, %2 SMS").arg(count.left).arg(count.parts));
    } else {
        m_count->setText(QStringLiteral("%1 characters left, 1 SMS").arg(kMaxMessageLength - text.size()));
    }
}

void ComposeWindow::sendComposed()
{
    const QString message = m_message->toPlainText();
    if (m_numbers->text().trimmed().isEmpty() || message.trimmed().isEmpty()) {
        m_prompt.inform(missingInputText());
        return;
    }
    auto queued = queueComposedSms(m_db, splitComposeNumbers(m_numbers->text()), message, m_clock.now());
    if (!queued) {
        m_prompt.inform(queued.error(), Prompt::Icon::Critical);
        return;
    }
    accept();
}

} // namespace parlix

#include "gui/common/GuiPrompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace parlix {

GuiPrompt::GuiPrompt(QWidget *owner)
    : m_owner(owner)
    , m_guiSide(std::make_unique<QObject>())
{
}

GuiPrompt::~GuiPrompt()
{
    setClosing();
}

bool GuiPrompt::askHere(const Request &request)
{
    QMessageBox box(m_owner);
    setUp(box, request);
    return box.exec() != QMessageBox::No;
}

void GuiPrompt::setUp(QMessageBox &box, const Request &request)
{
    box.setObjectName(QStringLiteral("promptBox"));
    box.setWindowTitle(request.title);
    box.setText(request.text);
    switch (request.icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (request.buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
}

namespace {

bool sameMessage(const Prompt::Request &a, const Prompt::Request &b)
{
    return a.text == b.text && a.title == b.title && a.icon == b.icon && a.buttons == b.buttons;
}

} // namespace

QString GuiPrompt::countedText(const Pending &pending)
{
    if (pending.count < 2)
        return pending.request.text;
    return pending.request.text + QStringLiteral("\n\n(This message came %1 times.)").arg(pending.count);
}

void GuiPrompt::finish(Answer &answer, bool yes)
{
    QMutexLocker lock(&answer.mutex);
    answer.yes = yes;
    answer.done = true;
    answer.ready.wakeAll();
}

void GuiPrompt::enqueue(const Request &request, std::shared_ptr<Answer> answer)
{
    if (answer) {
        m_queue.enqueue({request, 1, std::move(answer)});
        return;
    }
    // A failure repeated every pass must not pile up boxes the operator clicks away one by one.
    if (m_currentBox && sameMessage(m_current.request, request)) {
        ++m_current.count;
        m_currentBox->setText(countedText(m_current));
        return;
    }
    for (Pending &waiting : m_queue) {
        if (sameMessage(waiting.request, request)) {
            ++waiting.count;
            return;
        }
    }
    m_queue.enqueue({request, 1, nullptr});
}

void GuiPrompt::showQueued()
{
    if (m_showing)
        return; // the loop below, further up the stack, picks the new request up
    m_showing = true;
    while (!m_queue.isEmpty()) {
        m_current = m_queue.dequeue();
        Request shown = m_current.request;
        shown.text = countedText(m_current);
        QMessageBox box(m_owner);
        setUp(box, shown);
        m_currentBox = &box;
        box.exec();
        m_currentBox = nullptr;
        if (m_current.answer)
            finish(*m_current.answer, true);
    }
    m_showing = false;
}

bool GuiPrompt::ask(const Request &request)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr)
        return false;
    if (QThread::currentThread() == app->thread())
        return askHere(request);

    const bool message = request.buttons == Buttons::Ok;
    if (message && !request.waitForClose) {
        QMetaObject::invokeMethod(
            m_guiSide.get(),
            [this, request] {
                enqueue(request, nullptr);
                showQueued();
            },
            Qt::QueuedConnection);
        return true;
    }

    if (m_closing)
        return false;
    auto answer = std::make_shared<Answer>();
    {
        QMutexLocker lock(&m_waitersMutex);
        m_waiters.append(answer);
    }
    QMetaObject::invokeMethod(
        m_guiSide.get(),
        [this, request, answer, message] {
            if (message) {
                // In its turn after the messages before it; answered when it is closed.
                enqueue(request, answer);
                showQueued();
                return;
            }
            finish(*answer, !m_closing && askHere(request));
        },
        Qt::QueuedConnection);
    bool yes = false;
    {
        QMutexLocker lock(&answer->mutex);
        while (!answer->done)
            answer->ready.wait(&answer->mutex);
        yes = answer->yes;
    }
    QMutexLocker lock(&m_waitersMutex);
    m_waiters.removeOne(answer);
    return yes;
}

void GuiPrompt::setClosing()
{
    m_closing = true;
    QMutexLocker lock(&m_waitersMutex);
    for (const auto &answer : std::as_const(m_waiters)) {
        QMutexLocker answerLock(&answer->mutex);
        answer->done = true;
        answer->yes = false;
        answer->ready.wakeAll();
    }
}

} // namespace parlix

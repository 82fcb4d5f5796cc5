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
    return box.exec() != QMessageBox::No;
}

void GuiPrompt::showQueued()
{
    if (m_showing)
        return; // the loop below, further up the stack, picks the new request up
    m_showing = true;
    while (!m_queue.isEmpty())
        askHere(m_queue.dequeue());
    m_showing = false;
}

bool GuiPrompt::ask(const Request &request)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr)
        return false;
    if (QThread::currentThread() == app->thread())
        return askHere(request);

    if (request.buttons == Buttons::Ok) {
        QMetaObject::invokeMethod(
            m_guiSide.get(),
            [this, request] {
                m_queue.enqueue(request);
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
        [this, request, answer] {
            const bool yes = !m_closing && askHere(request);
            QMutexLocker lock(&answer->mutex);
            answer->yes = yes;
            answer->done = true;
            answer->ready.wakeAll();
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

#pragma once

#include "core/Prompt.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QWaitCondition>

#include <atomic>
#include <memory>

class QWidget;

namespace parlix {

// Message boxes owned by the main window. On the GUI thread a request is shown at once. From
// another thread (the engine, the webmail poller) a message is queued and the caller goes on
// at once, while a Yes/No question makes the caller wait for the operator's answer, since the
// algorithm depends on it. Queued messages are shown one after the other, never stacked.
class GuiPrompt final : public Prompt
{
public:
    explicit GuiPrompt(QWidget *owner = nullptr);
    ~GuiPrompt() override;

    void setOwner(QWidget *owner) { m_owner = owner; }
    bool ask(const Request &request) override;

    // The program is ending: a question still waiting, or asked from now on from another
    // thread, is answered No so that no thread waits for a window that will not come.
    void setClosing();

private:
    struct Answer
    {
        QMutex mutex;
        QWaitCondition ready;
        bool done = false;
        bool yes = false;
    };

    bool askHere(const Request &request);
    void showQueued();

    QPointer<QWidget> m_owner;
    std::unique_ptr<QObject> m_guiSide; // posted work runs on its thread, and dies with it
    QQueue<Request> m_queue;            // GUI thread only
    bool m_showing = false;             // GUI thread only
    std::atomic<bool> m_closing = false;
    QMutex m_waitersMutex;
    QList<std::shared_ptr<Answer>> m_waiters;
};

} // namespace parlix

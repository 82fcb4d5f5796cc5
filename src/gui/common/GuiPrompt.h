#pragma once

#include "core/Prompt.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QWaitCondition>

#include <atomic>
#include <memory>

class QMessageBox;
class QWidget;

namespace parlix {

// Message boxes owned by the main window. On the GUI thread a request is shown at once. From
// another thread (the engine, the webmail poller) a message is queued and the caller goes on
// at once, while a Yes/No question makes the caller wait for the operator's answer, since the
// algorithm depends on it. Queued messages are shown one after the other, never stacked; a
// message identical to one on screen or still waiting is not shown again: the box counts it.
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

    struct Pending
    {
        Request request;
        int count = 1;
        std::shared_ptr<Answer> answer; // a caller waiting for the box to close
    };

    bool askHere(const Request &request);
    void setUp(QMessageBox &box, const Request &request);
    void enqueue(const Request &request, std::shared_ptr<Answer> answer);
    static void finish(Answer &answer, bool yes);
    void showQueued();
    static QString countedText(const Pending &pending);

    QPointer<QWidget> m_owner;
    std::unique_ptr<QObject> m_guiSide; // posted work runs on its thread, and dies with it
    QQueue<Pending> m_queue;            // GUI thread only
    Pending m_current;                  // GUI thread only: the queued message on screen
    QPointer<QMessageBox> m_currentBox; // GUI thread only
    bool m_showing = false;             // GUI thread only
    std::atomic<bool> m_closing = false;
    QMutex m_waitersMutex;
    QList<std::shared_ptr<Answer>> m_waiters;
};

} // namespace parlix

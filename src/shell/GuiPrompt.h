#pragma once

#include "shell/Prompt.h"

#include <QPointer>

class QWidget;

namespace parlix {

// Message boxes owned by the main window. A request from another thread is handed to the GUI
// thread and the caller waits for the operator's answer.
class GuiPrompt final : public Prompt
{
public:
    explicit GuiPrompt(QWidget *owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget *owner) { m_owner = owner; }
    bool ask(const Request &request) override;

private:
    bool askHere(const Request &request);
    QPointer<QWidget> m_owner;
};

} // namespace parlix

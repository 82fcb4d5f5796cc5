#pragma once

#include "modem/ModemReplies.h"

#include <QCheckBox>
#include <QPointer>
#include <QWidget>

#include <array>

class QPushButton;
class QTreeWidget;

namespace parlix {

class Engine;
class Prompt;
class WaitWindow;

// "Manage Messages": the messages stored on the SIM card, listed by status and deleted by
// entry or by status. Every modem exchange is a queued call to the engine, which runs it after
// whatever pass it is in; the window shows the wait window meanwhile and never waits itself.
class SimManagerWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SimManagerWindow)

public:
    // engine may be null (the window alone): the commands then do nothing.
    SimManagerWindow(Engine *engine, Prompt &prompt, QWidget *parent = nullptr);
    ~SimManagerWindow() override;

    // Whether a command is still with the engine.
    bool isWorking() const { return m_working; }

public Q_SLOTS:
    void showMessages();
    void deleteTicked();
    void deleteByType();

Q_SIGNALS:
    // The engine finished the command the window last gave it.
    void commandFinished();

private:
    // The check boxes of one frame, in the order their statuses are collected.
    using StatusBoxes = std::array<QCheckBox *, 5>;
    StatusBoxes makeBoxes(QWidget *frame, const QString &prefix);
    static QStringList statusesOf(const StatusBoxes &boxes);
    void addListed(const QString &status, const parlix::SIMMessageList &messages);
    void startWork();
    void finishWork();
    void reopen();

    Engine *m_engine;
    Prompt &m_prompt;
    StatusBoxes m_readBoxes{};
    StatusBoxes m_manageBoxes{};
    QTreeWidget *m_list;
    QCheckBox *m_all;
    QPointer<WaitWindow> m_wait;
    bool m_working = false;
    bool m_reopenWhenDone = false;
};

} // namespace parlix

#include "shell/GuiPrompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace parlix {

bool GuiPrompt::askHere(const Request &request)
{
    QMessageBox box(m_owner);
    box.setWindowTitle(request.title);
    box.setText(request.text);
    switch (request.icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (request.buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() != QMessageBox::No;
}

bool GuiPrompt::ask(const Request &request)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr)
        return false;
    if (QThread::currentThread() == app->thread())
        return askHere(request);
    bool answer = false;
    QMetaObject::invokeMethod(
        app, [&] { answer = askHere(request); }, Qt::BlockingQueuedConnection);
    return answer;
}

} // namespace parlix

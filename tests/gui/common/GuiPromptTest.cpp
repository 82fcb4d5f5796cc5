// Messages and questions that another thread raises: a message never holds its thread up and an
// identical one is counted, a question waits for the operator, and closing releases it.
#include "gui/common/GuiPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

namespace parlix::test {
namespace {

// Answers each message box as it comes up, keeping its text.
class BoxAnswerer
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this, button] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            texts << box->text();
            titles << box->windowTitle();
            if (seen)
                seen(box->text());
            box->button(button)->click();
        });
        m_poll.start(5);
    }
    QStringList texts;
    QStringList titles;
    std::function<void(const QString &)> seen; // before the click

private:
    QTimer m_poll;
};

TEST(GuiPrompt, MessagesDoNotWaitComeInTurnAndIdenticalOnesAreCounted)
{
    GuiPrompt prompt;
    BoxAnswerer answerer(QMessageBox::Ok);
    std::unique_ptr<QThread> engine(QThread::create([&] {
        for (int i = 0; i < 100; ++i)
            prompt.inform(QStringLiteral("The SMS could not be deleted."));
        prompt.inform(QStringLiteral("other"));
    }));
    engine->start();
    EXPECT_TRUE(engine->wait(5000)); // all posted; none shown, since this thread has not run its event loop
    EXPECT_TRUE(answerer.texts.isEmpty());

    // A caller that keeps one notice at a time waits until it is closed.
    std::atomic<bool> returned = false;
    bool returnedBeforeClose = true;
    answerer.seen = [&](const QString &text) {
        if (text == QLatin1String("once"))
            returnedBeforeClose = returned;
    };
    std::unique_ptr<QThread> watcher(QThread::create([&] {
        Prompt::Request notice{QStringLiteral("once")};
        notice.waitForClose = true;
        prompt.ask(notice);
        returned = true;
    }));
    watcher->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
    EXPECT_EQ(answerer.texts,
              (QStringList{"The SMS could not be deleted.\n\n(This message came 100 times.)", "other", "once"}));
    EXPECT_FALSE(returnedBeforeClose);
    EXPECT_EQ(answerer.titles.value(0), QStringLiteral("Kovax - Parlix"));
    watcher->wait();
}

TEST(GuiPrompt, QuestionFromAnotherThreadWaitsForTheAnswer)
{
    GuiPrompt prompt;
    BoxAnswerer answerer(QMessageBox::No);
    std::atomic<int> answer = -1;
    std::unique_ptr<QThread> engine(
        QThread::create([&] { answer = prompt.question(QStringLiteral("Go on?")) ? 1 : 0; }));
    engine->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.load() != -1; }, 5000));
    EXPECT_EQ(answer.load(), 0);
    EXPECT_EQ(answerer.texts, QStringList{QStringLiteral("Go on?")});
    engine->wait();
}

TEST(GuiPrompt, ClosingAnswersAWaitingQuestionNo)
{
    GuiPrompt prompt;
    std::atomic<int> answer = -1;
    std::unique_ptr<QThread> engine(
        QThread::create([&] { answer = prompt.question(QStringLiteral("Go on?")) ? 1 : 0; }));
    engine->start();
    QThread::msleep(50); // the question is posted; this thread has not shown it
    prompt.setClosing();
    EXPECT_TRUE(engine->wait(2000));
    EXPECT_EQ(answer.load(), 0);
    QCoreApplication::processEvents(); // the posted question is dropped, not shown
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
} // namespace parlix::test

// Messages and questions that another thread raises: a message never holds its thread up, a
// question waits for the operator, and closing releases a waiting question.
#include "gui/common/GuiPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>

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
            box->button(button)->click();
        });
        m_poll.start(5);
    }
    QStringList texts;
    QStringList titles;

private:
    QTimer m_poll;
};

TEST(GuiPrompt, MessagesFromAnotherThreadDoNotWaitAndComeOneAfterTheOther)
{
    GuiPrompt prompt;
    BoxAnswerer answerer(QMessageBox::Ok);
    std::atomic<bool> done = false;
    QThread *engine = QThread::create([&] {
        prompt.inform(QStringLiteral("first"));
        prompt.inform(QStringLiteral("second"));
        done = true;
    });
    engine->start();
    // The thread finishes before any box has been shown, since this thread has not yet run
    // its event loop.
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < 5000)
        QThread::msleep(5);
    EXPECT_TRUE(done);
    EXPECT_TRUE(answerer.texts.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.texts.size() == 2; }, 5000));
    EXPECT_EQ(answerer.texts, (QStringList{"first", "second"}));
    EXPECT_EQ(answerer.titles.value(0), QStringLiteral("Kovax - Parlix"));
    engine->wait();
    delete engine;
}

TEST(GuiPrompt, QuestionFromAnotherThreadWaitsForTheAnswer)
{
    GuiPrompt prompt;
    BoxAnswerer answerer(QMessageBox::No);
    std::atomic<int> answer = -1;
    QThread *engine = QThread::create([&] { answer = prompt.question(QStringLiteral("Go on?")) ? 1 : 0; });
    engine->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.load() != -1; }, 5000));
    EXPECT_EQ(answer.load(), 0);
    EXPECT_EQ(answerer.texts, QStringList{QStringLiteral("Go on?")});
    engine->wait();
    delete engine;
}

TEST(GuiPrompt, ClosingAnswersAWaitingQuestionNo)
{
    GuiPrompt prompt;
    std::atomic<int> answer = -1;
    QThread *engine = QThread::create([&] { answer = prompt.question(QStringLiteral("Go on?")) ? 1 : 0; });
    engine->start();
    QThread::msleep(50); // the question is posted; this thread has not shown it
    prompt.setClosing();
    EXPECT_TRUE(engine->wait(2000));
    EXPECT_EQ(answer.load(), 0);
    QCoreApplication::processEvents(); // the posted question is dropped, not shown
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    delete engine;
}

} // namespace
} // namespace parlix::test

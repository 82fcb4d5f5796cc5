// Composing: numbers cleaned and queued in the typed order, texts stored as typed, the
// refusal of empty input, and the 160-character limit.
#include "gui/messages/ComposeWindow.h"
#include "support/ManualClock.h"
#include "support/MessageTestData.h"
#include "support/PromptRecorder.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace parlix::test {
namespace {

class ComposeTest : public ::testing::Test
{
protected:
    ComposeTest()
        : window(db.db(), prompt, clock)
    {
        window.show();
    }
    void type(const QString &numbers, const QString &message)
    {
        QTest::keyClicks(window.findChild<QLineEdit *>(QStringLiteral("MobileNumbers")), numbers);
        QTest::keyClicks(window.findChild<QPlainTextEdit *>(QStringLiteral("Message")), message);
    }
    void send() { QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton); }
    QVector<OutboxRow> queued() { return OutboxRepository(db.db()).pending().value(); }

    TempDatabase db;
    PromptRecorder prompt;
    ManualClock clock;
    ComposeWindow window;
};

TEST_F(ComposeTest, SeveralNumbersBecomeOneRowEachInTypedOrder)
{
    type(QStringLiteral("+44 2123.234455, 9888812121,  +91 98 123"), QStringLiteral("Don't be late"));
    send();
    const auto rows = queued();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].recipientMobileNo, QStringLiteral("+442123234455"));
    EXPECT_EQ(rows[1].recipientMobileNo, QStringLiteral("9888812121"));
    EXPECT_EQ(rows[2].recipientMobileNo, QStringLiteral("+9198123"));
    for (const auto &row : rows) {
        EXPECT_EQ(row.message, QStringLiteral("Don't be late"));
        EXPECT_EQ(row.outBoxDateTime, clock.now());
        EXPECT_TRUE(row.deliveryStatus.isEmpty());
    }
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(ComposeTest, EmptyInputIsRefusedAndNothingIsWritten)
{
    const QString refusal = QStringLiteral("You must enter the mobile number and the message.");
    type(QStringLiteral("9888812121"), QStringLiteral("   "));
    send();
    EXPECT_EQ(prompt.texts(), QStringList{refusal});
    EXPECT_TRUE(queued().isEmpty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(ComposeTest, MessageStopsAt160CharactersTypedOrPasted)
{
    auto *message = window.findChild<QPlainTextEdit *>(QStringLiteral("Message"));
    QTest::keyClicks(message, QString(158, QLatin1Char('a')));
    QTest::keyClicks(message, QStringLiteral("bcdef"));
    EXPECT_EQ(message->toPlainText(), QString(158, QLatin1Char('a')) + QStringLiteral("bc"));
    message->clear();
    QApplication::clipboard()->setText(QString(200, QLatin1Char('x')));
    message->paste();
    EXPECT_EQ(message->toPlainText().size(), 160);
}

} // namespace
} // namespace parlix::test

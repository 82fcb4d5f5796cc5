// Composing: numbers cleaned and queued in the typed order, texts stored as typed, the
// refusal of empty input, and the limits of text and PDU mode.
#include "gui/messages/ComposeWindow.h"
#include "../WindowFixture.h"
#include "support/MessageTestData.h"

#include <QApplication>
#include <QClipboard>

namespace parlix::test {
namespace {

class ComposeTest : public WindowFixture
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
    QVector<OutboxRow> queued() { return test::undeliveredOutbox(db.db()); }

    ComposeWindow window;
};

TEST_F(ComposeTest, SeveralNumbersBecomeOneRowEachInTypedOrder)
{
    type(QStringLiteral("+44 2123.234455, 9888812121,  +91 98 123"), QStringLiteral("Don't be late"));
    send();
    QStringList rows;
    for (const OutboxRow &row : queued())
        rows << row.recipientMobileNo + '/' + row.message + '/' + row.outBoxDateTime.toString(Qt::ISODate);
    const QString rest = QStringLiteral("/Don't be late/") + clock.now().toString(Qt::ISODate);
    EXPECT_EQ(rows, (QStringList{"+442123234455" + rest, "9888812121" + rest, "+9198123" + rest}));
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

// Typed or pasted, the text goes through one limit (a paste is quicker); the cut keeps the start.
TEST_F(ComposeTest, TextModeMessageStopsAt160Characters)
{
    ComposeWindow textMode(db.db(), prompt, clock, false);
    auto *message = textMode.findChild<QPlainTextEdit *>(QStringLiteral("Message"));
    QApplication::clipboard()->setText(QString(158, 'a') + QStringLiteral("bcdef"));
    message->paste();
    EXPECT_EQ(message->toPlainText(), QString(158, 'a') + QStringLiteral("bc"));
}

// A new database sends in PDU mode: long texts up to ten linked parts, counted as the operator
// types; an emoji is never cut in half.
TEST_F(ComposeTest, PduModeCountsPartsAndStopsAtTenOfThem)
{
    const struct
    {
        QString pasted, kept;
        const char *count;
    } cases[] = {
        {QString(160, 'x'), QString(160, 'x'), "0 characters left, 1 SMS"},
        {QString(161, 'x'), QString(161, 'x'), "145 characters left, 2 SMS"},
        {QString(2000, 'x'), QString(1530, 'x'), "0 characters left, 10 SMS"},
        {QStringLiteral("\U0001F600").repeated(400), QStringLiteral("\U0001F600").repeated(330),
         "1 characters left, 10 SMS"},
    };
    auto *message = window.findChild<QPlainTextEdit *>(QStringLiteral("Message"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.count);
        message->clear();
        QApplication::clipboard()->setText(c.pasted);
        message->paste();
        EXPECT_EQ(message->toPlainText(), c.kept);
        EXPECT_EQ(window.findChild<QLabel *>(QStringLiteral("lblCharsLeft"))->text(), QLatin1String(c.count));
    }
}

} // namespace
} // namespace parlix::test

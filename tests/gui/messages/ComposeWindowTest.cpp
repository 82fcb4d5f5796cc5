// Composing: numbers cleaned and queued in the typed order, texts stored as typed, the
// refusal of empty input, and the limits of text and PDU mode.
#include "gui/messages/ComposeWindow.h"
#include "../WindowFixture.h"
#include "support/MessageTestData.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

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
    ComposeWindow textMode(db.db(), prompt, clock, false);
    auto *message = textMode.findChild<QPlainTextEdit *>(QStringLiteral("Message"));
    QTest::keyClicks(message, QString(158, QLatin1Char('a')));
    QTest::keyClicks(message, QStringLiteral("bcdef"));
    EXPECT_EQ(message->toPlainText(), QString(158, QLatin1Char('a')) + QStringLiteral("bc"));
    message->clear();
    QApplication::clipboard()->setText(QString(200, QLatin1Char('x')));
    message->paste();
    EXPECT_EQ(message->toPlainText().size(), 160);
}

struct PduLimitCase
{
    const char *name;
    QString pasted;
    QString kept;
    const char *count;
};

class ComposePduTest : public ComposeTest, public ::testing::WithParamInterface<PduLimitCase>
{
};

// A new database sends in PDU mode: long texts up to ten linked parts, counted as the operator
// types; an emoji is never cut in half.
TEST_P(ComposePduTest, CountsPartsAndStopsAtTenOfThem)
{
    auto *message = window.findChild<QPlainTextEdit *>(QStringLiteral("Message"));
    QApplication::clipboard()->setText(GetParam().pasted);
    message->paste();
    EXPECT_EQ(message->toPlainText(), GetParam().kept);
    EXPECT_EQ(window.findChild<QLabel *>(QStringLiteral("lblCharsLeft"))->text(), QLatin1String(GetParam().count));
}

INSTANTIATE_TEST_SUITE_P(Texts, ComposePduTest,
                         ::testing::Values(PduLimitCase{"Single", QString(160, QLatin1Char('x')),
                                                        QString(160, QLatin1Char('x')), "0 characters left, 1 SMS"},
                                           PduLimitCase{"TwoParts", QString(161, QLatin1Char('x')),
                                                        QString(161, QLatin1Char('x')), "145 characters left, 2 SMS"},
                                           PduLimitCase{"TenParts", QString(2000, QLatin1Char('x')),
                                                        QString(1530, QLatin1Char('x')), "0 characters left, 10 SMS"},
                                           PduLimitCase{"Emoji", QStringLiteral("\U0001F600").repeated(400),
                                                        QStringLiteral("\U0001F600").repeated(330),
                                                        "1 characters left, 10 SMS"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace parlix::test

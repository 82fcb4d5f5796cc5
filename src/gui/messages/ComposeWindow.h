#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace parlix {

class Clock;
class Prompt;

// frm_ComposeSMS: one message to one or more numbers, queued in the outbox (one row per
// recipient) for the delivery pass. It sends nothing itself.
class ComposeWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ComposeWindow)

public:
    static constexpr int kMaxMessageLength = 160; // text mode
    static constexpr int kMaxPduParts = 10;

    // pduMode: the SMS format the modem is used in (RuntimeSettings::PduMode), which the count follows.
    ComposeWindow(QSqlDatabase db, Prompt &prompt, const Clock &clock, bool pduMode = true, QWidget *parent = nullptr);

    // Reply and Forward open the window with one of the two boxes filled in.
    void setNumbers(const QString &numbers);
    void setMessage(const QString &message);

    static QString missingInputText() { return QStringLiteral("You must enter the mobile number and the message."); }

public Q_SLOTS:
    void sendComposed();

private:
    void limitMessage();
    bool fits(const QString &text) const;

    QSqlDatabase m_db;
    Prompt &m_prompt;
    const Clock &m_clock;
    QLineEdit *m_numbers;
    QPlainTextEdit *m_message;
    QLabel *m_count;
    bool m_pduMode = false;
};

} // namespace parlix

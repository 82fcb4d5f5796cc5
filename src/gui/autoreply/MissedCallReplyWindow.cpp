#include "gui/autoreply/MissedCallReplyWindow.h"

#include "config/SettingsSave.h"
#include "core/Prompt.h"
#include "store/SettingsRepository.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace parlix {

MissedCallReplyWindow::MissedCallReplyWindow(SettingsServices services, QWidget *parent)
    : QDialog(parent)
    , m_services(std::move(services))
    , m_enabled(new QCheckBox(QStringLiteral("Enable Autoreply SMS on Missed Calls"), this))
    , m_message(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("frm_AutoReplyOnMissedCall"));
    setWindowTitle(QStringLiteral("AutoReply on Missed Call"));

    auto *explanation =
        new QLabel(QStringLiteral("If some one calls you on your SIM card mobile number connected with this software, "
                                  "it can automatically send the caller following SMS if this option is enabled."),
                   this);
    explanation->setWordWrap(true);
    m_enabled->setObjectName(QStringLiteral("chkSetMsg"));
    m_message->setObjectName(QStringLiteral("Text_Message"));
    m_message->setTabChangesFocus(true);
    connect(m_message, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = m_message->toPlainText();
        if (text.size() <= kMessageLength)
            return;
        const QSignalBlocker block(m_message);
        m_message->setPlainText(text.left(kMessageLength));
        m_message->moveCursor(QTextCursor::End);
    });
    auto *saveButton = new QPushButton(QStringLiteral("&Save"), this);
    saveButton->setObjectName(QStringLiteral("Cmdsend"));
    auto *exitButton = new QPushButton(QStringLiteral("E&xit"), this);
    exitButton->setObjectName(QStringLiteral("cmdExit"));
    saveButton->setAutoDefault(false);
    exitButton->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(m_enabled);
    layout->addWidget(new QLabel(QStringLiteral("Message (Max.Length 160 Characters) :"), this));
    layout->addWidget(m_message, 1);
    layout->addLayout(buttons);
    resize(440, 300);

    connect(saveButton, &QPushButton::clicked, this, &MissedCallReplyWindow::save);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    SettingsRepository repository(m_services.db);
    auto reply = loadMissedCallReply(repository);
    if (!reply) {
        m_services.prompt->inform(reply.error(), Prompt::Icon::Critical);
        return;
    }
    m_message->setPlainText(reply.value().message);
    m_enabled->setChecked(reply.value().enabled);
}

void MissedCallReplyWindow::save()
{
    SettingsRepository repository(m_services.db);
    auto settings = saveMissedCallReply(repository, currentSettingsOf(m_services),
                                        {m_enabled->isChecked(), m_message->toPlainText()});
    if (!settings) {
        m_services.prompt->inform(settings.error(), Prompt::Icon::Critical);
        return;
    }
    Q_EMIT settingsSaved(settings.value());
    accept();
}

} // namespace parlix

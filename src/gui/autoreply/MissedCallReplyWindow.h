#pragma once

#include "config/RuntimeSettings.h"
#include "config/SettingsServices.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;

namespace parlix {

// "AutoReply on Missed Call": switches the missed-call reply on or off and edits its text.
// Save writes the single row and announces the new settings, which the main window hands
// to the engine, so the next missed call uses them. Exit saves nothing.
class MissedCallReplyWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MissedCallReplyWindow)

public:
    static constexpr int kMessageLength = 160;

    explicit MissedCallReplyWindow(SettingsServices services, QWidget *parent = nullptr);

public Q_SLOTS:
    void save();

Q_SIGNALS:
    void settingsSaved(const parlix::RuntimeSettings &settings);

private:
    SettingsServices m_services;
    QCheckBox *m_enabled;
    QPlainTextEdit *m_message;
};

} // namespace parlix

#pragma once

#include "config/RuntimeSettings.h"
#include "core/Result.h"

#include <QString>

namespace parlix {

class Prompt;
class SettingsRepository;

// What the settings window holds when Save is pressed: the boxes' texts as typed, the ticks,
// and which options are chosen (None when no option of a group is chosen). Modem choices are
// already the stored forms: the parity letter, the flow-control digit.
struct SettingsInput
{
    QString pop3MailServer, pop3Port, pop3UserName, pop3Password, emailCheckInterval;
    bool webMailEnabled = false;

    QString receiveSeconds, sendSeconds;
    bool receiveEnabled = false, sendEnabled = false;
    DeliveryMedium deliveryMedia = DeliveryMedium::None;
    SimDeliveryMode simDeliveryMode = SimDeliveryMode::None;
    DeliveryMedium mixDeliveryMedia = DeliveryMedium::None; // Modem, SmtpGateway or None
    QString smtpServer, smtpEmailPostfix, smtpPort, smtpFromName, smtpYourEmailAddress;
    bool maskYourEmail = false;
    QString mixModeNumbers;

    QString commPort, bitsPerSecond, dataBits, parity, stopBits, flowControl, characterSet, delayFactor;
    bool callerId = false;
    QString smsFormat; // "TEXT" or "PDU"
    bool deliveryReports = false;
    bool speedFromFoundList = false; // the port and speed were taken from the found-modems list
};

// Where a save stopped and what it changed.
struct SettingsSaveOutcome
{
    bool completed = false;         // every table written and the success message shown
    bool anyWritten = false;        // at least one table written: settings carries the change
    QString focusField;             // objectName of the control to put the focus on; empty if none
    RuntimeSettings settings;       // the process-wide settings after what was written
    QString mixModeNumbers;         // the normalised prefixes, to show in their box
    bool speedQuestionDone = false; // the found-list flag may be cleared
};

// Checks and writes in the window's fixed order. The mailbox row is written before the timer
// checks run and the timer row before the modem checks, so a later failure keeps what came
// before. Messages and questions go through prompt.
SettingsSaveOutcome saveSettings(SettingsRepository &repository, Prompt &prompt, const RuntimeSettings &current,
                                 const SettingsInput &input);

// The missed-call reply as its window shows it: the first row of AutoReply_OnMissedCall, the
// message trimmed; off and empty when there is no row.
struct MissedCallReply
{
    bool enabled = false;
    QString message;
};
Result<MissedCallReply> loadMissedCallReply(SettingsRepository &repository);
// Writes the single row (adding it when missing) with the message trimmed, and returns current
// with the two fields the call watcher reads changed to match.
Result<RuntimeSettings> saveMissedCallReply(SettingsRepository &repository, const RuntimeSettings &current,
                                            const MissedCallReply &reply);
// What the advanced SMTP window holds when Save is pressed.
struct AdvancedSmtpInput
{
    QString userName, password; // as typed
    bool authenticationRequired = false;
    bool allowClearTextLogin = false;
    int authenticationType = 0; // the list position: 0 None, 1 POP3, 2 AUTH LOGIN, 3 AUTH PLAIN
    int encodeType = -1;        // 0 MIME, 1 UUENCODE; anything else keeps what is stored
};

struct AdvancedSmtpSaveOutcome
{
    bool saved = false;
    QString focusField;       // objectName of the box to put the focus on; empty if none
    RuntimeSettings settings; // the process-wide settings with the new login, when saved
};

// Checks the login and writes it to Timer_Setting. A login is asked for on every save, even
// when the server needs none. Messages go through prompt.
AdvancedSmtpSaveOutcome saveAdvancedSmtpSettings(SettingsRepository &repository, Prompt &prompt,
                                                 const RuntimeSettings &current, const AdvancedSmtpInput &input);

// The message shown when no modem delay factor is chosen.
QString missingDelayFactorMessage();

} // namespace parlix

#pragma once

#include "config/RuntimeSettings.h"
#include "core/Result.h"

#include <QString>
#include <QVariantMap>

#include <optional>

namespace parlix {

class Prompt;
class SettingsRepository;

// What the advanced SMTP window holds when Save is pressed.
struct AdvancedSmtpInput
{
    QString userName, password; // as typed
    bool authenticationRequired = false;
    bool allowClearTextLogin = false;
    int authenticationType = 0; // the list position: 0 None, 1 POP3, 2 AUTH LOGIN, 3 AUTH PLAIN
    int encodeType = -1;        // 0 MIME, 1 UUENCODE; anything else keeps what is stored
};

// What the settings window holds when Save is pressed: the boxes' texts as typed, the ticks,
// and which options are chosen (None when no option of a group is chosen). Modem choices are
// already the stored forms: the parity letter, the flow-control digit.
struct SettingsInput
{
    QString pop3MailServer, pop3Port, pop3UserName, pop3Password, emailCheckInterval;
    bool webMailEnabled = false;
    bool pop3AllowClearTextLogin = false;
    QString maxEmailSizeKB; // empty keeps what is stored

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

    AdvancedSmtpInput smtpLogin; // the advanced SMTP window's part, saved by saveAdvancedSmtpSettings
};

// The groups a save checks and writes, each with its own table: the window saves all three;
// the command line only those whose settings it was given.
struct SettingsSections
{
    bool mailbox = true;    // WebMailToSMS_POP3Settings
    bool timers = true;     // Timer_Setting
    bool modem = true;      // ModemSettings
    bool smtpLogin = false; // the login columns of Timer_Setting: never part of saveSettings
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
                                 const SettingsInput &input, SettingsSections sections = {});

// What the settings window shows for the stored rows, in stored forms. A database without a
// modem row starts from the usual serial settings (9600 bits per second, 8 data bits, no
// parity, 1 stop bit, no flow control, GSM, delay factor 1): only the port is left to choose.
SettingsInput storedSettingsInput(const SettingsRows &rows);

// A modem taken from the found-modems list: its port, 115200 bits per second, delay factor 2.25
// and the format it answered to; the save then asks the speed question.
void chooseFoundModem(SettingsInput &input, const QString &port, bool pduMode);
inline constexpr char kFoundModemSpeed[] = "115200";
inline constexpr char kFoundModemDelayFactor[] = "2.25";

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
// What the advanced SMTP window shows for the stored timer row: a list position out of range
// shows None, an encoding other than MIME or UUENCODE none chosen.
AdvancedSmtpInput storedAdvancedSmtpInput(const std::optional<QVariantMap> &timer);

// The message shown when no modem delay factor is chosen.
QString missingDelayFactorMessage();

} // namespace parlix

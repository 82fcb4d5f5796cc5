#pragma once

#include "config/SettingsSave.h"
#include "config/SettingsServices.h"
#include "core/BlockingWindow.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace parlix {

// frm_Settings: the modem's serial settings, the timers and delivery method, the SMTP gateway,
// the mix-mode rules and the webmail mailbox. Saving writes the tables in a fixed order and
// announces the new process-wide settings with settingsSaved, also when a later check stopped
// the save after an earlier table was written. Deletes itself when closed.
class SettingsWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsWindow)

public:
    // portConnected: whether the engine has the serial port open now (see setPortConnected).
    explicit SettingsWindow(SettingsServices services, bool portConnected = false, QWidget *parent = nullptr);
    ~SettingsWindow() override;

    // True once the port and speed were taken from the found-modems list; cleared by a save.
    bool selectPortFromList() const { return m_selectPortFromList; }

public Q_SLOTS:
    // While the port is open the modem settings cannot change; connect to the engine's state.
    void setPortConnected(bool connected);
    // A modem picked in the found-modems list: its port, 115200 bits per second, delay 2.25.
    void applyFoundModem(const QString &port, bool pduMode = false);
    void save();
    void startModemSearch();

Q_SIGNALS:
    void settingsSaved(const parlix::RuntimeSettings &settings);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildModemTab();
    QWidget *buildTimerTab();
    QWidget *buildEmailTab();
    void load();
    void loadModem(const QVariantMap &row);
    void loadTimer(const QVariantMap &row);
    void loadMailbox(const QVariantMap &row);
    void checkSecondsBox(QLineEdit *box);
    void showDeliveryFrames();
    void resetSendingStatus();
    void explainMasking();
    void openAdvancedSettings();
    SettingsInput input() const;
    void focusField(const QString &objectName);
    ActivityLog &searchLog() const;

    SettingsServices m_services;
    std::optional<BlockingWindowGuard> m_blocking;
    bool m_selectPortFromList = false;

    QTabWidget *m_tabs = nullptr;
    QWidget *m_modemTab = nullptr;
    QWidget *m_timerTab = nullptr;
    QWidget *m_emailTab = nullptr;

    QComboBox *m_port = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_stopBits = nullptr;
    QComboBox *m_flow = nullptr;
    QComboBox *m_charSet = nullptr;
    QComboBox *m_delay = nullptr;
    QCheckBox *m_callerId = nullptr;
    QComboBox *m_smsFormat = nullptr;
    QCheckBox *m_deliveryReports = nullptr;
    QPushButton *m_checkModem = nullptr;
    QLabel *m_alert = nullptr;

    QCheckBox *m_receiveEnabled = nullptr;
    QLineEdit *m_receiveSeconds = nullptr;
    QCheckBox *m_sendEnabled = nullptr;
    QLineEdit *m_sendSeconds = nullptr;
    QRadioButton *m_viaModem = nullptr;
    QRadioButton *m_viaSmtp = nullptr;
    QRadioButton *m_viaMix = nullptr;
    QGroupBox *m_simFrame = nullptr;
    QGroupBox *m_smtpFrame = nullptr;
    QGroupBox *m_mixFrame = nullptr;
    QRadioButton *m_storeOnSim = nullptr;
    QRadioButton *m_directDelivery = nullptr;
    QLineEdit *m_smtpServer = nullptr;
    QLineEdit *m_smtpPostfix = nullptr;
    QLineEdit *m_smtpPort = nullptr;
    QLineEdit *m_smtpFromName = nullptr;
    QLineEdit *m_smtpAddress = nullptr;
    QCheckBox *m_mask = nullptr;
    QLineEdit *m_mixNumbers = nullptr;
    QRadioButton *m_mixThroughModem = nullptr;
    QRadioButton *m_mixThroughSmtp = nullptr;

    QCheckBox *m_webMailEnabled = nullptr;
    QLineEdit *m_pop3Server = nullptr;
    QLineEdit *m_pop3Port = nullptr;
    QLineEdit *m_pop3User = nullptr;
    QLineEdit *m_pop3Password = nullptr;
    QLineEdit *m_emailInterval = nullptr;
};

} // namespace parlix

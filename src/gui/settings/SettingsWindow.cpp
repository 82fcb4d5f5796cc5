#include "gui/settings/SettingsWindow.h"

#include "config/RuntimeSettings.h"
#include "config/SettingsChecks.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "gui/settings/AdvancedSmtpWindow.h"
#include "gui/settings/ModemSearchWindow.h"
#include "store/OutboxRepository.h"
#include "store/SettingsRepository.h"
#include "store/SqlDialect.h"
#include "webmail/Pop3Client.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QTabWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {

template <typename W> W *named(W *widget, const char *objectName)
{
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

QComboBox *choiceBox(const char *objectName, const QList<std::pair<QString, QString>> &choices)
{
    auto *box = named(new QComboBox, objectName);
    for (const auto &[text, stored] : choices)
        box->addItem(text, stored);
    box->setCurrentIndex(-1);
    return box;
}

QList<std::pair<QString, QString>> sameTexts(const QStringList &texts)
{
    QList<std::pair<QString, QString>> choices;
    for (const QString &t : texts)
        choices.append({t, t});
    return choices;
}

// Selects the entry whose stored form (or text) matches the value, numbers compared as numbers.
// A stored value outside the list is kept as an extra entry, so saving never changes it unasked.
void showStored(QComboBox *box, const QString &stored)
{
    if (stored.trimmed().isEmpty()) {
        box->setCurrentIndex(-1);
        if (box->isEditable())
            box->setEditText(QString());
        return;
    }
    const QString value = stored.trimmed();
    bool valueIsNumber = false;
    const double number = value.toDouble(&valueIsNumber);
    for (int i = 0; i < box->count(); ++i) {
        const QString entry = box->itemData(i).toString();
        bool entryIsNumber = false;
        const double entryNumber = entry.toDouble(&entryIsNumber);
        if (entry.compare(value, Qt::CaseInsensitive) == 0 ||
            (valueIsNumber && entryIsNumber && entryNumber == number)) {
            box->setCurrentIndex(i);
            return;
        }
    }
    const QString shown = valueIsNumber ? numberText(number) : value;
    box->addItem(shown, shown);
    box->setCurrentIndex(box->count() - 1);
}

QString storedChoice(const QComboBox *box)
{
    if (box->isEditable())
        return box->currentText().trimmed();
    if (box->currentIndex() < 0)
        return {};
    return box->currentData().toString();
}

QLineEdit *lineBox(const char *objectName)
{
    return named(new QLineEdit, objectName);
}

const char *const kModemFields[] = {"Combo_comportNo", "Combo_BitsPerSec", "Combo_DataBits", "Combo_Parity",
                                    "Combo_stopBit",   "Cmb_FlowControl",  "cmb_CharSet",    "cmbDelay"};
const char *const kMailboxFields[] = {"Pop3MailServer", "Pop3Port",           "POP3UserName",
                                      "POP3Password",   "EmailCheckInterval", "txtMaxEmailSizeKB"};

const char kIncomeEmailFormat[] = "<smsusername>SMS user name</smsusername>\n"
                                  "<smspassword>SMS password</smspassword>\n"
                                  "<tomobilenumbers>mobile numbers, separated by commas</tomobilenumbers>\n"
                                  "<message>text of the SMS</message>\n"
                                  "\n"
                                  "Example:\n"
                                  "<smsusername>frontdesk</smsusername>\n"
                                  "<smspassword>k4Tz9</smspassword>\n"
                                  "<tomobilenumbers>919370012345,919220067890</tomobilenumbers>\n"
                                  "<message>Your order is ready for collection.</message>";

} // namespace

SettingsWindow::SettingsWindow(SettingsServices services, bool portConnected, QWidget *parent)
    : QWidget(parent)
    , m_services(std::move(services))
{
    m_blocking.emplace();
    setObjectName(QStringLiteral("frm_Settings"));
    setWindowTitle(QStringLiteral("Settings"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_tabs = named(new QTabWidget, "tabSettings");
    m_modemTab = buildModemTab();
    m_timerTab = buildTimerTab();
    m_emailTab = buildEmailTab();
    m_tabs->addTab(m_modemTab, QStringLiteral("Modem Settings"));
    m_tabs->addTab(m_timerTab, QStringLiteral("SMS Timer Settings"));
    m_tabs->addTab(m_emailTab, QStringLiteral("Email - To - SMS Settings"));

    auto *saveButton = named(new QPushButton(QStringLiteral("&Save")), "cmdSave1");
    auto *exitButton = named(new QPushButton(QStringLiteral("&Exit")), "cmdExit3");
    connect(saveButton, &QPushButton::clicked, this, &SettingsWindow::save);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(exitButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);

    load();
    setPortConnected(portConnected);
}

SettingsWindow::~SettingsWindow() = default;

QWidget *SettingsWindow::buildModemTab()
{
    auto *tab = named(new QWidget, "fraModemSettings");

    m_port = named(new QComboBox, "Combo_comportNo");
    m_port->setEditable(true); // a device path may be typed
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    ports.sort();
    m_port->addItems(ports);
    for (int i = 0; i < m_port->count(); ++i)
        m_port->setItemData(i, m_port->itemText(i));
    m_port->setCurrentIndex(-1);
    m_port->setEditText(QString());

    m_speed = choiceBox("Combo_BitsPerSec", sameTexts({"110", "300", "1200", "2400", "4800", "9600", "19200", "38400",
                                                       "57600", "115200", "230400", "460800", "921600"}));
    m_speed->setEditable(true);
    m_speed->setValidator(new QIntValidator(1, 99999999, m_speed));
    m_speed->setEditText(QString());
    m_dataBits = choiceBox("Combo_DataBits", sameTexts({"5", "6", "7", "8"}));
    m_parity = choiceBox("Combo_Parity", {{QStringLiteral("Even"), QStringLiteral("e")},
                                          {QStringLiteral("Odd"), QStringLiteral("o")},
                                          {QStringLiteral("None"), QStringLiteral("n")},
                                          {QStringLiteral("Mark"), QStringLiteral("m")},
                                          {QStringLiteral("Space"), QStringLiteral("s")}});
    m_stopBits = choiceBox("Combo_stopBit", sameTexts({"1", "1.5", "2"}));
    m_flow = choiceBox("Cmb_FlowControl", {{QStringLiteral("None"), QStringLiteral("0")},
                                           {QStringLiteral("Xon/Xoff"), QStringLiteral("1")},
                                           {QStringLiteral("Hardware"), QStringLiteral("2")}});
    m_charSet = choiceBox("cmb_CharSet", sameTexts({"ANSI", "ASCII", "GSM"}));
    QStringList delays;
    for (int quarter = 4; quarter <= 16; ++quarter)
        delays << numberText(quarter / 4.0);
    m_delay = choiceBox("cmbDelay", sameTexts(delays));
    m_callerId = named(new QCheckBox(QStringLiteral("Do you want to enable caller Id ?")), "chkEnbCallID");
    m_smsFormat = choiceBox("cmbSMSFormat", {{QStringLiteral("Text"), smsformat::kText},
                                             {QStringLiteral("PDU (Unicode and long SMS)"), smsformat::kPdu}});
    // A new database talks PDU unless the operator or the stored row says otherwise.
    showStored(m_smsFormat, smsformat::kPdu);
    m_deliveryReports = named(new QCheckBox(QStringLiteral("Request delivery reports")), "chkDeliveryReports");

    m_checkModem = named(
        new QPushButton(QStringLiteral("Click here to automatically detect the modem connected to this computer")),
        "cmdChkModem");
    connect(m_checkModem, &QPushButton::clicked, this, &SettingsWindow::startModemSearch);

    m_alert = named(new QLabel, "lblAlertMsg");
    m_alert->setWordWrap(true);
    m_alert->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));

    auto *delayRow = new QHBoxLayout;
    delayRow->addWidget(m_delay);
    delayRow->addWidget(new QLabel(QStringLiteral("(1=Faster Modem, 4=Slower Modem )")));
    delayRow->addStretch();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Modem plugged-in to which COM port?"), m_port);
    form->addRow(QStringLiteral("Bits Per Second"), m_speed);
    form->addRow(QStringLiteral("Data Bits"), m_dataBits);
    form->addRow(QStringLiteral("Parity"), m_parity);
    form->addRow(QStringLiteral("Stop Bit"), m_stopBits);
    form->addRow(QStringLiteral("Flow Control"), m_flow);
    form->addRow(QStringLiteral("Character Set"), m_charSet);
    form->addRow(QString(), m_callerId);
    form->addRow(QStringLiteral("SMS Format"), m_smsFormat);
    form->addRow(QString(), m_deliveryReports);
    form->addRow(QStringLiteral("Modem Delay Factor :"), delayRow);

    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(m_alert);
    layout->addLayout(form);
    layout->addWidget(m_checkModem);
    layout->addStretch();
    return tab;
}

QWidget *SettingsWindow::buildTimerTab()
{
    auto *tab = named(new QWidget, "fraTimerSettings");

    m_receiveEnabled = named(new QCheckBox(QStringLiteral("Enabled auto receive SMS")), "chkEnableReceive");
    m_receiveSeconds = lineBox("txttime");
    m_sendEnabled = named(new QCheckBox(QStringLiteral("Enabled auto delivery of SMS")), "chkEnableSend");
    m_sendSeconds = lineBox("txtSendmsgtime");
    for (auto [check, box] : {std::pair{m_receiveEnabled, m_receiveSeconds}, std::pair{m_sendEnabled, m_sendSeconds}}) {
        box->setFixedWidth(50);
        box->setEnabled(false);
        connect(check, &QCheckBox::toggled, box, &QWidget::setEnabled);
        connect(box, &QLineEdit::textEdited, this, [this, b = box] { checkSecondsBox(b); });
    }
    const auto secondsRow = [](QCheckBox *check, const QString &text, QLineEdit *box) {
        auto *row = new QHBoxLayout;
        row->addWidget(check);
        row->addWidget(new QLabel(text));
        row->addWidget(box);
        row->addWidget(new QLabel(QStringLiteral(" Seconds. (Between 3-65)")));
        row->addStretch();
        return row;
    };

    auto *deliveryFrame = named(new QGroupBox(QStringLiteral("SMS Delivery Method")), "fraDeliveryMedia");
    m_viaModem = named(new QRadioButton(QStringLiteral("Through GSM / CDMA Modem Connected To This Computer")),
                       "OptSMSDeliveryModem");
    m_viaSmtp = named(new QRadioButton(QStringLiteral("Through External SMTP Parlix")), "OptSMSDeliverySMTPSMSGateway");
    m_viaMix =
        named(new QRadioButton(QStringLiteral("Mix Mode (Using both of the above but depending upon the rules set)")),
              "OptSMSDeliveryMixMode");
    auto *deliveryLayout = new QVBoxLayout(deliveryFrame);
    for (QRadioButton *option : {m_viaModem, m_viaSmtp, m_viaMix}) {
        deliveryLayout->addWidget(option);
        connect(option, &QRadioButton::toggled, this, &SettingsWindow::showDeliveryFrames);
    }

    m_simFrame = named(new QGroupBox(QStringLiteral("SIM Card SMS Delivery Method")), "fraSIMCardDelivery");
    m_storeOnSim = named(new QRadioButton(QStringLiteral("Store on SIM and deliver")), "OptStoreOnSIM");
    m_directDelivery =
        named(new QRadioButton(QStringLiteral("Direct delivery without storing to SIM")), "OptDirctDelevary");
    auto *simLayout = new QVBoxLayout(m_simFrame);
    simLayout->addWidget(m_storeOnSim);
    simLayout->addWidget(m_directDelivery);

    m_smtpFrame = named(new QGroupBox(QStringLiteral("Settings For External SMTP Parlix")), "fraSMTPSettings");
    m_smtpServer = lineBox("txtSMSSMTPServer");
    m_smtpPostfix = lineBox("txtSMSSMTPEmailPostfix");
    m_smtpPort = lineBox("txtSMSSMTPPort");
    m_smtpFromName = lineBox("txtSMSSMTPFromName");
    m_smtpAddress = lineBox("txtSMSSMTPYourEmailAddress");
    m_mask = named(
        new QCheckBox(QStringLiteral("To Change Sender's Name, SMS SMTP Server Requires To Mask Your Email Address?")),
        "chkIsFromNameSentByMaskingYourEmail");
    auto *whatIsThis = named(new QLabel(QStringLiteral("<a href=\"#\">(What is this?)</a>")), "lblWhatIsThis");
    connect(whatIsThis, &QLabel::linkActivated, this, &SettingsWindow::explainMasking);
    auto *advanced = named(new QPushButton(QStringLiteral("Advanced Settings")), "cmdAdvancedSettings");
    connect(advanced, &QPushButton::clicked, this, &SettingsWindow::openAdvancedSettings);
    auto *postfixRow = new QHBoxLayout;
    postfixRow->addWidget(new QLabel(QStringLiteral("mobile-number @")));
    postfixRow->addWidget(m_smtpPostfix);
    auto *maskRow = new QHBoxLayout;
    maskRow->addWidget(m_mask);
    maskRow->addWidget(whatIsThis);
    maskRow->addStretch();
    auto *smtpForm = new QFormLayout(m_smtpFrame);
    smtpForm->addRow(QStringLiteral("SMS SMTP Server Address :"), m_smtpServer);
    smtpForm->addRow(QStringLiteral("SMS Email Address :"), postfixRow);
    smtpForm->addRow(QStringLiteral("SMTP Port Number :"), m_smtpPort);
    smtpForm->addRow(QStringLiteral("Default From Name / From No. :"), m_smtpFromName);
    smtpForm->addRow(QStringLiteral("Your Email Address On SMTP Server :"), m_smtpAddress);
    smtpForm->addRow(maskRow);
    smtpForm->addRow(QString(), advanced);

    m_mixFrame = named(new QGroupBox(QStringLiteral("Mix Mode Rules for Sending SMS")), "fraMixModeRules");
    m_mixNumbers = lineBox("txtSMSMixModeMobilesStartWith");
    m_mixThroughModem = named(
        new QRadioButton(QStringLiteral("Send through the modem only for these numbers, all others through the SMTP "
                                        "gateway")),
        "OptSMSMixMode_ThroughModem");
    m_mixThroughSmtp = named(
        new QRadioButton(QStringLiteral("Send through the SMTP gateway only for these numbers, all others through the "
                                        "modem")),
        "OptSMSMixMode_ThroughSMSSMTP");
    auto *mixLayout = new QVBoxLayout(m_mixFrame);
    mixLayout->addWidget(new QLabel(QStringLiteral("Mobile numbers starting with : (seperate multiple by comma)")));
    mixLayout->addWidget(m_mixNumbers);
    mixLayout->addWidget(new QLabel(QStringLiteral("(E.g. : 91937, 937, 922, 91922, ... etc.)")));
    mixLayout->addWidget(new QLabel(QStringLiteral("Numbers are compared without a leading \"+\" or \"0\".")));
    mixLayout->addWidget(m_mixThroughModem);
    mixLayout->addWidget(m_mixThroughSmtp);

    auto *resetButton = named(new QPushButton(QStringLiteral("Yes! Reset the Status")), "cmdResetStatus");
    connect(resetButton, &QPushButton::clicked, this, &SettingsWindow::resetSendingStatus);
    auto *resetRow = new QHBoxLayout;
    resetRow->addWidget(
        new QLabel(QStringLiteral("Do you want to clear the \"SENDING\" status for all messages in outbox ?")));
    resetRow->addWidget(resetButton);
    resetRow->addStretch();

    auto *layout = new QVBoxLayout(tab);
    layout->addLayout(secondsRow(m_receiveEnabled, QStringLiteral("Automaticaly receive SMS every"), m_receiveSeconds));
    layout->addLayout(
        secondsRow(m_sendEnabled, QStringLiteral("Automaticaly send SMS from Outbox every"), m_sendSeconds));
    layout->addWidget(deliveryFrame);
    layout->addWidget(m_simFrame);
    layout->addWidget(m_smtpFrame);
    layout->addWidget(m_mixFrame);
    layout->addLayout(resetRow);
    layout->addStretch();
    showDeliveryFrames();
    return tab;
}

QWidget *SettingsWindow::buildEmailTab()
{
    auto *tab = named(new QWidget, "fraEmailToSMS");
    m_webMailEnabled =
        named(new QCheckBox(QStringLiteral(" Enable Email - To - SMS Delivery Feature")), "chkEnableWebMailToSMS");
    m_pop3Server = lineBox("Pop3MailServer");
    m_pop3Port = lineBox("Pop3Port");
    m_pop3User = lineBox("POP3UserName");
    m_pop3Password = lineBox("POP3Password");
    m_pop3Password->setEchoMode(QLineEdit::Password);
    m_emailInterval = lineBox("EmailCheckInterval");
    m_pop3AllowClearText =
        named(new QCheckBox(QLatin1String(webmail::kAllowPop3ClearTextLoginText)), "chkAllowPop3ClearTextLogin");
    m_maxEmailSize = lineBox("txtMaxEmailSizeKB");

    auto *account = new QGroupBox(QStringLiteral("Check Following POP3 Email Account"));
    auto *form = new QFormLayout(account);
    form->addRow(QStringLiteral("POP3 Mail Server :"), m_pop3Server);
    form->addRow(QStringLiteral("POP3 Port :"), m_pop3Port);
    form->addRow(QStringLiteral("User Name : "), m_pop3User);
    form->addRow(QStringLiteral("Password :"), m_pop3Password);
    auto *intervalRow = new QHBoxLayout;
    intervalRow->addWidget(m_emailInterval);
    intervalRow->addWidget(new QLabel(QStringLiteral("seconds.")));
    form->addRow(QStringLiteral("Check Email Every"), intervalRow);
    form->addRow(QString(), m_pop3AllowClearText);
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_maxEmailSize);
    sizeRow->addWidget(new QLabel(QStringLiteral("KB; larger emails are skipped and left in the mailbox.")));
    form->addRow(QStringLiteral("Largest Email To Read"), sizeRow);

    auto *formatFrame = new QGroupBox(QStringLiteral("Income Email Format"));
    auto *format = named(new QPlainTextEdit(QString::fromLatin1(kIncomeEmailFormat)), "txtIncomeEmailFormat");
    format->setReadOnly(true);
    (new QVBoxLayout(formatFrame))->addWidget(format);

    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(m_webMailEnabled);
    layout->addWidget(account);
    layout->addWidget(formatFrame);
    return tab;
}

void SettingsWindow::load()
{
    SettingsRepository repository(m_services.db);
    auto rows = repository.readAll();
    if (!rows) {
        m_services.prompt->inform(rows.error(), Prompt::Icon::Critical);
        return;
    }
    // The same stored forms the command line's settings start from, serial defaults included.
    const SettingsInput in = storedSettingsInput(rows.value());
    showModem(in);
    if (rows->timer)
        showTimer(in);
    if (rows->pop3)
        showMailbox(in);
}

void SettingsWindow::showModem(const SettingsInput &in)
{
    const int known = m_port->findText(in.commPort);
    m_port->setCurrentIndex(known);
    m_port->setEditText(in.commPort);
    m_speed->setEditText(in.bitsPerSecond);
    showStored(m_dataBits, in.dataBits);
    showStored(m_parity, in.parity);
    showStored(m_stopBits, in.stopBits);
    showStored(m_flow, in.flowControl);
    showStored(m_charSet, in.characterSet);
    showStored(m_delay, in.delayFactor);
    m_callerId->setChecked(in.callerId);
    showStored(m_smsFormat, in.smsFormat);
    m_deliveryReports->setChecked(in.deliveryReports);
}

void SettingsWindow::showTimer(const SettingsInput &in)
{
    m_receiveSeconds->setText(in.receiveSeconds);
    m_sendSeconds->setText(in.sendSeconds);
    m_receiveEnabled->setChecked(in.receiveEnabled);
    m_sendEnabled->setChecked(in.sendEnabled);
    m_receiveSeconds->setEnabled(m_receiveEnabled->isChecked());
    m_sendSeconds->setEnabled(m_sendEnabled->isChecked());

    m_viaModem->setChecked(in.deliveryMedia == DeliveryMedium::Modem);
    m_viaSmtp->setChecked(in.deliveryMedia == DeliveryMedium::SmtpGateway);
    m_viaMix->setChecked(in.deliveryMedia == DeliveryMedium::MixMode);
    showDeliveryFrames();

    m_smtpServer->setText(in.smtpServer);
    m_smtpPostfix->setText(in.smtpEmailPostfix);
    m_smtpPort->setText(in.smtpPort);
    m_smtpFromName->setText(in.smtpFromName);
    m_smtpAddress->setText(in.smtpYourEmailAddress);
    m_mask->setChecked(in.maskYourEmail);
    m_mixNumbers->setText(in.mixModeNumbers);

    m_storeOnSim->setChecked(in.simDeliveryMode == SimDeliveryMode::StoreAndDeliver);
    m_directDelivery->setChecked(in.simDeliveryMode == SimDeliveryMode::DirectDeliver);
    m_mixThroughModem->setChecked(in.mixDeliveryMedia == DeliveryMedium::Modem);
    m_mixThroughSmtp->setChecked(in.mixDeliveryMedia == DeliveryMedium::SmtpGateway);
}

void SettingsWindow::showMailbox(const SettingsInput &in)
{
    m_pop3Server->setText(in.pop3MailServer);
    m_pop3Port->setText(in.pop3Port);
    m_pop3User->setText(in.pop3UserName);
    m_pop3Password->setText(in.pop3Password);
    m_emailInterval->setText(in.emailCheckInterval);
    m_webMailEnabled->setChecked(in.webMailEnabled);
    m_pop3AllowClearText->setChecked(in.pop3AllowClearTextLogin);
    m_maxEmailSize->setText(in.maxEmailSizeKB);
}

void SettingsWindow::setPortConnected(bool connected)
{
    m_alert->setText(connected ? QStringLiteral("You can not change the modem settings. Because computer is already "
                                                "connected with modem.")
                               : QString());
    m_alert->setVisible(connected);
    for (QWidget *control : std::initializer_list<QWidget *>{m_port, m_speed, m_dataBits, m_parity, m_stopBits, m_flow,
                                                             m_charSet, m_delay, m_callerId, m_checkModem})
        control->setEnabled(!connected);
}

void SettingsWindow::checkSecondsBox(QLineEdit *box)
{
    const auto message =
        secondsTypingMessage(box->text(), box == m_receiveSeconds ? SecondsBox::Receive : SecondsBox::Send);
    if (!message)
        return;
    // Emptied before the box is shown, so a second change event cannot repeat the message.
    box->clear();
    m_services.prompt->inform(*message, Prompt::Icon::None);
}

void SettingsWindow::showDeliveryFrames()
{
    m_simFrame->setVisible(m_viaModem->isChecked());
    m_smtpFrame->setVisible(m_viaSmtp->isChecked());
    m_mixFrame->setVisible(m_viaMix->isChecked());
}

void SettingsWindow::resetSendingStatus()
{
    OutboxRepository outbox(m_services.db);
    // A row another station is sending right now (its lease still running) is not put back.
    auto reset = outbox.resetSending(SystemClock::instance().now());
    if (!reset)
        m_services.prompt->inform(reset.error(), Prompt::Icon::Critical);
}

void SettingsWindow::explainMasking()
{
    m_services.prompt->inform(
        QStringLiteral("To mask (change) the sender's mobile number, some SMTP Parlix servers require you to replace "
                       "the portion of your Email Address with any Alpha-Numeric text of max. 11 characters.\n"
                       "If you select this option text entered in FromName field will be used to mask 'Your Email "
                       "Address on SMTP Server' field.\n"
                       "Please confirm with your SMTP Parlix provider before selecting this option. OR if you are not "
                       "sure, do NOT select this option."));
}

void SettingsWindow::openAdvancedSettings()
{
    auto *advanced = new AdvancedSmtpWindow(m_services, this);
    connect(advanced, &AdvancedSmtpWindow::settingsSaved, this, &SettingsWindow::settingsSaved);
    advanced->open();
}

// A cancelled search may still finish its last port after this window is gone, so the log it
// writes to must live as long as the process.
ActivityLog &SettingsWindow::searchLog() const
{
    if (m_services.log != nullptr)
        return *m_services.log;
    static ActivityLog *const unread = new ActivityLog(SystemClock::instance());
    return *unread;
}

void SettingsWindow::startModemSearch()
{
    const RuntimeSettings current = currentSettingsOf(m_services);
    // A path typed into the port box is searched too: pseudo-terminals and symlinks are not
    // among the ports the system lists.
    ModemSearchPorts ports = m_services.searchPorts;
    ports.extraPorts << m_port->currentText().trimmed();
    auto *search = new ModemSearchWindow(modemSearchPortList(ports), current.ModemDelayFactor, searchLog(),
                                         *m_services.prompt, this);
    connect(search, &ModemSearchWindow::modemsFound, this, [this](const QVector<FoundModem> &found) {
        auto *list = new FoundModemsWindow(found, this);
        connect(list, &FoundModemsWindow::modemChosen, this, [this, found](const QString &port) {
            bool pdu = false;
            for (const FoundModem &m : found)
                pdu = pdu || (m.port.trimmed() == port && m.pduMode);
            applyFoundModem(port, pdu);
        });
        list->open();
    });
    search->open();
}

void SettingsWindow::applyFoundModem(const QString &port, bool pduMode)
{
    showStored(m_smsFormat, pduMode ? smsformat::kPdu : smsformat::kText);
    m_selectPortFromList = true;
    m_port->setCurrentIndex(m_port->findText(port.trimmed()));
    m_port->setEditText(port.trimmed());
    m_speed->setEditText(QLatin1String(kFoundModemSpeed));
    showStored(m_delay, QLatin1String(kFoundModemDelayFactor));
    m_tabs->setCurrentWidget(m_modemTab);
    m_port->setFocus();
}

SettingsInput SettingsWindow::input() const
{
    SettingsInput in;
    in.pop3MailServer = m_pop3Server->text();
    in.pop3Port = m_pop3Port->text();
    in.pop3UserName = m_pop3User->text();
    in.pop3Password = m_pop3Password->text();
    in.emailCheckInterval = m_emailInterval->text();
    in.webMailEnabled = m_webMailEnabled->isChecked();
    in.pop3AllowClearTextLogin = m_pop3AllowClearText->isChecked();
    in.maxEmailSizeKB = m_maxEmailSize->text();

    in.receiveSeconds = m_receiveSeconds->text();
    in.sendSeconds = m_sendSeconds->text();
    in.receiveEnabled = m_receiveEnabled->isChecked();
    in.sendEnabled = m_sendEnabled->isChecked();
    in.deliveryMedia = m_viaModem->isChecked()  ? DeliveryMedium::Modem
                       : m_viaSmtp->isChecked() ? DeliveryMedium::SmtpGateway
                       : m_viaMix->isChecked()  ? DeliveryMedium::MixMode
                                                : DeliveryMedium::None;
    in.simDeliveryMode = m_directDelivery->isChecked() ? SimDeliveryMode::DirectDeliver
                         : m_storeOnSim->isChecked()   ? SimDeliveryMode::StoreAndDeliver
                                                       : SimDeliveryMode::None;
    in.mixDeliveryMedia = m_mixThroughModem->isChecked()  ? DeliveryMedium::Modem
                          : m_mixThroughSmtp->isChecked() ? DeliveryMedium::SmtpGateway
                                                          : DeliveryMedium::None;
    in.smtpServer = m_smtpServer->text();
    in.smtpEmailPostfix = m_smtpPostfix->text();
    in.smtpPort = m_smtpPort->text();
    in.smtpFromName = m_smtpFromName->text();
    in.smtpYourEmailAddress = m_smtpAddress->text();
    in.maskYourEmail = m_mask->isChecked();
    in.mixModeNumbers = m_mixNumbers->text();

    in.commPort = storedChoice(m_port);
    in.bitsPerSecond = storedChoice(m_speed);
    in.dataBits = storedChoice(m_dataBits);
    in.parity = storedChoice(m_parity);
    in.stopBits = storedChoice(m_stopBits);
    in.flowControl = storedChoice(m_flow);
    in.characterSet = storedChoice(m_charSet);
    in.delayFactor = storedChoice(m_delay);
    in.callerId = m_callerId->isChecked();
    in.smsFormat = storedChoice(m_smsFormat);
    in.deliveryReports = m_deliveryReports->isChecked();
    in.speedFromFoundList = m_selectPortFromList;
    return in;
}

void SettingsWindow::save()
{
    SettingsRepository repository(m_services.db);
    const SettingsSaveOutcome outcome =
        saveSettings(repository, *m_services.prompt, currentSettingsOf(m_services), input());
    if (!outcome.mixModeNumbers.isNull())
        m_mixNumbers->setText(outcome.mixModeNumbers);
    if (outcome.speedQuestionDone)
        m_selectPortFromList = false;
    if (outcome.anyWritten)
        Q_EMIT settingsSaved(outcome.settings);
    if (!outcome.focusField.isEmpty())
        focusField(outcome.focusField);
}

void SettingsWindow::focusField(const QString &objectName)
{
    QWidget *field = findChild<QWidget *>(objectName);
    if (field == nullptr)
        return;
    QWidget *tab = m_timerTab;
    for (const char *name : kModemFields) {
        if (objectName == QLatin1String(name))
            tab = m_modemTab;
    }
    for (const char *name : kMailboxFields) {
        if (objectName == QLatin1String(name))
            tab = m_emailTab;
    }
    m_tabs->setCurrentWidget(tab);
    field->setFocus();
}

void SettingsWindow::closeEvent(QCloseEvent *event)
{
    m_blocking.reset();
    QWidget::closeEvent(event);
}

} // namespace parlix

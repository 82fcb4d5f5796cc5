#include "SettingsTestSupport.h"

#include "ModemSimulator.h"
#include "core/BlockingWindow.h"
#include "engine/ModemConnection.h"
#include "gui/settings/ModemSearchWindow.h"
#include "gui/settings/SettingsWindow.h"
#include "modem/Modem.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

namespace parlix::test {
namespace {

sim::ModemSimulator::Options identity(const char *manufacturer, const char *model)
{
    sim::ModemSimulator::Options o;
    o.manufacturer = QString::fromLatin1(manufacturer);
    o.model = QString::fromLatin1(model);
    return o;
}

// Two simulated modems on two pseudo-terminals, with a port that does not exist between them.
class ModemDetectionTest : public SettingsFixture
{
protected:
    void SetUp() override
    {
        qRegisterMetaType<QVector<parlix::FoundModem>>();
        QString why;
        ASSERT_TRUE(first.start(&why)) << "cannot start the first modem simulator: " << why.toStdString();
        ASSERT_TRUE(second.start(&why)) << "cannot start the second modem simulator: " << why.toStdString();
        ports = {first.devicePath(), db.dir() + QStringLiteral("/ttyMissing0"), second.devicePath()};
    }
    void TearDown() override
    {
        delete window.data();
        EXPECT_TRUE(ModemSearch::waitForAll(10000));
    }

    SettingsWindow *openSettings()
    {
        window = new SettingsWindow(services({false, ports}));
        window->show();
        return window;
    }
    FoundModemsWindow *foundWindow() const { return window->findChild<FoundModemsWindow *>(); }

    sim::ModemSimulator first{identity("Acme Wireless", "AW-100")};
    sim::ModemSimulator second{identity("Bolt", "B2 LTE")};
    QStringList ports;
    QPointer<SettingsWindow> window;
};

TEST_F(ModemDetectionTest, ProgressByPortAndBothModemsFound)
{
    first.setPduModeSupported(false);
    ModemSearch search(ports, 1.0, log, prompt);
    QSignalSpy progress(&search, &ModemSearch::progress);
    QSignalSpy finished(&search, &ModemSearch::finished);
    search.start();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }, 20000));

    QVector<int> percents;
    QStringList probed;
    for (const auto &args : progress) {
        percents << args.at(0).toInt();
        probed << args.at(1).toString();
    }
    EXPECT_EQ(percents, (QVector<int>{33, 66, 100}));
    EXPECT_EQ(probed, ports);
    EXPECT_FALSE(finished.at(0).at(1).toBool());
    const auto found = finished.at(0).at(0).value<QVector<FoundModem>>();
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found.at(0).port, first.devicePath());
    EXPECT_EQ(found.at(0).manufacturer, QStringLiteral("Acme Wireless"));
    EXPECT_EQ(found.at(0).model, QStringLiteral("AW-100"));
    EXPECT_EQ(found.at(1).port, second.devicePath());
    EXPECT_EQ(found.at(1).manufacturer, QStringLiteral("Bolt"));
    EXPECT_EQ(found.at(1).model, QStringLiteral("B2 LTE"));
    EXPECT_FALSE(found.at(0).pduMode);
    EXPECT_TRUE(found.at(1).pduMode);
    // Every port is left closed: the simulators can be opened again at once.
    QSerialPort again(first.devicePath());
    EXPECT_TRUE(again.open(QIODevice::ReadWrite)) << again.errorString().toStdString();
}

TEST_F(ModemDetectionTest, ClickingAManufacturerFillsTheSettingsWindow)
{
    openSettings();
    child<QComboBox>(window, "cmbSMSFormat")->setCurrentText(QStringLiteral("Text"));
    QTest::mouseClick(child<QAbstractButton>(window, "cmdChkModem"), Qt::LeftButton);
    EXPECT_NE(window->findChild<ModemSearchWindow *>(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return foundWindow() != nullptr; }, 20000));
    QPointer<FoundModemsWindow> list = foundWindow();
    EXPECT_EQ(list->windowTitle(), QStringLiteral("Select Your Modem"));
    auto *grid = child<QTableWidget>(list, "MshNumbers");
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), QStringLiteral(" Manufacturer Id"));
    EXPECT_EQ(grid->item(0, 1)->text(), first.devicePath());
    EXPECT_EQ(grid->item(0, 2)->text(), QStringLiteral("Acme Wireless"));
    EXPECT_EQ(grid->item(1, 1)->text(), second.devicePath());
    EXPECT_EQ(grid->item(1, 3)->text(), QStringLiteral("B2 LTE"));
    EXPECT_TRUE(grid->item(1, 2)->font().bold());

    const auto clickCell = [&](int row, int column) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(row, column)).center());
    };
    clickCell(1, 3); // the model column picks nothing
    clickCell(1, 1); // nor does the port column
    EXPECT_FALSE(window->selectPortFromList());
    clickCell(1, 2);
    EXPECT_TRUE(waitUntil([&] { return list.isNull(); }));
    EXPECT_TRUE(window->selectPortFromList());
    EXPECT_EQ(child<QComboBox>(window, "Combo_comportNo")->currentText(), second.devicePath());
    EXPECT_EQ(child<QComboBox>(window, "Combo_BitsPerSec")->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(child<QComboBox>(window, "cmbDelay")->currentText(), QStringLiteral("2.25"));
    // The chosen modem takes AT+CMGF=0, so PDU replaces the format picked before the search.
    EXPECT_EQ(child<QComboBox>(window, "cmbSMSFormat")->currentText(), QStringLiteral("PDU (Unicode and long SMS)"));
    EXPECT_EQ(window->focusWidget(), child(window, "Combo_comportNo"));
    // The settings window is still open, so callers stay unidentified.
    EXPECT_TRUE(BlockingWindowOpen());
}

TEST_F(ModemDetectionTest, CancelShowsNoResult)
{
    first.failNext(QStringLiteral("AT"), {sim::ModemSimulator::Fault::Silence, 0}, -1);
    openSettings();
    QTest::mouseClick(child<QAbstractButton>(window, "cmdChkModem"), Qt::LeftButton);
    QPointer<ModemSearchWindow> search = window->findChild<ModemSearchWindow *>();
    ASSERT_FALSE(search.isNull());
    EXPECT_EQ(search->windowTitle(), QStringLiteral("Please Wait.........."));
    QTest::mouseClick(child<QAbstractButton>(search, "cmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return search.isNull(); }));
    ASSERT_TRUE(ModemSearch::waitForAll(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(foundWindow(), nullptr);
    EXPECT_TRUE(prompt.texts().isEmpty()) << prompt.lastText().toStdString();
    // The search stopped at the silent port: the ports after it were never probed.
    EXPECT_TRUE(second.commands().isEmpty()) << second.commands().join(QLatin1Char('|')).toStdString();
}

// What a newcomer does: a new database, the simulator's device typed into the port box, the
// search, a click on the modem found, the mailbox boxes filled, Save; then Connect works.
TEST_F(ModemDetectionTest, NewDatabaseToConnectedSimulatorThroughTheseWindowsOnly)
{
    qRegisterMetaType<parlix::RuntimeSettings>();
    window = new SettingsWindow(services());
    window->show();
    QSignalSpy saved(window.data(), &SettingsWindow::settingsSaved);
    child<QComboBox>(window, "Combo_comportNo")->setEditText(second.devicePath());
    QTest::mouseClick(child<QAbstractButton>(window, "cmdChkModem"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return foundWindow() != nullptr; }, 20000));
    auto *grid = child<QTableWidget>(foundWindow(), "MshNumbers");
    ASSERT_EQ(grid->rowCount(), 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(0, 2)).center());
    ASSERT_TRUE(waitUntil([&] { return foundWindow() == nullptr; }));

    child<QComboBox>(window, "Combo_DataBits")->setCurrentText(QStringLiteral("8"));
    child<QComboBox>(window, "Combo_Parity")->setCurrentText(QStringLiteral("None"));
    child<QComboBox>(window, "Combo_stopBit")->setCurrentText(QStringLiteral("1"));
    child<QComboBox>(window, "Cmb_FlowControl")->setCurrentText(QStringLiteral("None"));
    child<QComboBox>(window, "cmb_CharSet")->setCurrentText(QStringLiteral("GSM"));
    child<QCheckBox>(window, "chkEnbCallID")->setChecked(true);
    for (auto [box, text] : {std::pair{"Pop3MailServer", "pop.example.net"}, std::pair{"Pop3Port", "110"},
                             std::pair{"POP3UserName", "gateway"}, std::pair{"POP3Password", "secret"},
                             std::pair{"EmailCheckInterval", "60"}})
        child<QLineEdit>(window, box)->setText(QString::fromLatin1(text));
    QTest::mouseClick(child<QAbstractButton>(window, "cmdSave1"), Qt::LeftButton);
    ASSERT_EQ(prompt.lastText(), QStringLiteral("Settings Saved Successfully!!!"));
    ASSERT_EQ(saved.count(), 1);

    Modem modem(log, prompt);
    ModemConnection connection(modem, log, prompt);
    connection.setDatabase(db.db());
    connection.setSettings(saved.at(0).at(0).value<RuntimeSettings>());
    connection.connectModem();
    EXPECT_TRUE(modem.PortConnected()) << log.text().toStdString();
    EXPECT_TRUE(modem.ModemReady()) << log.text().toStdString();
    EXPECT_EQ(second.charset(), QStringLiteral("GSM"));
    EXPECT_TRUE(second.callerIdOn());
    connection.disconnectModem();
}

} // namespace
} // namespace parlix::test

#include "../WindowFixture.h"

#include "ModemSimulator.h"
#include "core/BlockingWindow.h"
#include "gui/settings/ModemSearchWindow.h"
#include "gui/settings/SettingsWindow.h"

#include <QSerialPort>
#include <QTableWidget>

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
class ModemDetectionTest : public WindowFixture
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 20000));

    QStringList probed;
    for (const auto &args : progress)
        probed << args.at(1).toString() + QStringLiteral(" %1").arg(args.at(0).toInt());
    EXPECT_EQ(probed, (QStringList{ports[0] + " 33", ports[1] + " 66", ports[2] + " 100"}));
    EXPECT_FALSE(finished.at(0).at(1).toBool());
    const auto found = finished.at(0).at(0).value<QVector<FoundModem>>();
    QStringList seen;
    for (const FoundModem &m : found)
        seen << QStringLiteral("%1|%2|%3|%4").arg(m.port, m.manufacturer, m.model).arg(int(m.pduMode));
    EXPECT_EQ(seen,
              (QStringList{first.devicePath() + "|Acme Wireless|AW-100|0", second.devicePath() + "|Bolt|B2 LTE|1"}));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return foundWindow() != nullptr; }, 20000));
    QPointer<FoundModemsWindow> list = foundWindow();
    auto *grid = child<QTableWidget>(list, "MshNumbers");
    ASSERT_EQ(grid->rowCount(), 2);
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.isNull(); }));
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
    QTest::mouseClick(child<QAbstractButton>(search, "cmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.isNull(); }));
    ASSERT_TRUE(ModemSearch::waitForAll(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(foundWindow(), nullptr);
    EXPECT_TRUE(prompt.texts().isEmpty()) << prompt.lastText().toStdString();
    // The search stopped at the silent port: the ports after it were never probed.
    EXPECT_TRUE(second.commands().isEmpty()) << second.commands().join(QLatin1Char('|')).toStdString();
}

} // namespace
} // namespace parlix::test

#pragma once

// The main window over the real engine thread and the modem simulator, for tests of windows
// that talk to the modem through the engine.
#include "ModemSimulator.h"
#include "WindowFixture.h"

#include "engine/Engine.h"
#include "gui/main/MainWindow.h"

#include <QAction>
#include <QTest>

#include <memory>

namespace parlix::test {

class EngineWindowFixture : public WindowFixture
{
protected:
    EngineWindowFixture()
        : engine({db.path(), &log, &prompt, &clock, {}})
    {
        engine.start();
    }
    ~EngineWindowFixture() override
    {
        window.reset();
        engine.stop();
    }

    void startSimulator()
    {
        QString error;
        ASSERT_TRUE(modem.start(&error)) << "the modem simulator does not start: " << error.toStdString();
    }
    // The modem settings row: the simulator's device, or any other path.
    void useModemAt(const QString &device, double delayFactor = 1, const QString &smsFormat = QStringLiteral("PDU"))
    {
        db.exec(QStringLiteral("DELETE FROM ModemSettings"));
        db.exec(QStringLiteral("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,"
                               "FlowControl,CharacterSet,EnabledCallerId,ModemDelayFactor,SMSFormat) "
                               "VALUES (?,115200,8,'n','1','0','GSM',1,?,?)"),
                {device, delayFactor, smsFormat});
    }
    // The main window; its load connects to the modem of the settings row.
    void openWindow()
    {
        window = std::make_unique<MainWindow>(MainWindowServices{&log, &db.conn(), &engine, &prompt, &clock});
        ASSERT_TRUE(window->load()) << window->loadError().toStdString();
    }
    bool waitForConnected(bool connected = true)
    {
        return QTest::qWaitFor([&] { return window->showsConnected() == connected; }, 5000);
    }
    // The main window connected to the simulator, with the gateway timers off so that only
    // the commands under test talk to the modem.
    void openConnected()
    {
        startSimulator();
        db.exec(QStringLiteral("UPDATE Timer_Setting SET EnableReceiveTimer=0, EnableSendTimer=0"));
        useModemAt(modem.devicePath());
        openWindow();
        ASSERT_TRUE(waitForConnected()) << log.text().toStdString();
        prompt.clear();
    }
    QAction *action(const char *name) const { return window->findChild<QAction *>(QLatin1String(name)); }
    void trigger(const char *name) { action(name)->trigger(); }

    sim::ModemSimulator modem;
    EngineHost engine;
    std::unique_ptr<MainWindow> window;
};

} // namespace parlix::test

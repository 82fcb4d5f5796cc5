#pragma once

// The main window over the real engine thread and the modem simulator, for tests of windows
// that talk to the modem through the engine.
#include "ModemSimulator.h"

#include "core/ActivityLog.h"
#include "engine/Engine.h"
#include "gui/main/MainWindow.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/TempDatabase.h"

#include <QAction>
#include <QSqlQuery>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace parlix::test {

class EngineWindowFixture : public ::testing::Test
{
protected:
    EngineWindowFixture()
        : engine({db.path(), &log, &prompt, &clock})
    {
        engine.start();
    }
    ~EngineWindowFixture() override
    {
        window.reset();
        engine.stop();
    }

    // The main window connected to the simulator, with the gateway timers off so that only
    // the commands under test talk to the modem.
    void openConnected()
    {
        QString error;
        ASSERT_TRUE(modem.start(&error)) << "the modem simulator does not start: " << error.toStdString();
        db.exec(QStringLiteral("UPDATE Timer_Setting SET EnableReceiveTimer=0, EnableSendTimer=0"));
        db.exec(QStringLiteral("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,"
                               "FlowControl,CharacterSet,EnabledCallerId,ModemDelayFactor) "
                               "VALUES (?,115200,8,'n','1','0','GSM',1,1)"),
                {modem.devicePath()});
        window = std::make_unique<MainWindow>(MainWindowServices{&log, &db.conn(), &engine, &prompt, &clock});
        ASSERT_TRUE(window->load()) << window->loadError().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->showsConnected(); }, 5000)) << log.text().toStdString();
        prompt.clear();
    }
    void trigger(const char *action) { window->findChild<QAction *>(QLatin1String(action))->trigger(); }
    template <typename T = QWidget> T *child(QWidget *w, const char *name)
    {
        auto *found = w->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QStringList column(const char *sql)
    {
        QSqlQuery q(db.db());
        EXPECT_TRUE(q.exec(QLatin1String(sql)));
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    TempDatabase db;
    ManualClock clock;
    ActivityLog log{clock};
    PromptRecorder prompt;
    sim::ModemSimulator modem;
    EngineHost engine;
    std::unique_ptr<MainWindow> window;
};

} // namespace parlix::test

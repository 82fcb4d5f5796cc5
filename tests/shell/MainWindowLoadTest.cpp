#include "core/ActivityLog.h"
#include "engine/Engine.h"
#include "gui/main/MainWindow.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/TempDatabase.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace parlix;

TEST(MainWindowLoad, OpensOffscreenAndWritesTheInitialisingLinesInOrder)
{
    test::TempDatabase t;
    t.exec("UPDATE Timer_Setting SET SMSDeliveryMedia='smtpsmsgateway', SendAllMessagesTime=25");
    test::ManualClock clock;
    test::PromptRecorder prompt;
    ActivityLog log(clock);
    EngineHost engine({t.path(), &log, &prompt, &clock});
    engine.start();
    MainWindow window({&log, &t.conn(), &engine, &prompt, &clock});
    window.show();
    EXPECT_EQ(window.windowTitle(), "Kovax - Parlix");
    EXPECT_EQ(window.objectName(), "MDI_Frmmanage");

    QSignalSpy applied(engine.engine(), &Engine::settingsApplied);
    ASSERT_TRUE(window.load()) << window.loadError().toStdString();
    const QStringList lines = log.text().split("\r\n", Qt::SkipEmptyParts);
    // Newest first, so the load order reads bottom-up.
    QStringList initialising;
    for (const QString &line : lines) {
        if (line.contains("Initializing"))
            initialising.prepend(line.mid(line.indexOf("] : ") + 4));
    }
    EXPECT_EQ(initialising,
              QStringList({"Initializing WebMail-To-SMS Properties.", "Initializing SMS Delivery Properties.",
                           "Initializing AutoReply On MissedCall Properties.", "Initializing Timer Properties."}));
    EXPECT_EQ(window.settings().SMSDeliveryMedia, DeliveryMedium::SmtpGateway);
    EXPECT_EQ(window.settings().SendIntervalSeconds, 25);
    // The engine may have applied them before the wait begins.
    ASSERT_TRUE(!applied.isEmpty() || applied.wait(5000));
    engine.stop();
}

#include "ModemSimulator.h"
#include "support/QtPrinters.h"

#include "core/ActivityLog.h"
#include "engine/Engine.h"
#include "engine/OutboxPass.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/TempDatabase.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace parlix {
namespace {

// A window's view of the engine: queued calls in, signals out, never waiting on the modem.
TEST(EngineThread, CommandsRunOnTheEngineThreadAndAnswerWithSignals)
{
    test::TempDatabase db;
    test::ManualClock clock;
    ActivityLog log(clock);
    test::PromptRecorder prompt;
    sim::ModemSimulator modem;
    QString error;
    ASSERT_TRUE(modem.start(&error)) << error.toStdString();
    modem.addMessage("REC UNREAD", "+447700900001", "on the SIM");

    EngineHost host({db.path(), &log, &prompt, &clock});
    Engine *engine = host.engine();
    QSignalSpy initialised(engine, &Engine::initialised);
    QSignalSpy connected(engine, &Engine::connectedChanged);
    QSignalSpy listed(engine, &Engine::simMessagesListed);
    QSignalSpy listingDone(engine, &Engine::simListingFinished);
    QSignalSpy deleted(engine, &Engine::simMessagesDeleted);
    QSignalSpy sendDone(engine, &Engine::sendAllFinished);
    host.start();
    QTRY_COMPARE(initialised.size(), 1);

    // Without a link the SIM manager's command tells the operator and still finishes.
    QMetaObject::invokeMethod(engine, "listSimMessages", Qt::QueuedConnection, Q_ARG(QStringList, QStringList{"ALL"}));
    QTRY_COMPARE(listingDone.size(), 1);
    EXPECT_EQ(prompt.texts(), QStringList{kNotCommunicatingText});

    db.exec("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,FlowControl,"
            "CharacterSet,EnabledCallerId,ModemDelayFactor,SMSFormat) VALUES "
            "(?,115200,8,'n','1','0','GSM',0,1,'TEXT')",
            {modem.devicePath()});
    RuntimeSettings textMode;
    textMode.PduMode = false;
    host.applySettings(textMode);
    QMetaObject::invokeMethod(engine, "connectModem", Qt::QueuedConnection);
    QTRY_COMPARE(connected.size(), 1);
    EXPECT_TRUE(connected.first().first().toBool());

    QMetaObject::invokeMethod(engine, "listSimMessages", Qt::QueuedConnection,
                              Q_ARG(QStringList, QStringList{"REC UNREAD"}));
    QTRY_COMPARE(listingDone.size(), 2);
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed.first().at(0).toString(), "REC UNREAD");
    const auto messages = listed.first().at(1).value<SIMMessageList>();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first().Number, "+447700900001");

    QMetaObject::invokeMethod(engine, "deleteSimMessages", Qt::QueuedConnection,
                              Q_ARG(QList<int>, QList<int>{messages.first().Index.toInt()}));
    QTRY_COMPARE(deleted.size(), 1);
    EXPECT_TRUE(modem.messages().isEmpty());

    QMetaObject::invokeMethod(engine, "sendAll", Qt::QueuedConnection);
    QTRY_COMPARE(sendDone.size(), 1);
    host.stop();
}

} // namespace
} // namespace parlix

#pragma once

#include "ModemSimulator.h"
#include "core/ActivityLog.h"
#include "modem/Modem.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/QtPrinters.h"
#include "support/SharedTestData.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <ostream>

namespace parlix {
inline void PrintTo(const SIMMessage &m, std::ostream *os)
{
    *os << "{";
    ::PrintTo(m.Index, os);
    *os << ", ";
    ::PrintTo(m.Status, os);
    *os << ", ";
    ::PrintTo(m.Number, os);
    *os << ", ";
    ::PrintTo(m.Text, os);
    *os << "}";
}
} // namespace parlix

namespace parlix::test {

// A Modem talking to the simulator through a real pseudo-terminal and QSerialPort.
class ModemOnPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << "the modem simulator cannot start: " << error.toStdString();
        modem.setBodyResponseTimeout(1500);
        modem.ConfigureCommPort(sim.devicePath(), QStringLiteral("115200,n,8,1"));
        modem.OpenCommPort();
        ASSERT_TRUE(modem.PortConnected()) << prompt.lastText().toStdString();
    }

    // The modem as the program leaves it after connecting: echo off, text mode, caller ID on.
    void initialise(const QString &charset = QStringLiteral("GSM"))
    {
        modem.InitializeModem(QStringLiteral("0"), charset, true);
        ASSERT_TRUE(modem.ModemReady()) << log.text().toStdString();
        sim.clearLog();
        log.clear();
    }

    bool logHas(const QString &text) const { return log.text().contains(QStringLiteral("] : ") + text + "\r\n"); }
    int logCount(const QString &text) const { return int(log.text().count(QStringLiteral("] : ") + text + "\r\n")); }

    // Lets queued signals (the unsolicited lines) arrive.
    static void settle() { QCoreApplication::processEvents(); }

    ManualClock clock;
    ActivityLog log{clock};
    PromptRecorder prompt;
    sim::ModemSimulator sim;
    Modem modem{log, prompt};
};

} // namespace parlix::test

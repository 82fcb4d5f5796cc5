#pragma once

#include "ModemSimulator.h"
#include "core/ActivityLog.h"
#include "modem/Modem.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

// Readable failures: texts with their line breaks and control characters spelled out.
inline void PrintTo(const QString &text, std::ostream *os)
{
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r'))
            shown += QStringLiteral("<CR>");
        else if (c == QLatin1Char('\n'))
            shown += QStringLiteral("<LF>");
        else if (c.unicode() < 0x20)
            shown += QStringLiteral("<%1>").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    *os << '"' << shown.toStdString() << '"';
}

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

// The shared recordings: $PARLIX_TESTDATA, else shared/testdata beside this checkout.
inline std::optional<QString> sharedTestData(const QString &relative)
{
    const QString root = qEnvironmentVariableIsSet("PARLIX_TESTDATA")
                             ? qEnvironmentVariable("PARLIX_TESTDATA") + QLatin1Char('/')
                             : QStringLiteral(PARLIX_SOURCE_DIR "/../shared/testdata/");
    const QString path = root + relative;
    if (!QFile::exists(path))
        return std::nullopt;
    return path;
}

} // namespace parlix::test

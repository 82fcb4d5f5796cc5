#pragma once

// What every window under test takes: a fresh database, a prompt that records, a clock
// that moves only when the test moves it, and the activity log.
#include "config/SettingsServices.h"
#include "core/ActivityLog.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/QtPrinters.h"
#include "support/SqlColumn.h"
#include "support/TempDatabase.h"
#include "support/WidgetHelpers.h"

// The controls the window tests drive, for every suite at once.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace parlix::test {

class WindowFixture : public ::testing::Test
{
protected:
    QStringList column(const char *sql) const { return test::column(db.db(), QLatin1String(sql)); }
    // What the settings windows take.
    SettingsServices services(ModemSearchPorts ports = {false, {}})
    {
        SettingsServices s;
        s.db = db.db();
        s.prompt = &prompt;
        s.log = &log;
        s.searchPorts = std::move(ports);
        return s;
    }

    TempDatabase db;
    PromptRecorder prompt;
    ManualClock clock;
    ActivityLog log{clock};
};

} // namespace parlix::test

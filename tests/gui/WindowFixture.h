#pragma once

// What every window under test takes: a fresh database, a prompt that records and a clock
// that moves only when the test moves it.
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/SqlColumn.h"
#include "support/TempDatabase.h"
#include "support/WidgetHelpers.h"

#include <gtest/gtest.h>

namespace parlix::test {

class WindowFixture : public ::testing::Test
{
protected:
    QStringList column(const char *sql) const { return test::column(db.db(), QLatin1String(sql)); }

    TempDatabase db;
    PromptRecorder prompt;
    ManualClock clock;
};

} // namespace parlix::test

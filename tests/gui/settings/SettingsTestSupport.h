#pragma once

#include "config/SettingsServices.h"
#include "core/ActivityLog.h"
#include "store/Query.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/QtPrinters.h"
#include "support/TempDatabase.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSqlQuery>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <ostream>

namespace parlix::test {

// A fresh database, a prompt that records, and the services the settings windows take.
class SettingsFixture : public ::testing::Test
{
protected:
    SettingsServices services(ModemSearchPorts ports = {false, {}})
    {
        SettingsServices s;
        s.db = db.db();
        s.prompt = &prompt;
        s.log = &log;
        s.searchPorts = std::move(ports);
        return s;
    }

    QVariantMap row(const QString &select) const
    {
        QSqlQuery q(db.db());
        EXPECT_TRUE(q.exec(select)) << select.toStdString();
        QVariantMap r;
        if (q.next())
            r = sql::rowOf(q);
        return r;
    }

    TempDatabase db;
    PromptRecorder prompt;
    ManualClock clock;
    ActivityLog log{clock};
};

template <typename W = QWidget> W *child(const QObject *parent, const char *name)
{
    W *w = parent->findChild<W *>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << "no control named " << name;
    return w;
}

// Runs the event loop until pred holds or the time is up.
template <typename Pred> bool waitUntil(Pred pred, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

} // namespace parlix::test

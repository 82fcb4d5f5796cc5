#pragma once

#include "../WindowFixture.h"
#include "config/SettingsServices.h"
#include "core/ActivityLog.h"
#include "store/Query.h"
#include "support/QtPrinters.h"

#include <QSqlQuery>

namespace parlix::test {

// The services the settings windows take, and a way to read back the row they wrote.
class SettingsFixture : public WindowFixture
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

    ActivityLog log{clock};
};

} // namespace parlix::test

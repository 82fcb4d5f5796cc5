#pragma once

#include "../WindowFixture.h"
#include "config/SettingsServices.h"
#include "support/QtPrinters.h"

namespace parlix::test {

// The services the settings windows take.
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
};

} // namespace parlix::test

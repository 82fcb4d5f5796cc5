#pragma once

#include "app/Command.h"

namespace parlix {

// `parlix settings show` and `parlix settings set NAME VALUE [NAME VALUE …]`: the settings
// window's save on the command line, with its checks and messages.
Command settingsCommand();

} // namespace parlix

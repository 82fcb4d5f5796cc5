#pragma once

#include "app/Command.h"

namespace parlix {

// `parlix modems [PORT …] [--use N]`: the settings window's modem search on the command line.
// The system's serial ports, the stored port and the given device paths are probed; --use N
// stores the N-th modem found as the settings window's found-modems list does.
Command modemsCommand();

} // namespace parlix

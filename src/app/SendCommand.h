#pragma once

#include "app/Command.h"

namespace parlix {

// `parlix send --to N[,N…] --message TEXT`: queues one pending SMS per number and returns.
Command sendCommand();

} // namespace parlix

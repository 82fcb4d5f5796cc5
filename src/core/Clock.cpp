#include "core/Clock.h"

namespace parlix {

const SystemClock &SystemClock::instance()
{
    static const SystemClock clock;
    return clock;
}

} // namespace parlix

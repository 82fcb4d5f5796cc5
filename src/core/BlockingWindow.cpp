#include "core/BlockingWindow.h"

#include <atomic>

namespace parlix {

namespace {
std::atomic<int> g_openBlockingWindows{0};
} // namespace

bool BlockingWindowOpen()
{
    return g_openBlockingWindows.load() > 0;
}

BlockingWindowGuard::BlockingWindowGuard()
{
    ++g_openBlockingWindows;
}

BlockingWindowGuard::~BlockingWindowGuard()
{
    --g_openBlockingWindows;
}

} // namespace parlix

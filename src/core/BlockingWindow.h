#pragma once

namespace parlix {

// True while the settings window or a modem search window is open. The call watcher reads it
// from the engine thread and leaves callers unidentified meanwhile, so the flag is atomic.
bool BlockingWindowOpen();

// Held by each window that blocks caller identification for as long as it is open. Counting
// the open windows keeps the flag set when the search closes while the settings stay open.
class BlockingWindowGuard
{
public:
    BlockingWindowGuard();
    ~BlockingWindowGuard();
    BlockingWindowGuard(const BlockingWindowGuard &) = delete;
    BlockingWindowGuard &operator=(const BlockingWindowGuard &) = delete;
};

} // namespace parlix

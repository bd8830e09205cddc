#pragma once

// The UI thread's queue: work handed to it from any thread runs there, in order, from the
// event loop.

#include <functional>

namespace tanvill {

class MainQueue
{
public:
    // Runs `work` on the UI thread from the event loop (never synchronously), FIFO.
    static void async(std::function<void()> work);
    // Runs `work` on the UI thread and waits for it; runs it at once on the UI thread.
    static void sync(const std::function<void()> &work);
    static bool isMainThread();
};

// Runs `work` once on the UI thread after `seconds`. Negative, non-finite or huge delays
// are clamped (0 s and about 24 days) instead of misbehaving.
void delay(double seconds, std::function<void()> work);

} // namespace tanvill

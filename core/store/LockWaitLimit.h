#pragma once

// How long the store's connections wait for another process's lock on the file: each wait for
// as long as its own limit, and, once the program is quitting, all of them together no later
// than the moment the quit allows, so that what cannot be written by then is kept elsewhere.
// ObjectStore owns one and sets its end; the writers of its file ask it from their threads.

#include <atomic>
#include <chrono>

namespace tanvill {

class LockWaitLimit
{
public:
    using Clock = std::chrono::steady_clock;

    // From now on no wait lasts past `until`, the ones under way included.
    void endAllBy(Clock::time_point until) { m_endBy = until.time_since_epoch().count(); }
    bool isEnding() const { return m_endBy.load() != kNoEnd; }
    Clock::time_point endsBy() const { return Clock::time_point(Clock::duration(m_endBy.load())); }

    // Whether a wait that began at `start` and may last `limit` is over.
    bool isOver(Clock::time_point start, std::chrono::milliseconds limit) const
    {
        const Clock::time_point now = Clock::now();
        return now - start >= limit || now.time_since_epoch().count() >= m_endBy.load();
    }

private:
    static constexpr Clock::rep kNoEnd = Clock::time_point::max().time_since_epoch().count();
    std::atomic<Clock::rep> m_endBy = kNoEnd;
};

} // namespace tanvill

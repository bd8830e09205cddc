#pragma once

// A launch's hold on what a running instance holds, as a test gives it: what happens as the
// launch lets go (once), and whether anybody else holds it.

#include "platform/SingleInstance.h"

#include <atomic>
#include <functional>
#include <utility>

namespace tanvill::test {

struct TestLaunchHold : SingleInstance::LaunchHold
{
    std::function<void()> onLetGo;
    bool heldElsewhere = true;
    std::atomic<int> asked = 0; // calls of heldByAnother()

    void letGoToHandOver() override
    {
        if (const std::function<void()> letGo = std::exchange(onLetGo, {}))
            letGo();
    }
    bool heldByAnother() override
    {
        ++asked;
        return heldElsewhere;
    }
};

} // namespace tanvill::test

#include "platform/QuitSignals.h"
#include "support/TestEnvironment.h"

#include <csignal>
#include <gtest/gtest.h>

using namespace tanvill;

TEST(QuitSignals, SignalsReachTheHandlerOnTheEventLoopNotInsideTheSignal)
{
    std::vector<int> received;
    QuitSignals quitSignals({ SIGTERM, SIGINT }, [&](int number) { received.push_back(number); });
    ASSERT_TRUE(quitSignals.isInstalled());
    std::raise(SIGTERM);
    std::raise(SIGINT);
    EXPECT_TRUE(received.empty());
    ASSERT_TRUE(test::waitFor([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<int> { SIGTERM, SIGINT }));
}

#include "platform/QuitSignals.h"
#include "support/TestEnvironment.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(QuitSignals, AProcessWhoseUiThreadIsStuckStillEndsByItsDeadline)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        QuitSignals quitSignals({ SIGTERM }, [](int) { ::_exit(0); });
        quitSignals.setDeadline(1);
        [[maybe_unused]] const ssize_t written = ::write(ready[1], "r", 1);
        // Stuck, as on a FIFO that nobody writes: the event loop never runs.
        for (;;)
            ::pause();
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_TRUE(test::waitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 5000));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

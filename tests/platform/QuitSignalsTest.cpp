#include "platform/QuitSignals.h"
#include "support/TestEnvironment.h"

#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/time.h>
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

namespace {

// Waits up to timeoutMs for a byte from fd; false at its end or when none came in time.
bool readByte(int fd, char *byte, int timeoutMs = 10000)
{
    pollfd ready { fd, POLLIN, 0 };
    return ::poll(&ready, 1, timeoutMs) == 1 && ::read(fd, byte, 1) == 1;
}

} // namespace

TEST(QuitSignals, TheDeadlineWaitsForAWriteOfTheUsersDataAndEndsAStuckRestAfterIt)
{
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        ::close(toParent[0]);
        ::close(toChild[1]);
        QuitSignals quitSignals({ SIGTERM }, [](int) {});
        quitSignals.setDeadline(1);
        sigset_t waking;
        sigemptyset(&waking);
        sigaddset(&waking, SIGALRM);
        sigaddset(&waking, SIGTERM);
        sigset_t others;
        ::sigprocmask(SIG_BLOCK, &waking, &others);
        {
            QuitSignals::DeadlineHold writing;
            [[maybe_unused]] ssize_t written = ::write(toParent[1], "h", 1);
            // The signal arms the deadline, which then passes while the write goes on.
            bool armed = false;
            for (;;) {
                itimerval deadline {};
                ::getitimer(ITIMER_REAL, &deadline);
                const bool running
                    = deadline.it_value.tv_sec != 0 || deadline.it_value.tv_usec != 0;
                if (armed && !running)
                    break;
                armed = armed || running;
                ::sigsuspend(&others);
            }
            written = ::write(toParent[1], "p", 1);
            char go = 0;
            if (::read(toChild[0], &go, 1) != 1)
                ::_exit(3);
        }
        // The write is done; what follows is stuck, and the deadline, counted anew, ends it.
        [[maybe_unused]] const ssize_t written = ::write(toParent[1], "w", 1);
        ::sigprocmask(SIG_SETMASK, &others, nullptr);
        for (;;)
            ::pause();
    }
    ::close(toParent[1]);
    ::close(toChild[0]);
    char byte = 0;
    ASSERT_TRUE(readByte(toParent[0], &byte));
    ASSERT_EQ(byte, 'h');
    ::kill(child, SIGTERM);
    ASSERT_TRUE(readByte(toParent[0], &byte));
    ASSERT_EQ(byte, 'p');
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the deadline cut the write off";
    ASSERT_EQ(::write(toChild[1], "g", 1), 1);
    ASSERT_TRUE(readByte(toParent[0], &byte));
    EXPECT_EQ(byte, 'w');
    // The pipe ends with the child.
    EXPECT_FALSE(readByte(toParent[0], &byte));
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    ::close(toParent[0]);
    ::close(toChild[1]);
}

#include "platform/QuitSignals.h"
#include "support/TestEnvironment.h"

#include <QScopeGuard>

#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
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

TEST(QuitSignals, AProcessWhoseUiThreadIsStuckStillEndsByItsDeadlineOnceItsWriteIsDone)
{
    // Stuck at once, first writing the user's data while the deadline passes, or stuck in the
    // toolkit's end once everything is written, which is no failure.
    enum Road { Stuck, Writing, Written };
    for (const Road road : { Stuck, Writing, Written }) {
        SCOPED_TRACE(road);
        const bool writing = road == Writing;
        int line[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, line), 0);
        // Signals are held back until the child waits for them.
        sigset_t all, others;
        sigfillset(&all);
        ::sigprocmask(SIG_BLOCK, &all, &others);
        const pid_t child = ::fork();
        if (child == 0) {
            QuitSignals quitSignals({ SIGTERM }, [](int) { ::_exit(0); });
            quitSignals.setDeadline(1);
            if (writing) {
                QuitSignals::DeadlineHold hold;
                char go = 0;
                // Woken by the signal, then by its deadline, which passes during the write.
                ::sigsuspend(&others);
                ::sigsuspend(&others);
                if (::write(line[1], "p", 1) != 1 || ::read(line[1], &go, 1) != 1)
                    ::_exit(3);
            }
            if (road == Written) {
                ::sigsuspend(&others);
                QuitSignals::limitTheRest(1, 0);
            }
            // Stuck, as on a FIFO that nobody writes: the event loop never runs. The deadline,
            // counted anew once the write is done, ends it.
            ::sigprocmask(SIG_SETMASK, &others, nullptr);
            for (;;)
                ::pause();
        }
        ::sigprocmask(SIG_SETMASK, &others, nullptr);
        ASSERT_NE(child, -1);
        int status = 0;
        // A child that never ends goes with the test.
        const auto reap = qScopeGuard([&] {
            if (::waitpid(child, &status, WNOHANG) == 0 && ::kill(child, SIGKILL) == 0)
                ::waitpid(child, &status, 0);
            ::close(line[0]);
        });
        ::close(line[1]);
        ::kill(child, SIGTERM);
        pollfd told { line[0], POLLIN, 0 };
        char byte = 0;
        if (writing) {
            ASSERT_EQ(::poll(&told, 1, 20000), 1);
            EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the deadline cut the write off";
            ASSERT_EQ(::read(line[0], &byte, 1), 1);
            ASSERT_EQ(::write(line[0], "g", 1), 1);
        }
        // The line ends with the child; a loaded machine may take a while to run it at all.
        ASSERT_EQ(::poll(&told, 1, 20000), 1);
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (road == Written ? 0 : 1));
    }
}

#include "shell/KeptChangesNotices.h"
#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"

#include <QScopeGuard>
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tanvill;

TEST(KeptChangesNotices, TwoCopiesChangingThemAtOnceBothCount)
{
    // The first copy keeps changes in a file of its own, or (no file) tells of those kept; the
    // second keeps changes in "b".
    const struct Case
    {
        const char *name;
        QStringList before;
        QString first;
        QStringList after;
    } cases[] = {
        { "both keep changes", {}, "a", { "a", "b" } },
        { "one keeps changes as a start tells", { "x" }, "", { "b" } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::IsolatedHome home;
        const QString path = UserDefaults::defaultFilePath();
        if (!c.before.isEmpty()) {
            UserDefaults earlier(path);
            earlier.setValue(SettingsKeys::KeptUnsavedChanges, c.before);
            ASSERT_TRUE(earlier.sync());
        }
        int line[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, line), 0);
        // The second copy is another process, waiting for its moment.
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            ::close(line[0]);
            char go = 0;
            if (::read(line[1], &go, 1) != 1)
                ::_exit(2);
            UserDefaults second(path);
            const bool written = changeKeptChangesNotices(
                second, [](QStringList &files) { files << "b"; },
                [&] {
                    // It waits for the first one: that one may write now.
                    [[maybe_unused]] const ssize_t told = ::write(line[1], "w", 1);
                });
            ::_exit(written ? 0 : 1);
        }
        ::close(line[1]);
        int status = 0;
        const auto reap = qScopeGuard([&] {
            if (::waitpid(child, &status, WNOHANG) == 0 && ::kill(child, SIGKILL) == 0)
                ::waitpid(child, &status, 0);
            ::close(line[0]);
        });
        UserDefaults first(path);
        EXPECT_TRUE(changeKeptChangesNotices(first, [&](QStringList &files) {
            if (c.first.isEmpty())
                files.clear();
            else
                files << c.first;
            // The first has read the list and is about to write it back: the second begins, and
            // has written its own change or waits for this one's.
            ASSERT_EQ(::write(line[0], "g", 1), 1);
            pollfd told { line[0], POLLIN, 0 };
            ASSERT_EQ(::poll(&told, 1, 20000), 1);
        }));
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        UserDefaults after(path);
        after.sync();
        EXPECT_EQ(
            after.value(SettingsKeys::KeptUnsavedChanges).toStringList().join(' ').toStdString(),
            c.after.join(' ').toStdString());
    }
}

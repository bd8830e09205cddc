#pragma once

// Test helpers every test executable shares: a throw-away user folder and waiting on the
// event loop without sleeping.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <linux/capability.h>

namespace tanvill::test {

class FakeHttpServer;

// Points HOME and the XDG folders at a fresh temporary folder for the life of the object,
// so that settings, the object store and caches start empty; then points them back.
class IsolatedHome
{
public:
    IsolatedHome();
    ~IsolatedHome();
    IsolatedHome(const IsolatedHome &) = delete;
    IsolatedHome &operator=(const IsolatedHome &) = delete;

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> m_previous;
};

// File permissions hold for this thread, and the threads it starts, as they do for a user, for
// the life of the object: the tests may run as root.
class WithFilePermissions
{
public:
    WithFilePermissions();
    ~WithFilePermissions();
    WithFilePermissions(const WithFilePermissions &) = delete;
    WithFilePermissions &operator=(const WithFilePermissions &) = delete;

private:
    __user_cap_data_struct m_saved[2] {};
};

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns whether it held.
// The condition is evaluated once per pass, so it may have side effects.
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000);

// Runs the event loop once for everything already queued (posted handlers, zero timers).
void drainEvents();

// Waits for an event that can only come after another, so that a test can show that something
// did not happen once it had its chance. Until a precise timer a little longer than
// `intervalMs`, started now, has fired: every timer of at most `intervalMs` started before,
// precise or coarse, has fired by then.
bool waitPastTimer(int intervalMs, int timeoutMs = 10000);
// Once `server` holds no request, until an answer it gives after `delayMs`, asked for through
// the process's HTTP client, and what it set going have come: the answer to anything asked
// before, on any connection, has reached the client by then.
bool waitForLaterAnswer(FakeHttpServer &server, int delayMs = 0, int timeoutMs = 10000);

// The folder holding the real store replies (lookup/, search/).
QString fixturesDir();

// A folder under the build tree for files a person may want to look at (rendered controls).
QString testOutputDir(const QString &subfolder);

} // namespace tanvill::test

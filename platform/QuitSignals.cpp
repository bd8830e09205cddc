#include "platform/QuitSignals.h"

#include <QDebug>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace tanvill {

namespace {

// [0] is written by the handler, [1] read by the event loop.
int g_pipe[2] = { -1, -1 };
volatile sig_atomic_t g_deadlineSeconds = 0;
volatile sig_atomic_t g_deadlineArmed = 0;
// Lock-free, so the signal handler may read and write them.
std::atomic<int> g_holds = 0;
std::atomic<bool> g_deadlinePassedWhileHeld = false;
std::atomic<bool> g_caught = false;
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

extern "C" void endAtDeadline(int)
{
    if (g_holds.load() > 0) {
        g_deadlinePassedWhileHeld.store(true);
        // The last hold may have gone between the two looks without seeing the flag: then
        // the deadline ends the process now.
        if (g_holds.load() > 0 || !g_deadlinePassedWhileHeld.exchange(false))
            return;
    }
    static const char message[]
        = "Tanvill did not end in time after being asked to; it ends now.\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(1);
}

volatile sig_atomic_t g_restStatus = 0;

extern "C" void endTheRest(int)
{
    ::_exit(g_restStatus);
}

extern "C" void writeSignalNumber(int signalNumber)
{
    const int savedErrno = errno;
    g_caught.store(true);
    if (g_deadlineSeconds > 0 && !g_deadlineArmed) {
        g_deadlineArmed = 1;
        ::alarm(unsigned(g_deadlineSeconds));
    }
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing else is safe here; a full pipe just drops the repeat.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = savedErrno;
}

// The process whose pipe g_pipe is: a child forked from it makes its own.
pid_t g_pipeOwner = 0;

bool makePipe()
{
    if (g_pipe[0] != -1 && g_pipeOwner == ::getpid())
        return true;
    // Inherited: its other end is the parent's.
    for (int &fd : g_pipe) {
        if (fd != -1)
            ::close(fd);
        fd = -1;
    }
    int made[2] = { -1, -1 };
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, made) != 0)
        return false;
    for (int fd : made)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    g_pipe[1] = made[1];
    g_pipe[0] = made[0];
    g_pipeOwner = ::getpid();
    return true;
}

// Installs the handler for each signal; a hang-up ignored since the process started stays so.
void catchSignals(std::initializer_list<int> signalNumbers)
{
    struct sigaction action = {};
    action.sa_handler = writeSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : signalNumbers) {
        struct sigaction current = {};
        if (::sigaction(signalNumber, nullptr, &current) != 0
            || (signalNumber == SIGHUP && current.sa_handler == SIG_IGN))
            continue;
        ::sigaction(signalNumber, &action, nullptr);
    }
}

} // namespace

void QuitSignals::catchFromNow(std::initializer_list<int> signalNumbers)
{
    // Without a pipe a signal is still caught: caught() tells of it.
    if (!makePipe())
        qWarning() << "Quit signals are only recorded: no pipe";
    catchSignals(signalNumbers);
}

QuitSignals::QuitSignals(std::initializer_list<int> signalNumbers, std::function<void(int)> handler,
                         QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
    if (!makePipe()) {
        qWarning() << "Quit signals are not caught: no pipe";
        return;
    }
    // Bytes already in the pipe are signals caught before: they are read once the loop runs.
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &QuitSignals::readSignals);
    catchSignals(signalNumbers);
}

bool QuitSignals::caught() const
{
    return g_caught.load();
}

void QuitSignals::setDeadline(unsigned seconds)
{
    struct sigaction action = {};
    action.sa_handler = endAtDeadline;
    sigemptyset(&action.sa_mask);
    // A deadline put off by a hold returns into whatever the process was doing.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGALRM, &action, nullptr);
    g_deadlineSeconds = sig_atomic_t(seconds);
    if (seconds > 0 && g_caught.load() && !g_deadlineArmed) {
        g_deadlineArmed = 1;
        ::alarm(seconds);
    }
}

void QuitSignals::limitTheRest(unsigned seconds, int status)
{
    g_restStatus = sig_atomic_t(status);
    struct sigaction action = {};
    action.sa_handler = endTheRest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGALRM, &action, nullptr);
    // A quit signal from now on starts no deadline of its own, and one under way ends here.
    g_deadlineArmed = 1;
    ::alarm(seconds);
}

QuitSignals::DeadlineHold::DeadlineHold()
{
    g_holds.fetch_add(1);
}

QuitSignals::DeadlineHold::~DeadlineHold()
{
    // What is left of the quit after the write gets a whole deadline of its own.
    if (g_holds.fetch_sub(1) == 1 && g_deadlinePassedWhileHeld.exchange(false))
        ::alarm(unsigned(g_deadlineSeconds));
}

QuitSignals::~QuitSignals()
{
    // The handlers stay: a signal from now on is recorded, and the pipe stays open so that they
    // never write into a file that took its number.
    m_notifier.reset();
    unsigned char byte = 0;
    while (g_pipe[1] != -1 && ::read(g_pipe[1], &byte, 1) == 1) { }
    g_caught.store(false);
}

void QuitSignals::readSignals()
{
    unsigned char byte = 0;
    while (::read(g_pipe[1], &byte, 1) == 1) {
        if (m_handler)
            m_handler(int(byte));
    }
}

} // namespace tanvill

// The tanvill executable: makes the application's services (settings, data core, updater …)
// and runs the application on them (runApplication: its delegate starts the periodic updater and
// shows the first window) until the user quits or a SIGTERM/SIGINT/SIGHUP or the end of the
// desktop session ends it, saving the store on the way out. The services end after the delegate,
// in reverse order of their making. When Tanvill already runs for this user, a launch hands its
// "tanvill:" link (or "reopen") to it and ends; the running one keeps the link and adds the linked
// app, or shows its window, as it does with a link it was started with. A launch whose link was not
// taken says so, and keeps the link for later where it can; so does a launch asked to end while
// it waits for the running one's answer.
// The object store loads on a worker thread from the start, while the rest is made; the launch's
// hold on it (LaunchStoreHold) is let go of when the link is handed over, and taken back when
// this launch runs on after all. The lists controller takes it over once the services are made,
// before anything asks it for lists.
#include "app/LaunchStoreHold.h"
#include "controls/DarkStyle.h"
#include "core/ListsController.h"
#include "platform/Allocator.h"
#include "platform/Identity.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "shell/ApplicationRun.h"
#include "shell/LinkInbox.h"
#include "shell/Services.h"
#include "shell/UnfinishedLaunch.h"

#include <QApplication>
#include <QDebug>
#include <QFontMetrics>
#include <QIcon>
#include <QScopeGuard>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>

using namespace tanvill;

namespace {
constexpr unsigned kQuitDeadlineSeconds = 2;
// How long a launch waits for the running Tanvill to connect it and to answer, each: one that
// has just begun to run answers once its window is up.
constexpr int kHandOverTimeoutMs = 10000;
// How long the end of the process may take once everything of Tanvill's is gone.
constexpr unsigned kTeardownSeconds = 1;

// For tests: stops the process at the moment TANVILL_STOP_AT names ("start": main's first
// line once the signals are caught; "end": everything made is gone) until it is continued, so
// that a test can signal it exactly there.
void stopForTest(const char *moment)
{
    const char *asked = std::getenv("TANVILL_STOP_AT");
    if (!asked || std::strcmp(asked, moment) != 0)
        return;
    // The time it stands still is the test's, not the quit's.
    const QuitSignals::DeadlineHold stopped;
    ::raise(SIGSTOP);
}

int run(int argc, char **argv)
{
    setUpAllocator();
    LaunchStoreHold store(ListsController::defaultStorePath());
    int status = 0;
    QApplication app(argc, argv);
    // Run once everything made below is gone, the user's data written: the toolkit's own end
    // may wait on a name server that does not answer, which is no reason to linger or to end
    // as if something failed.
    const auto limitTheRest
        = qScopeGuard([&status] { QuitSignals::limitTheRest(kTeardownSeconds, status); });
    // Ends the event loop at once: quit() would first close every window, and closing the last
    // one is the user's way of asking to quit, with the warning. A signal that came before
    // the event loop runs ends it as soon as it does.
    QuitSignals quitSignals({ SIGTERM, SIGINT, SIGHUP }, [](int) { QCoreApplication::exit(0); });
    // A UI thread stuck on something (or a save that takes too long) does not keep a stopped
    // program alive.
    quitSignals.setDeadline(kQuitDeadlineSeconds);
    QApplication::setApplicationName(QStringLiteral("Tanvill"));
    QApplication::setOrganizationDomain(QStringLiteral("tanvill.com"));
    QApplication::setDesktopFileName(bundleIdentifier());
    applyDarkStyle(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/com.tanvill.Tanvill.svg")));
    // The delegate decides what closing the last window does: with a tray icon the updater
    // keeps working, without one it quits as Quit does.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    instance.setLaunchHold(&store);
    // No event loop runs while the launch waits: it looks for the signal itself.
    instance.setAskedToEnd([&quitSignals] { return quitSignals.caught(); });
    const QString ownMessage = SingleInstance::messageFromArguments(QApplication::arguments());
    // Until this launch's link is kept somewhere, the deadline of a quit signal waits for it.
    std::optional<QuitSignals::DeadlineHold> linkInHand;
    if (ownMessage != SingleInstance::kReopenMessage)
        linkInHand.emplace();
    switch (const SingleInstance::Role role = instance.start(ownMessage, kHandOverTimeoutMs)) {
    case SingleInstance::Role::Forwarded:
        return 0;
    case SingleInstance::Role::Refused:
    case SingleInstance::Role::NotAnswered: {
        // It keeps the link itself, and may then wait for the user.
        linkInHand.reset();
        LinkInbox inbox;
        status = endUnfinishedLaunch(instance, role, ownMessage, inbox,
                                     *Services::makeAlertPresenter());
        return status;
    }
    case SingleInstance::Role::Alone:
        qWarning().noquote() << "Later launches cannot reach this one:" << instance.errorString();
        break;
    case SingleInstance::Role::Primary:
        break;
    }

    ServicesOptions options;
    options.objectStore = store.runOn();
    Services services(std::move(options));
    // Setting up the fonts is the costliest step of drawing the first window: it is done now,
    // while the store may still be loading, rather than once the store is there.
    QFontMetrics(QApplication::font()).horizontalAdvance(QLatin1Char('x'));
    status = runApplication(services, instance, ownMessage, [&linkInHand] { linkInHand.reset(); });
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    // From here to the process's end a quit signal is caught: before the event loop runs it is
    // recorded, and ends the launch as soon as it can tell; once everything is gone it is only
    // recorded, the quit being under way.
    QuitSignals::catchFromNow({ SIGTERM, SIGINT, SIGHUP });
    stopForTest("start");
    const int status = run(argc, argv);
    stopForTest("end");
    return status;
}

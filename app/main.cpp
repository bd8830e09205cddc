// The tanvill executable: makes the application's delegate, which registers the settings,
// opens the object store and starts the periodic updater, and runs the event loop until the
// user or a SIGTERM/SIGINT ends it, saving the store on the way out.
#include "controls/DarkStyle.h"
#include "platform/Identity.h"
#include "platform/QuitSignals.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QTimer>

#include <csignal>

using namespace tanvill;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tanvill"));
    QApplication::setOrganizationDomain(QStringLiteral("tanvill.com"));
    QApplication::setDesktopFileName(bundleIdentifier());
    applyDarkStyle(app);
    // The updater keeps working while no window is open.
    QApplication::setQuitOnLastWindowClosed(false);

    QuitSignals quitSignals({ SIGTERM, SIGINT }, [](int) { QCoreApplication::quit(); });

    AppDelegate delegate;
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    // Launch finishes once the event loop runs.
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    return QApplication::exec();
}

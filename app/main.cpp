// The tanvill executable: registers the settings, opens the object store, starts the periodic
// updater and runs the event loop until the user or a SIGTERM/SIGINT ends it, saving the store
// on the way out.
#include "core/ListsController.h"
#include "platform/Identity.h"
#include "platform/QuitSignals.h"
#include "platform/UserNotifications.h"
#include "shell/DefaultSettings.h"
#include "store/AppUpdater.h"
#include "store/widgets/ChangesWindowController.h"
#include "store/widgets/TrayNotificationPresenter.h"

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
    // The updater keeps working while no window is open.
    QApplication::setQuitOnLastWindowClosed(false);

    QuitSignals quitSignals({ SIGTERM, SIGINT }, [](int) { QCoreApplication::quit(); });

    // Settings come first: the lists controller and the updater read them as they start.
    registerDefaultSettings();
    writeFirstRunValues();
    ListsController &listsController = ListsController::sharedController();

    ChangesWindowController changesWindows;
    UserNotificationCenter::defaultCenter().setFallbackPresenter(
        std::make_unique<TrayNotificationPresenter>());
    AppUpdater &updater = AppUpdater::sharedUpdater();
    updater.setLatestChangesPresenter([&changesWindows](const std::vector<AppUpdate> &updates) {
        changesWindows.showWindow(updates);
    });

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&] {
        updater.stopUpdater();
        listsController.saveWithAsync(false);
    });

    // Launch finishes once the event loop runs.
    QTimer::singleShot(0, &app, [&updater] { updater.startUpdater(); });
    return QApplication::exec();
}

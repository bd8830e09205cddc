// The tanvill executable: makes the application's services (settings, data core, updater …)
// and its delegate, which starts the periodic updater, and runs the event loop until the user
// or a SIGTERM/SIGINT ends it, saving the store on the way out. The services end after the
// delegate, in reverse order of their making. When Tanvill already runs for this user, a
// launch hands its "tanvill:" link (or "reopen") to it and ends.
#include "controls/DarkStyle.h"
#include "platform/Identity.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "shell/AppDelegate.h"
#include "shell/Services.h"

#include <QApplication>
#include <QDebug>
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

    SingleInstance instance;
    switch (instance.start(SingleInstance::messageFromArguments(QApplication::arguments()))) {
    case SingleInstance::Role::Forwarded:
        return 0;
    case SingleInstance::Role::NotAnswered:
        qCritical().noquote() << "Tanvill is already running but does not answer:"
                              << instance.errorString();
        return 1;
    case SingleInstance::Role::Alone:
        qWarning().noquote() << "Later launches cannot reach this one:" << instance.errorString();
        break;
    case SingleInstance::Role::Primary:
        break;
    }
    QObject::connect(&instance, &SingleInstance::messageReceived, &app, [](const QString &message) {
        qInfo().noquote() << "Message from another launch:" << message;
    });

    QuitSignals quitSignals({ SIGTERM, SIGINT }, [](int) { QCoreApplication::quit(); });

    Services services;
    AppDelegate delegate(services);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    // Launch finishes once the event loop runs.
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    return QApplication::exec();
}

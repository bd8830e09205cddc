#include "shell/ApplicationRun.h"

#include "core/ListsController.h"
#include "platform/SingleInstance.h"
#include "shell/AppDelegate.h"
#include "shell/Services.h"
#include "shell/UnfinishedLaunch.h"

#include <QApplication>
#include <QDebug>
#include <QTimer>

#include <optional>

namespace tanvill {

int runApplication(Services &services, SingleInstance &instance, const QString &ownMessage,
                   const std::function<void()> &ownLinkTaken)
{
    // The store is this launch's from here on: its opening ends before the delegate's menus, a
    // link or a window ask for lists.
    services.listsController().takeOverStore();
    AppDelegate delegate(services);
    instance.setMessageHandler([&delegate](const QString &message) {
        qInfo().noquote() << "Message from another launch:" << message;
        return delegate.takeMessage(message);
    });
    // Later launches are told at once that this one quits, however long its saving takes:
    // they wait for its end and run on with their links.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &instance,
                     &SingleInstance::beginQuitting);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    // The desktop session ends: write everything now, the process may not get further.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &delegate,
                     [&delegate] { delegate.saveBeforeQuitting(); });
    // This launch's own link is taken like one handed over by a later launch, and added once
    // launch has finished and the store is there.
    std::optional<QString> notTaken;
    if (ownMessage != SingleInstance::kReopenMessage) {
        const instance::Answer answer
            = delegate.takeMessage(ownMessage, LinkLoop::From::ThisLaunch);
        if (ownLinkTaken)
            ownLinkTaken();
        if (answer.kind == instance::Answer::Kind::Refused)
            notTaken = answer.why;
    }
    // Launch finishes once the event loop runs, and the user hears of a link not taken from
    // there: an alert's own loop run before it would swallow the quit the store's alert, stacked
    // over it, asks for once answered.
    QTimer::singleShot(0, &delegate, [&delegate, &services, notTaken] {
        delegate.applicationDidFinishLaunching();
        if (notTaken)
            tellLinkNotTaken(*notTaken, services.alertPresenter());
    });
    return QApplication::exec();
}

} // namespace tanvill

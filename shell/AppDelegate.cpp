#include "shell/AppDelegate.h"

#include "core/List.h"
#include "core/ListsController.h"
#include "platform/AlertPresenter.h"
#include "platform/Strings.h"
#include "platform/UserNotifications.h"
#include "shell/DefaultSettings.h"
#include "store/AppUpdater.h"
#include "store/widgets/TrayNotificationPresenter.h"

namespace tanvill {

namespace {
AppDelegate *g_sharedAppDelegate = nullptr;
}

AppDelegate *AppDelegate::sharedAppDelegate()
{
    return g_sharedAppDelegate;
}

AppDelegate::AppDelegate()
{
    g_sharedAppDelegate = this;
    // Settings come first: the lists controller and the updater read them as they start.
    registerDefaultSettings();
    writeFirstRunValues();
    ListsController::sharedController();

    UserNotificationCenter::defaultCenter().setFallbackPresenter(
        std::make_unique<TrayNotificationPresenter>());
    AppUpdater::sharedUpdater().setLatestChangesPresenter(
        [this](const std::vector<AppUpdate> &updates) {
            m_changesWindowController.showWindow(updates);
        });
}

AppDelegate::~AppDelegate()
{
    AppUpdater::sharedUpdater().setLatestChangesPresenter({});
    if (g_sharedAppDelegate == this)
        g_sharedAppDelegate = nullptr;
}

void AppDelegate::applicationDidFinishLaunching()
{
    AppUpdater::sharedUpdater().startUpdater();
}

void AppDelegate::applicationWillTerminate()
{
    AppUpdater::sharedUpdater().stopUpdater();
    ListsController::sharedController().saveWithAsync(false);
}

void AppDelegate::deleteList()
{
    ListsController &controller = ListsController::sharedController();
    List *list = controller.selectedList();
    if (!list)
        return;
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText
        = Strings::localizedFormat(QStringLiteral("DeleteListTitle"), { list->name() });
    alert.informativeText = Strings::localized(QStringLiteral("This can't be undone."));
    alert.buttons
        = { Strings::localized(QStringLiteral("Yes")), Strings::localized(QStringLiteral("No")) };
    if (AlertPresenter::current().runModal(alert).buttonIndex != 0)
        return;
    if (const std::optional<Error> error = controller.deleteList(list))
        AlertPresenter::current().presentError(*error);
}

} // namespace tanvill

#include "shell/AppDelegate.h"

#include "core/List.h"
#include "core/ListsController.h"
#include "platform/AlertPresenter.h"
#include "platform/Strings.h"
#include "shell/Services.h"
#include "store/AppUpdater.h"

namespace tanvill {

AppDelegate *AppDelegate::sharedAppDelegate()
{
    return SharedInstance<AppDelegate>::find();
}

AppDelegate::AppDelegate(Services &services) : m_services(services)
{
    m_services.appUpdater().setLatestChangesPresenter(
        [this](const std::vector<AppUpdate> &updates) {
            m_changesWindowController.showWindow(updates);
        });
}

AppDelegate::~AppDelegate()
{
    m_services.appUpdater().setLatestChangesPresenter({});
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_services.appUpdater().startUpdater();
}

void AppDelegate::applicationWillTerminate()
{
    m_services.appUpdater().stopUpdater();
    m_services.listsController().saveWithAsync(false);
}

void AppDelegate::deleteList()
{
    ListsController &controller = m_services.listsController();
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
    AlertPresenter &alerts = m_services.alertPresenter();
    if (alerts.runModal(alert).buttonIndex != 0)
        return;
    if (const std::optional<Error> error = controller.deleteList(list))
        alerts.presentError(*error);
}

} // namespace tanvill

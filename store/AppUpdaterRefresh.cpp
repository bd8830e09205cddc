#include "core/ListsController.h"
#include "store/AppUpdater.h"

namespace tanvill {

void refreshAllApps(AppUpdater::RefreshCompletion completion)
{
    ListsController &controller = ListsController::sharedController();
    controller.reloadApps(controller.apps(), std::move(completion));
}

} // namespace tanvill

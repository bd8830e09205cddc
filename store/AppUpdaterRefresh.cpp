#include "store/AppUpdater.h"

#include <QDebug>

namespace tanvill {

void refreshAllApps(AppUpdater::RefreshCompletion completion)
{
    qInfo() << "No lists controller to refresh applications with yet";
    completion(std::nullopt, std::vector<AppUpdate> {});
}

} // namespace tanvill

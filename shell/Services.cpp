#include "shell/Services.h"

#include "core/ListsController.h"
#include "core/store/ObjectStore.h"
#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/HttpClient.h"
#include "platform/NotificationCenter.h"
#include "platform/PowerEvents.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotifications.h"
#include "platform/Workspace.h"
#include "shell/DefaultSettings.h"
#include "shell/MessageBoxAlertPresenter.h"
#include "store/AppUpdater.h"
#include "store/ImageCache.h"
#include "store/ReachabilityMonitor.h"
#include "store/widgets/TrayNotificationPresenter.h"

#include <QGuiApplication>

namespace tanvill {

namespace {

// Windows drawn nowhere (the offscreen and minimal platforms) cannot ask anybody anything.
bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen")
        && platform != QLatin1String("minimal");
}

} // namespace

std::unique_ptr<AlertPresenter> Services::makeAlertPresenter()
{
    if (hasDisplay())
        return std::make_unique<MessageBoxAlertPresenter>();
    return std::make_unique<ConsoleAlertPresenter>();
}

Services::Services(ServicesOptions options)
{
    // Anything below may have to tell the user something.
    m_alertPresenter.reset(options.alertPresenter ? std::move(options.alertPresenter)
                                                  : makeAlertPresenter());

    // Settings come before everything that reads them as it starts. Only the launch that runs on
    // makes services, and no other launch writes the settings meanwhile: a lock file beside
    // them that nobody holds was left by a copy that was killed.
    UserDefaults::clearLeftLocks(UserDefaults::defaultFilePath());
    UserDefaults &settings
        = m_settings.reset(std::make_unique<UserDefaults>(UserDefaults::defaultFilePath()));
    registerDefaultSettings(settings);
    writeFirstRunValues(settings, options.locale);

    m_analytics.reset(std::make_unique<Analytics>());
    m_workspace.reset(std::make_unique<Workspace>());
    m_notificationCenter.reset(std::make_unique<NotificationCenter>());
    m_httpClient.reset(std::make_unique<HttpClient>());
    m_powerEvents.reset(std::make_unique<PowerEvents>());

    UserNotificationCenter &notifications
        = m_userNotifications.reset(std::make_unique<UserNotificationCenter>());
    if (options.notificationPresenter)
        notifications.setPresenter(std::move(options.notificationPresenter));
    notifications.setFallbackPresenter(options.notificationFallback
                                           ? std::move(options.notificationFallback)
                                           : std::make_unique<TrayNotificationPresenter>());

    ListsController &lists = m_listsController.reset(
        options.objectStore ? std::make_unique<ListsController>(std::move(options.objectStore))
                            : std::make_unique<ListsController>());
    m_imageCache.reset(std::make_unique<ImageCache>());

    if (auto monitor = ReachabilityMonitor::createForInternet(options.reachabilityBackend))
        m_reachabilityMonitor.reset(std::move(monitor));
    AppUpdater &updater = m_appUpdater.reset(std::make_unique<AppUpdater>());
    updater.setReachabilityMonitor(m_reachabilityMonitor.get());
    updater.setRefreshFunction([&lists](AppUpdater::RefreshCompletion completion) {
        lists.reloadApps(lists.apps(), std::move(completion));
    });
}

Services::~Services() = default;

} // namespace tanvill

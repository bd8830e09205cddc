#include "support/TestServices.h"

#include "core/ListsController.h"
#include "store/AppUpdater.h"
#include "store/ImageCache.h"
#include "store/ReachabilityMonitor.h"

namespace tanvill::test {

TestServices::TestServices() : TestServices(Options {}) { }

TestServices::TestServices(const Options &options)
{
    m_alerts = &m_alertPresenter.reset(std::make_unique<RecordingAlertPresenter>());
    m_settings.reset(std::make_unique<UserDefaults>(UserDefaults::defaultFilePath()));
    m_settings->registerDefaults(options.defaults);
    m_analytics.reset(std::make_unique<Analytics>());
    m_workspace.reset(std::make_unique<Workspace>());
    m_workspace->setOpener([this](const QUrl &url) {
        m_openedLinks.append(url);
        return true;
    });
    m_notificationCenter.reset(std::make_unique<NotificationCenter>());
    m_httpClient.reset(std::make_unique<HttpClient>());
    m_powerEvents.reset(std::make_unique<PowerEvents>());
    m_userNotifications.reset(std::make_unique<UserNotificationCenter>());
    auto notifications = std::make_unique<RecordingNotificationPresenter>();
    m_notifications = notifications.get();
    m_userNotifications->setPresenter(std::move(notifications));

    if (options.listsController)
        m_listsController.reset(std::make_unique<ListsController>());
    m_imageCache.reset(std::make_unique<ImageCache>());
    auto network = std::make_unique<ManualReachabilityBackend>(ReachabilityBackend::Reachable);
    m_network = network.get();
    m_reachabilityMonitor.reset(std::make_unique<ReachabilityMonitor>(
        std::move(network), ReachabilityMonitor::ReachabilityAssociation::ForAddress));
    AppUpdater &updater = m_appUpdater.reset(std::make_unique<AppUpdater>());
    updater.setReachabilityMonitor(m_reachabilityMonitor.get());
    updater.setRefreshFunction([this](AppUpdater::RefreshCompletion completion) {
        if (!m_listsController) {
            completion(std::nullopt, std::vector<AppUpdate>());
            return;
        }
        m_listsController->reloadApps(m_listsController->apps(), std::move(completion));
    });
}

TestServices::~TestServices() = default;

TestServices::DefaultEnvironment::DefaultEnvironment(const char *name, const QByteArray &value)
    : m_name(name), m_set(!qEnvironmentVariableIsSet(name))
{
    if (m_set)
        qputenv(name, value);
}

TestServices::DefaultEnvironment::~DefaultEnvironment()
{
    if (m_set)
        qunsetenv(m_name);
}

ListsController &TestServices::listsController() const
{
    Q_ASSERT(m_listsController);
    return *m_listsController;
}

ImageCache &TestServices::imageCache() const
{
    return *m_imageCache;
}

ReachabilityMonitor *TestServices::reachabilityMonitor() const
{
    return m_reachabilityMonitor.get();
}

AppUpdater &TestServices::appUpdater() const
{
    return *m_appUpdater;
}

ListsController &TestServices::reopenListsController()
{
    closeListsController();
    return m_listsController.reset(std::make_unique<ListsController>());
}

void TestServices::closeListsController()
{
    m_listsController.reset();
}

} // namespace tanvill::test

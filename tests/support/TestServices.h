#pragma once

// A whole set of the application's services for one test: made in a fresh temporary home, in
// the order the application makes them (see shell/Services.h), and shared while the object
// lives, so that every shared…() accessor finds them. Alerts, system notifications and opened
// links are recorded (nothing starts) and the network is switched by hand (reachable at first).
// Store, sharing and wish-list requests go to a closed port on this machine unless the test
// points them at a fake server (FakeStore and the like), so no test ever reaches the internet.
// The updater is made but not started, and refreshes through this set's lists controller.
// Tests that need no lists controller (or their own) can leave it out; refreshes then find
// nothing to refresh.

#include "support/TestEnvironment.h"

#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/HttpClient.h"
#include "platform/NotificationCenter.h"
#include "platform/PowerEvents.h"
#include "platform/Reachability.h"
#include "platform/SharedInstance.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotifications.h"
#include "platform/Workspace.h"

#include <QList>
#include <QUrl>

#include <QVariantMap>

namespace tanvill {
class AppUpdater;
class ImageCache;
class ListsController;
class ReachabilityMonitor;
} // namespace tanvill

namespace tanvill::test {

class TestServices
{
public:
    // Where requests go that no fake server answers: a port nothing listens on.
    static constexpr char kNowhere[] = "http://127.0.0.1:9";

    struct Options
    {
        // Registered over the application's defaults (none of those are registered).
        QVariantMap defaults;
        bool listsController = true;
    };

    TestServices();
    explicit TestServices(const Options &options);
    ~TestServices();
    TestServices(const TestServices &) = delete;
    TestServices &operator=(const TestServices &) = delete;

    // The temporary home; its folders are HOME and the XDG folders while the object lives.
    QString homePath() const { return m_home.path(); }

    RecordingAlertPresenter &alerts() const { return *m_alerts; }
    AlertPresenter &alertPresenter() const { return *m_alerts; }
    UserDefaults &settings() const { return *m_settings; }
    Analytics &analytics() const { return *m_analytics; }
    Workspace &workspace() const { return *m_workspace; }
    // The links opened through the workspace, oldest first.
    const QList<QUrl> &openedLinks() const { return m_openedLinks; }
    NotificationCenter &notificationCenter() const { return *m_notificationCenter; }
    HttpClient &httpClient() const { return *m_httpClient; }
    PowerEvents &powerEvents() const { return *m_powerEvents; }
    UserNotificationCenter &userNotifications() const { return *m_userNotifications; }
    RecordingNotificationPresenter &deliveredNotifications() const { return *m_notifications; }
    ListsController &listsController() const;
    ImageCache &imageCache() const;
    ReachabilityMonitor *reachabilityMonitor() const;
    AppUpdater &appUpdater() const;
    // The network the reachability monitor reads.
    ManualReachabilityBackend &network() const { return *m_network; }

    // Closes the lists controller and opens a new one on the same store (reopening tests).
    ListsController &reopenListsController();
    void closeListsController();

private:
    // Sets a variable for the life of the object when it is not set already.
    class DefaultEnvironment
    {
    public:
        DefaultEnvironment(const char *name, const QByteArray &value);
        ~DefaultEnvironment();

    private:
        const char *m_name;
        bool m_set = false;
    };

    IsolatedHome m_home;
    DefaultEnvironment m_storeUrl { "TANVILL_STORE_URL", kNowhere };
    DefaultEnvironment m_serviceUrl { "TANVILL_SERVICE_URL", kNowhere };
    DefaultEnvironment m_wishlistUrl { "TANVILL_WISHLIST_URL", kNowhere };
    RecordingAlertPresenter *m_alerts = nullptr;
    RecordingNotificationPresenter *m_notifications = nullptr;
    ManualReachabilityBackend *m_network = nullptr;
    QList<QUrl> m_openedLinks;
    SharedOwner<AlertPresenter> m_alertPresenter;
    SharedOwner<UserDefaults> m_settings;
    SharedOwner<Analytics> m_analytics;
    SharedOwner<Workspace> m_workspace;
    SharedOwner<NotificationCenter> m_notificationCenter;
    SharedOwner<HttpClient> m_httpClient;
    SharedOwner<PowerEvents> m_powerEvents;
    SharedOwner<UserNotificationCenter> m_userNotifications;
    SharedOwner<ListsController> m_listsController;
    SharedOwner<ImageCache> m_imageCache;
    SharedOwner<ReachabilityMonitor> m_reachabilityMonitor;
    SharedOwner<AppUpdater> m_appUpdater;
};

} // namespace tanvill::test

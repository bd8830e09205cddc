#pragma once

// The composition root: the application's shared services, made once, in the order in which
// they use one another, and destroyed in reverse when the application ends:
//
//   alert presenter → settings (defaults registered, first-run values written) → analytics →
//   link opener (Workspace) → notification centre → HTTP client → power events →
//   user notifications → object store and lists controller → image cache →
//   reachability monitor → updater
//
// While it lives, each service is the shared instance its accessor finds
// (UserDefaults::standard(), ListsController::sharedController(), …); no accessor makes one.
// app/main.cpp makes the one instance, before any window, and hands it to the AppDelegate.
//
// How a window gets the services: whoever makes the window hands it the services it uses as
// constructor arguments (references taken from this class in the shell). Code with no maker
// to hand them over (the store operations, the settings helpers) uses the shared accessors,
// which find the same instances.
//
// How a test gets them: it owns its own. test::TestServices (tests/support/TestServices.h)
// makes the same set in the same order in a fresh temporary home, with a recording alert
// presenter, recording notifications and a network the test switches by hand, and shares
// them for the life of the test; its accessors have the names used here. A test of the shell
// itself may make a Services with such presenters in its options.

#include "platform/AlertPresenter.h"
#include "platform/Reachability.h"
#include "platform/SharedInstance.h"
#include "platform/UserNotifications.h"

#include <QLocale>
#include <QString>

#include <memory>

namespace tanvill {

class Analytics;
class AppUpdater;
class HttpClient;
class ImageCache;
class ListsController;
class NotificationCenter;
class ObjectStore;
class PowerEvents;
class ReachabilityMonitor;
class UserDefaults;
class Workspace;

struct ServicesOptions
{
    // Shows alerts; when none is given, message boxes where there is a display and the
    // console where there is none.
    std::unique_ptr<AlertPresenter> alertPresenter;
    // Shows system notifications; the desktop's notification server when none is given.
    std::unique_ptr<UserNotificationPresenter> notificationPresenter;
    // Shows them when that cannot; a tray message when none is given.
    std::unique_ptr<UserNotificationPresenter> notificationFallback;
    // Where reachability comes from; the system when none is given.
    ReachabilityBackend::Factory reachabilityBackend;
    // Decides the first run's store country and currency.
    QLocale locale = QLocale::system();
    // The object store, already opening in the background (app/main.cpp starts it first, so
    // that it loads while the rest starts); the lists controller owns it, and the maker of the
    // services has it take the store over (ListsController::takeOverStore). When none is given,
    // the one at the default path is opened then.
    std::unique_ptr<ObjectStore> objectStore;
};

class Services
{
public:
    explicit Services(ServicesOptions options = {});
    ~Services();
    // The presenter that shows alerts where there is a display: message boxes, else the
    // console.
    static std::unique_ptr<AlertPresenter> makeAlertPresenter();
    Services(const Services &) = delete;
    Services &operator=(const Services &) = delete;

    AlertPresenter &alertPresenter() const { return *m_alertPresenter; }
    UserDefaults &settings() const { return *m_settings; }
    Analytics &analytics() const { return *m_analytics; }
    Workspace &workspace() const { return *m_workspace; }
    NotificationCenter &notificationCenter() const { return *m_notificationCenter; }
    HttpClient &httpClient() const { return *m_httpClient; }
    PowerEvents &powerEvents() const { return *m_powerEvents; }
    UserNotificationCenter &userNotifications() const { return *m_userNotifications; }
    ListsController &listsController() const { return *m_listsController; }
    ImageCache &imageCache() const { return *m_imageCache; }
    // Null when the system cannot tell reachability; the network then counts as reachable.
    ReachabilityMonitor *reachabilityMonitor() const { return m_reachabilityMonitor.get(); }
    AppUpdater &appUpdater() const { return *m_appUpdater; }

private:
    // In the order of making; members are destroyed in reverse.
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

} // namespace tanvill

#pragma once

// System notifications shown to the user (the updater's "apps updated" message). The desktop's
// notification server is asked over D-Bus; when there is none, a fallback presenter installed
// by the windowing layer (a tray message) shows it. Clicking a notification runs the
// activation handler its owner installed.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace tanvill {

struct UserNotification
{
    QString title;
    QString informativeText;

    bool operator==(const UserNotification &other) const = default;
};

// One way of showing notifications.
class UserNotificationPresenter
{
public:
    virtual ~UserNotificationPresenter() = default;

    // Shows `notification`; calls `activated` when the user clicks it and `failed` (at most
    // once, possibly later) when it cannot be shown this way.
    virtual void present(const UserNotification &notification, std::function<void()> activated,
                         std::function<void()> failed)
        = 0;
};

// org.freedesktop.Notifications over the session bus, with a default action.
class DBusNotificationPresenter : public QObject, public UserNotificationPresenter
{
    Q_OBJECT

public:
    DBusNotificationPresenter();
    void present(const UserNotification &notification, std::function<void()> activated,
                 std::function<void()> failed) override;

private slots:
    void actionInvoked(uint id, const QString &actionKey);
    void notificationClosed(uint id, uint reason);

private:
    std::vector<std::pair<uint, std::function<void()>>> m_pending;
};

// Keeps what it is asked to show (tests).
class RecordingNotificationPresenter : public UserNotificationPresenter
{
public:
    void present(const UserNotification &notification, std::function<void()> activated,
                 std::function<void()> failed) override;

    // Clicks the latest notification.
    void activateLatest();

    std::vector<UserNotification> delivered;
    bool failsToPresent = false;

private:
    std::function<void()> m_latestActivation;
};

class UserNotificationCenter
{
public:
    // The application's centre (see SharedInstance.h).
    static UserNotificationCenter &defaultCenter();

    void deliver(const UserNotification &notification);

    // What clicking a delivered notification does.
    void setActivationHandler(std::function<void()> handler);
    // Replaces the D-Bus presenter (tests).
    void setPresenter(std::unique_ptr<UserNotificationPresenter> presenter);
    // Used when the presenter cannot show a notification.
    void setFallbackPresenter(std::unique_ptr<UserNotificationPresenter> presenter);

private:
    void activate();

    std::unique_ptr<UserNotificationPresenter> m_presenter;
    std::unique_ptr<UserNotificationPresenter> m_fallback;
    std::function<void()> m_activationHandler;
};

} // namespace tanvill

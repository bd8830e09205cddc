#pragma once

// Shows system notifications as a tray message when the desktop has no notification server.
// The application shell installs it as the fallback of the user notification centre.

#include "platform/UserNotifications.h"

#include <QObject>

#include <memory>

class QSystemTrayIcon;

namespace tanvill {

class TrayNotificationPresenter : public QObject, public UserNotificationPresenter
{
    Q_OBJECT

public:
    TrayNotificationPresenter();
    ~TrayNotificationPresenter() override;

    void present(const UserNotification &notification, std::function<void()> activated,
                 std::function<void()> failed) override;

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::function<void()> m_activated;
};

} // namespace tanvill

#include "platform/UserNotifications.h"

#include "platform/Identity.h"
#include "platform/SharedInstance.h"
#include "platform/Strings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QVariantMap>

namespace tanvill {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

} // namespace

DBusNotificationPresenter::DBusNotificationPresenter()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // QtDBus binds signals by slot signature only.
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(notificationClosed(uint, uint)));
}

void DBusNotificationPresenter::present(const UserNotification &notification,
                                        std::function<void()> activated,
                                        std::function<void()> failed)
{
    // Without a server the bus answers the call with an error at once, and the fallback
    // takes over; nothing here waits for the bus.
    if (!QDBusConnection::sessionBus().isConnected()) {
        failed();
        return;
    }
    QDBusMessage call
        = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints { { QStringLiteral("desktop-entry"), bundleIdentifier() } };
    call << QStringLiteral("Tanvill") << uint(0) << bundleIdentifier() << notification.title
         << notification.informativeText
         << QStringList { kDefaultAction, Strings::localized(QStringLiteral("Latest Changes")) }
         << hints << int(-1);
    auto *watcher
        = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, activated = std::move(activated),
             failed = std::move(failed)](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError()) {
                    qInfo().noquote() << "Notification not shown:" << reply.error().message();
                    failed();
                    return;
                }
                // Servers that never report closing must not make this grow without end.
                constexpr size_t kMaxPending = 32;
                if (m_pending.size() >= kMaxPending)
                    m_pending.erase(m_pending.begin());
                m_pending.emplace_back(reply.value(), activated);
            });
}

void DBusNotificationPresenter::actionInvoked(uint id, const QString &actionKey)
{
    if (actionKey != kDefaultAction)
        return;
    for (const auto &[pendingId, activated] : m_pending) {
        if (pendingId == id) {
            // The handler may deliver again and so change m_pending.
            const std::function<void()> handler = activated;
            handler();
            return;
        }
    }
}

void DBusNotificationPresenter::notificationClosed(uint id, uint /*reason*/)
{
    std::erase_if(m_pending, [id](const auto &entry) { return entry.first == id; });
}

void RecordingNotificationPresenter::present(const UserNotification &notification,
                                             std::function<void()> activated,
                                             std::function<void()> failed)
{
    if (failsToPresent) {
        failed();
        return;
    }
    delivered.push_back(notification);
    m_latestActivation = std::move(activated);
}

void RecordingNotificationPresenter::activateLatest()
{
    if (m_latestActivation)
        m_latestActivation();
}

UserNotificationCenter &UserNotificationCenter::defaultCenter()
{
    return SharedInstance<UserNotificationCenter>::get("UserNotificationCenter::defaultCenter");
}

void UserNotificationCenter::deliver(const UserNotification &notification)
{
    if (!m_presenter)
        m_presenter = std::make_unique<DBusNotificationPresenter>();
    // With no way to show it at all, the console still tells.
    const auto toConsole = [notification] {
        qInfo().noquote() << notification.title << "-" << notification.informativeText;
    };
    m_presenter->present(
        notification, [this] { activate(); },
        [this, notification, toConsole] {
            if (m_fallback)
                m_fallback->present(
                    notification, [this] { activate(); }, toConsole);
            else
                toConsole();
        });
}

void UserNotificationCenter::setActivationHandler(std::function<void()> handler)
{
    m_activationHandler = std::move(handler);
}

void UserNotificationCenter::setPresenter(std::unique_ptr<UserNotificationPresenter> presenter)
{
    m_presenter = std::move(presenter);
}

void UserNotificationCenter::setFallbackPresenter(
    std::unique_ptr<UserNotificationPresenter> presenter)
{
    m_fallback = std::move(presenter);
}

void UserNotificationCenter::activate()
{
    if (m_activationHandler)
        m_activationHandler();
}

} // namespace tanvill

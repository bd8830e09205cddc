#include "platform/UserNotifications.h"
#include "PrivateSessionBus.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// A notification server as a desktop runs one, on a bus of the test's own.
class FakeNotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int expireTimeout)
    {
        Q_UNUSED(appName);
        Q_UNUSED(replacesId);
        Q_UNUSED(appIcon);
        Q_UNUSED(hints);
        Q_UNUSED(expireTimeout);
        received.append({ summary, body });
        receivedActions = actions;
        return uint(received.size()) + 40;
    }

public:
    QList<UserNotification> received;
    QStringList receivedActions;
};

// The notification server on the session bus for the life of the object.
struct RegisteredServer
{
    explicit RegisteredServer(FakeNotificationServer *server)
    {
        QDBusConnection connection = QDBusConnection::sessionBus();
        registered = connection.registerService("org.freedesktop.Notifications")
            && connection.registerObject("/org/freedesktop/Notifications", server,
                                         QDBusConnection::ExportAllSlots);
    }
    ~RegisteredServer()
    {
        QDBusConnection connection = QDBusConnection::sessionBus();
        connection.unregisterObject("/org/freedesktop/Notifications");
        connection.unregisterService("org.freedesktop.Notifications");
    }
    bool registered = false;
};

void invokeDefaultAction(uint id)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
    signal << id << QStringLiteral("default");
    QDBusConnection::sessionBus().send(signal);
}

} // namespace

TEST(UserNotifications, TheDesktopServerShowsThemAndItsDefaultActionActivates)
{
    if (test::privateSessionBusAddress().isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    FakeNotificationServer server;
    RegisteredServer registration(&server);
    ASSERT_TRUE(registration.registered);

    UserNotificationCenter center;
    int activations = 0;
    center.setActivationHandler([&] { ++activations; });
    center.deliver({ "Apps Updated", "There is 1 price change." });
    ASSERT_TRUE(test::waitFor([&] { return !server.received.isEmpty(); }));
    EXPECT_EQ(server.received.front(),
              (UserNotification { "Apps Updated", "There is 1 price change." }));
    EXPECT_TRUE(server.receivedActions.contains("default"));
    test::drainEvents();

    invokeDefaultAction(99);
    test::drainEvents();
    EXPECT_EQ(activations, 0) << "another application's notification";
    invokeDefaultAction(41);
    ASSERT_TRUE(test::waitFor([&] { return activations == 1; }));
}

TEST(UserNotifications, WithoutAServerTheFallbackShowsThem)
{
    if (test::privateSessionBusAddress().isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    auto fallback = std::make_unique<RecordingNotificationPresenter>();
    RecordingNotificationPresenter *tray = fallback.get();
    UserNotificationCenter center;
    center.setFallbackPresenter(std::move(fallback));
    center.deliver({ "Apps Updated", "There are 2 rating changes." });
    ASSERT_TRUE(test::waitFor([&] { return !tray->delivered.empty(); }));
    EXPECT_EQ(tray->delivered.front().informativeText, "There are 2 rating changes.");
}

#include "UserNotificationsTest.moc"

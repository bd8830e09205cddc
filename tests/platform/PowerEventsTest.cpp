#include "platform/PowerEvents.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tanvill;

TEST(PowerEvents, AScreenThatWakesIsReportedWhereTheDesktopOffersTheScreenSaver)
{
    const QString program = QStandardPaths::findExecutable("dbus-daemon");
    if (program.isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    QProcess daemon;
    daemon.start(program, { "--session", "--nofork", "--print-address=1" });
    ASSERT_TRUE(daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();

    QDBusConnection session = QDBusConnection::connectToBus(address, "session");
    PowerEvents events(QDBusConnection(QString()), session);
    int wakes = 0;
    QObject::connect(&events, &PowerEvents::screensDidWake, [&] { ++wakes; });
    // Started by a signal sent after the ones that must have arrived: the bus hands one
    // sender's signals over in the order they were sent.
    QTimer sentinel;
    sentinel.setInterval(std::chrono::hours(1));
    ASSERT_TRUE(session.connect(QString(), "/test/Sentinel", "org.tanvill.Test", "Sentinel",
                                &sentinel, SLOT(start())));
    // The bus has taken up what this connection listens for once it answers a later call.
    ASSERT_EQ(
        session
            .call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                 "org.freedesktop.DBus", "GetId"))
            .type(),
        QDBusMessage::ReplyMessage);
    QDBusConnection desktop = QDBusConnection::connectToBus(address, "desktop");
    ASSERT_TRUE(desktop.isConnected());
    const auto send = [&](bool active) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged");
        signal << active;
        desktop.send(signal);
    };
    send(true);
    send(false);
    ASSERT_TRUE(test::waitFor([&] { return wakes > 0; }));
    send(true);
    desktop.send(QDBusMessage::createSignal("/test/Sentinel", "org.tanvill.Test", "Sentinel"));
    ASSERT_TRUE(test::waitFor([&] { return sentinel.isActive(); }));
    EXPECT_EQ(wakes, 1) << "the screen saver starting is no wake";

    QDBusConnection::disconnectFromBus("desktop");
    QDBusConnection::disconnectFromBus("session");
    daemon.kill();
    daemon.waitForFinished(5000);
}

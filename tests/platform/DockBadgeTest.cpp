#include "platform/DockBadge.h"
#include "LauncherListener.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QVariantMap>
#include <gtest/gtest.h>

using namespace tanvill;

TEST(DockBadge, SendsTheCountToTheDockOnTheSessionBus)
{
    const QString program = QStandardPaths::findExecutable("dbus-daemon");
    if (program.isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    QProcess daemon;
    daemon.start(program, { "--session", "--nofork", "--print-address=1" });
    ASSERT_TRUE(daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());

    QDBusConnection dock = QDBusConnection::connectToBus(address, "dock");
    ASSERT_TRUE(dock.isConnected());
    LauncherListener listener;
    ASSERT_TRUE(dock.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", &listener,
                             SLOT(update(QString, QVariantMap))));

    DockBadge::setLabel(QString("12"));
    ASSERT_TRUE(test::waitFor([&] { return listener.updates.size() == 1; }));
    EXPECT_EQ(listener.uris.front(), "application://com.tanvill.Tanvill.desktop");
    EXPECT_EQ(listener.updates.front().value("count").toLongLong(), 12);
    EXPECT_TRUE(listener.updates.front().value("count-visible").toBool());

    DockBadge::setLabel(std::nullopt);
    ASSERT_TRUE(test::waitFor([&] { return listener.updates.size() == 2; }));
    EXPECT_FALSE(listener.updates.back().value("count-visible").toBool());
    EXPECT_FALSE(DockBadge::label());

    QDBusConnection::disconnectFromBus("dock");
    daemon.kill();
    daemon.waitForFinished(5000);
}

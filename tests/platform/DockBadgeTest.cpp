#include "platform/DockBadge.h"
#include "LauncherListener.h"
#include "PrivateSessionBus.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QVariantMap>
#include <gtest/gtest.h>

using namespace tanvill;

TEST(DockBadge, SendsTheCountToTheDockOnTheSessionBus)
{
    const QString address = test::privateSessionBusAddress();
    if (address.isEmpty())
        GTEST_SKIP() << "no dbus-daemon";

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
}

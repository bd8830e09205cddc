#pragma once

// Helpers of the tests of adding, moving, searching and refreshing applications: a
// controller on a fresh store, a fake store service, store results made to order and a
// record of the controller's notifications.

#include "support/StoreTestSupport.h"

#include "store/CachedApp.h"
#include "support/FakeStore.h"

#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace tanvill::test {

class StoreClientTest : public StoreTest
{
protected:
    // A store result; `screenshots` links named after the identifier.
    static CachedApp result(const QString &identifier, const QString &name = QStringLiteral("App"),
                            int screenshots = 1);
    // The same application as the fake store answers for it.
    static FakeStoreApp storeApp(const CachedApp &app);

    // The controller's notifications from now on: names and user info.
    void recordNotifications();
    QStringList posted;
    std::vector<QVariantMap> postedInfo;

    FakeStore store;

private:
    QObject m_observer;
};

} // namespace tanvill::test

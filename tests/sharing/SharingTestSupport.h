#pragma once

// Helpers of the sharing and import tests: the wish-list fixture pages, store answers for
// their identifiers, a lists controller on a fresh store, and saving window renders.

#include "core/ListsController.h"
#include "platform/AlertPresenter.h"
#include "store/CachedApp.h"
#include "support/FakeStore.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <QDir>
#include <QFile>
#include <QWidget>
#include <gtest/gtest.h>

namespace tanvill::test {

inline QByteArray wishlistFixture(const QString &name)
{
    QFile file(fixturesDir() + QStringLiteral("/wishlist/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// The identifiers of user "appfan"'s three fixture pages, page by page, without repeats.
inline const QStringList &appfanPageZero()
{
    static const QStringList ids { "409183694", "1289583905", "284882215", "363590051" };
    return ids;
}
inline const QStringList &appfanPageOneNew()
{
    static const QStringList ids { "1091189122", "497799835" };
    return ids;
}
inline const QStringList &appfanPageTwo()
{
    static const QStringList ids { "1274495053", "904280696" };
    return ids;
}

inline FakeStoreApp storeApp(const QString &identifier, const QString &kind = "software",
                             double price = 0.99)
{
    FakeStoreApp app;
    app.identifier = identifier;
    app.name = QStringLiteral("App ") + identifier;
    app.kind = kind;
    app.price = price;
    return app;
}

inline CachedApp cachedApp(const QString &identifier, AppKind kind = AppKind::Phone,
                           double price = 0.99, const QString &name = {})
{
    CachedApp app;
    app.identifier = identifier;
    app.name = name.isEmpty() ? QStringLiteral("App ") + identifier : name;
    app.kind = kind;
    app.price = price;
    app.version = QStringLiteral("1.0");
    app.developer = QStringLiteral("Maker");
    app.iconUrl = QStringLiteral("https://store.example/icon/") + identifier + ".png";
    app.storeUrl = QStringLiteral("https://store.example/app/id") + identifier;
    app.currencyCode = QStringLiteral("USD");
    return app;
}

// The test's own services with their lists controller and recorded alerts and links.
class ListsTest : public ::testing::Test
{
protected:
    ListsController &lists() { return services.listsController(); }

    TestServices services;
    RecordingAlertPresenter &alerts = services.alerts();
};

// Saves what the widget shows now as <build>/test-output/windows/<name>.png.
inline void saveRender(QWidget *widget, const QString &name)
{
    const QString path = QDir(testOutputDir(QStringLiteral("windows"))).filePath(name + ".png");
    EXPECT_TRUE(widget->grab().save(path)) << path.toStdString();
}

} // namespace tanvill::test

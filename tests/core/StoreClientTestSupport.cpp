#include "StoreClientTestSupport.h"

#include "platform/NotificationCenter.h"

namespace tanvill::test {

CachedApp StoreClientTest::result(const QString &identifier, const QString &name, int screenshots)
{
    CachedApp app;
    app.name = name;
    app.identifier = identifier;
    app.description = name + QStringLiteral(" does things.");
    app.kind = AppKind::Phone;
    app.version = QStringLiteral("1.0");
    app.storeUrl = QStringLiteral("https://store.example/app/id") + identifier;
    app.developer = QStringLiteral("Maker");
    app.rating = 4.0f;
    app.price = 0.99;
    app.iconUrl
        = QStringLiteral("https://store.example/icon/") + identifier + QStringLiteral(".png");
    for (int i = 0; i < screenshots; ++i)
        app.screenshotUrls
            << QStringLiteral("https://store.example/%1/%2.png").arg(identifier).arg(i);
    app.currencyCode = QStringLiteral("USD");
    return app;
}

FakeStoreApp StoreClientTest::storeApp(const CachedApp &app)
{
    FakeStoreApp answer;
    answer.identifier = app.identifier;
    answer.name = app.name;
    answer.version = app.version;
    answer.price = app.price;
    answer.rating = app.rating;
    answer.currency = app.currencyCode;
    answer.kind = rawValue(app.kind);
    answer.developer = app.developer;
    answer.screenshots = app.screenshotUrls;
    return answer;
}

void StoreClientTest::recordNotifications()
{
    NotificationCenter::defaultCenter().addObserver(
        {}, &m_observer,
        [this](const Notification &notification) {
            if (notification.name.startsWith(QStringLiteral("Tanvill.ListsController"))) {
                posted << notification.name.mid(int(qstrlen("Tanvill.ListsController")));
                postedInfo.push_back(notification.userInfo);
            }
        },
        &controller());
}

} // namespace tanvill::test

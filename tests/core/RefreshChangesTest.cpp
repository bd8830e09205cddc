#include "core/RefreshChanges.h"
#include "core/App.h"
#include "core/ObjectContext.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

Decimal price(const char *text)
{
    return *Decimal::fromString(QString::fromLatin1(text));
}

CachedApp answer(const QString &version, float rating, double price)
{
    CachedApp result;
    result.version = version;
    result.rating = rating;
    result.price = price;
    return result;
}

} // namespace

TEST(RefreshChanges, OnlyChangesBeyondTheirThresholdsCount)
{
    const TrackedValues stored { QStringLiteral("1.0"), 4.0f, price("0.99") };
    struct Case
    {
        const char *what;
        CachedApp result;
        RefreshChanges expected;
    };
    const QString composed = QStringLiteral("1.0 \u00e9");
    const QString decomposed = QStringLiteral("1.0 e\u0301");
    const Case cases[] = {
        { "nothing moved", answer("1.0", 4.0f, 0.99), {} },
        { "small moves", answer("1.0", 4.04f, 0.994), {} },
        { "new version", answer("1.1", 4.0f, 0.99), { QStringLiteral("1.1") } },
        { "rating by 0.05", answer("1.0", 4.05f, 0.99), { std::nullopt, 4.05f } },
        { "price by a cent", answer("1.0", 4.0f, 1.0), { std::nullopt, std::nullopt, price("1") } },
        { "free now", answer("1.0", 4.0f, 0), { std::nullopt, std::nullopt, price("0") } },
        { "all three", answer("2.0", 3.0f, 1.99), { QStringLiteral("2.0"), 3.0f, price("1.99") } },
    };
    for (const Case &c : cases)
        EXPECT_EQ(detectRefreshChanges(stored, c.result), c.expected) << c.what;

    // The same text with its accent composed differently is the same version.
    const TrackedValues accented { composed, 4.0f, price("0.99") };
    EXPECT_TRUE(detectRefreshChanges(accented, answer(decomposed, 4.0f, 0.99)).isEmpty());
}

TEST(RefreshChanges, ApplyingKeepsThePreviousValuesAndReportsTheChanges)
{
    ObjectContext context;
    App *app = context.insertApp();
    app->setName(QStringLiteral("Chess"));
    app->setVersion(QStringLiteral("1.0"));
    app->setRating(4.0f);
    app->setPrice(price("0.99"));

    EXPECT_FALSE(applyRefreshChanges(*app, {}));
    const std::optional<AppUpdate> update
        = applyRefreshChanges(*app, { QStringLiteral("1.1"), std::nullopt, price("0") });
    ASSERT_TRUE(update);
    EXPECT_EQ(*update,
              AppUpdate(QStringLiteral("Chess"), Change<Decimal> { price("0.99"), price("0") },
                        std::nullopt,
                        Change<QString> { QStringLiteral("1.0"), QStringLiteral("1.1") }));
    EXPECT_EQ(app->lastVersion(), "1.0");
    EXPECT_EQ(app->version(), "1.1");
    EXPECT_EQ(app->lastPrice(), price("0.99"));
    EXPECT_EQ(app->price(), price("0"));
    EXPECT_EQ(app->rating(), 4.0f);
}

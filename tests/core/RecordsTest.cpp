#include "core/ObjectContext.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

Decimal price(const char *text)
{
    return *Decimal::fromString(QString::fromLatin1(text));
}

class Records : public ::testing::Test
{
protected:
    App *appWithRatings(float last, float current)
    {
        App *app = context.insertApp(list);
        app->setLastRating(last);
        app->setRating(current);
        return app;
    }
    App *appWithPrices(const char *last, const char *current)
    {
        App *app = context.insertApp(list);
        app->setLastPrice(price(last));
        app->setPrice(price(current));
        return app;
    }

    ObjectContext context;
    List *list = context.insertList();
};

} // namespace

TEST_F(Records, RatingChangesOnlyBeyondATenthIn32BitArithmetic)
{
    EXPECT_FALSE(appWithRatings(4.0f, 4.1f)->ratingChange());
    EXPECT_FALSE(appWithRatings(4.0f, 4.0f)->ratingChange());
    const auto change = appWithRatings(4.0f, 4.2f)->ratingChange();
    ASSERT_TRUE(change);
    EXPECT_EQ(change->last, 4.0f);
    EXPECT_EQ(change->current, 4.2f);
    EXPECT_TRUE(appWithRatings(4.0f, 4.5f)->ratingChange());
    EXPECT_TRUE(appWithRatings(4.5f, 4.0f)->ratingChange());
}

TEST_F(Records, PriceChangesOnlyBeyondATenth)
{
    EXPECT_FALSE(appWithPrices("1.99", "1.95")->priceChange());
    EXPECT_FALSE(appWithPrices("1.99", "1.99")->priceChange());
    const auto change = appWithPrices("1.99", "0.99")->priceChange();
    ASSERT_TRUE(change);
    EXPECT_EQ(change->last, price("1.99"));
    EXPECT_EQ(change->current, price("0.99"));
}

TEST_F(Records, VersionChangeAndHistory)
{
    App *app = context.insertApp(list);
    app->setVersion("1.0");
    app->setLastVersion("1.0");
    EXPECT_FALSE(app->versionChange());
    EXPECT_FALSE(app->needsAppHistory());
    app->setVersion("1.0.1");
    ASSERT_TRUE(app->versionChange());
    EXPECT_EQ(app->versionChange()->last, "1.0");
    EXPECT_EQ(app->versionChange()->current, "1.0.1");
    EXPECT_TRUE(app->needsAppHistory());
}

TEST_F(Records, AffiliateLinkNamesThePlatform)
{
    App *app = context.insertApp(list);
    app->setIdentifier("409201541");
    app->setAppKind(AppKind::Mac);
    EXPECT_EQ(app->kind(), 2);
    const QString mac = app->affiliatedStoreUrl();
    EXPECT_TRUE(mac.contains("/app/id409201541?mt=12&at=")) << mac.toStdString();
    EXPECT_TRUE(mac.endsWith("&ct=tanvill"));
    for (const AppKind kind : { AppKind::Phone, AppKind::Pad }) {
        app->setAppKind(kind);
        EXPECT_TRUE(app->affiliatedStoreUrl().contains("?mt=8&at="));
        EXPECT_TRUE(app->affiliatedStoreUrl().endsWith("&ct=tanvill"));
    }
}

TEST_F(Records, UnknownKindsReadAsPhone)
{
    App *app = context.insertApp(list);
    app->setKind(7);
    EXPECT_EQ(app->appKind(), AppKind::Phone);
    app->setKind(1);
    EXPECT_EQ(app->appKind(), AppKind::Pad);
}

TEST_F(Records, ListsShowNewestFirst)
{
    EXPECT_TRUE(list->displayedApps().empty());
    App *a = appWithPrices("0", "0.99");
    App *b = appWithPrices("0", "1.99");
    App *c = appWithPrices("0", "2");
    EXPECT_EQ(list->apps(), (std::vector<App *> { a, b, c }));
    EXPECT_EQ(list->displayedApps(), (std::vector<App *> { c, b, a }));
}

TEST_F(Records, ThemeFallsBackToYellowWithoutAKnownColour)
{
    list->setColor(QString("lightGreen"));
    EXPECT_EQ(list->theme().name, ThemeName::LightGreen);
    list->setColor(std::nullopt);
    EXPECT_EQ(list->theme().name, ThemeName::Yellow);
    list->setColor(QString("LightGreen"));
    EXPECT_EQ(list->theme().name, ThemeName::Yellow);
}

TEST_F(Records, ArchivedMeansInTheListWithIndexMinusOne)
{
    App *app = context.insertApp(list);
    EXPECT_FALSE(app->archived());
    List *archive = context.insertList();
    archive->setIndex(-1);
    app->setList(archive);
    EXPECT_TRUE(app->archived());
    app->setList(nullptr);
    EXPECT_FALSE(app->archived());
}

TEST_F(Records, RelationshipsKeepBothSides)
{
    List *other = context.insertList();
    App *a = context.insertApp(list);
    App *b = context.insertApp(list);
    b->setList(other);
    EXPECT_EQ(list->apps(), (std::vector<App *> { a }));
    EXPECT_EQ(other->apps(), (std::vector<App *> { b }));

    other->setApps({ a, b });
    EXPECT_TRUE(list->apps().empty());
    EXPECT_EQ(a->list(), other);

    Screenshot *first = context.insertScreenshot(a);
    Screenshot *second = context.insertScreenshot(a);
    EXPECT_EQ(a->screenshots(), (std::vector<Screenshot *> { first, second }));
    b->setScreenshots({ second });
    EXPECT_EQ(a->screenshots(), (std::vector<Screenshot *> { first }));
    EXPECT_EQ(second->app(), b);
}

TEST_F(Records, DeletingCascadesAndDeletedRecordsIgnoreWrites)
{
    App *app = context.insertApp(list);
    app->setName("Kept name");
    Screenshot *screenshot = context.insertScreenshot(app);
    context.deleteObject(list);
    EXPECT_TRUE(list->isDeleted());
    EXPECT_TRUE(app->isDeleted());
    EXPECT_TRUE(screenshot->isDeleted());
    EXPECT_TRUE(context.apps().empty());
    EXPECT_TRUE(context.lists().empty());

    app->setName("Changed");
    app->setList(context.insertList());
    EXPECT_EQ(app->name(), "Kept name");
    EXPECT_EQ(app->list(), nullptr);
    EXPECT_EQ(app->description(), "Kept name");
}

TEST_F(Records, OnlyRealChangesArePending)
{
    App *app = context.insertApp(list);
    app->setName("Name");
    app->setAppStoreDescription("Text");
    ChangeSet changes;
    context.changesCommitted(context.takeChanges(changes));
    EXPECT_FALSE(context.hasChanges());

    app->setName("Name");
    app->setAppStoreDescription("Text");
    app->setRating(0);
    EXPECT_FALSE(context.hasChanges());
    app->setNotes(QString("note"));
    EXPECT_TRUE(context.hasChanges());
}

TEST_F(Records, FailedChangesArePendingAgain)
{
    App *app = context.insertApp(list);
    app->setAppStoreDescription("Text");
    ChangeSet first;
    const quint64 ticket = context.takeChanges(first);
    ASSERT_EQ(first.apps.size(), 1u);
    ASSERT_TRUE(first.apps.front().description);
    context.changesFailed(ticket);
    EXPECT_TRUE(context.hasChanges());

    ChangeSet retry;
    context.takeChanges(retry);
    ASSERT_EQ(retry.apps.size(), 1u);
    EXPECT_EQ(retry.apps.front().description, QByteArray("Text"));
    EXPECT_EQ(retry.lists.size(), 1u);
}

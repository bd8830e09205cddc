#include "SharingTestSupport.h"

#include "platform/Strings.h"
#include "sharing/AppShopperImporter.h"
#include "support/FakeListServices.h"

#include <gtest/gtest.h>

using namespace tanvill;
using namespace tanvill::test;

namespace {

struct Outcome
{
    bool done = false;
    std::optional<AppShopperImporter::Result> result;
    std::optional<Error> error;
    QList<qint64> found;
    QList<std::pair<qint64, qint64>> downloaded;

    QStringList identifiers(AppKind kind) const
    {
        QStringList ids;
        if (result && result->count(kind)) {
            for (const CachedApp &app : result->at(kind))
                ids << app.identifier;
        }
        ids.sort();
        return ids;
    }
};

class AppShopperImporterTest : public ::testing::Test
{
protected:
    // Starts a run for `username`; the outcome fills in as it goes.
    std::unique_ptr<AppShopperImporter> start(const QString &username, Outcome &outcome)
    {
        auto importer = std::make_unique<AppShopperImporter>(username);
        importer->identifierDownloadCallback = [&outcome](qint64 n) {
            outcome.found << n;
        };
        importer->appDownloadCallback = [&outcome](qint64 downloaded, qint64 overall) {
            outcome.downloaded.append({ downloaded, overall });
        };
        importer->downloadWishlistPage([&outcome](std::optional<AppShopperImporter::Result> result,
                                                  std::optional<Error> error) {
            EXPECT_FALSE(outcome.done) << "the completion runs once";
            outcome.done = true;
            outcome.result = std::move(result);
            outcome.error = std::move(error);
        });
        return importer;
    }

    Outcome run(const QString &username)
    {
        Outcome outcome;
        const auto importer = start(username, outcome);
        EXPECT_TRUE(waitFor([&] { return outcome.done; }, 15000));
        return outcome;
    }

    void serveAppfan()
    {
        for (int page = 0; page < 3; ++page)
            site.setWishlistPage("appfan", page,
                                 wishlistFixture(QStringLiteral("appfan-%1.html").arg(page)));
        for (const QString &id : appfanPageZero() + appfanPageOneNew() + appfanPageTwo())
            store.setLookup(storeApp(
                id, id == "1289583905" || id == "497799835" ? "mac-software" : "software"));
    }

    TestServices services { { .listsController = false } };
    FakeListServices site;
    FakeStore store;
};

} // namespace

TEST_F(AppShopperImporterTest, ReadsEveryPageThroughItsNextLinkAndGroupsTheLookUpsByPlatform)
{
    serveAppfan();
    const Outcome outcome = run("appfan");

    ASSERT_FALSE(outcome.error) << outcome.error->description.toStdString();
    EXPECT_EQ(site.requestedPages(), QList<qint64>({ 0, 1, 2 }));
    EXPECT_EQ(outcome.found, QList<qint64>({ 4, 6, 8 })) << "a repeated app counts once";
    EXPECT_EQ(outcome.identifiers(AppKind::Mac), QStringList({ "1289583905", "497799835" }));
    EXPECT_EQ(outcome.identifiers(AppKind::Phone),
              QStringList({ "1091189122", "1274495053", "284882215", "363590051", "409183694",
                            "904280696" }));
    EXPECT_EQ(outcome.result->count(AppKind::Pad), 0u);
    EXPECT_EQ(store.lookupCount("409183694"), 1);
    EXPECT_EQ(store.lookupRequestCount(), 8);
    ASSERT_EQ(outcome.downloaded.size(), 8);
    for (qsizetype i = 0; i < 8; ++i)
        EXPECT_EQ(outcome.downloaded[i], std::make_pair(qint64(i + 1), qint64(8)));
}

TEST_F(AppShopperImporterTest, TheUserNameGoesIntoThePathAsOneEncodedSegment)
{
    site.setWishlistPage("a%20b%2Fc%3F", 0,
                         FakeListServices::wishlistPage("a%20b%2Fc%3F", { "100000001" }, 5));
    site.setWishlistPage("a%20b%2Fc%3F", 5,
                         FakeListServices::wishlistPage("a%20b%2Fc%3F", { "100000002" }));
    store.setLookup(storeApp("100000001"));
    store.setLookup(storeApp("100000002"));
    const Outcome outcome = run("a b/c?");
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(
        site.wishlistTargets(),
        QList<QByteArray>({ "/user/a%20b%2Fc%3F/wishlist/0", "/user/a%20b%2Fc%3F/wishlist/5" }));

    for (const char *refused : { "", ".", ".." }) {
        const Outcome nothing = run(QString::fromLatin1(refused));
        ASSERT_TRUE(nothing.error) << refused;
        EXPECT_EQ(nothing.error->code, AppShopperImporter::NoWishlist);
    }
    EXPECT_EQ(site.wishlistTargets().size(), 2) << "a refused name asks the site nothing";
}

TEST_F(AppShopperImporterTest, OnlyLaterPagesAreFollowedAndNoMoreThanTheCap)
{
    site.setWishlistPage("back", 0, FakeListServices::wishlistPage("back", { "100000001" }, 3));
    site.setWishlistPage("back", 3, FakeListServices::wishlistPage("back", { "100000002" }, 1));
    store.setDefaultResponse(FakeResponse::json(FakeStore::lookupReply(storeApp("100000001"))));
    EXPECT_FALSE(run("back").error);
    EXPECT_EQ(site.requestedPages(), QList<qint64>({ 0, 3 }));

    site.setWishlistHandler([](const QByteArray &user, qint64 page) {
        return FakeResponse::bytes(
            FakeListServices::wishlistPage(user, { QString::number(200000000 + page) }, page + 1),
            "text/html");
    });
    const Outcome endless = run("endless");
    EXPECT_FALSE(endless.error);
    EXPECT_EQ(site.requestedPages().size(), 2 + AppShopperImporter::kMaxPages);
    EXPECT_EQ(endless.found.last(), AppShopperImporter::kMaxPages);
}

TEST_F(AppShopperImporterTest, FailuresEndTheRunWithTheirErrors)
{
    const QByteArray domain = "com.tanvill.Tanvill.AppShopperImporter";
    struct Case
    {
        const char *name;
        FakeResponse page;
        int code;
        const char *description;
    };
    QStringList crowd;
    for (int i = 0; i <= AppShopperImporter::kMaxIdentifiers; ++i)
        crowd << QString::number(100000000 + i);
    const std::vector<Case> cases {
        { "missing", FakeResponse::withStatus(404, "<html>No such user</html>"), 3,
          "No wish list found!" },
        { "broken", FakeResponse::withStatus(500, wishlistFixture("appfan-2.html")), 2,
          "Received invalid response!" },
        { "latin1", FakeResponse::bytes("<li data-appleid=\"100000001\">Caf\xe9</li>", "text/html"),
          2, "Received invalid response!" },
        { "blank", FakeResponse::bytes("", "text/html"), 1, "Received empty response!" },
        { "nothing", FakeResponse::bytes(wishlistFixture("no-wishlist.html"), "text/html"), 3,
          "No wish list found!" },
        { "unknown", FakeResponse::bytes(wishlistFixture("appfan-2.html"), "text/html"), 4,
          "Failed to download apps!" },
        { "crowd", FakeResponse::bytes(FakeListServices::wishlistPage("crowd", crowd), "text/html"),
          5, "This wish list holds more than 10000 apps, more than one import takes." },
    };
    for (const Case &c : cases) {
        site.setWishlistPage(c.name, 0, c.page);
        const Outcome outcome = run(QString::fromLatin1(c.name));
        EXPECT_FALSE(outcome.result) << c.name;
        ASSERT_TRUE(outcome.error) << c.name;
        EXPECT_EQ(outcome.error->domain, domain) << c.name;
        EXPECT_EQ(outcome.error->code, c.code) << c.name;
        EXPECT_EQ(outcome.error->description, c.description) << c.name;
        EXPECT_TRUE(outcome.error->recoveryOptions.isEmpty());
    }

    // A transfer that breaks on a later page ends the run with its own error.
    const int lookUpsBefore = store.lookupRequestCount();
    site.setWishlistPage("dropped", 0,
                         FakeListServices::wishlistPage("dropped", { "100000001" }, 1));
    site.setWishlistPage("dropped", 1, FakeResponse::behaving(FakeResponse::Behaviour::Drop));
    const Outcome dropped = run("dropped");
    EXPECT_FALSE(dropped.result);
    ASSERT_TRUE(dropped.error);
    EXPECT_EQ(dropped.error->domain, "com.tanvill.Tanvill.HttpClient");
    EXPECT_EQ(dropped.error->description, Strings::localized("WishlistSiteUnreachable"));
    EXPECT_FALSE(dropped.error->recoverySuggestion.isEmpty()) << "the system's text";
    EXPECT_EQ(store.lookupRequestCount(), lookUpsBefore);
}

TEST_F(AppShopperImporterTest, LookUpsRunFiveAtATimeAndEachEndIsReported)
{
    QStringList ids;
    for (int i = 0; i < 12; ++i)
        ids << QString::number(300000000 + i);
    site.setWishlistPage("many", 0, FakeListServices::wishlistPage("many", ids));
    // Three of them the store does not know.
    for (int i = 0; i < 9; ++i)
        store.setLookup(storeApp(ids[i]));
    store.server().setHoldingAnswers(true);

    Outcome outcome;
    const auto importer = start("many", outcome);
    ASSERT_TRUE(store.server().answerHeldInTurns(12, AppShopperImporter::kMaxConcurrentLookUps));
    ASSERT_TRUE(waitFor([&] { return outcome.done; }));
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(outcome.result->at(AppKind::Phone).size(), 9u);
    EXPECT_EQ(outcome.downloaded.size(), 12);
    EXPECT_EQ(outcome.downloaded.last(), std::make_pair(qint64(12), qint64(12)));
    EXPECT_EQ(store.server().maxConcurrentConnections(), AppShopperImporter::kMaxConcurrentLookUps);
}

TEST_F(AppShopperImporterTest, AnImporterDestroyedMidwayCallsNothingAndStopsItsRequests)
{
    site.setWishlistPage("slow", 0, FakeResponse::behaving(FakeResponse::Behaviour::Stall));
    Outcome reading;
    auto importer = start("slow", reading);
    ASSERT_TRUE(waitFor([&] { return site.requestedPages().size() == 1; }));
    importer.reset();
    EXPECT_EQ(services.httpClient().runningRequestCount(), 0);

    QStringList ids;
    for (int i = 0; i < 20; ++i) {
        ids << QString::number(400000000 + i);
        store.setLookup(storeApp(ids.last()));
    }
    site.setWishlistPage("busy", 0, FakeListServices::wishlistPage("busy", ids));
    store.server().setHoldingAnswers(true);
    Outcome looking;
    importer = start("busy", looking);
    // The first look-ups are answered; those that follow them wait.
    ASSERT_TRUE(waitFor([&] {
        return store.server().currentConnections() == AppShopperImporter::kMaxConcurrentLookUps;
    }));
    store.server().releaseHeld();
    ASSERT_TRUE(waitFor([&] { return !looking.downloaded.isEmpty(); }));
    const qsizetype reported = looking.downloaded.size();
    importer.reset();
    EXPECT_EQ(services.httpClient().runningRequestCount(), 0);
    // Whatever still waits is answered, and an answer asked for later has come: theirs would
    // have come first.
    store.server().setHoldingAnswers(false);
    store.server().releaseHeld();
    ASSERT_TRUE(waitForLaterAnswer(store.server()));

    EXPECT_FALSE(reading.done);
    EXPECT_TRUE(reading.found.isEmpty());
    EXPECT_FALSE(looking.done);
    EXPECT_EQ(looking.downloaded.size(), reported);
    EXPECT_LE(store.lookupRequestCount(), 2 * AppShopperImporter::kMaxConcurrentLookUps);
}

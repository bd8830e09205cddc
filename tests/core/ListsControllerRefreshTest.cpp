#include "StoreClientTestSupport.h"

#include "core/ListsControllerNotifications.h"
#include "core/store/Database.h"
#include "platform/Analytics.h"
#include "platform/HttpClient.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"
#include "store/AppUpdater.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <list>
#include <new>

using namespace tanvill;
using test::FakeResponse;
using test::FakeStore;

namespace {

struct RefreshOutcome
{
    int calls = 0;
    bool onMainThread = true;
    std::optional<Error> error;
    std::optional<std::vector<AppUpdate>> updates;
};

class Refreshing : public test::StoreClientTest
{
protected:
    Refreshing() { list = controller().createList(QStringLiteral("Watched")); }

    // Adds watched applications that the fake store knows unchanged.
    std::vector<App *> watch(const std::vector<CachedApp> &results, int delayMs = 0)
    {
        for (const CachedApp &app : results)
            store.setLookup(storeApp(app), delayMs);
        return controller().addApp(results);
    }

    void start(const std::vector<App *> &apps, RefreshOutcome &outcome)
    {
        controller().reloadApps(
            apps,
            [&outcome](std::optional<Error> error, std::optional<std::vector<AppUpdate>> updates) {
                ++outcome.calls;
                outcome.onMainThread = outcome.onMainThread && MainQueue::isMainThread();
                outcome.error = error;
                outcome.updates = updates;
            });
    }

    RefreshOutcome refresh(const std::vector<App *> &apps)
    {
        RefreshOutcome outcome;
        start(apps, outcome);
        EXPECT_TRUE(test::waitFor([&] { return outcome.calls > 0; }, 10000));
        test::drainEvents();
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_TRUE(outcome.onMainThread);
        EXPECT_NE(outcome.error.has_value(), outcome.updates.has_value());
        return outcome;
    }

    QSet<QString> reloadedSet() const
    {
        return postedInfo.empty()
            ? QSet<QString>()
            : postedInfo.back().value(AppReloadIdentifierSet).value<QSet<QString>>();
    }

    List *list = nullptr;
};

} // namespace

TEST_F(Refreshing, ThresholdsDecideWhichChangesAreRecorded)
{
    const auto apps
        = watch({ result("1", "Small rating"), result("2", "Rating"), result("3", "Same price"),
                  result("4", "Price"), result("5", "Version"), result("6", "Name") });
    const QString names[] = { "Small rating", "Rating", "Same price", "Price", "Version", "Name" };
    for (int i = 0; i < 6; ++i) {
        test::FakeStoreApp app = storeApp(result(QString::number(i + 1), names[i]));
        switch (i) {
        case 0:
            app.rating = 4.04;
            break;
        case 1:
            app.rating = 4.5;
            break;
        case 2:
            app.price = 0.99;
            break;
        case 3:
            app.price = 1.99;
            break;
        case 4:
            app.version = "1.1";
            break;
        case 5:
            app.name = "New name";
            break;
        }
        store.setLookup(app);
    }
    recordNotifications();
    RefreshOutcome outcome = refresh(apps);
    ASSERT_TRUE(outcome.updates);
    std::vector<AppUpdate> expected = {
        AppUpdate("Rating", std::nullopt, Change<float> { 4.0f, 4.5f }),
        AppUpdate("Price",
                  Change<Decimal> { *Decimal::fromString("0.99"), *Decimal::fromString("1.99") },
                  std::nullopt, std::nullopt, "USD"),
        AppUpdate("Version", std::nullopt, std::nullopt, Change<QString> { "1.0", "1.1" }),
    };
    for (const auto &[update, identifier] :
         { std::pair(&expected[0], "2"), std::pair(&expected[1], "4"),
           std::pair(&expected[2], "5") })
        update->identifier = identifier;
    auto sorted = *outcome.updates; // in the order the answers arrived
    std::sort(sorted.begin(), sorted.end(),
              [](const AppUpdate &a, const AppUpdate &b) { return a.app < b.app; });
    EXPECT_EQ(sorted, (std::vector<AppUpdate> { expected[1], expected[0], expected[2] }));

    EXPECT_EQ(apps[0]->rating(), 4.0f);
    EXPECT_EQ(apps[1]->lastRating(), 4.0f);
    EXPECT_EQ(apps[1]->rating(), 4.5f);
    EXPECT_EQ(apps[3]->lastPrice(), *Decimal::fromString("0.99"));
    EXPECT_EQ(apps[3]->price(), *Decimal::fromString("1.99"));
    EXPECT_EQ(apps[4]->lastVersion(), "1.0");
    EXPECT_EQ(apps[4]->version(), "1.1");
    EXPECT_EQ(apps[5]->name(), "New name");
    EXPECT_EQ(posted, QStringList({ "DidReloadApps" }));
    EXPECT_EQ(reloadedSet(), QSet<QString>({ "1", "2", "3", "4", "5", "6" }));
    EXPECT_FALSE(controller().isReloadingApps());
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM apps WHERE name = 'New name'"), 1);

    // The same answers again: nothing more to record.
    outcome = refresh(apps);
    ASSERT_TRUE(outcome.updates);
    EXPECT_TRUE(outcome.updates->empty());
    EXPECT_EQ(apps[4]->lastVersion(), "1.0");
}

TEST_F(Refreshing, APriceInAnotherCurrencyIsNoChangeByWhateverRoadTheCurrencyChanged)
{
    enum Road { StoreCountry, StoreAnswer, AppAddedFirst };
    for (const Road road : { StoreCountry, StoreAnswer, AppAddedFirst }) {
        SCOPED_TRACE(road);
        UserDefaults::standard().setValue("storeLocale", "GB");
        CachedApp inPounds = result(QString::number(road + 1)),
                  inYen = result(QString::number(road + 10));
        inPounds.currencyCode = "GBP";
        inYen.currencyCode = "JPY";
        App *app = watch({ inPounds }).front();
        test::FakeStoreApp answer = storeApp(inPounds);
        std::tie(answer.price, answer.currency, answer.version, answer.rating)
            = std::tuple(218, "JPY", "1.1", 4.5);
        store.setLookup(answer);
        if (road == StoreCountry)
            UserDefaults::standard().setValue("storeLocale", "JP");
        if (road == AppAddedFirst)
            watch({ inYen });
        const RefreshOutcome outcome = refresh({ app });
        ASSERT_TRUE(outcome.updates);
        AppUpdate expected(app->name(), std::nullopt, Change<float> { 4.0f, 4.5f },
                           Change<QString> { "1.0", "1.1" });
        expected.identifier = app->identifier();
        EXPECT_EQ(*outcome.updates, std::vector { expected });
        EXPECT_EQ(app->currencyCode(), "JPY");
        EXPECT_EQ(app->lastPrice(), *Decimal::fromString("218"));
        EXPECT_EQ(app->price(), app->lastPrice());
    }
}

TEST_F(Refreshing, AnswersReplaceDetailsAndScreenshotsWithoutRecordingChanges)
{
    const QString decomposed = QString::fromUtf8("Cafe\u0301");
    const auto apps = watch({ result("1", "Shots", 3), result("2", decomposed) });
    test::FakeStoreApp answer = storeApp(result("1", "Shots", 3));
    std::reverse(answer.screenshots.begin(), answer.screenshots.end());
    answer.currency = "EUR";
    answer.developer = "Someone else";
    store.setLookup(answer);
    test::FakeStoreApp composed
        = storeApp(result("2", decomposed.normalized(QString::NormalizationForm_C)));
    composed.name = composed.name.normalized(QString::NormalizationForm_C);
    store.setLookup(composed);
    const RefreshOutcome outcome = refresh(apps);
    ASSERT_TRUE(outcome.updates);
    EXPECT_TRUE(outcome.updates->empty());
    ASSERT_EQ(apps[0]->screenshots().size(), 3u);
    EXPECT_EQ(apps[0]->screenshots()[0]->url(), answer.screenshots[0]);
    EXPECT_EQ(apps[0]->developer(), "Someone else");
    EXPECT_EQ(apps[1]->name(), decomposed); // the same name, composed otherwise: not rewritten
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM screenshots"), 4);
}

TEST_F(Refreshing, AfterARestartWhatIsStoredStaysUnwrittenAndNewScreenshotsReplaceTheOld)
{
    watch({ result("1", "Shots", 3) });
    controller().saveWithAsync(false);
    // Descriptions and screenshots not read since the start are compared in the file.
    reopen();
    const std::vector<App *> apps = controller().apps();
    ASSERT_TRUE(refresh(apps).updates);
    EXPECT_FALSE(context().hasChanges());

    test::FakeStoreApp answer = storeApp(result("1", "Shots", 3));
    std::reverse(answer.screenshots.begin(), answer.screenshots.end());
    store.setLookup(answer);
    ASSERT_TRUE(refresh(apps).updates);
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM screenshots"), 3);
    reopen();
    EXPECT_EQ(controller().apps().front()->screenshotUrls(), answer.screenshots);
}

// Put in place as it is, or with its screenshots' index damaged as well, so that a repair just
// after the start asks for what the start is already fetching.
TEST_F(Refreshing, AKeptFileGetsBackEveryDescriptionAndNamesOnceTheAppsTheStoreNoLongerHas)
{
    for (const bool damaged : { false, true }) {
        SCOPED_TRACE(damaged ? "damaged" : "whole");
        close();
        QDir(dataFolder()).removeRecursively();
        list = reopen().createList(QStringLiteral("Watched"));
        alerts->alerts.clear();
        alerts->errors.clear();
        const auto watched = watch({ result("1", "Watched", 2), result("2", "Archived", 3) });
        controller().archiveApp(watched[1]);
        controller().archiveApp(controller().addApp({ result("3", "Gone") }).front());
        controller().saveWithAsync(false);
        // After a start nothing is read of descriptions and screenshots before it is asked for;
        // then another program holds the store, and the changes are kept at quitting.
        reopen();
        Database other;
        ASSERT_TRUE(other.open(storePath(), false) && other.exec("BEGIN EXCLUSIVE"));
        controller().apps().front()->setNotes(QStringLiteral("kept"));
        QString error;
        const std::optional<QString> kept = controller().objectStore().keepUnsavedChanges(&error);
        ASSERT_TRUE(kept) << error.toStdString();
        ASSERT_TRUE(other.exec("ROLLBACK"));
        other.close();
        close();
        ASSERT_TRUE(QFile::remove(storePath()) && QFile::rename(*kept, storePath()));
        if (damaged) {
            const qint64 size = countRows("PRAGMA page_size");
            const qint64 page
                = countRows("SELECT rootpage FROM sqlite_master WHERE name = 'screenshots_by_app'");
            QFile file(storePath());
            ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek((page - 1) * size)
                        && file.write(QByteArray(size, 'Z')) == size);
        }

        const int lookups = store.lookupRequestCount();
        store.server().setHoldingAnswers(true);
        reopenInBackground(0, 60000);
        ASSERT_TRUE(test::waitFor([&] {
            return store.server().currentConnections() == 3 && alerts->errors.size() == damaged;
        }));
        test::drainEvents();
        store.server().setHoldingAnswers(false);
        store.server().releaseHeld();
        const auto archived = [this] {
            for (App *app : context().apps()) {
                if (app->identifier() == "2")
                    return app;
            }
            return static_cast<App *>(nullptr);
        };
        ASSERT_TRUE(test::waitFor([&] { return archived() && !archived()->needsStoreContent(); }));
        ASSERT_TRUE(test::waitForLaterAnswer(store.server()));
        test::drainEvents();
        EXPECT_EQ(store.lookupRequestCount() - lookups, 3);
        controller().saveWithAsync(false);
        reopen();
        EXPECT_EQ(archived()->appStoreDescription(), "Archived does things.");
        EXPECT_EQ(archived()->screenshotUrls(), result("2", "Archived", 3).screenshotUrls);
        EXPECT_EQ(controller().apps().front()->notes(), "kept");
        // The app the store no longer has was named, and is asked for no more.
        EXPECT_EQ(countRows("SELECT COUNT(*) FROM content_to_fetch"), 0);
        EXPECT_EQ(std::count_if(
                      alerts->alerts.begin(), alerts->alerts.end(),
                      [](const Alert &alert) { return alert.informativeText.contains("Gone"); }),
                  1);
    }
}

TEST_F(Refreshing, ARepairKeepsWhatTheDamagedFileStillHoldsAndFetchesTheRestForEveryApp)
{
    // A page of the screenshots' index, or of the descriptions, overwritten while Tanvill is
    // not running.
    for (const QString damaged : { "screenshots_by_app", "descriptions" }) {
        SCOPED_TRACE(damaged.toStdString());
        close();
        QDir(dataFolder()).removeRecursively();
        list = reopen().createList(QStringLiteral("Watched"));
        controller().archiveApp(
            watch({ result("1", "Watched", 2), result("2", "Archived", 3) })[1]);
        controller().saveWithAsync(false);
        const qint64 size = countRows("PRAGMA page_size");
        const qint64 page
            = countRows("SELECT rootpage FROM sqlite_master WHERE name = '" + damaged + "'");
        close();
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek((page - 1) * size)
                    && file.write(QByteArray(size, 'Z')) == size);
        file.close();
        // Opened as the application opens it, the check a moment after finds the damage. The
        // table the index orders still holds every screenshot; lost descriptions are fetched
        // again, the archived app's too.
        const int lookups = store.lookupRequestCount();
        alerts->errors.clear();
        reopenInBackground(0, 60000);
        ASSERT_TRUE(test::waitFor([&] {
            return !alerts->errors.empty()
                && std::none_of(context().apps().begin(), context().apps().end(),
                                [](const App *app) { return app->needsStoreContent(); });
        }));
        EXPECT_EQ(store.lookupRequestCount() - lookups, damaged == "descriptions" ? 2 : 0);
        for (const App *app : context().apps()) {
            const CachedApp original
                = result(app->identifier(), app->name(), app->archived() ? 3 : 2);
            EXPECT_EQ(app->appStoreDescription(), original.description);
            EXPECT_EQ(app->screenshotUrls(), original.screenshotUrls);
        }
    }
}

TEST_F(Refreshing, HostileAnswersNeitherWipeStoredValuesNorAnnounceChanges)
{
    using json = nlohmann::json;
    const json object = json::object(), array = json::array();
    // One watched application per answer; each answer is the seeded one with one field
    // replaced.
    const std::vector<std::pair<const char *, json>> answers = {
        { "trackName", nullptr },
        { "trackName", "" },
        { "trackName", object },
        { "trackName", array },
        { "trackName", std::string("Na\0me", 5) },
        { "version", nullptr },
        { "version", "" },
        { "version", object },
        { "version", array },
        { "version", std::string("1.0\0", 4) },
        { "artistName", nullptr },
        { "artistName", "" },
        { "artistName", object },
        { "artworkUrl512", nullptr },
        { "artworkUrl512", "" },
        { "artworkUrl512", array },
        { "trackViewUrl", nullptr },
        { "trackViewUrl", "" },
        { "trackViewUrl", object },
        { "description", "" },
        { "description", nullptr },
        { "screenshotUrls", array },
        { "price", "free" },
        { "price", nullptr },
        { "price", object },
        { "price", "NaN" },
        { "price", -5 },
        { "price", 99999999999999.0 },
        { "averageUserRating", object },
        { "averageUserRating", "Infinity" },
        { "averageUserRating", 1e39 },
        { "averageUserRating", -7 },
        { "averageUserRating", 1e30 },
    };
    std::vector<CachedApp> seeded;
    for (size_t i = 0; i < answers.size(); ++i)
        seeded.push_back(result(QString::number(i + 1), "Name", 2));
    seeded.push_back(result("999", "Control"));
    const auto apps = watch(seeded);
    for (size_t i = 0; i < answers.size(); ++i) {
        json reply = json::parse(FakeStore::lookupReply(storeApp(seeded[i])).toStdString());
        reply["results"][0]["artworkUrl512"] = seeded[i].iconUrl.toStdString();
        reply["results"][0]["description"] = seeded[i].description.toStdString();
        reply["results"][0][answers[i].first] = answers[i].second;
        store.setLookup(seeded[i].identifier,
                        FakeResponse::json(QByteArray::fromStdString(reply.dump())));
    }
    test::FakeStoreApp control = storeApp(seeded.back());
    control.price = 1.99;
    store.setLookup(control);

    const RefreshOutcome outcome = refresh(apps);
    ASSERT_TRUE(outcome.updates);
    ASSERT_EQ(outcome.updates->size(), 1u);
    EXPECT_EQ(outcome.updates->front().app, "Control");
    for (size_t i = 0; i < answers.size(); ++i) {
        const App *app = apps[i];
        const CachedApp &seed = seeded[i];
        const std::string label = answers[i].first + (" " + answers[i].second.dump());
        EXPECT_EQ(app->name(), seed.name) << label;
        EXPECT_EQ(app->version(), seed.version) << label;
        EXPECT_EQ(app->lastVersion(), seed.version) << label;
        EXPECT_EQ(app->developer(), seed.developer) << label;
        EXPECT_EQ(app->iconUrl(), seed.iconUrl) << label;
        EXPECT_EQ(app->appStoreUrl(), seed.storeUrl) << label;
        EXPECT_EQ(app->appStoreDescription(), seed.description) << label;
        EXPECT_EQ(app->screenshots().size(), 2u) << label;
        EXPECT_EQ(app->price(), *Decimal::fromString("0.99")) << label;
        EXPECT_EQ(app->rating(), 4.0f) << label;
    }
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM apps WHERE length(name) = 4 AND name = 'Name'"
                        " AND version = '1.0' AND developer = 'Maker'"),
              qint64(answers.size()));
}

TEST_F(Refreshing, ARefreshWhoseLookUpsAllFailKeepsEverything)
{
    auto apps = watch({ result("1", "One") });
    store.setLookup("1", FakeResponse::withStatus(500));
    recordNotifications();
    RefreshOutcome outcome = refresh(apps);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, 4);
    EXPECT_EQ(outcome.error->domain, "com.tanvill.Tanvill.ListsController");
    EXPECT_EQ(outcome.error->description, "Failed to reload app!");
    EXPECT_EQ(outcome.error->recoveryOptions, QStringList({ "OK", "Request Support" }));
    EXPECT_TRUE(posted.isEmpty());

    const auto more = watch({ result("2", "Two"), result("3", "Three") });
    apps.insert(apps.end(), more.begin(), more.end());
    store.setLookup("2", FakeResponse::json("<html>Busy</html>"));
    store.setLookup("3", FakeResponse::behaving(FakeResponse::Behaviour::Reset));
    outcome = refresh(apps);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->description, "Failed to reload apps!");
    EXPECT_EQ(store.lookupCount("1"), 2);
    EXPECT_EQ(apps[0]->name(), "One");
    EXPECT_FALSE(controller().isReloadingApps());
}

TEST_F(Refreshing, FailedLookUpsLeaveTheirAppsAsTheyWere)
{
    const auto apps = watch(
        { result("1", "Good"), result("2", "Bad"), result("3", "Odd"), result("4", "Other") });
    test::FakeStoreApp good = storeApp(result("1", "Good"));
    good.version = "2.0";
    good.currency = "EUR";
    store.setLookup(good);
    QByteArray broken = FakeStore::lookupReply(storeApp(result("2", "Bad")));
    store.setLookup("2", FakeResponse::json(broken.left(broken.size() - 10)));
    store.setLookup(
        "3", FakeResponse::json(R"({"results":[{"kind":"software","trackId":"3","price":[]}]})"));
    // The look-up of the fourth answers about the third: neither is changed by it.
    test::FakeStoreApp misdirected = storeApp(result("3", "Odd"));
    misdirected.version = "5.0";
    store.setLookup("4", FakeResponse::json(FakeStore::lookupReply(misdirected)));
    const RefreshOutcome outcome = refresh(apps);
    ASSERT_TRUE(outcome.updates);
    ASSERT_EQ(outcome.updates->size(), 1u);
    EXPECT_EQ(outcome.updates->front().app, "Good");
    EXPECT_EQ(UserDefaults::standard().string("currencyCode"), "EUR");
    EXPECT_EQ(apps[1]->name(), "Bad");
    EXPECT_EQ(apps[1]->price(), *Decimal::fromString("0.99"));
    EXPECT_EQ(apps[2]->version(), "1.0");
    EXPECT_EQ(apps[3]->version(), "1.0");
    EXPECT_FALSE(controller().isReloadingApps());
}

TEST_F(Refreshing, OverlappingRefreshesLookEachAppUpOnce)
{
    // Slow enough answers that the first refresh is surely still running when the second
    // starts, even in a sanitizer build on a busy machine.
    const auto apps = watch({ result("1"), result("2"), result("3") }, 600);
    RefreshOutcome first;
    start({ apps[0], apps[1], apps[1] }, first);
    recordNotifications();
    const RefreshOutcome second = refresh({ apps[0], apps[1] });
    ASSERT_TRUE(second.updates);
    EXPECT_TRUE(second.updates->empty());
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_EQ(first.calls, 0);

    const RefreshOutcome third = refresh(apps); // only the third app is new to the refresh
    ASSERT_TRUE(test::waitFor([&] { return first.calls == 1; }));
    EXPECT_EQ(store.lookupCount("1"), 1);
    EXPECT_EQ(store.lookupCount("2"), 1);
    EXPECT_EQ(store.lookupCount("3"), 1);
    ASSERT_EQ(posted, QStringList({ "DidReloadApps", "DidReloadApps" }));
    QList<QSet<QString>> sets;
    for (const QVariantMap &info : postedInfo)
        sets << info.value(AppReloadIdentifierSet).value<QSet<QString>>();
    EXPECT_TRUE(sets.contains(QSet<QString>({ "1", "2" })));
    EXPECT_TRUE(sets.contains(QSet<QString>({ "3" })));

    const RefreshOutcome nothing = refresh({});
    ASSERT_TRUE(nothing.updates);
    EXPECT_TRUE(nothing.updates->empty());
}

TEST_F(Refreshing, ASlowAnswerHoldsBackNeitherTheOthersNorLaterRefreshes)
{
    // Long enough for the quick answer to come in on a busy machine.
    HttpClient::shared().setDefaultDeadlineMs(2000);
    const auto apps = watch({ result("1", "Quick"), result("2", "Slow") });
    test::FakeStoreApp quick = storeApp(result("1", "Quick"));
    quick.version = "2.0";
    store.setLookup(quick);
    test::FakeStoreApp slow = storeApp(result("2", "Slow"));
    slow.version = "2.0";
    FakeResponse drip = FakeResponse::json(FakeStore::lookupReply(slow));
    drip.behaviour = FakeResponse::Behaviour::Drip;
    drip.dripIntervalMs = 20; // never idle, yet it would take many seconds
    store.setLookup("2", drip);

    RefreshOutcome outcome = refresh(apps);
    ASSERT_TRUE(outcome.updates);
    ASSERT_EQ(outcome.updates->size(), 1u);
    EXPECT_EQ(outcome.updates->front().app, "Quick");
    EXPECT_EQ(apps[1]->version(), "1.0");
    EXPECT_FALSE(controller().isReloadingApps());

    store.setLookup(slow);
    HttpClient::shared().setDefaultDeadlineMs(0);
    outcome = refresh(apps);
    ASSERT_TRUE(outcome.updates);
    EXPECT_EQ(store.lookupCount("2"), 2);
    EXPECT_EQ(apps[1]->version(), "2.0");
}

TEST_F(Refreshing, AtMostFiveLookUpsRunAtOnce)
{
    std::vector<CachedApp> results;
    for (int i = 1; i <= 23; ++i)
        results.push_back(result(QString::number(i)));
    const auto apps = watch(results);
    store.server().setHoldingAnswers(true);
    RefreshOutcome outcome;
    start(apps, outcome);
    ASSERT_TRUE(store.server().answerHeldInTurns(23, 5));
    ASSERT_TRUE(test::waitFor([&] { return outcome.calls == 1; }));
    EXPECT_TRUE(outcome.updates);
    EXPECT_EQ(store.lookupRequestCount(), 23);
    EXPECT_EQ(store.server().maxConcurrentConnections(), 5);
}

TEST_F(Refreshing, WhatTheUserAsksForGoesAheadOfTheRefreshStillFiveAtOnce)
{
    std::vector<CachedApp> results;
    for (int i = 1; i <= 30; ++i)
        results.push_back(result(QString::number(i)));
    const auto apps = watch(results);
    store.setLookup(storeApp(result("999")));
    store.server().setHoldingAnswers(true);
    RefreshOutcome refreshing;
    start(apps, refreshing);
    ASSERT_TRUE(test::waitFor([&] { return store.server().currentConnections() == 5; }));
    int answered = 0; // an addition and a reload of one app
    controller().addAppWithIdentifier("999", [&](auto error) { answered += !error; });
    controller().reloadApps(
        { apps.back() }, [&](auto, auto) { ++answered; }, Operation::QueuePriority::High);
    // Once the first five of the refresh are answered, the user's two go in the next five:
    // they are answered while the refresh's look-ups still wait.
    store.server().releaseHeld();
    ASSERT_TRUE(test::waitFor([&] { return store.server().currentConnections() == 5; }));
    EXPECT_EQ(store.lookupCount("999"), 1);
    store.server().releaseHeld();
    ASSERT_TRUE(test::waitFor([&] { return answered == 2; }, 10000));
    EXPECT_EQ(refreshing.calls, 0) << "the refresh is still looking up";
    store.server().setHoldingAnswers(false);
    store.server().releaseHeld();
    ASSERT_TRUE(test::waitFor([&] { return refreshing.calls == 1; }, 10000));
    EXPECT_EQ(store.server().maxConcurrentConnections(), 5);
}

TEST_F(Refreshing, AChangeAReloadOfTheUserFindsDuringARefreshIsTheRefreshsToo)
{
    for (const bool userFirst : { false, true }) {
        const QString id = userFirst ? "2" : "1";
        const auto apps = watch({ result(id, "Changed"), result(id + "0") });
        test::FakeStoreApp changed = storeApp(result(id, "Changed"));
        changed.version = "2.0";
        changed.price = 1.99;
        // The first look-up of the app answers late and the second at once, with the old price.
        store.setLookup(changed, 1000);
        RefreshOutcome refreshing;
        int reloads = 0;
        const auto reload = [&] {
            controller().reloadApps(
                { apps[0] }, [&](auto, auto) { ++reloads; }, Operation::QueuePriority::High);
        };
        userFirst ? reload() : start(apps, refreshing);
        ASSERT_TRUE(test::waitFor([&] { return store.lookupCount(id) == 1; }));
        changed.price = 0.99;
        store.setLookup(changed);
        userFirst ? start(apps, refreshing) : reload();
        ASSERT_TRUE(test::waitFor([&] { return refreshing.calls == 1; }, 10000));
        EXPECT_EQ(reloads, 1) << "the refresh ends after the reload";
        // One update of the app holds what either look-up found.
        const Change<Decimal> price { *Decimal::fromString("0.99"), *Decimal::fromString("1.99") };
        AppUpdate expected("Changed", price, {}, Change<QString> { "1.0", "2.0" }, "USD");
        expected.identifier = id;
        EXPECT_EQ(refreshing.updates, std::vector({ expected }));
        EXPECT_EQ(store.lookupCount(id), userFirst ? 1 : 2) << "a refresh leaves it to the user";
    }
}

TEST_F(Refreshing, LookUpsFailingByTheThousandWriteALineOfEachKindAndTheirCount)
{
    std::vector<CachedApp> results;
    for (int i = 1; i <= 6; ++i)
        results.push_back(result(QString::number(i)));
    const auto apps = watch(results);
    for (int i = 1; i <= 3; ++i) {
        store.setLookup(QString::number(i), FakeResponse::withStatus(500));
        store.setLookup(QString::number(i + 3),
                        FakeResponse::json(FakeStore::lookupReply(storeApp(result("99")))));
    }
    testing::internal::CaptureStdout();
    refresh(apps);
    close(); // tells the counts
    const QStringList lines = QString::fromStdString(testing::internal::GetCapturedStdout())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 4);
    for (const char *line :
         { "^Refreshing [123] failed: .+", "^Refreshing [456] gave application 99$",
           "^… and 2 more times: Refreshing an application failed$",
           "^… and 2 more times: A look-up gave another application$" })
        EXPECT_EQ(lines.filter(QRegularExpression(QString::fromUtf8(line))).size(), 1) << line;
}

TEST_F(Refreshing, AnAppArchivedDuringItsLookUpIsLeftAlone)
{
    const auto apps = watch({ result("1", "Archived"), result("2", "Watched") }, 150);
    test::FakeStoreApp archived = storeApp(result("1", "Archived"));
    archived.version = "9.0";
    store.setLookup(archived, 150);
    recordNotifications();
    RefreshOutcome outcome;
    start(apps, outcome);
    controller().archiveApp(apps[0]);
    ASSERT_TRUE(test::waitFor([&] { return outcome.calls == 1; }));
    ASSERT_TRUE(outcome.updates);
    EXPECT_TRUE(outcome.updates->empty());
    EXPECT_EQ(apps[0]->version(), "1.0");
    EXPECT_EQ(reloadedSet(), QSet<QString>({ "2" }));
    EXPECT_FALSE(controller().isReloadingApps());
}

TEST_F(Refreshing, ALookUpFailingJustAsItsControllerGoesReachesNothingOfIt)
{
    // A malformed identifier fails its look-up inside its start, so the failure's handler is
    // still waiting for the event loop when the controller goes. The next controller opens
    // where the first one was, as the memory allocator may well place it: a handler that ran
    // would write the failure in that one's refresh log.
    close();
    alignas(ListsController) std::byte place[sizeof(ListsController)];
    auto *first = new (place) ListsController(storePath());
    App *app = first->managedObjectContext()->insertApp(first->createList("Watched"));
    app->setIdentifier(QStringLiteral("12x"));
    int calls = 0;
    testing::internal::CaptureStdout();
    first->reloadApps({ app }, [&calls](auto, auto) { ++calls; });
    first->~ListsController();
    auto *next = new (place) ListsController(storePath());
    test::drainEvents();
    const std::string written = testing::internal::GetCapturedStdout();
    next->~ListsController();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(written.find("12x"), std::string::npos) << written;
}

TEST_F(Refreshing, SearchKeepsTheScopesThatAnswered)
{
    const QString term = QString::fromUtf8("things & more + #1 é");
    store.setSearch(term, "macSoftware",
                    FakeResponse::json(FakeStore::fixture("search/mac-things.json")));
    int calls = 0;
    std::optional<Error> error;
    std::optional<SearchResults> found;
    auto search = [&](const QString &text) {
        calls = 0;
        controller().searchApps(text, [&](std::optional<Error> e, std::optional<SearchResults> r) {
            ++calls;
            EXPECT_TRUE(MainQueue::isMainThread());
            error = e;
            found = r;
        });
        EXPECT_TRUE(test::waitFor([&] { return calls > 0; }));
        test::drainEvents();
        EXPECT_EQ(calls, 1);
    };
    Analytics::shared().clear();
    search(term);
    ASSERT_TRUE(found);
    EXPECT_FALSE(error);
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ(found->at(AppStoreSearchOperationScope::Mac).size(), 12u);

    search("nothing");
    EXPECT_FALSE(found);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 1);
    EXPECT_EQ(error->domain, "com.tanvill.Tanvill.ListsController");
    EXPECT_EQ(Analytics::shared().eventNames(), QStringList({ "Search App", "Search App" }));
    EXPECT_EQ(store.searchRequestCount(), 6);
}

TEST_F(Refreshing, AfterStoreCountryChangesDuringLookUpsEveryAppHoldsTheLastStoresAnswer)
{
    // Each refresh runs through the updater, as the preferences start it, which tells of them.
    std::list<RefreshOutcome> outcomes;
    const std::vector<App *> *refreshed = nullptr;
    AppUpdater &updater = services.appUpdater();
    updater.setRefreshFunction([&](AppUpdater::RefreshCompletion completion) {
        RefreshOutcome &outcome = outcomes.emplace_back();
        controller().reloadApps(*refreshed, [&outcome, completion](auto error, auto updates) {
            ++outcome.calls;
            std::tie(outcome.error, outcome.updates) = std::tuple(error, updates);
            completion(error, updates);
        });
    });
    UserDefaults::standard().setValue("NotifyAboutChanges.Version", true);
    const auto &notices = services.deliveredNotifications().delivered;
    // The countries chosen in turn; how many of the first store's answers come at once (the next
    // five are held); whether a change starts a refresh, as the preferences do.
    const struct
    {
        const char *label;
        QStringList countries;
        int answeredAtOnce;
        bool refreshOnChange;
    } cases[] = {
        { "the old store answers after the change", { "JM", "JP" }, 0, true },
        { "some answers of the old store are in", { "JM", "JP" }, 4, true },
        { "two changes", { "US", "GB", "JP" }, 0, true },
        { "no refresh until later", { "JM", "JP" }, 0, false },
    };
    const auto answerOf = [](const CachedApp &app, const QString &country, int step) {
        test::FakeStoreApp answer = storeApp(app);
        answer.version = "2." + country;
        answer.price = 100.0 * (step + 1) + app.identifier.toInt() % 100;
        answer.currency = country == "JP" ? "JPY" : country + "D";
        return answer;
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.label);
        const int last = int(test.countries.size()) - 1;
        UserDefaults::standard().setValue("storeLocale", test.countries.front());
        std::vector<CachedApp> seeded;
        for (int i = 1; i <= 10; ++i)
            seeded.push_back(result(QString::number(int(&test - cases + 1) * 100 + i)));
        const std::vector<App *> apps = watch(seeded);
        QHash<QString, int> heldBefore;
        for (int step = 0; step <= last; ++step) {
            heldBefore[test.countries[step]] = store.heldLookupCount(test.countries[step]);
            for (int i = 0; i < 10; ++i)
                store.setLookup(test.countries[step],
                                answerOf(seeded[i], test.countries[step], step),
                                step < last && (step > 0 || i >= test.answeredAtOnce));
        }

        refreshed = &apps;
        outcomes.clear();
        const size_t noticesBefore = notices.size();
        updater.update();
        for (int step = 1; step <= last; ++step) {
            // Five look-ups of the store chosen before are under way.
            const QString &before = test.countries[step - 1];
            ASSERT_TRUE(test::waitFor(
                [&] { return store.heldLookupCount(before) == heldBefore[before] + 5; }));
            test::drainEvents();
            UserDefaults::standard().setValue("storeLocale", test.countries[step]);
            if (test.refreshOnChange)
                updater.update();
        }
        store.server().releaseHeld();
        for (const RefreshOutcome &outcome : outcomes)
            ASSERT_TRUE(
                test::waitFor([&] { return outcome.calls == 1 && outcome.updates; }, 10000));
        if (!test.refreshOnChange) {
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(apps[i]->version(), "1.0") << "an answer of the old store is no answer";
            updater.update();
            ASSERT_TRUE(test::waitFor([&] { return outcomes.back().calls == 1; }, 10000));
        }
        // However many refreshes a change took, one notice tells of every change they found.
        if (test.refreshOnChange) {
            EXPECT_EQ(notices.size(), noticesBefore + 1);
            EXPECT_EQ(notices.back().informativeText, AppUpdater::changeNotificationText(0, 10, 0));
            ASSERT_TRUE(updater.currentUpdate());
            EXPECT_EQ(updater.currentUpdate()->size(), 10u);
        }

        for (int i = 0; i < 10; ++i) {
            const test::FakeStoreApp expected = answerOf(seeded[i], test.countries.back(), last);
            EXPECT_EQ(apps[i]->version(), expected.version) << i;
            EXPECT_EQ(apps[i]->lastVersion(), "1.0") << i;
            EXPECT_EQ(apps[i]->currencyCode(), expected.currency) << i;
            EXPECT_EQ(apps[i]->price().toDouble(), expected.price) << i;
        }
        EXPECT_EQ(UserDefaults::standard().string("currencyCode"), "JPY");
    }
}

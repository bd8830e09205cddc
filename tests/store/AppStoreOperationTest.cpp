#include "store/AppStoreOperation.h"
#include "platform/HttpClient.h"
#include "platform/MainQueue.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "support/FakeStore.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <gtest/gtest.h>

using namespace tanvill;
using test::FakeResponse;
using test::FakeStore;
using Behaviour = FakeResponse::Behaviour;

namespace {

// What one operation handed to its handlers; each handler must run once, on the UI thread.
struct Outcome
{
    int successes = 0;
    int errors = 0;
    bool onMainThread = true;
    std::optional<CachedApp> app;
    std::vector<CachedApp> apps;
    std::optional<Error> error;
    int calls() const { return successes + errors; }
};

class AppStoreOperationTest : public ::testing::Test
{
protected:
    test::TestServices services { { .listsController = false } };

    std::shared_ptr<AppStoreLookUpOperation> lookUp(const QString &identifier, Outcome &outcome)
    {
        auto operation = std::make_shared<AppStoreLookUpOperation>(identifier);
        operation->successHandler = [&outcome](const CachedApp &app) {
            ++outcome.successes;
            outcome.onMainThread = outcome.onMainThread && MainQueue::isMainThread();
            outcome.app = app;
        };
        watchErrors(*operation, outcome);
        return operation;
    }

    std::shared_ptr<AppStoreSearchOperation>
    search(const QString &term, AppStoreSearchOperationScope scope, Outcome &outcome)
    {
        auto operation = std::make_shared<AppStoreSearchOperation>(term, scope);
        operation->successHandler = [&outcome](const std::vector<CachedApp> &apps) {
            ++outcome.successes;
            outcome.onMainThread = outcome.onMainThread && MainQueue::isMainThread();
            outcome.apps = apps;
        };
        watchErrors(*operation, outcome);
        return operation;
    }

    // Runs the operation to its end and gives the events a moment to show a second call.
    void run(const std::shared_ptr<Operation> &operation, Outcome &outcome)
    {
        queue.addOperation(operation);
        ASSERT_TRUE(test::waitFor([&] { return outcome.calls() > 0; }, 10000));
        test::drainEvents();
        EXPECT_TRUE(operation->isFinished());
        EXPECT_EQ(outcome.calls(), 1);
        EXPECT_TRUE(outcome.onMainThread);
    }

    Outcome lookUpOnce(const QString &identifier)
    {
        Outcome outcome;
        run(lookUp(identifier, outcome), outcome);
        return outcome;
    }

    FakeStore store;
    OperationQueue queue { 5 };

private:
    static void watchErrors(AppStoreOperation &operation, Outcome &outcome)
    {
        operation.errorHandler = [&outcome](const Error &error, AppStoreOperation *) {
            ++outcome.errors;
            outcome.onMainThread = outcome.onMainThread && MainQueue::isMainThread();
            outcome.error = error;
        };
    }
};

} // namespace

TEST_F(AppStoreOperationTest, RequestLinksEscapeEveryValue)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QByteArray base = store.server().baseUrl().toEncoded();
    EXPECT_EQ(AppStoreLookUpOperation("42").requestUrl().toEncoded(),
              base + "/lookup?id=42&country=US&lang=de");

    UserDefaults::standard().setValue("storeLocale", "FR");
    const AppStoreSearchOperation search(QString::fromUtf8("a b&c+#é/?=%"),
                                         AppStoreSearchOperationScope::Mac);
    EXPECT_EQ(search.requestUrl().toEncoded(),
              base
                  + "/search?term=a%20b%26c%2B%23%C3%A9%2F%3F%3D%25&entity=macSoftware"
                    "&country=FR&lang=de");

    UserDefaults::standard().setValue("forceTanvillAPI", true);
    EXPECT_EQ(AppStoreLookUpOperation("42").requestUrl().path(), "/itunes/lookup.php");
    EXPECT_EQ(search.requestUrl().path(), "/itunes/search.php");
    EXPECT_EQ(search.requestUrl().query(QUrl::FullyEncoded),
              "term=a%20b%26c%2B%23%C3%A9%2F%3F%3D%25&entity=macSoftware&country=FR&lang=de");
}

TEST_F(AppStoreOperationTest, LookUpDeliversTheFirstResultOnly)
{
    QByteArray reply = FakeStore::fixture("lookup/mac-things.json");
    store.setLookup("904280696", FakeResponse::json(reply));
    Outcome outcome = lookUpOnce("904280696");
    ASSERT_TRUE(outcome.app);
    EXPECT_EQ(outcome.app->name, "Things 3");
    EXPECT_EQ(outcome.app->kind, AppKind::Mac);

    QJsonArray results;
    for (const char *name : { "First", "Second", "Third" })
        results << QJsonDocument::fromJson(FakeStore::lookupReply({ "1", name }))
                       .object()["results"]
                       .toArray()
                       .first();
    store.setLookup(
        "1", FakeResponse::json(QJsonDocument(QJsonObject { { "results", results } }).toJson()));
    outcome = lookUpOnce("1");
    ASSERT_TRUE(outcome.app);
    EXPECT_EQ(outcome.app->name, "First");
}

TEST_F(AppStoreOperationTest, ProxyPathsAreUsedWhenForced)
{
    UserDefaults::standard().setValue("forceTanvillAPI", true);
    store.setLookup(test::FakeStoreApp { "7" });
    EXPECT_EQ(lookUpOnce("7").successes, 1);
    Outcome outcome;
    run(search("x", AppStoreSearchOperationScope::Phone, outcome), outcome);
    EXPECT_EQ(store.requestedPaths(), QStringList({ "/itunes/lookup.php", "/itunes/search.php" }));
}

TEST_F(AppStoreOperationTest, BadRepliesEndInTheStoreErrors)
{
    const QByteArray things = FakeStore::fixture("lookup/mac-things.json");
    const struct
    {
        const char *name;
        FakeResponse response;
        int code;
    } cases[] = {
        { "unknown identifier", FakeResponse::json(FakeStore::fixture("lookup/empty.json")), 4 },
        { "error message", FakeResponse::json(FakeStore::fixture("lookup/invalid-id-error.json")),
          2 },
        { "truncated JSON", FakeResponse::json(things.left(things.size() / 2)), 2 },
        { "HTML page",
          FakeResponse::bytes("<html><body>Service unavailable</body></html>", "text/html"), 2 },
        { "no body", FakeResponse::json({}), 1 },
        { "results not an array", FakeResponse::json(R"({"resultCount":1,"results":{"a":1}})"), 2 },
        { "result not an object", FakeResponse::json(R"({"results":["software"]})"), 2 },
        { "wrong field types", FakeResponse::json(R"({"results":[{"kind":7,"trackId":[1]}]})"), 2 },
        { "top-level array", FakeResponse::json("[1,2,3]"), 2 },
        { "nested deeply", FakeResponse::json(QByteArray(200000, '[')), 2 },
    };
    int index = 0;
    for (const auto &testCase : cases) {
        const QString identifier = QString::number(++index);
        store.setLookup(identifier, testCase.response);
        const Outcome outcome = lookUpOnce(identifier);
        ASSERT_TRUE(outcome.error) << testCase.name;
        EXPECT_EQ(outcome.error->code, testCase.code) << testCase.name;
        EXPECT_EQ(outcome.error->domain, "com.tanvill.Tanvill.AppStoreOperation") << testCase.name;
        EXPECT_EQ(outcome.error->recoveryOptions, QStringList({ "OK", "Request Support" }));
        EXPECT_FALSE(outcome.error->recoverySuggestion.isEmpty());
    }
}

TEST_F(AppStoreOperationTest, FailingServersAndStrayRedirectsEndInErrorsThatSayWhy)
{
    const QByteArray reply = FakeStore::lookupReply({ "1", "Anything", "1.0", 0.5 });
    const auto redirect = [](const QByteArray &location) {
        FakeResponse response = FakeResponse::withStatus(302);
        response.headers.append({ "Location", location });
        return response;
    };
    const QByteArray port = QByteArray::number(store.server().port());
    const struct
    {
        const char *name;
        FakeResponse response;
        const char *says;
    } cases[] = {
        { "500 with a store reply", FakeResponse::json(reply, 500), "HTTP status 500" },
        { "503, no body", FakeResponse::withStatus(503), "HTTP status 503" },
        { "404 with a store reply", FakeResponse::json(reply, 404), "HTTP status 404" },
        { "another host", redirect("http://localhost:" + port + "/lookup?id=1"), "another server" },
        { "a loop", redirect("/lookup?id=7"), "loop" },
    };
    store.setLookup("1", FakeResponse::json(reply));
    store.setLookup("7", redirect("/lookup?id=6"));
    int index = 1;
    for (const auto &testCase : cases) {
        const QString identifier = QString::number(++index);
        store.setLookup(identifier, testCase.response);
        const Outcome outcome = lookUpOnce(identifier);
        ASSERT_TRUE(outcome.error) << testCase.name;
        EXPECT_FALSE(outcome.app) << testCase.name;
        // Said in the heading, or in the system's text beneath it.
        const QString said = outcome.error->description + "\n" + outcome.error->recoverySuggestion;
        EXPECT_TRUE(said.contains(testCase.says)) << testCase.name << ": " << said.toStdString();
        EXPECT_EQ(outcome.error->recoveryOptions, QStringList({ "OK", "Request Support" }));
    }
    EXPECT_EQ(store.lookupCount("1"), 0);
}

TEST_F(AppStoreOperationTest, FailedTransfersSayTheStoreCouldNotBeReachedOverTheSystemsText)
{
    // The heading in plain words, the system's own text beneath it, then what to do.
    const auto saysUnreachable = [](const Outcome &outcome) {
        const QString advice = "\n\n" + Strings::localized("ErrorSupportSuggestion");
        return outcome.error && outcome.error->description == Strings::localized("StoreUnreachable")
            && outcome.error->recoverySuggestion.endsWith(advice)
            && outcome.error->recoverySuggestion.size() > advice.size()
            && outcome.error->recoveryOptions == QStringList({ "OK", "Request Support" });
    };
    HttpClient::shared().setDefaultTimeoutMs(300);
    FakeResponse huge;
    huge.generatedBodySize = 50LL * 1024 * 1024;
    huge.body = "{\"results\":[";
    const FakeResponse cases[]
        = { FakeResponse::behaving(Behaviour::Stall), FakeResponse::behaving(Behaviour::Drop),
            FakeResponse::behaving(Behaviour::Reset), FakeResponse::behaving(Behaviour::Truncate),
            huge };
    int index = 0;
    for (const auto &response : cases) {
        const QString identifier = QString::number(++index);
        store.setLookup(identifier, response);
        const Outcome outcome = lookUpOnce(identifier);
        ASSERT_TRUE(outcome.error) << index;
        if (response.behaviour == Behaviour::Truncate)
            continue; // half a reply may also read as an unreadable one
        EXPECT_TRUE(saysUnreachable(outcome)) << index;
    }
    // Nothing listens on port 1.
    qputenv("TANVILL_STORE_URL", "http://127.0.0.1:1");
    const Outcome refused = lookUpOnce("1");
    qputenv("TANVILL_STORE_URL", store.server().baseUrl().toEncoded());
    EXPECT_TRUE(saysUnreachable(refused));
}

TEST_F(AppStoreOperationTest, MalformedIdentifiersAreRefusedWithoutARequest)
{
    for (const char *identifier : { "", "12a", "1&id=2", " 42", "42#x", "١٢" }) {
        const Outcome outcome = lookUpOnce(QString::fromUtf8(identifier));
        ASSERT_TRUE(outcome.error) << identifier;
        EXPECT_EQ(outcome.error->code, AppStoreOperation::InvalidiTunesData);
    }
    EXPECT_EQ(store.server().totalRequestCount(), 0);
}

TEST_F(AppStoreOperationTest, SearchKeepsTheReadableResultsInOrder)
{
    store.setSearch("things", "macSoftware",
                    FakeResponse::json(FakeStore::fixture("search/mac-things.json")));
    Outcome outcome;
    run(search("things", AppStoreSearchOperationScope::Mac, outcome), outcome);
    ASSERT_EQ(outcome.apps.size(), 12u);
    EXPECT_EQ(outcome.apps.front().name, "Things 3");

    // Of three results two lack a version: the one left is delivered.
    QJsonObject kept = QJsonDocument::fromJson(FakeStore::lookupReply({ "5", "Kept" }))
                           .object()["results"]
                           .toArray()
                           .first()
                           .toObject();
    QJsonObject noVersion = kept;
    noVersion.remove("version");
    const QByteArray mixed
        = QJsonDocument(QJsonObject { { "results", QJsonArray { noVersion, kept, noVersion } } })
              .toJson();
    store.setSearch("a b&c", "software", FakeResponse::json(mixed));
    outcome = {};
    run(search("a b&c", AppStoreSearchOperationScope::Phone, outcome), outcome);
    ASSERT_EQ(outcome.apps.size(), 1u);
    EXPECT_EQ(outcome.apps[0].name, "Kept");

    // Results of which none can be read are no answer; no results is the answer that
    // nothing matches.
    store.setSearch("odd", "iPadSoftware", FakeResponse::json(R"({"results":[1,{}]})"));
    outcome = {};
    run(search("odd", AppStoreSearchOperationScope::Pad, outcome), outcome);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, AppStoreOperation::InvalidiTunesData);

    store.setSearch("none", "macSoftware",
                    FakeResponse::json(FakeStore::fixture("search/mac-nonexistent.json")));
    outcome = {};
    run(search("none", AppStoreSearchOperationScope::Mac, outcome), outcome);
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_TRUE(outcome.apps.empty());
}

TEST_F(AppStoreOperationTest, CancelledOperationsCallNoHandler)
{
    // The answers wait for the test: the first look-up is still under way when it is cancelled.
    store.setLookup(test::FakeStoreApp { "1" });
    store.setLookup(test::FakeStoreApp { "2" });
    store.server().setHoldingAnswers(true);
    Outcome waiting, inFlight;
    OperationQueue single(1);
    auto first = lookUp("1", inFlight);
    auto second = lookUp("2", waiting);
    single.addOperation(first);
    single.addOperation(second);
    second->cancel();
    ASSERT_TRUE(test::waitFor([&] { return store.lookupRequestCount() == 1; }));
    first->cancel();
    EXPECT_TRUE(first->isFinished() && second->isFinished());
    // Whatever still waits is answered, and an answer asked for later has come: theirs would
    // have come first.
    store.server().setHoldingAnswers(false);
    store.server().releaseHeld();
    ASSERT_TRUE(test::waitForLaterAnswer(store.server()));
    EXPECT_EQ(waiting.calls() + inFlight.calls(), 0);
    EXPECT_EQ(store.lookupCount("2"), 0);
}

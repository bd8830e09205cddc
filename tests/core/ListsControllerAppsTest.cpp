#include "StoreClientTestSupport.h"

#include "core/ListsControllerNotifications.h"
#include "platform/Analytics.h"
#include "platform/MainQueue.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "store/AppStoreOperation.h"
#include "support/TestEnvironment.h"

using namespace tanvill;
using test::FakeResponse;
using test::FakeStore;

namespace {

class AddingApps : public test::StoreClientTest
{
protected:
    AddingApps()
    {
        first = controller().createList(QStringLiteral("Games"));
        second = controller().createList(QStringLiteral("Tools"));
        UserDefaults::standard().setValue(QStringLiteral("selectedList"), 0);
        Analytics::shared().clear();
    }

    QStringList names(const List *list) const
    {
        QStringList result;
        for (const App *app : list->displayedApps())
            result << app->name();
        return result;
    }

    // Adds by identifier and waits for the completion, which must come once, on the UI thread.
    std::optional<Error> addByIdentifier(const QString &identifier)
    {
        int calls = 0;
        std::optional<Error> error;
        controller().addAppWithIdentifier(identifier, [&](std::optional<Error> received) {
            ++calls;
            EXPECT_TRUE(MainQueue::isMainThread());
            error = received;
        });
        EXPECT_TRUE(test::waitFor([&] { return calls > 0; }));
        test::drainEvents();
        EXPECT_EQ(calls, 1);
        return error;
    }

    List *first = nullptr;
    List *second = nullptr;
};

} // namespace

TEST_F(AddingApps, ABatchIsStoredInOrderWithOneSaveAndOnePairOfNotifications)
{
    recordNotifications();
    CachedApp euro = result("3", "Third", 4);
    euro.currencyCode = "EUR";
    euro.price = 1.99;
    euro.rating = 3.5f;
    const auto added
        = controller().addApp({ result("1", "First", 0), result("2", "Second"), euro });
    ASSERT_EQ(added.size(), 3u);
    EXPECT_EQ(added[0]->name(), "First");
    EXPECT_EQ(names(first), QStringList({ "Third", "Second", "First" }));
    EXPECT_EQ(posted, QStringList({ "WillUpdateList", "DidUpdateList" }));
    EXPECT_EQ(postedInfo[1].value(ListUpdateListIndex), 0);
    EXPECT_EQ(postedInfo[1].value(ListUpdateAppIndex), 0);
    EXPECT_EQ(Analytics::shared().eventNames(), QStringList({ "Add App" }));
    EXPECT_EQ(UserDefaults::standard().string("currencyCode"), "USD");

    const App *third = added[2];
    EXPECT_TRUE(added[0]->screenshots().empty());
    ASSERT_EQ(third->screenshots().size(), 4u);
    EXPECT_EQ(third->screenshots()[3]->url(), euro.screenshotUrls[3]);
    EXPECT_EQ(third->price(), *Decimal::fromString("1.99"));
    EXPECT_EQ(third->lastPrice(), third->price());
    EXPECT_EQ(third->lastRating(), 3.5f);
    EXPECT_EQ(third->lastVersion(), third->version());
    EXPECT_FALSE(third->needsAppHistory());

    // Everything reached the file.
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM screenshots"), 5);

    posted.clear();
    EXPECT_TRUE(controller().addApp({}).empty());
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_EQ(Analytics::shared().eventNames().size(), 1);
}

TEST_F(AddingApps, AddingToAListOtherThanTheSelectedOneAnnouncesThatList)
{
    recordNotifications();
    controller().addApp({ result("1") }, second);
    EXPECT_EQ(names(second).size(), 1);
    EXPECT_TRUE(first->apps().empty());
    ASSERT_EQ(postedInfo.size(), 2u);
    EXPECT_EQ(postedInfo[0].value(ListUpdateListIndex), 1);
    EXPECT_EQ(postedInfo[1].value(ListUpdateListIndex), 1);
}

TEST_F(AddingApps, ByIdentifierLooksTheAppUpAndAddsItToTheSelectedList)
{
    store.setLookup("904280696", FakeResponse::json(FakeStore::fixture("lookup/mac-things.json")));
    EXPECT_FALSE(addByIdentifier("904280696"));
    ASSERT_EQ(names(first), QStringList({ "Things 3" }));
    EXPECT_EQ(first->apps()[0]->appKind(), AppKind::Mac);

    // A failed look-up changes nothing and reaches the caller unchanged.
    UserDefaults::standard().setValue("currencyCode", "GBP");
    recordNotifications();
    const auto error = addByIdentifier("1");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, AppStoreOperation::AppNotInStore);
    EXPECT_TRUE(error->description.contains("1"));
    EXPECT_EQ(error->domain, "com.tanvill.Tanvill.AppStoreOperation");
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_EQ(UserDefaults::standard().string("currencyCode"), "GBP");
    EXPECT_EQ(names(first).size(), 1);
}

TEST_F(AddingApps, AnIdentifierAddedAgainWhileItsLookUpRunsIsStoredOnce)
{
    store.setLookup(storeApp(result("42", "Once")), 200);
    int completions = 0;
    for (const char *identifier : { "42", "042", " 42" })
        controller().addAppWithIdentifier(identifier, [&](std::optional<Error> error) {
            EXPECT_FALSE(error);
            ++completions;
        });
    ASSERT_TRUE(test::waitFor([&] { return completions == 3; }));
    EXPECT_EQ(names(first), QStringList({ "Once" }));
    EXPECT_EQ(store.lookupRequestCount(), 1);

    // Once the first look-up is over, a new one runs, and its answer is found already kept.
    const auto again = addByIdentifier("42");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->code, 2);
    EXPECT_EQ(store.lookupRequestCount(), 2);
    EXPECT_EQ(names(first), QStringList({ "Once" }));
}

TEST_F(AddingApps, AnAppKeptWhileItWasLookedUpIsNotStoredASecondTime)
{
    store.setLookup(storeApp(result("42", "Twice")), 200);
    std::optional<Error> received;
    bool called = false;
    controller().addAppWithIdentifier("42", [&](std::optional<Error> error) {
        received = error;
        called = true;
    });
    // Meanwhile the same application comes in from search results, into the other list.
    controller().addApp({ result("42", "Twice") }, second);
    ASSERT_TRUE(test::waitFor([&] { return called; }));
    ASSERT_TRUE(received);
    EXPECT_EQ(received->code, 2);
    EXPECT_EQ(received->description, Strings::localizedFormat("DuplicateAppNotice", { "Tools" }));
    EXPECT_TRUE(first->apps().empty());
    EXPECT_EQ(controller().apps().size(), 1u);
}

TEST_F(AddingApps, AnIdentifierWhoseLookUpWasCancelledCanBeAddedAgain)
{
    store.setLookup(storeApp(result("42", "Again")), 200);
    int cancelledCalls = 0;
    controller().addAppWithIdentifier("42", [&](std::optional<Error>) { ++cancelledCalls; });
    controller().appStoreOperationQueue().cancelAllOperations();
    EXPECT_FALSE(addByIdentifier("42"));
    EXPECT_EQ(names(first), QStringList({ "Again" }));
    EXPECT_EQ(cancelledCalls, 0);
}

TEST_F(AddingApps, MalformedIdentifiersAreRefusedBeforeAnyRequest)
{
    for (const char *identifier : { "12&id=13", "abc", "", "1 2" }) {
        const auto error = addByIdentifier(identifier);
        ASSERT_TRUE(error) << identifier;
        EXPECT_EQ(error->code, 2);
    }
    EXPECT_EQ(store.server().totalRequestCount(), 0);
    EXPECT_TRUE(first->apps().empty());
}

TEST_F(AddingApps, LookUpsEndingAfterTheirControllerClosedReachNoOne)
{
    // The refused look-up hands its handler to the UI thread at once, the other is still in
    // flight when the controller goes: neither may reach the closed controller or the caller.
    int calls = 0;
    store.setLookup(storeApp(result("7", "Late")), 100);
    controller().addAppWithIdentifier(QStringLiteral("7"), [&](std::optional<Error>) { ++calls; });
    controller().addAppWithIdentifier(QStringLiteral("abc"),
                                      [&](std::optional<Error>) { ++calls; });
    close();
    // An answer asked for later, as slow as the one in flight, has come: that one would have
    // come first, and the refusal before either.
    ASSERT_TRUE(test::waitForLaterAnswer(store.server(), 100));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM apps"), 0);
}

TEST_F(AddingApps, DuplicateChecksCompareIdentifierValues)
{
    controller().addApp({ result("123", "Kept") }, second);
    const auto error = controller().canAddAppWithIdentifier("123");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 2);
    EXPECT_EQ(error->domain, "com.tanvill.Tanvill.ListsController");
    EXPECT_TRUE(error->description.contains("Tools"));
    EXPECT_FALSE(error->recoverySuggestion.isEmpty());
    EXPECT_TRUE(error->recoveryOptions.isEmpty());
    EXPECT_TRUE(controller().canAddAppWithIdentifier(" 0123 "));
    EXPECT_FALSE(controller().canAddAppWithIdentifier("1234"));
    EXPECT_FALSE(controller().canAddAppWithIdentifier("12"));

    EXPECT_FALSE(controller().hasAddedAppWithIdentifier("0123"));
    EXPECT_TRUE(controller().hasAddedAppWithIdentifier("999"));

    // Kept only in the archive: may be added again, but is kept all the same.
    controller().archiveApp(second->apps()[0]);
    EXPECT_FALSE(controller().canAddAppWithIdentifier("123"));
    EXPECT_FALSE(controller().hasAddedAppWithIdentifier("123"));
}

TEST_F(AddingApps, DeletingAnnouncesTheFormerPosition)
{
    const auto added
        = controller().addApp({ result("1", "A"), result("2", "B"), result("3", "C") });
    recordNotifications();
    controller().deleteApp(added[0]); // the oldest: shown last
    EXPECT_EQ(posted, QStringList({ "WillUpdateList", "WillDeleteApp", "DidUpdateList" }));
    EXPECT_EQ(postedInfo[1].value(AppDeletionIdentifier), "1");
    EXPECT_EQ(postedInfo[2].value(ListUpdateAppIndex), 2);
    EXPECT_EQ(names(first), QStringList({ "C", "B" }));
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM apps"), 2);
}

TEST_F(AddingApps, ReorderingWithinAList)
{
    const auto added = controller().addApp(
        { result("4", "D"), result("3", "C"), result("2", "B"), result("1", "A") });
    recordNotifications();
    controller().moveApp(added[3], 2);
    EXPECT_EQ(names(first), QStringList({ "B", "C", "A", "D" }));
    QStringList stored;
    for (const App *app : first->apps())
        stored << app->name();
    EXPECT_EQ(stored, QStringList({ "D", "A", "C", "B" }));
    ASSERT_EQ(posted, QStringList({ "WillUpdateList", "DidUpdateList" }));
    EXPECT_EQ(postedInfo[1].value(ListUpdateOriginalAppIndex), 0);
    EXPECT_EQ(postedInfo[1].value(ListUpdateNewAppIndex), 2);

    posted.clear();
    controller().moveApp(added[3], 2);
    EXPECT_TRUE(posted.isEmpty());
}

TEST_F(AddingApps, MovingAndArchivingAnnounceBothLists)
{
    const auto added = controller().addApp({ result("1", "A"), result("2", "B") });
    recordNotifications();
    controller().moveApp(added[0], second);
    EXPECT_EQ(posted,
              QStringList({ "WillUpdateList", "WillUpdateList", "DidUpdateList", "DidUpdateList",
                            "DidMoveApp" }));
    EXPECT_EQ(postedInfo[1].value(ListUpdateListIndex), 1);
    EXPECT_EQ(postedInfo[2].value(ListUpdateAppIndex), 1);
    EXPECT_EQ(postedInfo[3].value(ListUpdateAppIndex), 0);
    EXPECT_EQ(names(second), QStringList({ "A" }));

    Analytics::shared().clear();
    posted.clear();
    postedInfo.clear();
    controller().archiveApp(added[0]);
    controller().archiveApp(added[1]);
    EXPECT_TRUE(added[0]->archived() && added[1]->archived());
    EXPECT_EQ(postedInfo[1].value(ListUpdateListIndex), -1);
    EXPECT_EQ(posted.count("DidMoveApp"), 2);
    EXPECT_EQ(Analytics::shared().eventNames(), QStringList({ "Archive App", "Archive App" }));
    ASSERT_EQ(alerts->alerts.size(), 1u);
    EXPECT_EQ(alerts->alerts[0].messageText, Strings::localized("FirstArchiveTitle"));
    EXPECT_TRUE(UserDefaults::standard().boolean("hasSeenFirstArchiveNotice"));
    EXPECT_TRUE(controller().apps().empty());
}

TEST_F(AddingApps, AnAdditionAnsweredByTheStoreChosenBeforeIsAskedAgainOfTheChosenOne)
{
    // What the store chosen when the look-up was sent answers once the user chose Japan.
    for (const bool soldThere : { true, false }) {
        SCOPED_TRACE(soldThere ? "sold there" : "not sold there");
        UserDefaults::standard().setValue("storeLocale", "US");
        UserDefaults::standard().setValue("currencyCode", "USD");
        const QString identifier = soldThere ? "1208019955" : "1208019956";
        test::FakeStoreApp inJapan = storeApp(result(identifier, "Sold"));
        std::tie(inJapan.price, inJapan.currency, inJapan.version)
            = std::tuple(2256, "JPY", "1.1-JP");
        store.setLookup("JP", inJapan, false);
        if (soldThere) {
            store.setLookup("US", storeApp(result(identifier, "Sold")), true);
        } else {
            FakeResponse none = FakeResponse::json(R"({"resultCount":0,"results":[]})");
            none.behaviour = FakeResponse::Behaviour::Held;
            store.setLookup(identifier + "\nUS", none);
        }
        const int heldBefore = store.heldLookupCount("US");
        int calls = 0;
        std::optional<Error> error;
        controller().addAppWithIdentifier(identifier, [&](std::optional<Error> received) {
            ++calls;
            error = received;
        });
        ASSERT_TRUE(test::waitFor([&] { return store.heldLookupCount("US") > heldBefore; }));
        UserDefaults::standard().setValue("storeLocale", "JP");
        store.server().releaseHeld();
        ASSERT_TRUE(test::waitFor([&] { return calls > 0; }));
        test::drainEvents();

        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(error);
        const App *added = first->displayedApps().front();
        EXPECT_EQ(added->identifier(), identifier);
        EXPECT_EQ(added->version(), "1.1-JP");
        EXPECT_EQ(added->price(), *Decimal::fromString("2256"));
        EXPECT_EQ(added->currencyCode(), "JPY");
        EXPECT_EQ(added->storeCountry(), "JP");
        EXPECT_EQ(UserDefaults::standard().string("currencyCode"), "JPY");
    }
}

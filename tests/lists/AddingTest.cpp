// Adding applications in the main window: identifiers from the add field and from links,
// searches, and what the window shows around them.
#include "MainWindowTestSupport.h"
#include "controls/BorderedButton.h"
#include "controls/Label.h"
#include "controls/ProgressHUD.h"
#include "controls/SegmentedControl.h"
#include "lists/ListCreator.h"
#include "lists/SearchResultCell.h"
#include "lists/SearchResultsViewController.h"
#include "platform/Strings.h"
#include "store/AppStoreOperation.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tanvill;
using namespace tanvill::test;

namespace {

const QString kThings = QStringLiteral("904280696");

struct AddingTest : MainWindowTest
{
    AddingTest()
    {
        fakeStore.setLookup(kThings,
                            FakeResponse::json(FakeStore::fixture("lookup/mac-things.json")));
        window().show();
    }

    AddAppViewController *openAddField()
    {
        main().addApp();
        return main().addAppViewController();
    }

    void submit(AddAppViewController *field, const QString &text)
    {
        field->searchTextField()->setText(text);
        QTest::keyClick(field->searchTextField(), Qt::Key_Return);
    }

    bool hudShown() { return !main().findChildren<ProgressHUD *>().isEmpty(); }
    bool waitForHudGone()
    {
        return waitFor([this] { return !hudShown(); });
    }
};

} // namespace

TEST_F(AddingTest, ALinkAddsTheAppToTheSelectedListAndClosesTheField)
{
    AddAppViewController *field = openAddField();
    ASSERT_NE(field, nullptr);
    EXPECT_FALSE(shell.appMenuItemEnabled(0));
    submit(field, "https://apps.apple.com/us/app/things-3/id904280696");
    EXPECT_EQ(main().addAppViewController(), nullptr);
    EXPECT_TRUE(shell.appMenuItemEnabled(0));
    EXPECT_TRUE(hudShown());
    ASSERT_TRUE(waitFor([this] { return list(0)->apps().size() == 1; }));
    EXPECT_EQ(list(0)->apps().front()->name(), "Things 3");
    EXPECT_TRUE(waitForHudGone());
    EXPECT_TRUE(services.alerts().alerts.empty());
}

TEST_F(AddingTest, AnIdentifierAlreadyKeptIsNamedWithItsListWithoutOverlayOrRequest)
{
    keep(kThings, "Things 3", list(1));
    // Leading zeros name the same application.
    for (const QString &identifier : { kThings, QStringLiteral("0904280696") }) {
        services.alerts().alerts.clear();
        main().tryAddingApp(identifier);
        ASSERT_EQ(services.alerts().alerts.size(), 1u);
        EXPECT_EQ(services.alerts().alerts.front().messageText,
                  Strings::localizedFormat("DuplicateAppNotice", { "Tools" }));
        EXPECT_FALSE(hudShown());
    }
    drainEvents();
    EXPECT_EQ(fakeStore.lookupRequestCount(), 0);
    EXPECT_EQ(list(0)->apps().size(), 0u);
}

TEST_F(AddingTest, TextThatIsNotDigitsNeverReachesTheStore)
{
    for (const char *identifier : { "ID904280696", "904280696\n", "", "12a" })
        main().tryAddingApp(identifier);
    drainEvents();
    EXPECT_EQ(fakeStore.lookupRequestCount(), 0);
    EXPECT_TRUE(services.alerts().alerts.empty());
    EXPECT_FALSE(hudShown());

    // Digits of another length, as a link from outside may carry them, are asked for.
    fakeStore.setLookup("123", FakeResponse::json(FakeStore::fixture("lookup/mac-things.json")));
    main().tryAddingApp("000123");
    EXPECT_TRUE(waitFor([this] { return fakeStore.lookupCount("123") == 1; }));
}

TEST_F(AddingTest, TwoAddsOfOneIdentifierInFlightStoreItOnce)
{
    fakeStore.setLookup(
        kThings, FakeResponse::json(FakeStore::fixture("lookup/mac-things.json")).delayed(100));
    main().tryAddingApp(kThings);
    main().tryAddingApp(kThings);
    ASSERT_TRUE(waitFor([this] { return list(0)->apps().size() == 1 && !hudShown(); }));
    drainEvents();
    EXPECT_EQ(lists().apps().size(), 1u);
    EXPECT_LE(fakeStore.lookupCount(kThings), 1);
}

TEST_F(AddingTest, AFailedAddOffersSupportWhichStartsAMailToTheMakers)
{
    fakeStore.setLookup(kThings, FakeResponse::withStatus(500));
    for (const int answer : { 0, 1 }) {
        services.alerts().alerts.clear();
        services.alerts().preparedAnswers = { { answer, false } };
        const qsizetype opened = services.openedLinks().size();

        main().tryAddingApp(kThings);
        ASSERT_TRUE(waitFor([this] { return !services.alerts().alerts.empty(); }));
        EXPECT_TRUE(waitForHudGone());
        drainEvents();
        EXPECT_EQ(services.alerts().alerts.front().window, &window());
        EXPECT_EQ(services.alerts().alerts.front().buttons,
                  (QStringList { "OK", "Request Support" }));
        ASSERT_EQ(services.openedLinks().size(), opened + answer);
        EXPECT_TRUE(answer == 0 || services.openedLinks().last().scheme() == "mailto");
    }
    EXPECT_EQ(list(0)->apps().size(), 0u);
}

TEST_F(AddingTest, ASearchWithoutResultsSaysSoOrThatTheStoreWasNotReachedAndLeavesTheFieldOpen)
{
    setSearch("zzzz", {});
    AddAppViewController *field = openAddField();
    submit(field, "zzzz");
    EXPECT_FALSE(field->isEnabled());
    ASSERT_TRUE(waitFor([this] { return !services.alerts().alerts.empty(); }));
    EXPECT_EQ(services.alerts().alerts.front().messageText, Strings::localized("NoResults"));
    EXPECT_EQ(main().addAppViewController(), field);
    EXPECT_TRUE(field->isEnabled());
    EXPECT_EQ(main().searchResultsViewController(), nullptr);
    EXPECT_TRUE(waitForHudGone());

    // A store that cannot be reached is not one where nothing matched.
    for (const char *scope : { "macSoftware", "software", "iPadSoftware" })
        fakeStore.setSearch("offline", scope,
                            FakeResponse::behaving(FakeResponse::Behaviour::Drop));
    services.alerts().alerts.clear();
    submit(field, "offline");
    ASSERT_TRUE(waitFor([this] { return !services.alerts().alerts.empty(); }));
    EXPECT_EQ(services.alerts().alerts.front().messageText, Strings::localized("StoreUnreachable"));
}

TEST_F(AddingTest, ASearchThatGetsNoAnswerShowsWhyAndNoMatchOnlyWhenEveryPlatformAnswered)
{
    const FakeResponse none = FakeResponse::json(FakeStore::fixture("search/mac-nonexistent.json"));
    const QByteArray things = FakeStore::fixture("search/mac-things.json");
    const QString unreadable = AppStoreOperation::invalidiTunesDataError().description;
    const auto failed = [](int status) {
        return AppStoreOperation::storeServerFailedError(status).description;
    };
    // One platform answers so, the two others that nothing matches: its matches are unknown.
    const struct
    {
        const char *name;
        FakeResponse answer;
        QString says;
    } cases[] = {
        { "HTTP 500", FakeResponse::withStatus(500), failed(500) },
        { "HTTP 502", FakeResponse::withStatus(502), failed(502) },
        { "HTTP 503, no results", FakeResponse::json(none.body, 503), failed(503) },
        { "half a reply", FakeResponse::json(things.left(things.size() / 2)), unreadable },
        { "an error page", FakeResponse::bytes("<html>Busy</html>", "text/html"), unreadable },
        { "no search answer", FakeResponse::json(R"({"errorMessage":"Invalid"})"), unreadable },
        { "no apps", FakeResponse::json(R"({"results":[1,{}]})"), unreadable },
        { "a stall", FakeResponse::behaving(FakeResponse::Behaviour::Stall),
          Strings::localized("StoreUnreachable") },
        { "no match", none, Strings::localized("NoResults") },
    };
    AddAppViewController *field = openAddField();
    int index = 0;
    for (const auto &c : cases) {
        const QString term = QString::number(index);
        for (int scope = 0; scope < 3; ++scope)
            fakeStore.setSearch(term, rawValue(AppStoreSearchOperationScope(scope)),
                                scope == index % 3 ? c.answer : none);
        ++index;
        services.httpClient().setDefaultTimeoutMs(
            c.answer.behaviour == FakeResponse::Behaviour::Stall ? 300 : 0);
        services.alerts().alerts.clear();
        submit(field, term);
        ASSERT_TRUE(waitFor([&] { return field->isEnabled(); })) << c.name;
        ASSERT_EQ(services.alerts().alerts.size(), 1u) << c.name;
        EXPECT_EQ(services.alerts().alerts.front().messageText.toStdString(), c.says.toStdString())
            << c.name;
    }
    // What was found is shown though another platform failed.
    setSearch("things", "search/mac-things.json");
    fakeStore.setSearch("things", "software", FakeResponse::withStatus(503));
    services.alerts().alerts.clear();
    submit(field, "things");
    ASSERT_TRUE(waitFor([this] { return main().searchResultsViewController() != nullptr; }));
    EXPECT_TRUE(services.alerts().alerts.empty());
}

TEST_F(AddingTest, ASecondSearchReusesTheResultsAndTheFieldClosesThemWithIt)
{
    setSearch("things", "search/mac-things.json");
    setSearch("slack", "search/mac-slack.json");
    AddAppViewController *field = openAddField();
    submit(field, "things");
    ASSERT_TRUE(waitFor([this] { return main().searchResultsViewController() != nullptr; }));
    SearchResultsViewController *results = main().searchResultsViewController();
    EXPECT_EQ(field->searchResultsController(), results);
    EXPECT_EQ(field->cancelButton()->title(), Strings::localized("Done"));
    EXPECT_TRUE(field->isEnabled());
    EXPECT_GT(results->tableView()->numberOfRows(), 0);
    const auto firstName = [results] {
        auto *cell = dynamic_cast<SearchResultCell *>(results->tableView()->rowViewAtRow(0));
        return cell ? cell->nameLabel()->fullString() : QString();
    };
    EXPECT_EQ(firstName(), "Things 3");

    submit(field, "slack");
    EXPECT_FALSE(field->isEnabled());
    ASSERT_TRUE(waitFor([&] { return firstName() == "Slack"; }));
    EXPECT_TRUE(field->isEnabled());
    EXPECT_EQ(main().searchResultsViewController(), results);

    QTest::mouseClick(field->cancelButton(), Qt::LeftButton);
    drainEvents();
    EXPECT_EQ(main().addAppViewController(), nullptr);
    EXPECT_EQ(main().searchResultsViewController(), nullptr);
    EXPECT_TRUE(main().findChildren<SearchResultsViewController *>().isEmpty());
    EXPECT_TRUE(main().findChildren<AddAppViewController *>().isEmpty());
}

TEST_F(AddingTest, EscapeOnThePlatformSwitchClosesTheResultsWithTheField)
{
    setSearch("things", "search/mac-things.json");
    submit(openAddField(), "things");
    ASSERT_TRUE(waitFor([this] { return main().searchResultsViewController() != nullptr; }));
    QTest::keyClick(main().searchResultsViewController()->scopeSegmentedControl(), Qt::Key_Escape);
    drainEvents();
    EXPECT_EQ(main().addAppViewController(), nullptr);
    EXPECT_EQ(main().searchResultsViewController(), nullptr);
}

TEST_F(AddingTest, AFieldClosedWhileTheStoreIsAskedGetsNoResults)
{
    setSearch("things", "search/mac-things.json");
    AddAppViewController *field = openAddField();
    submit(field, "things");
    field->dismissController();
    drainEvents();
    ASSERT_TRUE(waitForHudGone());
    drainEvents();
    EXPECT_TRUE(main().findChildren<SearchResultsViewController *>().isEmpty());
    EXPECT_TRUE(services.alerts().alerts.empty());
}

TEST_F(AddingTest, TheNewListSheetHoldsOffItsMenuCommandWhileOpen)
{
    main().addList();
    auto *sheet = main().findChild<ListCreator *>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(shell.listMenuItemEnabled(0));
    QTest::keyClicks(sheet->nameTextField(), "Errands");
    QTest::mouseClick(sheet->createButton(), Qt::LeftButton);
    drainEvents();
    EXPECT_TRUE(shell.listMenuItemEnabled(0));
    ASSERT_EQ(lists().lists().size(), 3u);
    EXPECT_EQ(lists().selectedList()->name(), "Errands");
    // The window follows: an empty list, so the add button shakes.
    EXPECT_TRUE(main().isShaking());
}

#include "ShellTestSupport.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "platform/HttpClient.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "store/AppUpdater.h"
#include "store/ImageCache.h"
#include "store/ReachabilityMonitor.h"
#include "support/FakeStore.h"

#include <gtest/gtest.h>

#include <optional>

using namespace tanvill;

namespace {

struct ServicesTest : ::testing::Test
{
    void start() { services.emplace(test::recordingServicesOptions(&alerts)); }

    test::IsolatedHome home;
    test::ScriptedAlertPresenter *alerts = nullptr;
    std::optional<Services> services;
};

} // namespace

TEST_F(ServicesTest, AccessorsFindTheRunningServicesAndNothingOnceTheyEnd)
{
    start();
    EXPECT_EQ(&AlertPresenter::current(), alerts);
    EXPECT_EQ(&UserDefaults::standard(), &services->settings());
    EXPECT_EQ(&Workspace::shared(), &services->workspace());
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &services->notificationCenter());
    EXPECT_EQ(&HttpClient::shared(), &services->httpClient());
    EXPECT_EQ(&ListsController::sharedController(), &services->listsController());
    EXPECT_EQ(&ImageCache::shared(), &services->imageCache());
    EXPECT_EQ(ReachabilityMonitor::sharedReachability(), services->reachabilityMonitor());
    EXPECT_EQ(&AppUpdater::sharedUpdater(), &services->appUpdater());
    // Settings are there before anything that reads them as it starts.
    EXPECT_TRUE(services->settings().boolean("AutomaticallyUpdateApps"));
    EXPECT_EQ(services->settings().string("storeLocale"), "US");

    services.reset();
    EXPECT_EQ(SharedInstance<ListsController>::find(), nullptr);
    EXPECT_EQ(SharedInstance<UserDefaults>::find(), nullptr);
    EXPECT_EQ(SharedInstance<AlertPresenter>::find(), nullptr);
}

TEST_F(ServicesTest, ChangesNobodySavedAreWrittenWhenTheServicesEnd)
{
    start();
    List *list = services->listsController().createList("Games");
    services->listsController().managedObjectContext()->insertApp(list)->setName("Chess");
    services.reset();

    start();
    ASSERT_EQ(services->listsController().apps().size(), 1u);
    EXPECT_EQ(services->listsController().apps().front()->name(), "Chess");
}

TEST_F(ServicesTest, TheUpdaterRefreshesTheAppsOfTheListsController)
{
    test::FakeStore store;
    store.setLookup(test::FakeStoreApp { .identifier = "42", .version = "2.0" });
    start();
    ListsController &lists = services->listsController();
    App *app = lists.managedObjectContext()->insertApp(lists.createList("Games"));
    app->setIdentifier("42");
    app->setVersion("1.0");

    services->appUpdater().update();
    ASSERT_TRUE(test::waitFor([&] { return services->appUpdater().currentUpdate().has_value(); }));
    EXPECT_EQ(app->version(), "2.0");
    EXPECT_EQ(store.lookupCount("42"), 1);
}

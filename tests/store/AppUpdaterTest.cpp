#include "store/AppUpdater.h"
#include "platform/Analytics.h"
#include "platform/NotificationCenter.h"
#include "platform/PowerEvents.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotifications.h"
#include "store/ReachabilityMonitor.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// Timers that fire only when the test says so.
struct FakeTimers
{
    struct Timer : RepeatingTimer
    {
        Timer(FakeTimers &owner, std::function<void()> fire) : owner(owner), fire(std::move(fire))
        {
            owner.running = this;
        }
        ~Timer() override
        {
            if (owner.running == this)
                owner.running = nullptr;
        }
        FakeTimers &owner;
        std::function<void()> fire;
    };

    AppUpdater::TimerFactory factory()
    {
        return [this](double seconds, std::function<void()> fire) {
            intervals.push_back(seconds);
            return std::make_unique<Timer>(*this, std::move(fire));
        };
    }

    Timer *running = nullptr;
    std::vector<double> intervals;
};

AppUpdate priceUpdate(const QString &name)
{
    return AppUpdate(name,
                     Change<Decimal> { Decimal::fromUnits(199, 2), Decimal::fromUnits(99, 2) });
}
AppUpdate versionUpdate(const QString &name)
{
    return AppUpdate(name, std::nullopt, std::nullopt, Change<QString> { "1.0", "1.1" });
}
AppUpdate ratingUpdate(const QString &name)
{
    return AppUpdate(name, std::nullopt, Change<float> { 3.0f, 4.5f });
}

// An updater with a fake timer, a manual network and a refresh the test answers.
struct AppUpdaterTest : ::testing::Test
{
    // Before the services: the updater's timer tells them when it goes.
    FakeTimers timers;
    test::TestServices services { { .listsController = false } };

    AppUpdaterTest()
    {
        defaults().registerDefaults(
            { { "AutomaticallyUpdateApps", true }, { "AppUpdateInverval", 900 } });
        updater->setTimerFactory(timers.factory());
        updater->setRefreshFunction(
            [this](AppUpdater::RefreshCompletion completion) { refreshes.push_back(completion); });
        updater->setLatestChangesPresenter(
            [this](const std::vector<AppUpdate> &updates) { shownWindows.push_back(updates); });
        NotificationCenter::defaultCenter().addObserver(AppUpdaterDidUpdate, &context,
                                                        [this](const Notification &n) {
                                                            EXPECT_EQ(n.sender, updater);
                                                            ++didUpdatePosts;
                                                        });
    }

    static UserDefaults &defaults() { return UserDefaults::standard(); }

    // Answers the oldest pending refresh.
    void answer(std::optional<std::vector<AppUpdate>> updates, std::optional<Error> error = {})
    {
        ASSERT_FALSE(refreshes.empty());
        auto completion = refreshes.front();
        refreshes.erase(refreshes.begin());
        completion(error, updates);
    }

    // The informative text delivered for these changes, or none.
    std::optional<QString> deliveredFor(const std::vector<AppUpdate> &updates)
    {
        const size_t before = notifications->delivered.size();
        updater->update();
        answer(updates);
        if (notifications->delivered.size() == before)
            return std::nullopt;
        EXPECT_EQ(notifications->delivered.back().title,
                  Strings::localized("AppsUpdatedNotificationTitle"));
        return notifications->delivered.back().informativeText;
    }

    void notifyAbout(bool pricing, bool version, bool rating)
    {
        defaults().setValue("NotifyAboutChanges.Pricing", pricing);
        defaults().setValue("NotifyAboutChanges.Version", version);
        defaults().setValue("NotifyAboutChanges.Rating", rating);
    }

    QObject context;
    ManualReachabilityBackend *backend = &services.network();
    ReachabilityMonitor *monitor = services.reachabilityMonitor();
    RecordingNotificationPresenter *notifications = &services.deliveredNotifications();
    AppUpdater *updater = &services.appUpdater();
    std::vector<AppUpdater::RefreshCompletion> refreshes;
    std::vector<std::vector<AppUpdate>> shownWindows;
    int didUpdatePosts = 0;
};

} // namespace

TEST_F(AppUpdaterTest, StartingRefreshesAtOnceAndThenOnEveryTick)
{
    updater->startUpdater();
    EXPECT_EQ(refreshes.size(), 1u);
    ASSERT_TRUE(updater->isRunning());
    EXPECT_EQ(timers.intervals, std::vector<double> { 900.0 });
    timers.running->fire();
    EXPECT_EQ(refreshes.size(), 2u);
}

TEST_F(AppUpdaterTest, UnusableIntervalsFallBackAndOthersAreKeptBetweenAMinuteAndTheLongestOffered)
{
    EXPECT_EQ(AppUpdater::updateIntervalSeconds(QVariant()), 900.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds("soon"), 900.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds(true), 900.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds(0), 900.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds(-5), 900.0);
    // Beyond the longest interval offered (a day): that one, not the default.
    EXPECT_EQ(AppUpdater::updateIntervalSeconds(7 * 24 * 3600), 24 * 3600.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds(1e12), 24 * 3600.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds(std::numeric_limits<double>::infinity()),
              24 * 3600.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds("nan"), 900.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds(1), 60.0);
    EXPECT_EQ(AppUpdater::updateIntervalSeconds("3600"), 3600.0);

    defaults().setValue("AppUpdateInverval", 0);
    updater->startUpdater();
    EXPECT_EQ(timers.intervals.back(), 900.0);
}

TEST_F(AppUpdaterTest, WhileOfflineTicksOnlyWaitAndTheNetworksReturnRefreshes)
{
    backend->setReachable(false);
    updater->startUpdater();
    timers.running->fire();
    EXPECT_TRUE(refreshes.empty());
    EXPECT_TRUE(updater->monitoringReachability());
    EXPECT_TRUE(monitor->isNotifying());
    test::drainEvents();

    backend->setReachable(true);
    ASSERT_TRUE(test::waitFor([&] { return !refreshes.empty(); }));
    test::drainEvents();
    EXPECT_EQ(refreshes.size(), 1u) << "one return, one refresh";
    EXPECT_FALSE(updater->monitoringReachability());
    EXPECT_FALSE(monitor->isNotifying());
}

TEST_F(AppUpdaterTest, ReachabilityIsAskedAfreshAtEveryUpdate)
{
    updater->startUpdater();
    ASSERT_EQ(refreshes.size(), 1u);
    backend->setReachable(false);
    timers.running->fire();
    EXPECT_EQ(refreshes.size(), 1u) << "a later outage is noticed";
    EXPECT_TRUE(updater->monitoringReachability());

    backend->setReachable(true);
    ASSERT_TRUE(test::waitFor([&] { return refreshes.size() == 2; }));
    backend->setReachable(false);
    timers.running->fire();
    EXPECT_EQ(refreshes.size(), 2u) << "and so is the next one";
    backend->setReachable(true);
    ASSERT_TRUE(test::waitFor([&] { return refreshes.size() == 3; }));
}

TEST_F(AppUpdaterTest, StatusNotificationsOtherThanReachableOrWhileNotWaitingDoNothing)
{
    updater->startUpdater();
    ASSERT_EQ(refreshes.size(), 1u);
    NotificationCenter::defaultCenter().post(
        ReachabilityChangedNotification, monitor,
        { { ReachabilityNotificationStatusItem, "Reachable" } });
    EXPECT_EQ(refreshes.size(), 1u);

    backend->setReachable(false);
    timers.running->fire();
    for (const QVariant &status : { QVariant("NotReachable"), QVariant("ReachableViaWiFi"),
                                    QVariant("Reachable Via WiFi"), QVariant(3), QVariant() })
        NotificationCenter::defaultCenter().post(
            ReachabilityChangedNotification, nullptr,
            { { ReachabilityNotificationStatusItem, status } });
    EXPECT_EQ(refreshes.size(), 1u);
}

TEST_F(AppUpdaterTest, WakingRefreshesOnlyWhileRunning)
{
    updater->startUpdater();
    emit PowerEvents::shared().didWake();
    EXPECT_EQ(refreshes.size(), 2u);
    emit PowerEvents::shared().screensDidWake();
    EXPECT_EQ(refreshes.size(), 3u);
    updater->stopUpdater();
    emit PowerEvents::shared().didWake();
    emit PowerEvents::shared().screensDidWake();
    EXPECT_EQ(refreshes.size(), 3u);
    EXPECT_FALSE(updater->isRunning());
}

TEST_F(AppUpdaterTest, TogglingAutomaticUpdatesRestartsAndIsTracked)
{
    updater->startUpdater();
    Analytics::shared().clear();
    defaults().setValue("AutomaticallyUpdateApps", false);
    EXPECT_FALSE(updater->isRunning());
    emit PowerEvents::shared().didWake();
    EXPECT_EQ(refreshes.size(), 1u);

    defaults().setValue("AutomaticallyUpdateApps", true);
    EXPECT_TRUE(updater->isRunning());
    EXPECT_EQ(refreshes.size(), 2u) << "switching on refreshes at once";

    const auto &events = Analytics::shared().events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].name, "Toggle AutomaticallyUpdateApps");
    EXPECT_EQ(events[0].properties.value("enabled"), QVariant(false));
    EXPECT_EQ(events[1].properties.value("enabled"), QVariant(true));
}

TEST_F(AppUpdaterTest, ANewIntervalReplacesTheTimerOnlyWhileRunning)
{
    updater->startUpdater();
    defaults().setValue("AppUpdateInverval", 120);
    EXPECT_EQ(timers.intervals, (std::vector<double> { 900.0, 120.0 }));
    EXPECT_EQ(refreshes.size(), 2u);

    defaults().setValue("AutomaticallyUpdateApps", false);
    defaults().setValue("AppUpdateInverval", 300);
    EXPECT_FALSE(updater->isRunning());
    EXPECT_EQ(timers.intervals.size(), 2u);
    EXPECT_TRUE(Analytics::shared().eventNames().count("Toggle AutomaticallyUpdateApps") == 1);
}

TEST_F(AppUpdaterTest, OnlyRefreshesWithChangesReplaceTheLatestChanges)
{
    updater->startUpdater();
    answer(std::vector<AppUpdate> { priceUpdate("Alpha") });
    ASSERT_TRUE(updater->currentUpdate());
    EXPECT_EQ(updater->currentUpdate()->front().app, "Alpha");
    EXPECT_EQ(didUpdatePosts, 1);

    updater->update();
    answer(std::vector<AppUpdate> {});
    updater->update();
    answer(std::nullopt, Error { "com.tanvill.Tanvill.AppStoreOperation", 1, "offline" });
    EXPECT_EQ(updater->currentUpdate()->front().app, "Alpha");
    EXPECT_EQ(didUpdatePosts, 1);
}

TEST_F(AppUpdaterTest, NotificationTextsTakeEveryShapeWithSingularAndPluralWords)
{
    notifyAbout(true, true, true);
    const QString suffix = Strings::localized("UpdateNotificationSubtitleSuffix");
    const QString separator = Strings::localized("UpdateNotificationSubtitleWordSeparator");
    const auto f = [](const char *key, const QVariantList &arguments) {
        return Strings::localizedFormat(key, arguments);
    };
    const QString is = Strings::localized("is"), are = Strings::localized("are");
    const QString change = Strings::localized("change"), changes = Strings::localized("changes");
    const QString update = Strings::localized("update"), updates = Strings::localized("updates");

    EXPECT_EQ(deliveredFor({ priceUpdate("A") }),
              f("PricingUpdateNotificationSubtitle", { is, 1, change }) + suffix);
    EXPECT_EQ(deliveredFor({ versionUpdate("A"), versionUpdate("B") }),
              f("UpdateNotificationSubtitleStart", { are })
                  + f("VersionUpdateNotificationSubtitleEnding", { 2, updates }) + suffix);
    EXPECT_EQ(deliveredFor({ ratingUpdate("A") }),
              f("UpdateNotificationSubtitleStart", { is })
                  + f("RatingUpdateNotificationSubtitleEnding", { 1, change }) + suffix);
    EXPECT_EQ(deliveredFor({ priceUpdate("A"), versionUpdate("B"), versionUpdate("C") }),
              f("PricingUpdateNotificationSubtitle", { is, 1, change }) + separator
                  + f("VersionUpdateNotificationSubtitleEnding", { 2, updates }) + suffix);
    EXPECT_EQ(deliveredFor({ priceUpdate("A"), priceUpdate("B"), ratingUpdate("C") }),
              f("PricingUpdateNotificationSubtitle", { are, 2, changes }) + separator
                  + f("RatingUpdateNotificationSubtitleEnding", { 1, change }) + suffix);
    EXPECT_EQ(deliveredFor({ versionUpdate("A"), ratingUpdate("B"), ratingUpdate("C") }),
              f("UpdateNotificationSubtitleStart", { is })
                  + f("VersionUpdateNotificationSubtitleEnding", { 1, update }) + separator
                  + f("RatingUpdateNotificationSubtitleEnding", { 2, changes }) + suffix);
    EXPECT_EQ(deliveredFor({ priceUpdate("A"), versionUpdate("B"), ratingUpdate("C") }),
              f("3UpdatesNotificationSubtitle", { is, 1, change, 1, update, 1, change }));
    EXPECT_EQ(Analytics::shared().eventNames().count("Change Notification"), 7);

    // In English, as a user reads them.
    EXPECT_EQ(*AppUpdater::changeNotificationText(1, 2, 0),
              "There is 1 price change and 2 version updates.");
    EXPECT_EQ(*AppUpdater::changeNotificationText(0, 0, 3), "There are 3 rating changes.");
    EXPECT_EQ(*AppUpdater::changeNotificationText(2, 1, 1),
              "There are 2 price changes, 1 version update and 1 rating change.");
}

TEST_F(AppUpdaterTest, OnlyTheChosenKindsOfChangeAreCounted)
{
    notifyAbout(true, false, false);
    EXPECT_EQ(deliveredFor({ ratingUpdate("A"), versionUpdate("B") }), std::nullopt);
    EXPECT_EQ(updater->currentUpdate()->size(), 2u) << "the changes are kept all the same";
    EXPECT_EQ(didUpdatePosts, 1);

    notifyAbout(false, false, false);
    EXPECT_EQ(deliveredFor({ priceUpdate("A"), versionUpdate("B"), ratingUpdate("C") }),
              std::nullopt);
    EXPECT_EQ(didUpdatePosts, 2);

    notifyAbout(false, true, true);
    EXPECT_EQ(deliveredFor({ priceUpdate("A"), priceUpdate("B"), ratingUpdate("C") }),
              "There is 1 rating change.");
    EXPECT_EQ(Analytics::shared().eventNames().count("Change Notification"), 1);
}

TEST_F(AppUpdaterTest, ClickingTheNotificationOpensTheLatestChanges)
{
    updater->showLatestChangesWindow();
    EXPECT_TRUE(shownWindows.empty()) << "nothing to show yet";

    notifyAbout(false, true, false);
    ASSERT_TRUE(deliveredFor({ versionUpdate("Alpha"), versionUpdate("Beta") }));
    notifications->activateLatest();
    ASSERT_EQ(shownWindows.size(), 1u);
    EXPECT_EQ(shownWindows[0], *updater->currentUpdate());
}

TEST_F(AppUpdaterTest, ANotificationServerThatFailsFallsBackToTheTray)
{
    notifications->failsToPresent = true;
    auto fallback = std::make_unique<RecordingNotificationPresenter>();
    RecordingNotificationPresenter *tray = fallback.get();
    UserNotificationCenter::defaultCenter().setFallbackPresenter(std::move(fallback));

    notifyAbout(true, false, false);
    updater->update();
    answer(std::vector<AppUpdate> { priceUpdate("Alpha") });
    ASSERT_EQ(tray->delivered.size(), 1u);
    tray->activateLatest();
    EXPECT_EQ(shownWindows.size(), 1u);
}

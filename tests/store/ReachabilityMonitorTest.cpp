#include "store/ReachabilityMonitor.h"
#include "platform/NotificationCenter.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

using Status = ReachabilityMonitor::ReachabilityStatus;
using Mode = ReachabilityMonitor::ReachabilityInformationMode;
constexpr quint32 kReachable = ReachabilityBackend::Reachable;
constexpr quint32 kRequired = ReachabilityBackend::ConnectionRequired;
constexpr quint32 kOnTraffic = ReachabilityBackend::ConnectionOnTraffic;
constexpr quint32 kOnDemand = ReachabilityBackend::ConnectionOnDemand;
constexpr quint32 kIntervention = ReachabilityBackend::InterventionRequired;

// A monitor on a manual backend, with every reachability notification it posts.
struct ReachabilityNotifier : ::testing::Test
{
    test::TestServices services { { .listsController = false } };

    ReachabilityNotifier()
    {
        auto owned = std::make_unique<ManualReachabilityBackend>(0u);
        backend = owned.get();
        monitor = std::make_unique<ReachabilityMonitor>(
            std::move(owned), ReachabilityMonitor::ReachabilityAssociation::ForAddress);
        NotificationCenter::defaultCenter().addObserver(
            ReachabilityChangedNotification, &context, [this](const Notification &n) {
                posted << n.userInfo.value(ReachabilityNotificationStatusItem).toString();
            });
    }

    QObject context;
    ManualReachabilityBackend *backend = nullptr;
    std::unique_ptr<ReachabilityMonitor> monitor;
    QStringList posted;
};

} // namespace

TEST(ReachabilityStatus, FlagsGiveReachableOnlyWhenNoUserIsNeeded)
{
    EXPECT_EQ(ReachabilityMonitor::statusFromFlags(0, Mode::Simple), Status::NotReachable);
    EXPECT_EQ(ReachabilityMonitor::statusFromFlags(kReachable, Mode::Simple), Status::Reachable);
    EXPECT_EQ(ReachabilityMonitor::statusFromFlags(kReachable, Mode::Advanced),
              Status::ReachableViaWiFi);
    EXPECT_EQ(
        ReachabilityMonitor::statusFromFlags(kReachable | kRequired | kOnTraffic, Mode::Simple),
        Status::Reachable);
    EXPECT_EQ(
        ReachabilityMonitor::statusFromFlags(kReachable | kRequired | kOnDemand, Mode::Simple),
        Status::Reachable);
    EXPECT_EQ(ReachabilityMonitor::statusFromFlags(
                  kReachable | kRequired | kOnTraffic | kIntervention, Mode::Simple),
              Status::NotReachable);
    EXPECT_EQ(ReachabilityMonitor::statusFromFlags(kReachable | kRequired, Mode::Simple),
              Status::NotReachable);
    EXPECT_EQ(ReachabilityMonitor::statusFromFlags(kRequired | kOnTraffic, Mode::Simple),
              Status::NotReachable);
}

TEST(ReachabilityStatus, DescriptionsDifferFromTheNotificationTexts)
{
    EXPECT_EQ(ReachabilityMonitor::description(Status::NotReachable), "Not Reachable");
    EXPECT_EQ(ReachabilityMonitor::notificationText(Status::NotReachable), "NotReachable");
    EXPECT_EQ(ReachabilityMonitor::description(Status::ReachableViaWiFi), "Reachable Via WiFi");
    EXPECT_EQ(ReachabilityMonitor::notificationText(Status::ReachableViaWiFi), "ReachableViaWiFi");
    EXPECT_EQ(ReachabilityMonitor::description(Status::Reachable),
              ReachabilityMonitor::notificationText(Status::Reachable));
    EXPECT_EQ(ReachabilityMonitor::statusFromRawValue(3), Status::Reachable);
    EXPECT_EQ(ReachabilityMonitor::statusFromRawValue(4), std::nullopt);
    EXPECT_EQ(ReachabilityMonitor::informationModeFromRawValue(0), std::nullopt);
}

TEST_F(ReachabilityNotifier, AFreshMonitorIsNotReachableAndPostsNothing)
{
    backend->setReachable(true);
    test::drainEvents();
    EXPECT_EQ(monitor->networkReachabilityStatus(), Status::Unknown);
    EXPECT_FALSE(monitor->isReachable());
    EXPECT_TRUE(posted.isEmpty());
}

TEST_F(ReachabilityNotifier, StartingPostsTheFirstReportEvenWhenTheStatusIsUnchanged)
{
    backend->setFlags(kReachable);
    monitor->refreshReachabilityStatus();
    test::drainEvents();
    posted.clear();

    int closureCalls = 0;
    monitor->setReachabilityStatusChangedClosure([&](Status) { ++closureCalls; });
    monitor->startNotifier();
    EXPECT_TRUE(posted.isEmpty()) << "the first report comes on a later pass";
    test::drainEvents();
    EXPECT_EQ(posted, QStringList { "Reachable" });
    EXPECT_EQ(closureCalls, 0);

    // The same status again is no change.
    backend->setFlags(kReachable | kRequired | kOnTraffic);
    test::drainEvents();
    EXPECT_EQ(posted.size(), 1);
    EXPECT_EQ(closureCalls, 0);
}

TEST_F(ReachabilityNotifier, ALostNetworkIsReportedWhileWatchingAndIgnoredWhenStopped)
{
    backend->setReachable(true);
    monitor->startNotifier();
    test::drainEvents();
    ASSERT_TRUE(monitor->isReachable());

    std::vector<Status> closureStatuses;
    monitor->setReachabilityStatusChangedClosure([&](Status s) { closureStatuses.push_back(s); });
    backend->setReachable(false);
    test::drainEvents();
    EXPECT_EQ(posted.last(), "NotReachable");
    EXPECT_EQ(closureStatuses, std::vector<Status> { Status::NotReachable });
    EXPECT_FALSE(monitor->isReachable());
    EXPECT_EQ(monitor->lastNetworkReachabilityStatus(), Status::Reachable);

    monitor->stopNotifier();
    const qsizetype before = posted.size();
    backend->setReachable(true);
    test::drainEvents();
    EXPECT_EQ(posted.size(), before);
    EXPECT_FALSE(monitor->isReachable()) << "a stopped monitor keeps its last status";

    monitor->refreshReachabilityStatus();
    EXPECT_TRUE(monitor->isReachable()) << "asking afresh reads the network now";
}

TEST(ReachabilityMonitor, WithoutABackendStartingDoesNothing)
{
    test::TestServices services { { .listsController = false } };
    ReachabilityMonitor monitor(nullptr, ReachabilityMonitor::ReachabilityAssociation::ForName);
    QObject context;
    int posts = 0;
    NotificationCenter::defaultCenter().addObserver(ReachabilityChangedNotification, &context,
                                                    [&](const Notification &) { ++posts; });
    monitor.startNotifier();
    monitor.refreshReachabilityStatus();
    test::drainEvents();
    EXPECT_EQ(posts, 0);
    EXPECT_FALSE(monitor.isNotifying());
}

TEST(ReachabilityMonitor, TheInternetMonitorUsesTheGivenBackendUnlessTheStoreIsLocal)
{
    const auto offline = [] {
        return std::make_unique<ManualReachabilityBackend>(0u);
    };
    qputenv("TANVILL_STORE_URL", "https://store.example");
    std::unique_ptr<ReachabilityMonitor> monitor = ReachabilityMonitor::createForInternet(offline);
    ASSERT_NE(monitor, nullptr);
    monitor->refreshReachabilityStatus();
    EXPECT_FALSE(monitor->isReachable());
    EXPECT_EQ(ReachabilityMonitor::createForInternet([] { return nullptr; }), nullptr);

    qputenv("TANVILL_STORE_URL", "http://127.0.0.1:8123");
    monitor = ReachabilityMonitor::createForInternet(offline);
    monitor->refreshReachabilityStatus();
    EXPECT_TRUE(monitor->isReachable());
    qunsetenv("TANVILL_STORE_URL");
}

#include "platform/Reachability.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

using Report = NetworkReachabilityReading::Report;
constexpr quint32 kReachable = ReachabilityBackend::Reachable;
constexpr qint64 kGrace = NetworkReachabilityReading::kTransitionGraceMs;

} // namespace

TEST(NetworkReachabilityReading, DefiniteReportsAndALastingUnknownAreReadAsTheySay)
{
    NetworkReachabilityReading reading;
    EXPECT_EQ(reading.flags(0), kReachable) << "a desktop that cannot tell holds nothing back";
    reading.report(Report::Unknown, 10);
    EXPECT_EQ(reading.flags(10 + 10 * kGrace), kReachable);
    EXPECT_FALSE(reading.msUntilChange(10));

    for (const Report connected : { Report::Online, Report::Site }) {
        reading.report(connected, 20);
        EXPECT_EQ(reading.flags(20), kReachable);
    }
    for (const Report away : { Report::Disconnected, Report::Local }) {
        reading.report(away, 30);
        EXPECT_EQ(reading.flags(30), 0u);
        EXPECT_FALSE(reading.msUntilChange(30));
    }
}

TEST(NetworkReachabilityReading, UnknownAfterADefiniteReportWaitsForTheNetworkForAWhile)
{
    // Waking from sleep: online, then the desktop is unsure while it connects again.
    NetworkReachabilityReading reading;
    reading.report(Report::Online, 1000);
    reading.report(Report::Unknown, 2000);
    EXPECT_EQ(reading.flags(2000), 0u);
    EXPECT_EQ(reading.msUntilChange(2500), kGrace - 500);
    reading.report(Report::Unknown, 3000);
    EXPECT_EQ(reading.msUntilChange(3000), kGrace - 1000) << "a repeated unknown keeps its start";
    EXPECT_EQ(reading.flags(2000 + kGrace - 1), 0u);
    EXPECT_EQ(reading.flags(2000 + kGrace), kReachable) << "an unknown that lasts stops blocking";
    EXPECT_FALSE(reading.msUntilChange(2000 + kGrace));

    reading.report(Report::Online, 2000 + kGrace);
    reading.report(Report::Unknown, 5 * kGrace);
    EXPECT_EQ(reading.flags(5 * kGrace + 1), 0u) << "every new transition gets its own grace";
    reading.report(Report::Online, 5 * kGrace + 2);
    EXPECT_EQ(reading.flags(5 * kGrace + 2), kReachable);
}

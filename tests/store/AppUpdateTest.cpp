#include "store/AppUpdate.h"

#include <gtest/gtest.h>

using namespace tanvill;

TEST(AppUpdate, CountsTheChangesItWasGiven)
{
    EXPECT_EQ(AppUpdate("Notes").numberOfChanges(), 0);

    const AppUpdate all("Notes", Change<Decimal> { *Decimal::fromString("1.99"), Decimal() },
                        Change<float> { 4.0f, 4.5f }, Change<QString> { "1.0", "1.1" });
    EXPECT_EQ(all.numberOfChanges(), 3);
    EXPECT_EQ(all.ratingChange->current, 4.5f);
    EXPECT_EQ(all.versionChange->last, "1.0");
    EXPECT_TRUE(all.pricingChange->current.isZero());
}

TEST(AppUpdate, TakesChangesInPriceRatingVersionOrder)
{
    const AppUpdate versionOnly("Notes", std::nullopt, std::nullopt,
                                Change<QString> { "1.0", "2.0" });
    EXPECT_EQ(versionOnly.numberOfChanges(), 1);
    EXPECT_FALSE(versionOnly.pricingChange);
    EXPECT_FALSE(versionOnly.ratingChange);
    EXPECT_EQ(versionOnly.versionChange->current, "2.0");
}

#include "platform/Strings.h"

#include <gtest/gtest.h>

using tanvill::Strings;

TEST(Strings, MissingKeysShowTheKeyAndKnownKeysTheirText)
{
    EXPECT_EQ(Strings::localized("NoSuchKeyAnywhere"), "NoSuchKeyAnywhere");
    EXPECT_EQ(Strings::localized("ThousandShortSuffix"), "K");
}

TEST(Strings, ExpandsSequentialAndPositionalDirectives)
{
    EXPECT_EQ(Strings::format("%@ has %ld apps, %li new, %d old", { "Games", 12, 3, 9 }),
              "Games has 12 apps, 3 new, 9 old");
    EXPECT_EQ(Strings::format("%2$@ before %1$@", { "one", "two" }), "two before one");
    EXPECT_EQ(Strings::format("100%% sure", {}), "100% sure");
    EXPECT_EQ(Strings::format("%.2f", { 2.5 }), "2.50");
}

TEST(Strings, InsertedTextIsNeverExpandedAgain)
{
    EXPECT_EQ(Strings::format("Delete %@?", { "50%@ off %1$@ %d" }), "Delete 50%@ off %1$@ %d?");
}

TEST(Strings, MissingArgumentsAndUnknownDirectivesAreHarmless)
{
    EXPECT_EQ(Strings::format("%@ and %@", { "only" }), "only and ");
    EXPECT_EQ(Strings::format("%q stays %", {}), "%q stays %");
    EXPECT_EQ(Strings::format("%0$@|%9$@", { "x" }), "%0$@|");
}

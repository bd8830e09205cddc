#include "core/ListGrouping.h"
#include "core/ListSorting.h"

#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

using namespace tanvill;

TEST(ListOrderSettings, StoreTheRawValuesPlatformAsKind)
{
    setSavedListGrouping(ListGrouping::Platform);
    setSavedListSorting(ListSorting::Price);
    EXPECT_EQ(UserDefaults::standard().string("listGrouping"), "kind");
    EXPECT_EQ(UserDefaults::standard().string("listSorting"), "price");
    EXPECT_EQ(savedListGrouping(), ListGrouping::Platform);
    EXPECT_EQ(savedListSorting(), ListSorting::Price);
    EXPECT_FALSE(listGroupingFromRawValue("platform"));
    EXPECT_EQ(listGroupingFromRawValue("developer"), ListGrouping::Developer);
    EXPECT_EQ(listSortingFromRawValue("name"), ListSorting::Name);
}

TEST(ListOrderSettings, ReadUnknownOrMissingValuesAsNone)
{
    EXPECT_EQ(savedListSorting(), ListSorting::None);
    EXPECT_EQ(savedListGrouping(), ListGrouping::None);
    UserDefaults::standard().setValue("listSorting", "Price");
    UserDefaults::standard().setValue("listGrouping", 2);
    EXPECT_EQ(savedListSorting(), ListSorting::None);
    EXPECT_EQ(savedListGrouping(), ListGrouping::None);
}

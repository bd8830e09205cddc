#include "core/ListGrouping.h"
#include "core/ListSorting.h"

#include "platform/UserDefaults.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

struct ListOrderSettingsTest : ::testing::Test
{
    test::TestServices services { { .listsController = false } };
};

} // namespace

TEST_F(ListOrderSettingsTest, StoreTheRawValuesPlatformAsKind)
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

TEST_F(ListOrderSettingsTest, ReadUnknownOrMissingValuesAsNone)
{
    EXPECT_EQ(savedListSorting(), ListSorting::None);
    EXPECT_EQ(savedListGrouping(), ListGrouping::None);
    UserDefaults::standard().setValue("listSorting", "Price");
    UserDefaults::standard().setValue("listGrouping", 2);
    EXPECT_EQ(savedListSorting(), ListSorting::None);
    EXPECT_EQ(savedListGrouping(), ListGrouping::None);
}

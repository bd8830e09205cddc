#include "ListRowsFixture.h"

#include "core/ListRows.h"
#include "core/ListsControllerError.h"
#include "core/SettingsKeys.h"

#include <gtest/gtest.h>

using namespace tanvill;
using namespace tanvill::test;

namespace {

using TableRowsTest = ListRowsTest;

QStringList rows(List *list, ListGrouping grouping, ListSorting sorting)
{
    return describe(rowsForList(list, grouping, sorting));
}

} // namespace

TEST_F(TableRowsTest, WithoutGroupingOrSortingShowNewestFirst)
{
    List *list = controller().createList("Games");
    addApp(list, { "A" });
    addApp(list, { "B" });
    addApp(list, { "C" });
    EXPECT_EQ(rows(list, ListGrouping::None, ListSorting::None), QStringList({ "C", "B", "A" }));
}

TEST_F(TableRowsTest, SortedByPriceAloneHaveNoTitleAndStartCheapest)
{
    List *list = controller().createList("Games");
    addApp(list, { "Pricey", "X", "4.99" });
    addApp(list, { "Free", "Y", "0" });
    addApp(list, { "Cheap", "Z", "0.99" });
    EXPECT_EQ(rows(list, ListGrouping::None, ListSorting::Price),
              QStringList({ "Free", "Cheap", "Pricey" }));
    EXPECT_EQ(rows(list, ListGrouping::None, ListSorting::Name),
              QStringList({ "Cheap", "Free", "Pricey" }));
}

TEST_F(TableRowsTest, GroupedByPlatformKeepStoredOrderInsideEachSection)
{
    List *list = controller().createList("Tools");
    addApp(list, { "P1", "M", "1", AppKind::Phone });
    addApp(list, { "M1", "M", "1", AppKind::Mac });
    addApp(list, { "P2", "M", "1", AppKind::Phone });
    const QStringList result = rows(list, ListGrouping::Platform, ListSorting::None);
    const QStringList phone { "#iPhone", "P1", "P2" };
    const QStringList mac { "#Mac", "M1" };
    EXPECT_TRUE(result == phone + mac || result == mac + phone) << result.join(' ').toStdString();
}

TEST_F(TableRowsTest, SortedByNameCompareCapitalsBeforeLowerCase)
{
    List *list = controller().createList("Tools");
    addApp(list, { "zeta", "M", "1", AppKind::Pad });
    addApp(list, { "Beta", "M", "1", AppKind::Mac });
    addApp(list, { "alpha", "M", "1", AppKind::Phone });
    addApp(list, { "Alpha", "M", "1", AppKind::Pad });
    addApp(list, { "Zulu", "M", "1", AppKind::Mac });
    EXPECT_EQ(
        rows(list, ListGrouping::Platform, ListSorting::Name),
        QStringList({ "#Mac", "Beta", "Zulu", "#iPad", "Alpha", "zeta", "#iPhone", "alpha" }));
}

TEST_F(TableRowsTest, SortedByPriceOrderSectionsByTheirTotals)
{
    List *list = controller().createList("Tools");
    addApp(list, { "A1", "Acme", "3" });
    addApp(list, { "B1", "Bolt", "1" });
    addApp(list, { "A2", "Acme", "0.5" });
    addApp(list, { "B2", "Bolt", "1" });
    addApp(list, { "C1", "", "0.25" });
    EXPECT_EQ(rows(list, ListGrouping::Developer, ListSorting::Price),
              QStringList({ "#", "C1", "#Bolt", "B1", "B2", "#Acme", "A2", "A1" }));
}

TEST_F(TableRowsTest, SortedByPriceOrderSectionsByCurrencyTheChosenOneFirst)
{
    // A section stands by its first currency in the order, then its total in it, then the next.
    // Apps are "name price developer currency" (none: the chosen one).
    services.settings().setValue(SettingsKeys::CurrencyCode.name, "JPY");
    const std::vector<std::pair<QStringList, QStringList>> cases {
        { { "T 1.59 Tea GBP", "M 22.39 Maps GBP", "G 120 Games JPY" },
          { "#Games", "G", "#Tea", "T", "#Maps", "M" } },
        { { "D 3 Dollars USD", "P 5 Pounds GBP", "B1 100 Both", "B2 5 Both GBP", "Y 100 Yen JPY",
            "F 0 Free GBP" },
          { "#Free", "F", "#Yen", "Y", "#Both", "B1", "B2", "#Pounds", "P", "#Dollars", "D" } },
    };
    for (const auto &[apps, byPrice] : cases) {
        List *list = controller().createList("Mixed");
        for (const QString &app : apps) {
            const QStringList field = app.split(' ');
            addApp(list, { field[0], field[2], field[1], AppKind::Phone, field.value(3) });
        }
        EXPECT_EQ(rows(list, ListGrouping::Developer, ListSorting::Price), byPrice);
    }
}

TEST_F(TableRowsTest, OneSectionHasNoTitleRow)
{
    List *list = controller().createList("Tools");
    addApp(list, { "A", "Acme" });
    addApp(list, { "B", "Acme" });
    EXPECT_EQ(rows(list, ListGrouping::Developer, ListSorting::None), QStringList({ "A", "B" }));
    EXPECT_EQ(rows(list, ListGrouping::Platform, ListSorting::None), QStringList({ "A", "B" }));
}

TEST_F(TableRowsTest, AnEmptyListHasNoRowsInAnyArrangement)
{
    List *list = controller().createList("Empty");
    for (const ListGrouping grouping :
         { ListGrouping::None, ListGrouping::Platform, ListGrouping::Developer }) {
        for (const ListSorting sorting :
             { ListSorting::None, ListSorting::Price, ListSorting::Name })
            EXPECT_TRUE(rowsForList(list, grouping, sorting).empty());
    }
}

TEST_F(TableRowsTest, AreFoundByListIndexIncludingTheArchive)
{
    List *games = controller().createList("Games");
    App *kept = addApp(games, { "Kept" });
    App *archived = addApp(games, { "Old" });
    moveApp(archived, controller().archive());

    auto archive = controller().rowsForListAtIndex(-1, ListGrouping::None, ListSorting::None);
    ASSERT_TRUE(archive);
    EXPECT_EQ(describe(*archive), QStringList({ "Old" }));
    EXPECT_EQ(describe(*controller().rowsForListAtIndex(0, ListGrouping::None, ListSorting::Name)),
              QStringList({ kept->name() }));

    Error error;
    EXPECT_FALSE(controller().rowsForListAtIndex(5, ListGrouping::None, ListSorting::None, &error));
    EXPECT_EQ(error.code, 5);
    EXPECT_EQ(error.domain, listsControllerError(ListsControllerErrorCode::ListNotFound).domain);
    EXPECT_EQ(error.description, "List not found");
}

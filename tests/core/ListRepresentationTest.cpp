#include "ListRowsFixture.h"

#include "platform/AlertPresenter.h"
#include "store/CachedApp.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tanvill;
using namespace tanvill::test;

namespace {

using ListRepresentationTest = ListRowsTest;

// A representation of a list with its table attached.
struct Shown
{
    explicit Shown(int listIndex, ListGrouping grouping = ListGrouping::None,
                   ListSorting sorting = ListSorting::None)
        : representation(controller(), listIndex, grouping, sorting), table(representation)
    { }
    ListRepresentation representation;
    TableDelegate table;
};

} // namespace

TEST_F(ListRepresentationTest, TellsAnAddedApplicationAsOneInsertionInsideABatch)
{
    List *list = controller().createList("Games");
    addApp(list, { "A" });
    Shown shown(0);
    addApp(list, { "B" });
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "insert 0", "did" }));
    EXPECT_EQ(describe(shown.table.table), QStringList({ "B", "A" }));
}

TEST_F(ListRepresentationTest, FromNoRowsOrToNoRowsTellsTheWholeRange)
{
    List *list = controller().createList("Games");
    Shown shown(0, ListGrouping::Platform);
    App *phone = addApp(list, { "P", "M", "1", AppKind::Phone });
    App *mac = addApp(list, { "M", "M", "1", AppKind::Mac });
    shown.table.calls.clear();

    postListUpdate(ListsControllerWillUpdateList, list);
    controller().managedObjectContext()->deleteObject(phone);
    controller().managedObjectContext()->deleteObject(mac);
    postListUpdate(ListsControllerDidUpdateList, list);
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "remove 0,1,2,3", "did" }));

    shown.table.calls.clear();
    postListUpdate(ListsControllerWillUpdateList, list);
    controller().managedObjectContext()->insertApp(list)->setAppKind(AppKind::Mac);
    controller().managedObjectContext()->insertApp(list)->setAppKind(AppKind::Pad);
    postListUpdate(ListsControllerDidUpdateList, list);
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "insert 0,1,2,3", "did" }));
    EXPECT_TRUE(shown.table.faults.isEmpty()) << shown.table.faults.join('\n').toStdString();
}

TEST_F(ListRepresentationTest, TellsOnlyTheBracketWhenTheRowsStayTheSame)
{
    List *list = controller().createList("Games");
    App *app = addApp(list, { "A" });
    addApp(list, { "B" });
    Shown shown(0);
    postListUpdate(ListsControllerWillUpdateList, list);
    app->setPrice(*Decimal::fromString("9.99"));
    postListUpdate(ListsControllerDidUpdateList, list);
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "did" }));
}

TEST_F(ListRepresentationTest, IgnoresUpdatesOfOtherListsAndNotificationsWithoutAnIndex)
{
    controller().createList("Games");
    List *other = controller().createList("Tools");
    Shown shown(0);
    addApp(other, { "A" });
    NotificationCenter::defaultCenter().post(ListsControllerWillUpdateList, &controller(),
                                             { { ListUpdateListIndex, "0" } });
    NotificationCenter::defaultCenter().post(ListsControllerDidUpdateList, &controller());
    // Only the lists controller's notifications count.
    NotificationCenter::defaultCenter().post(ListsControllerWillUpdateList, nullptr,
                                             { { ListUpdateListIndex, 0 } });
    EXPECT_TRUE(shown.table.calls.isEmpty());
}

TEST_F(ListRepresentationTest, MovesTheRowOfAnApplicationDraggedDown)
{
    List *list = controller().createList("Games");
    App *d = addApp(list, { "D" });
    addApp(list, { "C" });
    addApp(list, { "B" });
    App *a = addApp(list, { "A" });
    Shown shown(0);
    moveApp(a, 2);
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "move 1 0", "move 2 1", "did" }));
    EXPECT_EQ(describe(shown.table.table), QStringList({ "B", "C", "A", "D" }));
    shown.table.calls.clear();
    moveApp(d, 0);
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "move 3 0", "did" }));
}

TEST_F(ListRepresentationTest, ReplacesAllRowsWhenSwitchingListsOrArrangement)
{
    List *games = controller().createList("Games");
    List *tools = controller().createList("Tools");
    addApp(games, { "H", "M", "1" });
    addApp(games, { "G", "M", "2" });
    addApp(tools, { "T" });
    Shown shown(0);

    shown.representation.setSorting(ListSorting::None);
    EXPECT_TRUE(shown.table.calls.isEmpty());
    shown.representation.setSorting(ListSorting::Name);
    // Newest first and by name happen to agree here.
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "did" }));
    shown.table.calls.clear();
    shown.representation.setSorting(ListSorting::Price);
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "willReplace 0", "didReplace 0", "did" }));
    shown.table.calls.clear();
    shown.representation.setListIndex(1);
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "willReplace 0", "didReplace 0", "did" }));
    EXPECT_EQ(describe(shown.table.table), QStringList({ "T" }));
    shown.table.calls.clear();
    shown.representation.setListIndex(7);
    EXPECT_EQ(shown.representation.numberOfRows(), 0);
    EXPECT_EQ(shown.table.calls, QStringList({ "will", "willReplace 1", "didReplace 1", "did" }));
}

TEST_F(ListRepresentationTest, AnswersRowsOnlyInsideItsRange)
{
    List *list = controller().createList("Games");
    App *app = addApp(list, { "A", "Acme", "1", AppKind::Mac });
    addApp(list, { "B", "Acme", "1", AppKind::Phone });
    ListRepresentation representation(controller(), 0, ListGrouping::Platform, ListSorting::Name);
    ASSERT_EQ(representation.numberOfRows(), 4);
    EXPECT_EQ(representation.titleAtRow(0), "Mac");
    EXPECT_EQ(representation.appAtRow(1), app);
    EXPECT_EQ(representation.appAtRow(0), nullptr);
    EXPECT_FALSE(representation.titleAtRow(1));
    EXPECT_EQ(representation.appAtRow(-1), nullptr);
    EXPECT_EQ(representation.appAtRow(4), nullptr);
    EXPECT_FALSE(representation.titleAtRow(4));
}

TEST_F(ListRepresentationTest, RefreshesEveryListShiftedByARearrangement)
{
    List *first = controller().createList("First");
    List *second = controller().createList("Second");
    List *third = controller().createList("Third");
    controller().createList("Fourth");
    addApp(first, { "one" });
    addApp(second, { "two" });
    addApp(third, { "three" });
    std::vector<std::unique_ptr<Shown>> shown;
    for (int index = 0; index < 4; ++index)
        shown.push_back(std::make_unique<Shown>(index));

    controller().moveList(first, 2);
    // Each table shows the list now at its index, the one in the middle included.
    for (int index = 0; index < 4; ++index) {
        const TableRows expected
            = *controller().rowsForListAtIndex(index, ListGrouping::None, ListSorting::None);
        EXPECT_EQ(shown[index]->table.table, expected) << "index " << index;
    }
    EXPECT_EQ(describe(shown[1]->table.table), QStringList({ "three" }));
    EXPECT_EQ(shown[1]->table.calls,
              QStringList({ "will", "willReplace 1", "didReplace 1", "did" }));
    EXPECT_TRUE(shown[3]->table.calls.isEmpty());
}

TEST_F(ListRepresentationTest, ForgetsADelegateThatIsGone)
{
    struct ObjectTable : QObject, TableDelegate
    {
        using TableDelegate::TableDelegate;
    };
    List *list = controller().createList("Games");
    ListRepresentation representation(controller(), 0, ListGrouping::None, ListSorting::None);
    auto table = std::make_unique<ObjectTable>(representation);
    representation.setDelegate(table.get());
    EXPECT_EQ(representation.delegate(), table.get());
    table.reset();
    EXPECT_EQ(representation.delegate(), nullptr);
    addApp(list, { "A" });
    EXPECT_EQ(representation.numberOfRows(), 1);
}

TEST_F(ListRepresentationTest, StopsListeningWhenDestroyed)
{
    List *list = controller().createList("Games");
    const int before = NotificationCenter::defaultCenter().observerCount();
    {
        Shown shown(0);
        EXPECT_EQ(NotificationCenter::defaultCenter().observerCount(), before + 4);
    }
    addApp(list, { "A" });
    EXPECT_EQ(NotificationCenter::defaultCenter().observerCount(), before);
}

TEST_F(ListRepresentationTest, FollowsTheListsControllersOwnChanges)
{
    List *games = controller().createList("Games");
    List *tools = controller().createList("Tools");
    std::vector<std::unique_ptr<Shown>> shown;
    for (const int index : { -1, 0, 1 })
        shown.push_back(
            std::make_unique<Shown>(index, ListGrouping::Developer, ListSorting::Price));
    auto result
        = [](const char *name, const char *identifier, const char *developer, double price) {
              CachedApp app;
              app.name = name;
              app.identifier = identifier;
              app.developer = developer;
              app.price = price;
              app.version = "1.0";
              return app;
          };
    const std::vector<App *> added
        = controller().addApp({ result("A", "1", "Acme", 2), result("B", "2", "Bolt", 1),
                                result("C", "3", "Acme", 0.5), result("D", "4", "Bolt", 3) },
                              games);
    controller().addApp({ result("E", "5", "Acme", 1) }, tools);
    auto check = [&](const char *step) {
        for (const auto &each : shown) {
            const TableRows fresh
                = controller()
                      .rowsForListAtIndex(each->representation.listIndex(), ListGrouping::Developer,
                                          ListSorting::Price)
                      .value_or(TableRows());
            EXPECT_EQ(describe(each->table.table), describe(fresh))
                << step << ", list " << each->representation.listIndex();
            EXPECT_TRUE(each->table.faults.isEmpty()) << step;
            EXPECT_EQ(each->table.depth, 0) << step;
        }
    };
    check("add");
    EXPECT_EQ(describe(shown[1]->table.table),
              QStringList({ "#Acme", "C", "A", "#Bolt", "B", "D" }));
    controller().moveApp(added[3], 0);
    check("reorder");
    controller().moveApp(added[0], tools);
    check("move to another list");
    controller().archiveApp(added[1]);
    check("archive");
    controller().deleteApp(added[2]);
    check("delete");
    EXPECT_EQ(describe(shown[0]->table.table), QStringList({ "B" }));
    EXPECT_EQ(describe(shown[1]->table.table), QStringList({ "D" }));
}

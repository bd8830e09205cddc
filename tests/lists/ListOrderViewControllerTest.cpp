// The list order sheet: dragging a list into a gap moves it through the lists controller,
// drops that would move nothing or name lists that are gone are refused, the sheet follows
// lists made or deleted while it is open, keeps within the screen and ends once however it
// closes.
#include "lists/ListOrderViewController.h"
#include "ListsTestSupport.h"
#include "core/ListsControllerNotifications.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace tanvill;

namespace {

class ListOrderTest : public test::ListsFixture
{
protected:
    ListOrderViewController *openSheet()
    {
        window.resize(600, 500);
        window.show();
        sheet = ListOrderViewController::present(lists(), &window, [this] { ++completions; });
        sheet->tableView()->setInstantAnimations(true);
        QApplication::processEvents();
        return sheet;
    }

    QStringList names()
    {
        QStringList result;
        for (List *list : lists().lists())
            result << list->name();
        return result;
    }

    QStringList rowNames()
    {
        QStringList result;
        for (int row = 0; row < sheet->tableView()->numberOfRows(); ++row) {
            TableRowView *view = sheet->tableView()->rowViewAtRow(row);
            result << (view ? view->accessibleName() : QString());
        }
        return result;
    }

    // Where the pointer proposes the gap above `row`.
    static QPoint gapAbove(int row)
    {
        return QPoint(
            100,
            row * (ListOrderViewController::kRowHeight + ListOrderViewController::kRowSpacing));
    }

    // Takes the pointer over `at` carrying `data` and lets go there; true when the drop was
    // taken. `during` runs while the drag is over the table.
    bool dropAt(const QPoint &at, const QMimeData *data, const std::function<void()> &during = {})
    {
        QWidget *viewport = sheet->tableView()->viewport();
        QDragEnterEvent enter(at, Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
        if (during)
            during();
        QDropEvent drop(at, Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drop);
        return drop.isAccepted();
    }

    // Drags row `from` out of the table and lets go over `target`.
    bool dragRow(int from, const QPoint &target, const std::function<void()> &during = {})
    {
        TableView *table = sheet->tableView();
        bool accepted = false;
        table->setDragRunner([&](QDrag *drag) {
            accepted = dropAt(target, drag->mimeData(), during);
            return accepted ? Qt::MoveAction : Qt::IgnoreAction;
        });
        const QPoint start = table->rectOfRow(from).center();
        QTest::mousePress(table->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(table->viewport(),
                         start + QPoint(0, 3 * QApplication::startDragDistance()));
        QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, target);
        return accepted;
    }

    // The sheet's own drag data naming `rows`.
    QByteArray dragData(const QList<int> &rows)
    {
        QMimeData data;
        sheet->writeRows(sheet->tableView(), { 0 }, &data);
        std::optional<TableRowsPayload> payload
            = TableRowsPayload::decode(data.data(ListOrderViewController::ListDragType));
        payload->rows = rows;
        return payload->encode();
    }

    QWidget window;
    QPointer<ListOrderViewController> sheet;
    int completions = 0;
};

struct DragCase
{
    int from;
    int gapAbove;
    QStringList order; // empty: nothing moves
};

class ListOrderDragTest : public ListOrderTest, public ::testing::WithParamInterface<DragCase>
{
};

} // namespace

TEST_P(ListOrderDragTest, DraggingIntoAGapMovesTheList)
{
    const DragCase c = GetParam();
    makeLists({ { "A", ThemeName::Red },
                { "B", ThemeName::Orange },
                { "C", ThemeName::Cyan },
                { "D", ThemeName::Purple } });
    openSheet();
    std::vector<QVariantMap> rearrangements;
    NotificationCenter::defaultCenter().addObserver(
        ListsControllerDidRearrangeLists, &observerContext,
        [&](const Notification &notification) { rearrangements.push_back(notification.userInfo); });
    const QStringList before = names();

    bool shownMidDrag = false;
    const bool moved = dragRow(c.from, gapAbove(c.gapAbove), [&] {
        EXPECT_EQ(sheet->tableView()->dropIndicatorRow(), c.gapAbove);
        if (c.from == 0 && c.gapAbove == 3) {
            test::saveRender(sheet, "list-order-sheet-mid-drag");
            shownMidDrag = true;
        }
    });
    EXPECT_EQ(moved, !c.order.isEmpty());
    const QStringList expected = c.order.isEmpty() ? before : c.order;
    EXPECT_EQ(names(), expected);
    EXPECT_EQ(rowNames(), expected);
    EXPECT_EQ(rearrangements.size(), c.order.isEmpty() ? 0u : 1u);
    if (c.from == 0 && c.gapAbove == 3) {
        EXPECT_TRUE(shownMidDrag);
        EXPECT_EQ(lists().lists()[2]->name(), "A");
        EXPECT_EQ(rearrangements.front().value(ListRearrangementOldIndex).toInt(), 0);
        EXPECT_EQ(rearrangements.front().value(ListRearrangementNewIndex).toInt(), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, ListOrderDragTest,
                         ::testing::Values(DragCase { 0, 3, { "B", "C", "A", "D" } },
                                           DragCase { 3, 0, { "D", "A", "B", "C" } },
                                           DragCase { 0, 4, { "B", "C", "D", "A" } },
                                           DragCase { 1, 1, {} }, DragCase { 1, 2, {} }));

TEST_F(ListOrderTest, DropsOnARowStaleOrForeignDataAreRefused)
{
    makeLists({ { "A" }, { "B" }, { "C" } });
    openSheet();
    const QStringList before = names();

    // Onto a row rather than between two, or past the gap after the last row.
    QMimeData own;
    sheet->writeRows(sheet->tableView(), { 0 }, &own);
    for (const TableDrop &drop : { TableDrop { &own, true, 2, DropOperation::On },
                                   TableDrop { &own, true, 4, DropOperation::Above } }) {
        EXPECT_EQ(sheet->validateDrop(sheet->tableView(), drop), Qt::IgnoreAction);
        EXPECT_FALSE(sheet->acceptDrop(sheet->tableView(), drop));
    }

    // Rows past the lists, and data that is no drag data of this sheet.
    for (const QByteArray &bytes :
         { dragData({ 3 }), dragData({ -1 }), dragData({ 40 }), QByteArray("garbage") }) {
        QMimeData data;
        data.setData(ListOrderViewController::ListDragType, bytes);
        EXPECT_FALSE(
            sheet->acceptDrop(sheet->tableView(), { &data, true, 1, DropOperation::Above }));
    }

    // A drag that began before a list was added names rows of the old order.
    const QByteArray early = dragData({ 0 });
    lists().createList("New", ThemeName::Blue);
    QMimeData data;
    data.setData(ListOrderViewController::ListDragType, early);
    EXPECT_FALSE(sheet->acceptDrop(sheet->tableView(), { &data, true, 3, DropOperation::Above }));

    // The sheet's data from outside its table never reaches it.
    QMimeData foreign;
    sheet->writeRows(sheet->tableView(), { 0 }, &foreign);
    EXPECT_FALSE(dropAt(gapAbove(2), &foreign));

    EXPECT_EQ(names(), before + QStringList { "New" });
}

TEST_F(ListOrderTest, FollowsListsMadeOrDeletedWhileOpen)
{
    const std::vector<List *> made = makeLists({ { "A" }, { "B" }, { "C" } });
    openSheet();
    const int height = sheet->height();
    lists().createList("D", ThemeName::Green);
    EXPECT_EQ(rowNames(), QStringList({ "A", "B", "C", "D" }));
    EXPECT_EQ(sheet->height(), height + 31);
    ASSERT_FALSE(lists().deleteList(made[0]));
    EXPECT_EQ(rowNames(), QStringList({ "B", "C", "D" }));

    EXPECT_TRUE(dragRow(2, gapAbove(0)));
    EXPECT_EQ(names(), QStringList({ "D", "B", "C" }));
}

TEST_F(ListOrderTest, OpensWithTheRingOnTheListShownWhichStaysShownWhenMoved)
{
    const std::vector<List *> made = makeLists({ { "A" }, { "B" }, { "C" } });
    settings().setValue("selectedList", 1);
    openSheet();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet, 20000));
    EXPECT_TRUE(sheet->tableView()->showsCurrentRow());
    QTest::keyClick(sheet->tableView(), Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(names(), QStringList({ "A", "C", "B" }));
    EXPECT_EQ(lists().selectedList(), made[1]);
}

TEST_F(ListOrderTest, HeightFollowsTheListsWithinTheScreen)
{
    makeLists({ { "A" }, { "B" }, { "C" }, { "D" }, { "E" } });
    openSheet();
    EXPECT_EQ(sheet->intrinsicContentSize().height(), 240);
    EXPECT_EQ(sheet->height(), 240);
    EXPECT_EQ(sheet->tableView()->rectOfRow(0).height(), 31);

    // Rows are never selected.
    QTest::mouseClick(sheet->tableView()->viewport(), Qt::LeftButton, {},
                      sheet->tableView()->rectOfRow(1).center());
    EXPECT_EQ(sheet->tableView()->selectedRow(), -1);

    const int screenHeight = window.screen()->availableGeometry().height();
    for (int i = 0; i < 60; ++i)
        lists().createList(QStringLiteral("More %1").arg(i), ThemeName::Cyan);
    EXPECT_LE(sheet->intrinsicContentSize().height(), screenHeight);
    EXPECT_LE(sheet->height(), screenHeight);
}

TEST_F(ListOrderTest, CompletionRunsOnceHoweverTheSheetCloses)
{
    makeLists({ { "A" }, { "B" } });
    const std::vector<std::function<void(ListOrderViewController *)>> closings = {
        [](ListOrderViewController *s) {
            QTest::mouseClick(s->findChild<QPushButton *>(), Qt::LeftButton);
        },
        [](ListOrderViewController *s) { QTest::keyClick(s, Qt::Key_Escape); },
        [](ListOrderViewController *s) { s->close(); },
    };
    for (size_t i = 0; i < closings.size(); ++i) {
        completions = 0;
        openSheet();
        closings[i](sheet);
        QApplication::processEvents();
        EXPECT_EQ(completions, 1) << i;
        EXPECT_TRUE(sheet.isNull() || !sheet->isVisible()) << i;
    }
}

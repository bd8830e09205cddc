// The list table: which rows it shows, how each change of the list reaches the table, clicks,
// dragging to reorder, and the summary controllers that belong to its row widgets.
#include "ListTableTestSupport.h"

#include "controls/BorderedButton.h"
#include "controls/HoverButton.h"
#include "lists/ListOrderViewController.h"
#include "platform/Clipboard.h"

#include <QCursor>
#include <QDrag>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>

using namespace tanvill;
using test::ListTableTest;
using test::WatchedApp;

namespace {

using Kind = TableChange::Kind;

QList<int> upTo(int count)
{
    QList<int> rows;
    for (int row = 0; row < count; ++row)
        rows << row;
    return rows;
}

struct DropOutcome
{
    bool started = false;
    bool accepted = false;
    int gapShown = -1; // the drop line while the pointer was over the table
};

// Drags `row` by its name and lets go over `at` in the table.
DropOutcome dragRowTo(TableView &table, int row, const QPoint &at)
{
    DropOutcome outcome;
    table.setDragRunner([&](QDrag *drag) {
        outcome.started = true;
        QDragEnterEvent enter(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(table.viewport(), &enter);
        if (table.dropIndicatorOperation() == DropOperation::Above)
            outcome.gapShown = table.dropIndicatorRow();
        QDropEvent drop(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(table.viewport(), &drop);
        outcome.accepted = drop.isAccepted();
        return outcome.accepted ? Qt::MoveAction : Qt::IgnoreAction;
    });
    const QPoint start = table.rectOfRow(row).topLeft() + QPoint(120, 20);
    QTest::mousePress(table.viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(table.viewport(), start + QPoint(0, 3 * QApplication::startDragDistance()));
    QTest::mouseRelease(table.viewport(), Qt::LeftButton, {}, start);
    return outcome;
}

// Drags `row` by its name and lets go over the gap above `gapAbove`.
DropOutcome dragRow(TableView &table, int row, int gapAbove)
{
    const int y = gapAbove < table.numberOfRows() ? table.rectOfRow(gapAbove).top() + 2
                                                  : table.rectOfRow(gapAbove - 1).bottom() - 2;
    return dragRowTo(table, row, QPoint(200, y));
}

} // namespace

TEST_F(ListTableTest, SectionTitleRowsAreShortGroupRowsThatFloatBlack)
{
    test::watch(lists(), games,
                { { "Zeta", "Beta Soft" },
                  { "Alpha", "Acme" },
                  { "Omega", "Beta Soft" },
                  { "Kappa", "Acme" },
                  { "Sigma", "Beta Soft" } });
    settings().setValue("listGrouping", "developer");
    settings().setValue("listSorting", "name");
    ListViewController &view = open({ 500, 200 });
    EXPECT_EQ(shownNames(),
              QStringList({ "#Acme", "Alpha", "Kappa", "#Beta Soft", "Omega", "Sigma", "Zeta" }));
    for (int row = 0; row < 7; ++row) {
        const bool title = row == 0 || row == 3;
        EXPECT_EQ(view.heightOfRow(view.tableView(), row), title ? 22 : 85);
        EXPECT_EQ(view.isGroupRow(view.tableView(), row), title);
    }
    auto *section = qobject_cast<SectionHeaderCell *>(view.tableView()->rowViewAtRow(0));
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->label()->fullString(), "Acme");
    EXPECT_EQ(section->fillColor(), QColor(43, 43, 43));

    view.tableView()->setScrollPosition(60);
    EXPECT_EQ(view.tableView()->floatingRow(), 0);
    EXPECT_EQ(section->fillColor(), QColor(Qt::black));
}

TEST_F(ListTableTest, SwitchingListsSlidesFromTheSideOfTheNewListAndSortingFromAbove)
{
    List *third = lists().createList("Third");
    test::watch(lists(), games, { { "A", "M", 1 }, { "B", "M", 2 } });
    test::watch(lists(), tools, { { "T", "M", 1 } });
    test::watch(lists(), third, { { "X", "M", 3 }, { "Y", "M", 2 }, { "Z", "M", 1 } });
    settings().setValue("selectedList", 0);
    ListViewController &view = open();
    TableView &table = *view.tableView();

    const struct
    {
        const char *key;
        QVariant value;
        int listShown;
        QList<TableChange> changes;
    } steps[] = {
        { "selectedList",
          2,
          2,
          { { Kind::Remove, upTo(2), -1, TableEffect::SlideLeft },
            { Kind::Insert, upTo(3), -1, TableEffect::SlideRight } } },
        { "selectedList",
          1,
          1,
          { { Kind::Remove, upTo(3), -1, TableEffect::SlideRight },
            { Kind::Insert, upTo(1), -1, TableEffect::SlideLeft } } },
        // Neither the archive nor a list past the end: the first list, as the header shows.
        { "selectedList",
          -1,
          0,
          { { Kind::Remove, upTo(1), -1, TableEffect::SlideRight },
            { Kind::Insert, upTo(2), -1, TableEffect::SlideLeft } } },
        { "selectedList", 7, 0, {} },
        { "listSorting",
          "name",
          0,
          { { Kind::Remove, upTo(2), -1, TableEffect::SlideDown },
            { Kind::Insert, upTo(2), -1, TableEffect::SlideUp } } },
        // The same order sorted another way changes nothing on screen.
        { "listSorting", "price", 0, {} },
        { "listSorting", "Price", 0, {} },
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(QString("%1 = %2").arg(step.key, step.value.toString()).toStdString());
        table.clearRecordedChanges();
        settings().setValue(step.key, step.value);
        EXPECT_EQ(view.listRepresentation().listIndex(), step.listShown);
        EXPECT_EQ(table.recordedChanges(), step.changes);
        EXPECT_EQ(table.numberOfRows(), view.listRepresentation().numberOfRows());
    }
    EXPECT_EQ(shownNames(), QStringList({ "A", "B" }));
}

TEST_F(ListTableTest, AddingDeletingAndReorderingAreInsertsFadesAndMoves)
{
    const std::vector<App *> apps = test::watchMany(lists(), games, 3);
    ListViewController &view = open();
    TableView &table = *view.tableView();

    test::watch(lists(), games, { { "New" } });
    lists().deleteApp(apps[0]);
    lists().moveApp(apps[2], 2);
    EXPECT_EQ(table.recordedChanges(),
              QList<TableChange>({ { Kind::Insert, { 0 }, -1, TableEffect::Gap },
                                   { Kind::Remove, { 3 }, -1, TableEffect::Fade },
                                   { Kind::Move, { 2 }, 1, TableEffect::None } }));
    EXPECT_EQ(shownNames(), QStringList({ "New", "App 2", "App 3" }));
}

TEST_F(ListTableTest, PlatformImagesFollowTheSettingInEveryRowAtOnce)
{
    test::watch(lists(), games,
                { { "Mac App", "M", 1, AppKind::Mac },
                  { "Pad App", "M", 1, AppKind::Pad },
                  { "Phone App", "M", 1, AppKind::Phone } });
    open();
    const QStringList none { "", "", "" };
    const auto images = [this] {
        return QStringList { cellAt(0)->platformImageName(), cellAt(1)->platformImageName(),
                             cellAt(2)->platformImageName() };
    };
    EXPECT_EQ(images(), none);
    settings().setValue("displayPlatformIcons", true);
    EXPECT_EQ(images(), QStringList({ "iphone", "ipad", "mac" }));
    settings().setValue("displayPlatformIcons", false);
    EXPECT_EQ(images(), none);
}

TEST_F(ListTableTest, AClickOpensTheDetailsOfThatRowsControllerAndSelectsNothing)
{
    test::watchMany(lists(), games, 3);
    ListViewController &view = open();
    AppCell *cell = cellAt(1);
    ASSERT_NE(cell, nullptr);
    // A click on the name belongs to the row.
    QTest::mouseClick(cell->nameLabel(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(detailWindows.opened.size(), 1u);
    EXPECT_EQ(detailWindows.opened[0], cell->summaryController());
    EXPECT_EQ(detailWindows.opened[0]->app()->name(), "App 2");
    EXPECT_EQ(view.tableView()->selectedRow(), -1);
    EXPECT_FALSE(cell->isSelected());

    // A button of the row presses only the button.
    QTest::mouseClick(cell->buyButton(), Qt::LeftButton);
    EXPECT_EQ(detailWindows.opened.size(), 1u);
}

TEST_F(ListTableTest, DraggingRowsReordersAnUnsortedListByTheGapItIsDroppedIn)
{
    const struct
    {
        int from, gapAbove;
        int movedTo; // -1: refused
    } cases[] = { { 1, 4, 3 }, { 3, 0, 0 }, { 2, 5, 4 }, { 2, 2, -1 }, { 2, 3, -1 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " above " << c.gapAbove);
        // A list of its own for each case; making it selects it.
        test::watchMany(lists(), lists().createList("Case"), 5);
        ListViewController &view = open({ 500, 600 });
        QStringList expected = shownNames();
        App *dragged = view.listRepresentation().appAtRow(c.from);
        if (c.movedTo >= 0)
            expected.move(c.from, c.movedTo);

        const DropOutcome outcome = dragRow(*view.tableView(), c.from, c.gapAbove);
        EXPECT_TRUE(outcome.started);
        EXPECT_EQ(outcome.accepted, c.movedTo >= 0);
        EXPECT_EQ(shownNames(), expected);
        if (c.movedTo >= 0) {
            EXPECT_EQ(view.listRepresentation().appAtRow(c.movedTo), dragged);
        }
    }
}

// Let go anywhere over a row, a dragged app lands in the gap on the pointer's side of that row,
// where the drop line shows it.
TEST_F(ListTableTest, ADropOverARowLandsInTheGapNearerThePointer)
{
    const struct
    {
        int from, over, percentOfRow, gap;
    } cases[] = { { 0, 2, 10, 2 }, { 0, 2, 30, 2 }, { 0, 2, 45, 2 }, { 0, 2, 55, 3 },
                  { 0, 2, 75, 3 }, { 0, 2, 90, 3 }, { 3, 1, 30, 1 }, { 3, 1, 75, 2 } };
    test::watchMany(lists(), games, 4);
    TableView &table = *open({ 500, 600 }).tableView();
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.from << " over " << c.over << " at " << c.percentOfRow);
        QStringList expected = shownNames();
        expected.move(c.from, c.from < c.gap ? c.gap - 1 : c.gap);
        const QRect over = table.rectOfRow(c.over);
        const int y = over.top() + over.height() * c.percentOfRow / 100;
        EXPECT_EQ(dragRowTo(table, c.from, { 100, y }).gapShown, c.gap);
        EXPECT_EQ(shownNames(), expected);
    }
}

TEST_F(ListTableTest, AltArrowsMoveTheCurrentAppOrListOnePlaceAsADragWould)
{
    test::watchMany(lists(), games, 2);
    TableView *apps = open({ 500, 600 }).tableView();
    auto *sheet = new ListOrderViewController(lists(), window.get());
    sheet->open();
    const QStringList appNames = shownNames();
    // A key, then the current row and where the rows shown stood at first.
    const auto press = [&](TableView *table, QKeyCombination key, int current, QString places) {
        QTest::keyClick(table, key.key(), key.keyboardModifiers());
        QString shown;
        for (int row = 0; row < table->numberOfRows(); ++row)
            shown += QString::number(table == apps ? appNames.indexOf(shownNames()[row])
                                                   : int(lists().lists()[row] == tools));
        EXPECT_EQ(std::pair(table->currentRow(), shown), std::pair(current, places));
    };
    press(apps, Qt::Key_Down, 0, "01");
    press(apps, Qt::ALT | Qt::Key_Down, 1, "10");
    press(apps, Qt::ALT | Qt::Key_Down, 1, "10");
    press(sheet->tableView(), Qt::ALT | Qt::Key_Down, 1, "10");
    press(sheet->tableView(), Qt::ALT | Qt::Key_Up, 0, "01");
    press(sheet->tableView(), Qt::ALT | Qt::Key_Up, 0, "01");
    QTest::keyClick(sheet->tableView(), Qt::Key_Return); // the Done button's
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(ListTableTest, AfterADropTheHoverButtonsShowOnTheRowUnderThePointerAtOnce)
{
    test::watchMany(lists(), games, 5);
    TableView &table = *open({ 500, 600 }).tableView();
    // Pressed on the second row (its buttons show), let go above the last: no enter or leave
    // comes during the drag.
    QCursor::setPos(table.viewport()->mapToGlobal(QPoint(200, table.rectOfRow(4).top() + 2)));
    QCoreApplication::processEvents();
    test::leave(cellAt(4));
    test::enter(cellAt(1));
    ASSERT_TRUE(dragRow(table, 1, 4).accepted);
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(cellAt(row)->hoverButtonsShown(), row == 4) << row;
    QCursor::setPos(0, 0);
}

TEST_F(ListTableTest, SortedListsCannotBeDraggedAndStrangeDropsAreRefused)
{
    test::watchMany(lists(), games, 5);
    test::watchMany(lists(), tools, 5, "Tool");
    ListViewController &view = open({ 500, 600 });
    TableView &table = *view.tableView();

    settings().setValue("listSorting", "price");
    EXPECT_FALSE(dragRow(table, 1, 4).started);
    settings().setValue("listSorting", "none");

    // Rows of another list, a drop from elsewhere, data of the wrong shape.
    const QStringList before = shownNames();
    const auto dropData = [&](const QByteArray &payload, bool fromThisTable) {
        QMimeData data;
        data.setData(ListViewController::kDragType, payload);
        TableDrop drop { &data, fromThisTable, 0, DropOperation::Above };
        return view.acceptDrop(&table, drop);
    };
    const qint64 toolsIdentity = tools->objectId(), gamesIdentity = games->objectId();
    EXPECT_FALSE(dropData(TableRowsPayload { toolsIdentity, { 3 } }.encode(), true));
    EXPECT_FALSE(dropData(TableRowsPayload { gamesIdentity, { 3 } }.encode(), false));
    EXPECT_FALSE(dropData("v1 " + QByteArray::number(gamesIdentity) + " -3", true));
    EXPECT_FALSE(dropData("garbage", true));
    EXPECT_EQ(shownNames(), before);
    EXPECT_TRUE(dropData(TableRowsPayload { gamesIdentity, { 3 } }.encode(), true));
    EXPECT_NE(shownNames(), before);
}

TEST_F(ListTableTest, EveryRowWidgetHasItsOwnControllerAndNoneOutlivesItsRow)
{
    // The same application twice: each row acts for its own record.
    const WatchedApp twin { "Twin", "Maker", 1, AppKind::Phone, "555" };
    const std::vector<App *> twins = test::watch(lists(), games, { twin, twin });
    test::watchMany(lists(), games, 2000);
    ListViewController &view = open();
    TableView &table = *view.tableView();
    table.scrollRowToVisible(2001);
    ASSERT_NE(view.summaryControllerAtRow(2000), nullptr);
    EXPECT_NE(view.summaryControllerAtRow(2000), view.summaryControllerAtRow(2001));
    EXPECT_EQ(view.summaryControllerAtRow(2000)->app(), twins[1]);

    // Scrolling end to end and back leaves controllers only for the rows with widgets.
    std::vector<std::weak_ptr<AppSummaryController>> seen;
    for (int y = 0; y <= table.verticalScrollBar()->maximum(); y += 400) {
        table.setScrollPosition(y);
        for (const int row : table.rowsWithViews())
            seen.push_back(cellAt(row)->sharedSummaryController());
    }
    table.setScrollPosition(0);
    const auto alive
        = std::count_if(seen.begin(), seen.end(), [](const auto &weak) { return !weak.expired(); });
    EXPECT_LE(alive, table.rowsWithViews().size());
    EXPECT_LE(table.rowsWithViews().size(), 480 / 85 + 2 + 4);
}

TEST_F(ListTableTest, ARowArchivedFromItsOwnButtonIsReusedForItsNewApplicationOnly)
{
    const std::vector<App *> apps = test::watchMany(lists(), games, 20);
    ListViewController &view = open();
    AppCell *top = cellAt(0);
    App *first = top->summaryController()->app();
    // The row's own button archives its application; its widget goes in the same call.
    test::enter(top);
    top->archiveButton()->click();
    EXPECT_TRUE(first->archived());
    test::drainEvents();

    // The freed widget comes back for another application, at once or once scrolled to.
    const auto findReused = [&] {
        for (const int row : view.tableView()->rowsWithViews()) {
            if (cellAt(row) == top)
                return top;
        }
        return static_cast<AppCell *>(nullptr);
    };
    AppCell *reused = findReused();
    if (!reused) {
        view.tableView()->setScrollPosition(19 * 85);
        reused = findReused();
    }
    ASSERT_NE(reused, nullptr);
    App *current = reused->summaryController()->app();
    services.alerts().preparedAnswers = { { 0, false } };
    reused->deleteButton()->click();
    test::drainEvents();
    EXPECT_TRUE(current->isDeleted());
    EXPECT_EQ(std::count_if(apps.begin(), apps.end(), [](App *app) { return app->isDeleted(); }),
              1);
    EXPECT_EQ(std::count_if(apps.begin(), apps.end(), [](App *app) { return app->archived(); }), 1);
    EXPECT_EQ(view.tableView()->numberOfRows(), 18);
}

TEST_F(ListTableTest, MenuKeyHintsAreNoWindowShortcuts)
{
    test::watchMany(lists(), games, 3);
    ListViewController &view = open();
    auto *field = new QLineEdit(window.get());
    window->layout()->addWidget(field);
    field->setText("abc");
    field->setFocus();
    test::enter(cellAt(0));
    Clipboard::setText("kept");
    QTest::keyClick(field, Qt::Key_C);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_A);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(lists().apps().size(), 3u);
    EXPECT_TRUE(services.alerts().alerts.empty());
    EXPECT_EQ(Clipboard::text(), "kept");
    EXPECT_EQ(field->text(), "abc");
    EXPECT_EQ(view.tableView()->numberOfRows(), 3);
}

TEST_F(ListTableTest, ARefreshRemakesRowsWhereTheyStandAndMovesThoseItsNewValuesSortElsewhere)
{
    test::watchMany(lists(), games, 40);
    settings().setValue("listSorting", "price");
    ListViewController &view = open();
    view.tableView()->setScrollPosition(1000);
    App *app = view.listRepresentation().appAtRow(15);
    app->setName("Renamed by the store");
    // The next the dearest now, with the ring on it.
    App *dearer = view.listRepresentation().appAtRow(16);
    dearer->setPrice(*Decimal::fromString("99"));
    QTest::keyClick(view.tableView(), Qt::Key_Down);
    view.tableView()->setCurrentRow(16, false);
    view.tableView()->clearRecordedChanges();
    NotificationCenter::defaultCenter().post(
        ListsControllerDidReloadApps, &lists(),
        AppReload { { app->identifier(), dearer->identifier() } }.userInfo());
    EXPECT_EQ(view.tableView()->scrollPosition(), 1000);
    ASSERT_NE(cellAt(15), nullptr);
    EXPECT_EQ(cellAt(15)->nameLabel()->fullString(), "Renamed by the store");
    // Last, told as moves, the ring still on it.
    EXPECT_EQ(view.listRepresentation().appAtRow(39), dearer);
    for (const TableChange &change : view.tableView()->recordedChanges())
        EXPECT_EQ(change.kind, Kind::Move);
    EXPECT_EQ(view.tableView()->currentRow(), 39);
    EXPECT_TRUE(view.tableView()->showsCurrentRow());
}

TEST_F(ListTableTest, SortingAndGroupingKeepTheRingOnItsAppInView)
{
    test::watchMany(lists(), games, 40);
    ListViewController &view = open();
    TableView &table = *view.tableView();
    // The ring on "App 3", near the bottom of the list's own order.
    QTest::keyClick(&table, Qt::Key_End);
    QTest::keyClick(&table, Qt::Key_Up);
    QTest::keyClick(&table, Qt::Key_Up);
    App *ringed = view.listRepresentation().appAtRow(table.currentRow());
    ASSERT_NE(ringed, nullptr);
    EXPECT_EQ(ringed->name(), "App 3");

    const struct
    {
        const char *key;
        const char *value;
    } steps[] = {
        { "listSorting", "price" },     { "listGrouping", "developer" }, { "listSorting", "name" },
        { "listGrouping", "platform" }, { "listSorting", "none" },       { "listGrouping", "none" },
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(QString("%1 = %2").arg(step.key, step.value).toStdString());
        settings().setValue(step.key, step.value);
        const int row = table.currentRow();
        EXPECT_EQ(view.listRepresentation().appAtRow(row), ringed);
        EXPECT_TRUE(table.showsCurrentRow());
        // In view, and clear of the section title floating over the top of the rows.
        const QRect shown = table.rectOfRow(row);
        EXPECT_TRUE(table.viewport()->rect().contains(shown)) << row;
        if (table.floatingRow() >= 0) {
            EXPECT_GE(shown.top(), table.rectOfRow(table.floatingRow()).bottom()) << row;
        }
        // Return acts on that application.
        detailWindows.opened.clear();
        QTest::keyClick(&table, Qt::Key_Return);
        ASSERT_EQ(detailWindows.opened.size(), 1u);
        EXPECT_EQ(detailWindows.opened.front()->app(), ringed);
    }
}

TEST_F(ListTableTest, StoreTextIsShownAsWritten)
{
    test::watch(lists(), games, { { "<b>Bold</b> & Co", "R&D <i>Labs</i>" } });
    open();
    EXPECT_EQ(cellAt(0)->nameLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(cellAt(0)->nameLabel()->fullString(), "<b>Bold</b> & Co");
    EXPECT_EQ(cellAt(0)->developerLabel()->fullString(), "R&D <i>Labs</i>");
}

// The list table with real detail windows: a click on a row opens that application's window,
// which keeps the row's summary controller after the row has gone, and Return on a row opens it
// with the keyboard's ring on its first screenshot.
#include "ListTableTestSupport.h"

#include "controls/KeyboardFocus.h"
#include "controls/Label.h"
#include "details/AppDetailViewController.h"
#include "details/DetailWindow.h"
#include "details/ScreenshotGrid.h"

using namespace tanvill;

TEST(ListDetailWindows, AClickOpensTheRowsWindowAndASecondClickBringsItForward)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    test::TestServices services;
    ListsController &lists = services.listsController();
    services.settings().setValue("multipleAppWindows", true);
    services.settings().setValue("hasSeenFirstArchiveNotice", true);
    List *games = lists.createList("Games");
    lists.createList("Tools");
    services.settings().setValue("selectedList", 0);
    test::watchMany(lists, games, 3);
    DetailWindowManager manager(lists, services.settings());

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *table = new ListViewController(lists, services.settings(), manager, &window);
    layout->addWidget(table);
    table->tableView()->setInstantAnimations(true);
    window.resize(560, 480);
    window.move(300, 300);
    ASSERT_TRUE(test::activate(&window));

    const auto clickRow = [&](int row) {
        auto *cell = qobject_cast<AppCell *>(table->tableView()->rowViewAtRow(row));
        EXPECT_NE(cell, nullptr) << row;
        if (!cell)
            return cell;
        QTest::mouseClick(cell->nameLabel(), Qt::LeftButton, {}, QPoint(5, 5));
        return cell;
    };
    AppCell *cell = clickRow(1);
    ASSERT_EQ(manager.windowControllers().size(), 1u);
    DetailWindow *details = manager.windowControllers().begin()->second;
    EXPECT_TRUE(details->isVisible());
    EXPECT_EQ(details->contentViewController()->summaryController(), cell->summaryController());
    EXPECT_EQ(details->contentViewController()->appNameLabel()->fullString(), "App 2");

    ASSERT_TRUE(test::activate(&window));
    clickRow(1);
    EXPECT_EQ(manager.windowControllers().size(), 1u);
    EXPECT_TRUE(QTest::qWaitForWindowActive(details));
    clickRow(0);
    EXPECT_EQ(manager.windowControllers().size(), 2u);

    // Another list takes the rows (and their controllers) away; the windows keep theirs.
    services.settings().setValue("selectedList", 1);
    test::drainEvents();
    ASSERT_NE(details->contentViewController()->summaryController(), nullptr);
    EXPECT_EQ(details->contentViewController()->summaryController()->app()->name(), "App 2");
}

// Return on a row, or a click, opens its window with the keyboard and its ring on the first
// screenshot (on the table without any): a key pressed at once acts there. Never on the price
// button, which opens the store page and then archives.
TEST(ListDetailWindows, ReturnOrAClickOpensTheWindowWithTheRingOnTheFirstScreenshot)
{
    test::TestServices services;
    List *games = services.listsController().createList("Games");
    CachedApp shots = test::storeResult({ "Shots" }, 1);
    shots.screenshotUrls = { "http://127.0.0.1:9/1.png" };
    services.listsController().addApp({ test::storeResult({ "Bare" }, 2), shots }, games);
    DetailWindowManager manager(services.listsController(), services.settings());
    ListViewController table(services.listsController(), services.settings(), manager);
    table.resize(560, 480);
    for (const auto &[row, byKey] :
         { std::pair(0, true), std::pair(0, false), std::pair(1, true) }) {
        ASSERT_TRUE(test::activate(&table));
        table.tableView()->setCurrentRow(row);
        table.tableView()->setFocus(Qt::TabFocusReason);
        auto *cell = qobject_cast<AppCell *>(table.tableView()->rowViewAtRow(row));
        byKey ? QTest::keyClick(table.tableView(), Qt::Key_Return)
              : QTest::mouseClick(cell->nameLabel(), Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_EQ(manager.windowControllers().size(), 1u);
        DetailWindow *details = manager.windowControllers().begin()->second;
        ASSERT_TRUE(test::activate(details));
        AppDetailViewController *view = details->contentViewController();
        QWidget *first = view->tableView();
        if (row == 0)
            first = view->screenshotGrid()->cells().at(0);
        EXPECT_EQ(QApplication::focusWidget(), first) << row << byKey;
        EXPECT_EQ(focusRingTarget(), first) << row << byKey;
        details->close();
    }
}

// The list table with real detail windows: a click on a row opens that application's window,
// which keeps the row's summary controller after the row has gone.
#include "ListTableTestSupport.h"

#include "controls/Label.h"
#include "details/AppDetailViewController.h"
#include "details/DetailWindow.h"

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

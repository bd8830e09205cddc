#include "controls/Label.h"
#include "controls/TableView.h"
#include "platform/Strings.h"
#include "store/ChangeLog.h"
#include "store/widgets/ChangeCell.h"
#include "store/widgets/ChangesViewController.h"
#include "store/widgets/ChangesWindowController.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <QApplication>
#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

AppUpdate update(const QString &name, bool price, bool rating, bool version)
{
    return AppUpdate(name,
                     price ? std::optional(
                         Change<Decimal> { Decimal::fromUnits(199, 2), Decimal::fromUnits(0, 0) })
                           : std::nullopt,
                     rating ? std::optional(Change<float> { 3.5f, 4.0f }) : std::nullopt,
                     version ? std::optional(Change<QString> { "1.0", "2.0" }) : std::nullopt);
}

std::vector<AppUpdate> versionUpdates(int count)
{
    std::vector<AppUpdate> updates;
    for (int i = 0; i < count; ++i)
        updates.push_back(update(QStringLiteral("App %1").arg(i), false, false, true));
    return updates;
}

struct ChangesWindowTest : ::testing::Test
{
    ChangesWindowTest() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    test::TestServices services { { .listsController = false } };
};

} // namespace

TEST_F(ChangesWindowTest, RowsTakeTheirCellAndHeightFromTheNumberOfChanges)
{
    ChangesViewController view;
    view.setUpdates(std::vector<AppUpdate> {
        update("One", false, false, true), update("Two", true, false, true),
        update("Three", true, true, true), update("None", false, false, false) });
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_EQ(view.numberOfRows(), 4);
    const QStringList identifiers { "ChangeCell_1", "ChangeCell_2", "ChangeCell_3",
                                    "ChangeCell_3" };
    const std::vector<double> heights { 64.0, 89.0, 114.0, 114.0 };
    for (int row = 0; row < 4; ++row) {
        ASSERT_NE(view.cellAt(row), nullptr);
        EXPECT_EQ(view.cellAt(row)->identifier(), identifiers[row]);
        EXPECT_EQ(view.heightOfRow(row), heights[size_t(row)]);
        EXPECT_EQ(view.tableView()->rectOfRow(row).height(), int(heights[size_t(row)]));
    }

    ChangeCell *two = view.cellAt(1);
    EXPECT_EQ(two->nameLabel()->fullString(), "Two");
    EXPECT_TRUE(two->changeOneLabel()->fullString().contains(Strings::localized("free")));
    EXPECT_EQ(two->changeTwoLabel()->fullString(),
              ChangeLog::versionChangeDescription({ "1.0", "2.0" }));
    EXPECT_EQ(two->changeThreeLabel(), nullptr);

    ChangeCell *three = view.cellAt(2);
    EXPECT_TRUE(three->changeTwoLabel()->fullString().contains(QString::fromUtf8("4★")));

    ChangeCell *none = view.cellAt(3);
    EXPECT_EQ(none->nameLabel()->fullString(), "None");
    EXPECT_TRUE(none->changeOneLabel()->fullString().isEmpty());
    EXPECT_TRUE(none->changeThreeLabel()->fullString().isEmpty());
}

TEST_F(ChangesWindowTest, TheViewFitsUpToFourRowsAndScrollsBeyond)
{
    ChangesViewController view;
    view.resize(400, 50);
    view.setUpdates(versionUpdates(1));
    EXPECT_EQ(view.height(), 114);
    view.setUpdates(versionUpdates(2));
    EXPECT_EQ(view.height(), 228) << "the tallest row counts, whatever the rows' own heights";
    view.setUpdates(versionUpdates(4));
    EXPECT_EQ(view.height(), 456);
    view.setUpdates(versionUpdates(5));
    EXPECT_EQ(view.height(), 456);
    EXPECT_EQ(view.numberOfRows(), 5);
    view.setUpdates(std::nullopt);
    EXPECT_EQ(view.height(), 456);
    EXPECT_EQ(view.numberOfRows(), 0);
    EXPECT_EQ(view.heightOfRow(0), 0.0);
}

TEST_F(ChangesWindowTest, ResizingKeepsTheWindowsTopLeftAndWidth)
{
    ChangesViewController view;
    view.setGeometry(120, 80, 420, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setUpdates(versionUpdates(3));
    EXPECT_EQ(view.geometry(), QRect(120, 80, 420, 342));
}

TEST_F(ChangesWindowTest, RowsCannotBeSelectedAndNamesArePlainText)
{
    ChangesViewController view;
    view.resize(420, 200);
    view.setUpdates(std::vector<AppUpdate> { update("<b>Bold</b> &amp; App", false, false, true) });
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QTest::mouseClick(view.tableView()->viewport(), Qt::LeftButton, {}, QPoint(200, 30));
    EXPECT_EQ(view.tableView()->selectedRow(), -1);
    Label *name = view.cellAt(0)->nameLabel();
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
    EXPECT_EQ(name->fullString(), "<b>Bold</b> &amp; App");
}

TEST_F(ChangesWindowTest, OpeningAgainClosesThePreviousWindow)
{
    ChangesWindowController controller;
    controller.showWindow(versionUpdates(2));
    QPointer<ChangesViewController> first = controller.currentWindow();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowTitle(), Strings::localized("Latest Changes"));
    EXPECT_EQ(first->height(), 228);

    controller.showWindow(
        { update("Alpha", true, true, true), update("Beta", true, false, false),
          update("A name far too long to fit in the window at all, really", false, true, true) });
    ASSERT_TRUE(test::waitFor([&] { return first.isNull(); }));
    ASSERT_TRUE(controller.currentWindow());
    EXPECT_EQ(controller.currentWindow()->numberOfRows(), 3);
    controller.currentWindow()->grab().save(test::testOutputDir("store") + "/latest-changes.png");
    controller.currentWindow()->close();
}

TEST_F(ChangesWindowTest, ALongListOpensFourRowsTallAndScrolls)
{
    ChangesWindowController controller;
    controller.showWindow(versionUpdates(7));
    ChangesViewController *window = controller.currentWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->numberOfRows(), 7);
    EXPECT_EQ(window->height(), 456);
    window->close();
}

TEST_F(ChangesWindowTest, TheKeysMoveARingedRowThroughALongListAsInTheListTable)
{
    ChangesWindowController controller;
    controller.showWindow(versionUpdates(13)); // rows of 64 points, seven in view
    TableView *table = controller.currentWindow()->tableView();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller.currentWindow()) && table->hasFocus());
    const std::pair<Qt::Key, int> steps[]
        = { { Qt::Key_Down, 0 }, { Qt::Key_Down, 1 }, { Qt::Key_PageDown, 8 },
            { Qt::Key_End, 12 }, { Qt::Key_Up, 11 },  { Qt::Key_PageUp, 3 },
            { Qt::Key_Home, 0 } };
    for (const auto &[key, row] : steps) {
        QTest::keyClick(table, key);
        EXPECT_EQ(table->currentRow(), row);
        EXPECT_TRUE(table->viewport()->rect().contains(table->rectOfRow(row)));
    }
    EXPECT_TRUE(table->showsCurrentRow());
    controller.currentWindow()->close();
}

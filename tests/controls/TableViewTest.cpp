// The table every list window stands on: widgets only for the rows in view, reused; rows of
// any height; floating section rows; scrolling; and changes that follow the table index rules.
#include "ControlsTestSupport.h"
#include "DemoTable.h"
#include "support/TestEnvironment.h"

#include <QGraphicsEffect>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace tanvill;
using test::DemoItem;
using test::DemoTable;

namespace {

// Every row widget shows its own row's item, one under the other from the top.
void expectRowsInPlace(const DemoTable &demo)
{
    const TableView &table = demo.table;
    ASSERT_EQ(table.numberOfRows(), int(demo.items.size()));
    int top = table.headerView() ? table.headerView()->height() : 0;
    for (int row = 0; row < table.numberOfRows(); ++row) {
        if (const TableRowView *view = table.rowViewAtRow(row)) {
            EXPECT_EQ(demo.shown(row), demo.items[size_t(row)].name) << row;
            if (row != table.floatingRow()) {
                EXPECT_EQ(view->geometry(),
                          QRect(0, top - table.scrollPosition(), table.viewport()->width(),
                                demo.items[size_t(row)].height))
                    << row;
            }
        }
        top += demo.items[size_t(row)].height;
    }
}

std::vector<DemoItem> sections(int sectionCount, int rowsEach)
{
    std::vector<DemoItem> items;
    for (int section = 0; section < sectionCount; ++section) {
        items.push_back({ QStringLiteral("Section %1").arg(section), 22, true });
        for (int row = 0; row < rowsEach; ++row)
            items.push_back({ QStringLiteral("App %1.%2").arg(section).arg(row), 85, false });
    }
    return items;
}

} // namespace

TEST(TableViewRows, OnlyRowsInViewHaveWidgetsAndScrollingReusesThem)
{
    DemoTable demo(DemoTable::rows(10000));
    demo.table.show();
    const int inView = demo.table.viewport()->height() / 40;
    const int bound = inView + 1 + 4; // a partly shown row and a margin of two each side
    EXPECT_LE(demo.table.rowsWithViews().size(), bound);
    expectRowsInPlace(demo);

    QScrollBar *bar = demo.table.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 10000 * 40 - demo.table.viewport()->height());
    for (int y = 0; y < bar->maximum(); y += bar->pageStep() / 2 + 7)
        bar->setValue(y);
    bar->setValue(bar->maximum());
    EXPECT_EQ(demo.table.rowsWithViews().last(), 9999);
    EXPECT_LE(demo.table.rowsWithViews().size(), bound);
    expectRowsInPlace(demo);
    for (int y = bar->maximum(); y > 0; y -= bar->pageStep())
        bar->setValue(y);
    bar->setValue(0);

    EXPECT_LE(demo.made, bound + 2);
    EXPECT_GT(demo.added, 9000);
    EXPECT_EQ(demo.added - demo.removed, demo.table.rowsWithViews().size());
    expectRowsInPlace(demo);
}

TEST(TableViewRows, RowsOfEachHeightStackBelowTheHeaderAndReloadKeepsThePlace)
{
    DemoTable demo(sections(40, 6));
    auto *header = new QWidget;
    header->setFixedHeight(50);
    demo.table.setHeaderView(header);
    demo.table.show();
    expectRowsInPlace(demo);
    EXPECT_EQ(demo.table.rectOfRow(0).top(), 50);
    EXPECT_EQ(demo.table.rowAt({ 5, 50 + 22 + 85 + 3 }), 2);
    EXPECT_EQ(demo.table.rowAt({ 5, 10 }), -1); // the header

    demo.table.scrollRowToVisible(200);
    EXPECT_TRUE(demo.table.viewport()->rect().contains(demo.table.rectOfRow(200)));
    expectRowsInPlace(demo);
    EXPECT_EQ(header->geometry().bottom(), 50 - demo.table.scrollPosition() - 1);

    const int position = demo.table.scrollPosition();
    const int added = demo.added;
    demo.items[200].name = QStringLiteral("Renamed");
    demo.table.reloadData();
    EXPECT_EQ(demo.table.scrollPosition(), position);
    EXPECT_EQ(demo.added - added, demo.table.rowsWithViews().size());
    expectRowsInPlace(demo);

    demo.items[201].name = QStringLiteral("Renamed again");
    demo.items[201].height = 120;
    demo.table.reloadRows({ 201 });
    EXPECT_EQ(demo.shown(201), QStringLiteral("Renamed again"));
    demo.table.noteHeightOfRowsChanged({ 201 });
    EXPECT_EQ(demo.table.scrollPosition(), position);
    expectRowsInPlace(demo);
}

TEST(TableViewRows, WheelKeysAndScrollBarScrollTheRows)
{
    DemoTable demo(DemoTable::rows(200));
    demo.table.show();
    QScrollBar *bar = demo.table.verticalScrollBar();
    const struct
    {
        std::function<void()> act;
        std::function<int(int)> expected; // from the position before
    } steps[] = {
        { [&] { QTest::keyClick(&demo.table, Qt::Key_Down); },
          [&](int y) {
              return y + bar->singleStep();
          } },
        { [&] { QTest::keyClick(&demo.table, Qt::Key_PageDown); },
          [&](int y) {
              return y + bar->pageStep();
          } },
        { [&] { QTest::keyClick(&demo.table, Qt::Key_End); },
          [&](int) {
              return bar->maximum();
          } },
        { [&] { QTest::keyClick(&demo.table, Qt::Key_Up); },
          [&](int y) {
              return y - bar->singleStep();
          } },
        { [&] { QTest::keyClick(&demo.table, Qt::Key_Home); },
          [&](int) {
              return 0;
          } },
        { [&] {
             QWheelEvent wheel({ 50, 50 }, demo.table.viewport()->mapToGlobal(QPoint(50, 50)), {},
                               { 0, -120 }, Qt::NoButton, {}, Qt::NoScrollPhase, false);
             QApplication::sendEvent(demo.table.viewport(), &wheel);
         },
          [&](int y) {
              return y + QApplication::wheelScrollLines() * bar->singleStep();
          } },
        { [&] { bar->setValue(1234); },
          [&](int) {
              return 1234;
          } },
    };
    for (const auto &step : steps) {
        const int before = demo.table.scrollPosition();
        step.act();
        EXPECT_EQ(demo.table.scrollPosition(), step.expected(before));
        expectRowsInPlace(demo);
    }
}

TEST(TableViewRows, SectionRowFloatsAtTheTopWhileItsSectionIsInView)
{
    DemoTable demo(sections(5, 6)); // sections start at rows 0, 7, 14, …; each 22 + 6 × 85
    demo.table.show();
    EXPECT_EQ(demo.table.floatingRow(), -1);
    EXPECT_FALSE(demo.table.rowViewAtRow(0)->isFloating());

    const int section = 22 + 6 * 85;
    demo.table.setScrollPosition(section + 200); // well inside the second section
    EXPECT_EQ(demo.table.floatingRow(), 7);
    ASSERT_TRUE(demo.table.rowViewAtRow(7));
    EXPECT_TRUE(demo.table.rowViewAtRow(7)->isFloating());
    EXPECT_EQ(demo.table.rectOfRow(7).top(), 0);
    EXPECT_EQ(demo.table.rowAt({ 5, 5 }), 7);

    demo.table.setScrollPosition(2 * section - 10); // the third section's row pushes it up
    EXPECT_EQ(demo.table.floatingRow(), 7);
    EXPECT_EQ(demo.table.rectOfRow(7).top(), -12);
    EXPECT_FALSE(demo.table.rowViewAtRow(14)->isFloating());

    demo.table.setScrollPosition(2 * section + 1);
    EXPECT_EQ(demo.table.floatingRow(), 14);
    EXPECT_EQ(demo.table.rowViewAtRow(7), nullptr); // its section has left the view
    expectRowsInPlace(demo);
}

TEST(TableViewRows, ClicksReachTheDelegateAndSelectOnlyWhenSelectionIsOn)
{
    DemoTable demo(DemoTable::rows(10));
    demo.table.show();
    const QPoint third = demo.table.rectOfRow(2).center();
    QTest::mouseClick(demo.table.viewport(), Qt::LeftButton, {}, third);
    EXPECT_EQ(demo.clicks, std::vector<int> { 2 });
    EXPECT_EQ(demo.table.selectedRow(), -1);

    demo.table.setAllowsSelection(true);
    QTest::mouseClick(demo.table.viewport(), Qt::LeftButton, {}, third);
    EXPECT_EQ(demo.table.selectedRow(), 2);
    EXPECT_TRUE(demo.table.rowViewAtRow(2)->isSelected());
    EXPECT_EQ(demo.selectionChanges, 1);

    demo.selectable = false;
    QTest::mouseClick(demo.table.viewport(), Qt::LeftButton, {}, demo.table.rectOfRow(4).center());
    EXPECT_EQ(demo.table.selectedRow(), 2);
    EXPECT_EQ(demo.clicks, (std::vector<int> { 2, 2, 4 }));
}

TEST(TableViewRows, KeysMoveAVisibleCurrentRowPastSectionsAndActOnItAsAClickDoes)
{
    // Sections at rows 0, 5, 10; each 22 + 4 × 85. The view is 400 high.
    DemoTable demo(sections(3, 4));
    demo.table.setKeyboardNavigation(true);
    ASSERT_TRUE(test::activate(&demo.table));
    EXPECT_EQ(demo.table.currentRow(), -1);
    EXPECT_FALSE(demo.table.showsCurrentRow());

    const struct
    {
        Qt::Key key;
        int current;
    } steps[] = {
        { Qt::Key_Down, 1 },     { Qt::Key_Down, 2 }, { Qt::Key_Up, 1 },   { Qt::Key_Up, 1 },
        { Qt::Key_PageDown, 6 }, { Qt::Key_Up, 4 },   { Qt::Key_Down, 6 }, { Qt::Key_End, 14 },
        { Qt::Key_PageUp, 8 },   { Qt::Key_Home, 1 },
    };
    for (const auto &step : steps) {
        QTest::keyClick(&demo.table, step.key);
        EXPECT_EQ(demo.table.currentRow(), step.current) << step.key;
        // In full view, and clear of the section title floating at the top.
        const QRect row = demo.table.rectOfRow(step.current);
        EXPECT_TRUE(demo.table.viewport()->rect().contains(row)) << step.current;
        if (const int floating = demo.table.floatingRow(); floating >= 0) {
            EXPECT_FALSE(demo.table.rectOfRow(floating).intersects(row)) << step.current;
        }
    }

    QTest::keyClick(&demo.table, Qt::Key_Down);
    QTest::keyClick(&demo.table, Qt::Key_Return);
    QTest::keyClick(&demo.table, Qt::Key_Space);
    EXPECT_EQ(demo.clicks, (std::vector<int> { 2, 2 }));
    QTest::keyClick(&demo.table, Qt::Key_F10, Qt::ShiftModifier);
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, {}, {});
    QApplication::sendEvent(&demo.table, &menuKey);
    EXPECT_EQ(static_cast<test::DemoRow *>(demo.table.rowViewAtRow(2))->keyboardMenus, 2);

    // The pointer takes over: the ring goes, and the keys go on from the row clicked.
    QTest::mouseClick(demo.table.viewport(), Qt::LeftButton, {}, demo.table.rectOfRow(3).center());
    EXPECT_FALSE(demo.table.showsCurrentRow());
    QTest::keyClick(&demo.table, Qt::Key_Down);
    EXPECT_EQ(demo.table.currentRow(), 4);
    EXPECT_TRUE(demo.table.showsCurrentRow());
}

TEST(TableViewRows, HeaderCanTakeItselfAwayFromItsOwnButton)
{
    DemoTable demo(DemoTable::rows(10));
    auto *header = new QPushButton(QStringLiteral("Not now"));
    header->setFixedHeight(60);
    QObject::connect(header, &QPushButton::clicked, &demo.table,
                     [&] { demo.table.setHeaderView(nullptr); });
    demo.table.setHeaderView(header);
    demo.table.show();
    EXPECT_EQ(demo.table.rectOfRow(0).top(), 60);

    const QPointer<QWidget> gone(header);
    QTest::mouseClick(header, Qt::LeftButton);
    EXPECT_EQ(demo.table.headerView(), nullptr);
    EXPECT_EQ(demo.table.rectOfRow(0).top(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

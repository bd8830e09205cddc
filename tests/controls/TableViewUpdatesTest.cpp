// Changes to a table's rows: the index rules of an update bracket, the effects that animate
// them (and their record), and dragging rows to a new place.
#include "DemoTable.h"
#include "support/TestEnvironment.h"

#include <QDrag>
#include <QGraphicsEffect>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace tanvill;
using test::DemoItem;
using test::DemoTable;

namespace {

struct Change
{
    TableChange::Kind kind;
    QList<int> rows;
    int to = -1;
};

// Applies each change to the demo's items the way a data source would, then to the table.
void apply(DemoTable &demo, const std::vector<Change> &changes, TableEffect effect)
{
    int made = 0;
    demo.table.beginUpdates();
    for (const Change &change : changes) {
        QList<int> rows = change.rows;
        std::sort(rows.begin(), rows.end());
        switch (change.kind) {
        case TableChange::Kind::Remove:
            for (auto row = rows.crbegin(); row != rows.crend(); ++row)
                demo.items.erase(demo.items.begin() + *row);
            demo.table.removeRows(change.rows, effect);
            break;
        case TableChange::Kind::Insert:
            for (const int row : rows)
                demo.items.insert(demo.items.begin() + row,
                                  { QStringLiteral("New %1").arg(made++), 40, false });
            demo.table.insertRows(change.rows, effect);
            break;
        case TableChange::Kind::Move: {
            const DemoItem moving = demo.items[size_t(rows[0])];
            demo.items.erase(demo.items.begin() + rows[0]);
            demo.items.insert(demo.items.begin() + change.to, moving);
            demo.table.moveRow(rows[0], change.to);
        }
        }
    }
    demo.table.endUpdates();
}

QStringList shownNames(const DemoTable &demo)
{
    QStringList names;
    for (int row = 0; row < demo.table.numberOfRows(); ++row)
        names.append(demo.shown(row));
    return names;
}

using Kind = TableChange::Kind;

} // namespace

TEST(TableViewUpdates, EachChangeAppliesToTheRowsThePreviousOneLeft)
{
    const struct
    {
        const char *name;
        std::vector<Change> changes;
        QStringList expected;
    } cases[] = {
        { "removal names rows before it",
          { { Kind::Remove, { 3, 1 } } },
          { "Row 0", "Row 2", "Row 4" } },
        { "insertion names rows after it",
          { { Kind::Insert, { 0, 2 } } },
          { "New 0", "Row 0", "New 1", "Row 1", "Row 2", "Row 3", "Row 4" } },
        { "one removal at a time",
          { { Kind::Remove, { 0 } }, { Kind::Remove, { 0 } }, { Kind::Insert, { 1 } } },
          { "Row 2", "New 0", "Row 3", "Row 4" } },
        { "move down",
          { { Kind::Move, { 0 }, 4 } },
          { "Row 1", "Row 2", "Row 3", "Row 4", "Row 0" } },
        { "move up after an insertion",
          { { Kind::Insert, { 5 } }, { Kind::Move, { 5 }, 0 } },
          { "New 0", "Row 0", "Row 1", "Row 2", "Row 3", "Row 4" } },
        { "replace every row",
          { { Kind::Remove, { 0, 1, 2, 3, 4 } }, { Kind::Insert, { 0, 1, 2 } } },
          { "New 0", "New 1", "New 2" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DemoTable demo(DemoTable::rows(5));
        demo.table.setInstantAnimations(true);
        demo.table.show();
        apply(demo, c.changes, TableEffect::Fade);
        EXPECT_EQ(demo.names(), c.expected);
        EXPECT_EQ(shownNames(demo), c.expected);
        for (int row = 0; row < demo.table.numberOfRows(); ++row)
            EXPECT_EQ(demo.table.rectOfRow(row), QRect(0, row * 40, 320, 40));
        // Widgets of removed rows serve the inserted ones; only more rows need more widgets.
        EXPECT_EQ(demo.made, std::max(5, int(demo.items.size())));
        EXPECT_EQ(demo.added - demo.removed, int(demo.items.size()));
        for (const int row : demo.removedRows)
            EXPECT_EQ(row, -1);
    }
}

TEST(TableViewUpdates, ChangesThatDoNotAddUpShowTheRowsAsTheyAre)
{
    DemoTable demo(DemoTable::rows(5));
    demo.table.show();
    demo.table.removeRows({ 1 }); // the data source still has five rows
    EXPECT_EQ(shownNames(demo), demo.names());
    demo.items.pop_back();
    demo.table.beginUpdates();
    demo.table.removeRows({ 9 }); // past the end
    demo.table.endUpdates();
    EXPECT_EQ(shownNames(demo), demo.names());
}

TEST(TableViewUpdates, EffectsStartWhereTheyShouldAndAreRecorded)
{
    const int width = 320;
    const struct
    {
        TableEffect effect;
        QPoint insertedStart; // offset of the inserted row from its place
        bool fades;
    } cases[] = {
        { TableEffect::None, { 0, 0 }, false },
        { TableEffect::Fade, { 0, 0 }, true },
        { TableEffect::Gap, { 0, 0 }, true },
        { TableEffect::SlideUp, { 0, 40 }, true },
        { TableEffect::SlideDown, { 0, -40 }, true },
        // Slides name the motion: SlideLeft comes in from the right, SlideRight from the left.
        { TableEffect::SlideLeft, { width, 0 }, false },
        { TableEffect::SlideRight, { -width, 0 }, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.effect));
        DemoTable demo(DemoTable::rows(5));
        demo.table.setRecordsChanges(true);
        demo.table.show();
        apply(demo, { { Kind::Remove, { 3 } }, { Kind::Insert, { 1 } } }, c.effect);

        // At the start the new row stands off its place and the rows below it where they were.
        EXPECT_EQ(demo.table.rectOfRow(1).topLeft(), QPoint(0, 40) + c.insertedStart);
        const auto *fade
            = qobject_cast<QGraphicsOpacityEffect *>(demo.table.rowViewAtRow(1)->graphicsEffect());
        EXPECT_EQ(fade != nullptr, c.fades);
        EXPECT_EQ(demo.table.rectOfRow(2).top(), 40);
        EXPECT_EQ(demo.removedRows, std::vector<int> { -1 });

        ASSERT_TRUE(test::waitFor([&] { return !demo.table.isAnimating(); }));
        EXPECT_EQ(demo.table.rectOfRow(1), QRect(0, 40, width, 40));
        EXPECT_EQ(demo.table.rectOfRow(2), QRect(0, 80, width, 40));
        EXPECT_EQ(demo.table.rowViewAtRow(1)->graphicsEffect(), nullptr);
        EXPECT_EQ(shownNames(demo), demo.names());
        EXPECT_EQ(demo.table.recordedChanges(),
                  (QList<TableChange> { { Kind::Remove, { 3 }, -1, c.effect },
                                        { Kind::Insert, { 1 }, -1, c.effect } }));
    }
}

TEST(TableViewUpdates, ChangesDuringAnEffectStartFromRowsAtRest)
{
    DemoTable demo(DemoTable::rows(30));
    demo.table.show();
    apply(demo, { { Kind::Insert, { 0, 1, 2 } } }, TableEffect::Gap);
    EXPECT_TRUE(demo.table.isAnimating());
    demo.table.setScrollPosition(100);
    apply(demo, { { Kind::Remove, { 4, 5 } }, { Kind::Move, { 0 }, 9 } }, TableEffect::Fade);
    ASSERT_TRUE(test::waitFor([&] { return !demo.table.isAnimating(); }));
    EXPECT_EQ(shownNames(demo).mid(2, 10), demo.names().mid(2, 10));
    EXPECT_EQ(demo.table.rectOfRow(5).top(), 5 * 40 - 100);
    EXPECT_LE(demo.table.rowsWithViews().size(), 400 / 40 + 1 + 4);
}

TEST(TableViewUpdates, ARowsOwnButtonCanRemoveItsRow)
{
    DemoTable demo(DemoTable::rows(6));
    demo.table.show();
    for (const bool reload : { false, true }) {
        auto *button = new QPushButton(QStringLiteral("Delete"), demo.table.rowViewAtRow(2));
        button->setGeometry(200, 5, 80, 30);
        button->show();
        QObject::connect(button, &QPushButton::clicked, &demo.table, [&demo, reload] {
            demo.items.erase(demo.items.begin() + 2);
            if (reload)
                demo.table.reloadData();
            else
                demo.table.removeRows({ 2 }, TableEffect::Fade);
        });
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(shownNames(demo), demo.names());
        ASSERT_TRUE(test::waitFor([&] { return !demo.table.isAnimating(); }));
        delete button;
    }
}

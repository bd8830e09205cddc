// Dragging rows out of a table and dropping them into the gaps between rows, and a rendered
// demo table (sections, a floating section row, a drag in progress) for a person to look at.
#include "ControlsTestSupport.h"
#include "DemoTable.h"
#include "support/TestEnvironment.h"

#include <QCursor>
#include <QDir>
#include <QDrag>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace tanvill;
using test::DemoTable;

namespace {

struct DropOutcome
{
    int indicatorRow = -2; // while the pointer was over the target
    DropOperation indicatorOperation = DropOperation::Above;
    bool accepted = false;
};

// Takes the pointer over `at` in the table and lets go there, as the platform's drag loop
// would for data dragged in.
DropOutcome dropAt(TableView &table, const QPoint &at, const QMimeData *data)
{
    DropOutcome outcome;
    QDragEnterEvent enter(at, Qt::MoveAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(table.viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(table.viewport(), &move);
    outcome.indicatorRow = table.dropIndicatorRow();
    outcome.indicatorOperation = table.dropIndicatorOperation();
    QDropEvent drop(at, Qt::MoveAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(table.viewport(), &drop);
    outcome.accepted = drop.isAccepted();
    return outcome;
}

// Presses on `row`, drags and lets go over `target`; `during` sees the drag in progress.
DropOutcome dragRow(DemoTable &demo, int row, const QPoint &target,
                    const std::function<void(QDrag *)> &during = {})
{
    DropOutcome outcome;
    demo.table.setDragRunner([&](QDrag *drag) {
        if (during)
            during(drag);
        outcome = dropAt(demo.table, target, drag->mimeData());
        return outcome.accepted ? Qt::MoveAction : Qt::IgnoreAction;
    });
    const QPoint start = demo.table.rectOfRow(row).center();
    QTest::mousePress(demo.table.viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(demo.table.viewport(),
                     start + QPoint(0, 3 * QApplication::startDragDistance()));
    QTest::mouseRelease(demo.table.viewport(), Qt::LeftButton, {}, target);
    return outcome;
}

QMimeData *demoData(const QByteArray &payload)
{
    auto *data = new QMimeData;
    data->setData(test::kDemoDragType, payload);
    return data;
}

} // namespace

TEST(TableViewDrag, FiveRowsDropIntoTheGapAboveAProposedRow)
{
    const struct
    {
        int from, gapAbove;
        std::optional<int> movedTo;
    } cases[] = {
        { 1, 4, 3 }, { 3, 0, 0 }, { 2, 5, 4 }, { 2, 2, std::nullopt }, { 2, 3, std::nullopt },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " above " << c.gapAbove);
        DemoTable demo(DemoTable::rows(5));
        demo.table.setInstantAnimations(true);
        demo.table.show();
        QStringList expected = demo.names();
        if (c.movedTo)
            expected.move(c.from, *c.movedTo);

        QSize image;
        std::optional<TableRowsPayload> payload;
        const DropOutcome outcome
            = dragRow(demo, c.from, { 100, c.gapAbove * 40 }, [&](QDrag *drag) {
                  image = drag->pixmap().deviceIndependentSize().toSize();
                  payload = TableRowsPayload::decode(drag->mimeData()->data(test::kDemoDragType));
              });
        EXPECT_EQ(image, QSize(320, 40));
        EXPECT_EQ(payload, (TableRowsPayload { 7, { c.from } }));
        EXPECT_EQ(outcome.indicatorRow, c.gapAbove);
        EXPECT_EQ(outcome.accepted, c.movedTo.has_value());
        EXPECT_EQ(demo.names(), expected);
        for (int row = 0; row < 5; ++row)
            EXPECT_EQ(demo.shown(row), expected[row]);
        EXPECT_EQ(demo.table.dropIndicatorRow(), -1);
        EXPECT_TRUE(demo.clicks.empty());
    }
}

TEST(TableViewDrag, DropsOnARowLandInItsNearerGapAndDropsFromElsewhereAreRefused)
{
    DemoTable demo(DemoTable::rows(5));
    demo.table.show();

    // The middle of a row proposes a drop on it, which the delegate refuses: the drop lands in
    // the gap on the pointer's side of the row.
    DropOutcome outcome = dragRow(demo, 1, demo.table.rectOfRow(3).center());
    EXPECT_EQ(outcome.indicatorRow, 3);
    EXPECT_EQ(outcome.indicatorOperation, DropOperation::Above);
    EXPECT_TRUE(outcome.accepted);
    demo.moves.clear();

    // The same data from another source never reaches the delegate, until allowed.
    demo.validations = 0;
    const std::unique_ptr<QMimeData> foreign(demoData(TableRowsPayload { 7, { 0 } }.encode()));
    outcome = dropAt(demo.table, { 100, 160 }, foreign.get());
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.indicatorRow, -1);
    EXPECT_EQ(demo.validations, 0);
    demo.table.setAcceptsDropsFromOtherSources(true);
    outcome = dropAt(demo.table, { 100, 160 }, foreign.get());
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(demo.moves, (std::vector<std::pair<int, int>> { { 0, 3 } }));

    // Data of a format the table never registered is not even looked at.
    QMimeData text;
    text.setText(QStringLiteral("v1 7 0"));
    demo.validations = 0;
    EXPECT_FALSE(dropAt(demo.table, { 100, 160 }, &text).accepted);
    EXPECT_EQ(demo.validations, 0);
    EXPECT_TRUE(demo.moves.size() == 1);
}

TEST(TableViewDrag, TheDropLineFollowsRowsScrollingUnderAStillPointerAndShowsBesideTheImage)
{
    // Where the table stands, where the pointer stops, and whether the table scrolls by hand
    // rather than by the pointer standing at its edge.
    const struct
    {
        int startScroll, pointerY;
        bool byHand;
    } cases[] = { { 0, 390, false }, { 800, 5, false }, { 100, 220, true } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pointerY);
        DemoTable demo(DemoTable::rows(30));
        demo.table.show();
        demo.table.setScrollPosition(c.startScroll);
        const QPoint pointer(100, c.pointerY);
        int lineY = -1;
        QRect image;
        dragRow(demo, demo.table.rowAt({ 100, 150 }), pointer, [&](QDrag *drag) {
            QDragEnterEvent enter(pointer, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
            QApplication::sendEvent(demo.table.viewport(), &enter);
            if (c.byHand) {
                demo.table.setScrollPosition(c.startScroll + 20);
            } else { // five steps of the table's own scrolling
                EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return std::abs(demo.table.scrollPosition() - c.startScroll) >= 60; }));
            }
            // 40-pixel rows: the line stands in the nearer gap of the row under the pointer.
            const int scroll = demo.table.scrollPosition();
            EXPECT_EQ(demo.table.dropIndicatorRow(), (c.pointerY + scroll + 20) / 40);
            lineY = (c.pointerY + scroll + 20) / 40 * 40 - scroll;
            image
                = QRect(pointer - drag->hotSpot(), drag->pixmap().deviceIndependentSize().toSize());
        });
        EXPECT_FALSE(image.intersects(QRect(0, lineY - 4, demo.table.width(), 8)));
    }
}

TEST(TableViewDrag, ADragHeldBeyondAnEdgeScrollsFasterFurtherOutAndShowsTheDropALetGoMakes)
{
    // Let go below the table; called off above it, where the line shows below the picture.
    for (const bool below : { true, false }) {
        DemoTable demo(DemoTable::rows(60));
        demo.table.show();
        QScrollBar *bar = demo.table.verticalScrollBar();
        demo.table.setScrollPosition(below ? 0 : bar->maximum());
        QWidget *rows = demo.table.viewport();
        int step = 0;
        QObject::connect(bar, &QScrollBar::valueChanged, rows,
                         [&, last = bar->value()](int now) mutable {
                             step = std::abs(now - std::exchange(last, now));
                         });
        const auto hold = [&](int beyond, const std::function<bool()> &until) {
            QCursor::setPos(
                rows->mapToGlobal(QPoint(160, below ? rows->height() - 1 + beyond : -beyond)));
            EXPECT_TRUE(QTest::qWaitFor(until, 20000)) << beyond;
        };
        const int from = demo.table.rowAt({ 100, 200 });
        const QPoint start = demo.table.rectOfRow(from).center();
        demo.table.setDragRunner([&](QDrag *drag) {
            QDragEnterEvent enter(start, Qt::MoveAction, drag->mimeData(), {}, {});
            QApplication::sendEvent(rows, &enter);
            QDragLeaveEvent leave; // no drag event comes from beyond the table
            QApplication::sendEvent(rows, &leave);
            hold(10, [&] { return step > 0; });
            hold(150, [&, near = step] { return step > near; });
            hold(150, [&] { return bar->value() == (below ? bar->maximum() : 0); });
            hold(10, [&] { return demo.table.dropIndicatorRow() == (below ? 60 : 3); });
            // At the bottom edge, the line stands clear of a focus ring just inside it.
            const QImage drawn = test::render(rows);
            for (int y = drawn.height() - 6; below && y < drawn.height(); ++y)
                EXPECT_FALSE(
                    test::near(drawn.pixelColor(200, y), rows->palette().highlight().color()));
            if (below)
                QTest::mouseRelease(rows, Qt::LeftButton, {}, { 160, rows->height() + 9 });
            return Qt::IgnoreAction;
        });
        QTest::mousePress(rows, Qt::LeftButton, {}, start);
        QTest::mouseMove(rows, start + QPoint(0, 3 * QApplication::startDragDistance()));
        QTest::mouseRelease(rows, Qt::LeftButton, {}, start);
        QCursor::setPos(0, 0);
        EXPECT_EQ(demo.moves, (std::vector<std::pair<int, int>>(below, { from, 59 })));
    }
}

TEST(TableViewDrag, RowDataIsReadOnlyInItsOwnForm)
{
    EXPECT_EQ(TableRowsPayload::decode("v1 -3 0,4,17"), (TableRowsPayload { -3, { 0, 4, 17 } }));
    for (const char *bad :
         { "", "v1", "v1 3", "v1 3 ", "v2 3 1", "v1 +3 1", "v1 3 01", "v1 3 2,1", "v1 3 1,1",
           "v1 3 -1", "v1 3 1,,2", "v1  3 1", "v1 3 1 ", " v1 3 1", "v1 3 1,2,",
           "v1 99999999999999999999 1", "v1 3 4294967297", "v1 3 0x1" }) {
        EXPECT_FALSE(TableRowsPayload::decode(bad)) << bad;
    }
    EXPECT_FALSE(TableRowsPayload::decode("v1 3 " + QByteArray(2 << 20, '1')));
}

TEST(TableViewDrag, RendersADemoTableWithAFloatingSectionAndADropIndicator)
{
    std::vector<test::DemoItem> items;
    const char *sections[] = { "Games", "Productivity", "Utilities" };
    for (const char *section : sections) {
        items.push_back({ QString::fromLatin1(section), 22, true });
        for (int row = 0; row < 4; ++row)
            items.push_back({ QStringLiteral("%1 App %2").arg(section).arg(row + 1), 85, false });
    }
    DemoTable demo(items);
    demo.table.setInstantAnimations(true);
    demo.table.resize(360, 300);
    demo.table.show();
    demo.table.setScrollPosition(22 + 85 * 4 + 22 + 100); // inside the second section

    QImage during;
    const int gapAbove = 8; // the third row of the second section
    const QPoint target(150, demo.table.rectOfRow(gapAbove).top());
    dragRow(demo, 7, target, [&](QDrag *drag) {
        QDragEnterEvent enter(target, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(demo.table.viewport(), &enter);
        EXPECT_EQ(demo.table.dropIndicatorRow(), gapAbove);
        during = test::render(&demo.table);
    });
    ASSERT_FALSE(during.isNull());
    const QString path
        = QDir(test::testOutputDir(QStringLiteral("windows"))).filePath("table-demo-drag.png");
    EXPECT_TRUE(during.save(path)) << path.toStdString();

    // The floating section row is black; the next one, in place further down, dark grey.
    EXPECT_EQ(demo.table.floatingRow(), 5);
    const QRect floating = demo.table.rectOfRow(5);
    EXPECT_TRUE(
        test::near(during.pixelColor(floating.right() - 4, floating.center().y()), Qt::black));
    demo.table.setScrollPosition(demo.table.scrollPosition() + 200);
    const QImage later = test::render(&demo.table);
    const QRect inPlace = demo.table.rectOfRow(10);
    ASSERT_TRUE(demo.table.viewport()->rect().contains(inPlace));
    EXPECT_TRUE(test::near(later.pixelColor(inPlace.right() - 4, inPlace.center().y()),
                           test::kInPlaceSectionColor));
    later.save(QDir(test::testOutputDir(QStringLiteral("windows"))).filePath("table-demo.png"));
}

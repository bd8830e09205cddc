#include "controls/ColorWell.h"
#include "ControlsTestSupport.h"
#include "controls/ColorGridView.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <set>

using namespace tanvill;

namespace {

// A grid of `columns` × `rows` colours, with holes where asked.
class Palette : public ColorWellDataSource
{
public:
    Palette(unsigned columns, unsigned rows) : m_columns(columns), m_rows(rows) { }
    unsigned numberOfRowsInColorWell(ColorWell *) override { return m_rows; }
    unsigned numberOfColumnsInColorWell(ColorWell *) override { return m_columns; }
    std::optional<QColor> colorAt(ColorWell *, IndexPath path) override
    {
        if (holes.count({ path.column, path.row }))
            return std::nullopt;
        return colorFor(path);
    }
    static QColor colorFor(IndexPath path)
    {
        return QColor(int(40 * path.column), int(100 + 50 * path.row), 200);
    }
    std::set<std::pair<unsigned, unsigned>> holes;

private:
    unsigned m_columns;
    unsigned m_rows;
};

// Shows the grid in a host window below the well and takes it away again.
class Presenter : public ColorWellDelegate
{
public:
    explicit Presenter(QWidget *host) : m_host(host) { }
    void wantsToPresentColorGrid(ColorWell *, ColorGridView *grid) override
    {
        grid->setParent(m_host);
        grid->move(0, 40);
        grid->resize(grid->sizeHint());
        grid->show();
    }
    void wantsToDismissColorGrid(ColorWell *, ColorGridView *grid) override
    {
        grid->setParent(nullptr);
    }

private:
    QWidget *m_host;
};

QPoint centreOf(IndexPath path)
{
    return ColorGridView::cellFrame(path).center();
}

class ColorWellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(400, 200);
        window.move(300, 300);
        well = new ColorWell(&window);
        well->setGeometry(10, 10, 44, 23);
        well->setDataSource(&palette);
        well->setDelegate(&presenter);
    }

    QWidget window;
    Palette palette { 5, 2 };
    Presenter presenter { &window };
    ColorWell *well = nullptr;
};

} // namespace

TEST_F(ColorWellTest, GridGeometryFollowsTheDataSource)
{
    ColorGridView *grid = well->colorGridView();
    EXPECT_EQ(grid->sizeHint(), QSize(268, 78));
    EXPECT_EQ(ColorGridView::cellFrame({ 0, 0 }), QRect(20, 20, 44, 23));
    EXPECT_EQ(ColorGridView::cellFrame({ 4, 1 }), QRect(204, 45, 44, 23));

    Palette single(1, 1);
    well->setDataSource(&single);
    EXPECT_EQ(grid->sizeHint(), QSize(84, 53));
    well->setDataSource(nullptr);
    EXPECT_EQ(grid->sizeHint(), QSize(84, 53));
}

TEST_F(ColorWellTest, HitTestingFindsCellsButNotGapsOrMargins)
{
    ColorGridView *grid = well->colorGridView();
    EXPECT_EQ(grid->indexPathAtPoint(QPointF(20, 20)), (IndexPath { 0, 0 }));
    EXPECT_EQ(grid->indexPathAtPoint(QPointF(63.9, 42.9)), (IndexPath { 0, 0 }));
    EXPECT_EQ(grid->indexPathAtPoint(QPointF(66, 45)), (IndexPath { 1, 1 }));
    EXPECT_EQ(grid->indexPathAtPoint(QPointF(247, 67)), (IndexPath { 4, 1 }));
    EXPECT_FALSE(grid->indexPathAtPoint(QPointF(64, 30))); // gap between columns
    EXPECT_FALSE(grid->indexPathAtPoint(QPointF(30, 43.5))); // gap between rows
    EXPECT_FALSE(grid->indexPathAtPoint(QPointF(10, 10))); // margin
    EXPECT_FALSE(grid->indexPathAtPoint(QPointF(248, 30))); // right edge is outside
}

TEST_F(ColorWellTest, ChoosingASwatchSetsTheColourAndSendsTheActionOnce)
{
    QSignalSpy actions(well, &ColorWell::colorWellDidSelectColor);
    window.show();
    QTest::mouseClick(well, Qt::LeftButton);
    ASSERT_TRUE(well->isColorGridShown());
    ColorGridView *grid = well->colorGridView();

    QTest::mousePress(grid, Qt::LeftButton, {}, centreOf({ 3, 1 }));
    EXPECT_EQ(grid->selectedIndexPath(), (IndexPath { 3, 1 }));
    EXPECT_EQ(actions.count(), 0);
    QTest::mouseRelease(grid, Qt::LeftButton, {}, centreOf({ 3, 1 }));
    ASSERT_EQ(actions.count(), 1);
    EXPECT_EQ(actions.first().first().value<ColorWell *>(), well);
    EXPECT_EQ(well->color(), Palette::colorFor({ 3, 1 }));
    EXPECT_EQ(well->selectedIndexPath(), (IndexPath { 3, 1 }));
    EXPECT_TRUE(test::near(test::render(well).pixelColor(22, 11), Palette::colorFor({ 3, 1 })));
}

TEST_F(ColorWellTest, ReleasingOverAnotherSwatchOrAHoleChoosesNothing)
{
    palette.holes.insert({ 2, 0 });
    well->setSelectedIndexPath({ 1, 1 });
    QSignalSpy actions(well, &ColorWell::colorWellDidSelectColor);
    ColorGridView *grid = well->colorGridView();
    grid->resize(grid->sizeHint());
    grid->show();

    QTest::mousePress(grid, Qt::LeftButton, {}, centreOf({ 0, 0 }));
    QTest::mouseRelease(grid, Qt::LeftButton, {}, centreOf({ 1, 0 }));
    QTest::mousePress(grid, Qt::LeftButton, {}, centreOf({ 2, 0 }));
    QTest::mouseRelease(grid, Qt::LeftButton, {}, centreOf({ 2, 0 }));
    EXPECT_EQ(actions.count(), 0);
    EXPECT_EQ(well->selectedIndexPath(), (IndexPath { 1, 1 }));
    EXPECT_EQ(well->color(), Palette::colorFor({ 1, 1 }));
    // The hole draws no swatch.
    EXPECT_EQ(grid->cells().size(), 9u);
}

TEST_F(ColorWellTest, SelectionFromCodeSendsTheActionOnlyWhenThereIsAColour)
{
    palette.holes.insert({ 4, 0 });
    QSignalSpy actions(well, &ColorWell::colorWellDidSelectColor);
    well->setSelectedIndexPath({ 2, 1 });
    EXPECT_EQ(actions.count(), 1);
    EXPECT_EQ(well->color(), Palette::colorFor({ 2, 1 }));
    well->setSelectedIndexPath({ 4, 0 });
    EXPECT_EQ(actions.count(), 1);
    EXPECT_EQ(well->color(), Palette::colorFor({ 2, 1 }));
    EXPECT_EQ(well->colorGridView()->selectedIndexPath(), (IndexPath { 4, 0 }));
}

TEST_F(ColorWellTest, ClicksToggleTheGridTheChevronAndTheTooltip)
{
    window.show();
    EXPECT_EQ(well->toolTip(), QStringLiteral("Click to choose a color"));
    QTest::mouseClick(well, Qt::LeftButton);
    EXPECT_TRUE(well->isColorGridShown());
    EXPECT_TRUE(well->isIndicatorFlipped());
    EXPECT_EQ(well->toolTip(), QStringLiteral("Click to hide color grid"));
    QTest::mouseClick(well, Qt::LeftButton);
    EXPECT_FALSE(well->isColorGridShown());
    EXPECT_FALSE(well->isIndicatorFlipped());
    EXPECT_EQ(well->toolTip(), QStringLiteral("Click to choose a color"));

    // A right click is no click: the grid stays hidden, and a right click in a shown grid
    // chooses nothing.
    QTest::mouseClick(well, Qt::RightButton);
    EXPECT_FALSE(well->isColorGridShown());
    QTest::mouseClick(well, Qt::LeftButton);
    QSignalSpy actions(well, &ColorWell::colorWellDidSelectColor);
    QTest::mouseClick(well->colorGridView(), Qt::RightButton, {}, centreOf({ 2, 1 }));
    EXPECT_EQ(actions.count(), 0);
    EXPECT_EQ(well->colorGridView()->selectedIndexPath(), (IndexPath { 0, 0 }));
    QTest::mouseClick(well, Qt::LeftButton);

    // Without a delegate a click only turns the chevron up, where it stays.
    well->setDelegate(nullptr);
    EXPECT_FALSE(well->isIndicatorFlipped());
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(well, Qt::LeftButton);
        EXPECT_FALSE(well->isColorGridShown());
        EXPECT_TRUE(well->isIndicatorFlipped());
    }
}

TEST_F(ColorWellTest, HoverIndicatorOnlyInTheActiveWindow)
{
    QWidget other;
    other.resize(50, 50);
    window.show();
    ASSERT_TRUE(test::activate(&other));
    test::enter(well);
    EXPECT_FALSE(well->isMouseOverIndicatorShown());

    ASSERT_TRUE(test::activate(&window));
    test::enter(well);
    EXPECT_TRUE(well->isMouseOverIndicatorShown());
    ASSERT_TRUE(test::activate(&other));
    test::leave(well);
    EXPECT_FALSE(well->isMouseOverIndicatorShown());
}

TEST_F(ColorWellTest, GridOutlivingItsHostIsMadeAgain)
{
    {
        QWidget host;
        Presenter hostPresenter(&host);
        well->setDelegate(&hostPresenter);
        QTest::mouseClick(well, Qt::LeftButton);
        ASSERT_TRUE(well->isColorGridShown());
    }
    well->setDelegate(&presenter);
    EXPECT_FALSE(well->isColorGridShown());
    ASSERT_NE(well->colorGridView(), nullptr);
    EXPECT_EQ(well->colorGridView()->sizeHint(), QSize(268, 78));
}

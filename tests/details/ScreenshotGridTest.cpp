// The screenshot viewer: where the thumbnails and the large picture stand, how thumbnails
// take the shape of their pictures, press-drag-release selection, and pictures that arrive
// late or come from links that are not web links, and the keys that reach and choose them.
#include "DetailTestSupport.h"

#include "controls/Images.h"
#include "controls/KeyboardFocus.h"
#include "core/Screenshot.h"
#include "details/ScreenshotGrid.h"
#include "store/widgets/ImageViewBinding.h"

using namespace tanvill;

namespace {

class Shots : public ScreenshotGridDataSource
{
public:
    explicit Shots(App *app) : app(app) { }
    unsigned numberOfScreenshotsInGrid(ScreenshotGrid *) override
    {
        return unsigned(app->screenshots().size());
    }
    Screenshot *screenshotAtIndex(ScreenshotGrid *, int index) override
    {
        return app->screenshots()[size_t(index)];
    }
    App *app;
};

struct Grid : test::DetailTest
{
    Grid() { grid.resize(700, 450); }

    // Shows the application's screenshots and waits until every thumbnail has its picture.
    void show(App *app, bool waitForPictures = true)
    {
        source = std::make_unique<Shots>(app);
        grid.setDataSource(source.get());
        grid.show();
        if (!waitForPictures)
            return;
        const auto arrived = [](const MiniatureScreenshotCell *cell) {
            const QImage image = cell->imageView()->image();
            return !image.isNull() && image != ScreenshotGrid::thumbnailPlaceholder(AppKind::Phone)
                && image != ScreenshotGrid::thumbnailPlaceholder(AppKind::Pad)
                && image != ScreenshotGrid::thumbnailPlaceholder(AppKind::Mac);
        };
        ASSERT_TRUE(test::waitFor(
            [&] { return std::all_of(grid.cells().begin(), grid.cells().end(), arrived); }));
        test::drainEvents();
    }

    QRect cellRect(int i) const { return grid.cells()[size_t(i)]->geometry(); }

    ScreenshotGrid grid;
    std::unique_ptr<Shots> source;
};

} // namespace

TEST_F(Grid, ThumbnailsStandInATouchingCentredRowUnderTheLargePicture)
{
    show(watchApp({ "One", AppKind::Phone, { { 300, 600 } } }));
    EXPECT_EQ(cellRect(0).left() + cellRect(0).width() / 2, grid.width() / 2);

    show(watchApp({ "Two", AppKind::Phone, { { 300, 600 }, { 300, 600 } } }));
    EXPECT_EQ(cellRect(0).right() + 1, grid.width() / 2);
    EXPECT_EQ(cellRect(1).left(), grid.width() / 2);

    App *five = watchApp({ "Five", AppKind::Phone, std::vector<QSize>(5, QSize(300, 600)) });
    show(five);
    ASSERT_EQ(grid.cells().size(), 5u);
    const int left = cellRect(0).left();
    EXPECT_EQ(left, grid.width() - (cellRect(4).right() + 1)) << "centred";
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(cellRect(i).size(), QSize(48, 70)) << i;
        EXPECT_EQ(cellRect(i).left(), left + 48 * i) << i;
        EXPECT_EQ(cellRect(i).bottom() + 1, grid.height()) << i;
    }
    EXPECT_EQ(grid.selectedImageView()->geometry(),
              QRect(20, 20, grid.width() - 40, grid.height() - 110));
    EXPECT_EQ(wantedImageUrl(grid.selectedImageView()), five->screenshots()[0]->url());
    const QRect notch = grid.selectionIndicator()->geometry();
    EXPECT_EQ(notch.size(), QSize(15, 10));
    EXPECT_EQ(notch.top(), cellRect(0).top() + 1);
    EXPECT_EQ(notch.center().x(), cellRect(0).center().x());
    EXPECT_TRUE(grid.cells()[0]->isSelected());
}

TEST_F(Grid, ThumbnailsTakeTheShapeOfTheirPictures)
{
    const struct
    {
        AppKind kind;
        QSize picture;
        QSize thumbnail;
    } cases[] = {
        { AppKind::Phone, { 1200, 600 }, { 100, 56 } },
        { AppKind::Phone, { 500, 500 }, { 100, 56 } },
        { AppKind::Phone, { 600, 1200 }, { 48, 70 } },
        { AppKind::Pad, { 768, 1024 }, { 52, 70 } },
        { AppKind::Pad, { 1024, 768 }, { 93, 70 } },
        { AppKind::Mac, { 600, 1200 }, { 100, 70 } },
        { AppKind::Mac, { 1280, 800 }, { 100, 70 } },
    };
    for (const auto &c : cases) {
        show(watchApp({ "Shaped", c.kind, { c.picture, { 300, 300 } } }));
        EXPECT_EQ(cellRect(0).size(), c.thumbnail)
            << c.picture.width() << "x" << c.picture.height();
        EXPECT_EQ(cellRect(0).bottom() + 1, grid.height()) << "bottom-aligned";
        EXPECT_EQ(cellRect(0).right() + 1, grid.width() / 2)
            << "the pair still meets in the middle";
    }
}

TEST_F(Grid, PressingDraggingAndReleasingSelectsTheThumbnailUnderThePointer)
{
    App *shown = watchApp({ "Drag", AppKind::Phone, std::vector<QSize>(5, QSize(300, 600)) });
    show(shown);
    QTest::mousePress(&grid, Qt::LeftButton, {}, cellRect(3).center());
    EXPECT_TRUE(grid.cells()[3]->isSelected());
    EXPECT_FALSE(grid.cells()[0]->isSelected()) << "the highlight follows the pointer";
    QTest::mouseMove(&grid, cellRect(4).center());
    QMouseEvent drag(QEvent::MouseMove, QPointF(cellRect(4).center()),
                     grid.mapToGlobal(QPointF(cellRect(4).center())), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&grid, &drag);
    EXPECT_TRUE(grid.cells()[4]->isSelected());
    EXPECT_FALSE(grid.cells()[3]->isSelected());
    EXPECT_EQ(grid.selectedIndex(), 0) << "nothing is chosen before the release";
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, cellRect(4).center());
    EXPECT_EQ(grid.selectedIndex(), 4);
    EXPECT_EQ(wantedImageUrl(grid.selectedImageView()), shown->screenshots()[4]->url());
    EXPECT_EQ(grid.selectionIndicator()->geometry().center().x(), cellRect(4).center().x());

    // Released away from every thumbnail: the selection stays, highlighted again.
    QTest::mousePress(&grid, Qt::LeftButton, {}, cellRect(1).center());
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(grid.selectedIndex(), 4);
    EXPECT_TRUE(grid.cells()[4]->isSelected());
    EXPECT_FALSE(grid.cells()[1]->isSelected());
    EXPECT_EQ(wantedImageUrl(grid.selectedImageView()), shown->screenshots()[4]->url());

    // A reload starts on the first screenshot again.
    show(watchApp({ "Fewer", AppKind::Phone, { { 300, 600 } } }));
    EXPECT_EQ(grid.selectedIndex(), 0);
    EXPECT_TRUE(grid.cells()[0]->isSelected());
}

TEST_F(Grid, AWideRowIsNarrowedToStayInsideTheGrid)
{
    grid.resize(460, 450);
    show(watchApp({ "Many", AppKind::Mac, std::vector<QSize>(8, QSize(1280, 800)) }), false);
    ASSERT_EQ(grid.cells().size(), 8u);
    EXPECT_GE(cellRect(0).left(), 0);
    EXPECT_LE(cellRect(7).right(), grid.width() - 1);
    for (int i = 1; i < 8; ++i)
        EXPECT_EQ(cellRect(i).left(), cellRect(i - 1).right() + 1);
    // Every thumbnail can be clicked.
    QTest::mouseClick(&grid, Qt::LeftButton, {}, cellRect(7).center());
    EXPECT_EQ(grid.selectedIndex(), 7);
}

TEST_F(Grid, LatePicturesAndLinksThatAreNotWebLinksChangeNothing)
{
    // The grid moves on to another application before the first one's pictures arrive.
    server.setDefaultDelayMs(150);
    App *slow = watchApp({ "Slow", AppKind::Phone, { { 1200, 600 }, { 1200, 600 } } });
    show(slow, false);
    App *pad = watchApp({ "Pad", AppKind::Pad, { { 1024, 768 }, { 1024, 768 } } });
    show(pad);
    // Asked for after the grid's own requests, the first pictures reach the grid before us.
    ASSERT_TRUE(test::warmPictures(services.imageCache(), slow, 10000));
    test::drainEvents();
    EXPECT_EQ(cellRect(0).size(), QSize(93, 70));
    EXPECT_EQ(cellRect(1).size(), QSize(93, 70));

    // A file link is never read: the placeholder stays.
    App *local = watchApp({ "Local" });
    Screenshot *shot = lists().managedObjectContext()->insertScreenshot(local);
    shot->setUrl("file:///etc/hostname");
    show(local, false);
    // The image cache finishes with every link it takes; the placeholders come a moment later.
    ASSERT_TRUE(test::waitFor([&] {
        return services.imageCache().loadingLinkCount() == 0
            && !grid.cells()[0]->imageView()->image().isNull()
            && !grid.selectedImageView()->image().isNull();
    }));
    test::drainEvents();
    EXPECT_EQ(grid.cells()[0]->imageView()->image(),
              ScreenshotGrid::thumbnailPlaceholder(AppKind::Phone));
    EXPECT_EQ(grid.selectedImageView()->image(), ScreenshotGrid::selectedPlaceholder());
    for (const char *name : { "screenshot-mac-placeholder", "screenshot-ipad-placeholder",
                              "screenshot-iphone-placeholder", "selected-screenshot-placeholder" })
        EXPECT_TRUE(Images::contains(name)) << name;
}

TEST_F(Grid, TheKeyboardReachesEveryThumbnailWithItsRingAndChoosesOne)
{
    show(watchApp({ "Keys", AppKind::Phone, std::vector<QSize>(3, QSize(300, 600)) }));
    ASSERT_TRUE(test::activate(&grid));
    grid.setFocus(); // the keyboard comes from the control before the thumbnails
    // A key, the thumbnail then focused and the one chosen.
    const std::tuple<Qt::Key, int, int> steps[]
        = { { Qt::Key_Tab, 0, 0 },   { Qt::Key_Right, 1, 0 },  { Qt::Key_Right, 2, 0 },
            { Qt::Key_Right, 2, 0 }, { Qt::Key_Return, 2, 2 }, { Qt::Key_Backtab, 1, 2 },
            { Qt::Key_Left, 0, 2 },  { Qt::Key_Space, 0, 0 } };
    for (const auto &[key, focused, chosen] : steps) {
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_EQ(focusRingTarget(), grid.cells()[size_t(focused)]) << key;
        EXPECT_TRUE(grid.selectedIndex() == chosen && grid.cells()[size_t(chosen)]->isSelected());
    }
}

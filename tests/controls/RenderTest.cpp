// Renders every control in each of its states to PNG files under the test output folder, so
// that a person can look at them; each file must come out non-empty.
#include "ControlsTestSupport.h"
#include "controls/AppIconView.h"
#include "controls/ArchivePriceBadge.h"
#include "controls/BorderedButton.h"
#include "controls/ColorGridView.h"
#include "controls/ColorWell.h"
#include "controls/ColoredView.h"
#include "controls/HoverButton.h"
#include "controls/Images.h"
#include "controls/ImplicitButton.h"
#include "controls/Label.h"
#include "controls/LongPressMenuButton.h"
#include "controls/PageControl.h"
#include "controls/PopoverShape.h"
#include "controls/ProgressHUD.h"
#include "controls/RatingView.h"
#include "controls/TabBarBackgroundView.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

class ThemePalette : public ColorWellDataSource
{
public:
    unsigned numberOfRowsInColorWell(ColorWell *) override { return 2; }
    unsigned numberOfColumnsInColorWell(ColorWell *) override { return 5; }
    std::optional<QColor> colorAt(ColorWell *, IndexPath path) override
    {
        const unsigned index = path.row * 5 + path.column;
        if (index >= allThemeNames().size())
            return std::nullopt;
        return Theme { allThemeNames()[index] }.lightColor();
    }
};

class RenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        stage.resize(320, 120);
        stage.move(400, 400);
        QPalette palette = stage.palette();
        palette.setColor(QPalette::Window, Theme { ThemeName::Navy }.darkColor());
        stage.setPalette(palette);
        stage.setAutoFillBackground(true);
        test::activate(&stage);
    }

    // Writes the part of the coloured stage under `widget`, margin included, to a PNG.
    void save(QWidget *widget, const QString &name)
    {
        widget->show();
        QApplication::processEvents();
        const QRect area = widget == &stage
            ? stage.rect()
            : widget->geometry().adjusted(-4, -4, 4, 4).intersected(stage.rect());
        const QImage image = stage.grab(area).toImage();
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        const QString path
            = QDir(test::testOutputDir(QStringLiteral("controls"))).filePath(name + ".png");
        ASSERT_TRUE(image.save(path)) << path.toStdString();
    }

    QWidget stage;
};

} // namespace

TEST_F(RenderTest, TextAndPlainViews)
{
    auto *label = new Label(&stage);
    label->setGeometry(10, 10, 120, 20);
    label->setStringValue(QStringLiteral("A very long application name indeed"));
    label->show();
    save(&stage, QStringLiteral("label-shortened"));
    label->setTruncateString(false);
    label->resize(300, 20);
    save(&stage, QStringLiteral("label-whole"));
    delete label;

    auto *colored = new ColoredView(&stage);
    colored->setGeometry(10, 10, 100, 50);
    colored->setColor(Theme { ThemeName::Orange }.lightColor());
    save(colored, QStringLiteral("colored-view"));

    auto *tabBar = new TabBarBackgroundView(&stage);
    tabBar->setGeometry(0, 70, 320, 40);
    tabBar->setColor(QColor(236, 236, 236));
    save(tabBar, QStringLiteral("tab-bar-background"));

    auto *badge = new ArchivePriceBadge(&stage);
    badge->label()->setStringValue(QStringLiteral("$4.99"));
    badge->setGeometry(150, 10, 64, 20);
    save(badge, QStringLiteral("archive-price-badge"));
}

TEST_F(RenderTest, Buttons)
{
    auto *implicit = new ImplicitButton(&stage);
    implicit->setText(QStringLiteral("Games"));
    implicit->setGeometry(10, 10, implicit->sizeHint().width(), implicit->sizeHint().height());
    save(implicit, QStringLiteral("implicit-button-normal"));
    test::enter(implicit);
    save(implicit, QStringLiteral("implicit-button-hovered"));
    implicit->setDown(true);
    save(implicit, QStringLiteral("implicit-button-pressed"));

    auto *bordered = new BorderedButton(&stage);
    bordered->setTitle(QStringLiteral("$2.99"));
    bordered->setGeometry(10, 60, 80, 26);
    save(bordered, QStringLiteral("bordered-button-enabled"));
    bordered->setDown(true);
    save(bordered, QStringLiteral("bordered-button-pressed"));
    bordered->setDown(false);
    bordered->setEnabled(false);
    save(bordered, QStringLiteral("bordered-button-disabled"));

    auto *hover = new HoverButton(&stage);
    hover->setImage(Images::pixmap(QStringLiteral("star-empty"), QSize(24, 24)));
    hover->setGeometry(150, 10, 24, 24);
    save(hover, QStringLiteral("hover-button-normal"));
    test::enter(hover);
    save(hover, QStringLiteral("hover-button-hovered"));

    auto *longPress = new LongPressMenuButton(&stage);
    longPress->setText(QStringLiteral("+"));
    longPress->setGeometry(150, 60, 40, 30);
    save(longPress, QStringLiteral("long-press-button-normal"));
    longPress->setDown(true);
    save(longPress, QStringLiteral("long-press-button-held"));
}

TEST_F(RenderTest, ColourWellAndGrid)
{
    ThemePalette palette;
    auto *well = new ColorWell(&stage);
    well->setDataSource(&palette);
    well->setGeometry(10, 10, 44, 23);
    well->setSelectedIndexPath({ 2, 0 });
    save(well, QStringLiteral("color-well"));
    test::enter(well);
    save(well, QStringLiteral("color-well-hovered"));

    ColorGridView *grid = well->colorGridView();
    grid->setParent(&stage);
    grid->setGeometry(0, 0, grid->sizeHint().width(), grid->sizeHint().height());
    grid->setNeedsDisplay();
    save(grid, QStringLiteral("color-grid"));
    grid->setArrowPosition(32);
    QTest::mousePress(grid, Qt::LeftButton, {}, ColorGridView::cellFrame({ 3, 1 }).center());
    save(grid, QStringLiteral("color-grid-arrow-pressed"));
    save(well, QStringLiteral("color-well-hovered-grid-shown"));
    grid->setParent(nullptr);
}

TEST_F(RenderTest, Indicators)
{
    auto *pages = new PageControl(&stage);
    pages->setGeometry(10, 10, 100, 20);
    pages->setTheme(Theme { ThemeName::Pink });
    pages->setNumberOfPages(5);
    pages->setSelectedPage(2);
    save(pages, QStringLiteral("page-control"));

    auto *stars = new RatingView(&stage);
    stars->setGeometry(10, 40, 80, 16);
    for (const float rating : { 0.0f, 1.0f, 3.5f, 3.7f, 5.0f }) {
        stars->setRating(rating);
        save(stars, QStringLiteral("rating-%1").arg(rating));
    }

    auto *icon = new AppIconView(&stage);
    icon->setGeometry(200, 10, 60, 60);
    QPixmap image(60, 60);
    image.fill(Theme { ThemeName::Cyan }.lightColor());
    icon->setImage(image);
    icon->setAppKind(AppKind::Phone);
    save(icon, QStringLiteral("app-icon-phone"));
    icon->setAppKind(AppKind::Mac);
    save(icon, QStringLiteral("app-icon-mac"));
}

TEST_F(RenderTest, Overlays)
{
    auto *beneath = new Label(QStringLiteral("Content beneath the overlay"), &stage);
    beneath->setGeometry(10, 10, 250, 20);
    beneath->show();
    auto *dim = new ModalBackgroundView(&stage);
    dim->show();
    save(&stage, QStringLiteral("modal-background"));
    delete dim;

    auto *hud = new ProgressHUD(&stage);
    hud->setFadeDuration(0);
    hud->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return hud->alphaValue() == 1.0; }, 10000));
    save(&stage, QStringLiteral("progress-hud"));
}

TEST(PopoverShapeTest, AtTwiceTheScaleEveryPixelThroughTheCutIsPainted)
{
    // Without a compositor the window is cut along whole points: at twice the scale each is
    // four pixels, and one left transparent shows black.
    PopoverShape::setWindowSystemShowsTranslucency(false);
    for (const auto edge : { PopoverShape::ArrowEdge::Top, PopoverShape::ArrowEdge::Bottom,
                             PopoverShape::ArrowEdge::Left, PopoverShape::ArrowEdge::Right }) {
        QWidget popover;
        popover.resize(240, 90);
        const PopoverShape shape { 8, 9, 9, edge };
        shape.shapeWindow(popover, 60);
        QImage image(popover.size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        shape.paint(painter, popover, 60, QColor(0x3a, 0x3a, 0x3c),
                    QColor::fromRgbF(1, 1, 1, .14f));
        painter.end();
        image.save(test::testOutputDir("windows")
                   + QString("/popover-scale2-%1.png").arg(int(edge)));
        const QRegion cut = popover.mask();
        int transparent = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                transparent
                    += cut.contains(QPoint(x / 2, y / 2)) && qAlpha(image.pixel(x, y)) < 255;
        }
        EXPECT_EQ(transparent, 0);
    }
    PopoverShape::setWindowSystemShowsTranslucency(std::nullopt);
}

#include "controls/PopoverShape.h"
#include "ControlsTestSupport.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

using namespace tanvill;

TEST(PopoverShapeTest, AtTwiceTheScaleEveryPixelThroughTheCutIsPaintedAndOpaque)
{
    // Without a compositor the window is cut to the outline along whole points; painted at
    // twice the scale, each point is four pixels, and a transparent one would show black.
    PopoverShape::setWindowSystemShowsTranslucency(false);
    for (const auto edge : { PopoverShape::ArrowEdge::Top, PopoverShape::ArrowEdge::Bottom }) {
        QWidget popover;
        popover.resize(240, 90);
        const PopoverShape shape { 8, 9, 9, edge };
        shape.shapeWindow(popover, 60);
        const QRegion cut = popover.mask();
        ASSERT_FALSE(cut.isEmpty());
        QImage image(popover.size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        shape.paint(painter, popover, 60, QColor(0x3a, 0x3a, 0x3c),
                    QColor::fromRgbF(1, 1, 1, 0.14f));
        painter.end();
        const bool top = edge == PopoverShape::ArrowEdge::Top;
        image.save(QDir(test::testOutputDir("windows"))
                       .filePath(top ? "popover-scale2.png" : "popover-scale2-above.png"));
        int transparent = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                transparent
                    += cut.contains(QPoint(x / 2, y / 2)) && qAlpha(image.pixel(x, y)) < 255;
        }
        EXPECT_EQ(transparent, 0);
        // The arrow's tip is on the edge it points from, the corners beside it are cut away.
        EXPECT_TRUE(cut.contains(QPoint(60, top ? 2 : 87)));
        EXPECT_FALSE(cut.contains(QPoint(0, top ? 9 : 80)));
    }
    PopoverShape::setWindowSystemShowsTranslucency(std::nullopt);
}

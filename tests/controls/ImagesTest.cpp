#include "controls/Images.h"

#include <gtest/gtest.h>

using namespace tanvill;

TEST(ImagesTest, EveryDrawingTheControlsNeedIsShipped)
{
    for (const char *name :
         { "star-full", "star-half", "star-empty", "working_animation_1", "working_animation_2",
           "working_animation_3", "working_animation_4" }) {
        EXPECT_TRUE(Images::contains(QString::fromLatin1(name))) << name;
        EXPECT_FALSE(Images::pixmap(QString::fromLatin1(name), QSize(20, 20)).isNull()) << name;
    }
    EXPECT_FALSE(Images::contains(QStringLiteral("no-such-image")));
    EXPECT_TRUE(Images::pixmap(QStringLiteral("no-such-image"), QSize(20, 20)).isNull());
}

TEST(ImagesTest, TintingMultipliesColoursAndKeepsTransparency)
{
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixelColor(0, 0, Qt::white);
    image.setPixelColor(1, 0, QColor(128, 128, 128));
    image.setPixelColor(2, 0, QColor(255, 255, 255, 0));
    const QImage tinted = tintedImageWithColor(image, QColor(200, 100, 50));
    EXPECT_EQ(tinted.size(), image.size());
    EXPECT_EQ(tinted.pixelColor(0, 0), QColor(200, 100, 50));
    EXPECT_EQ(tinted.pixelColor(1, 0), QColor(100, 50, 25));
    EXPECT_EQ(tinted.pixelColor(2, 0).alpha(), 0);
    EXPECT_TRUE(tintedImageWithColor(QImage(), Qt::red).isNull());
}

TEST(ImagesTest, FadingScalesOpacity)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(QColor(10, 200, 30));
    EXPECT_EQ(imageWithAlpha(image, 1.0).pixelColor(1, 1), QColor(10, 200, 30));
    EXPECT_EQ(imageWithAlpha(image, 0.0).pixelColor(1, 1).alpha(), 0);
    EXPECT_NEAR(imageWithAlpha(image, 0.5).pixelColor(1, 1).alpha(), 128, 1);
    EXPECT_EQ(imageWithAlpha(image, 0.5).size(), image.size());
}

#include "ControlsTestSupport.h"
#include "controls/ArchivePriceBadge.h"
#include "controls/NoScrollScrollView.h"
#include "controls/TabBarBackgroundView.h"

#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace tanvill;

TEST(PlainViewsTest, TabBarDrawsItsColourUnderABlackTopLine)
{
    TabBarBackgroundView bar;
    bar.resize(200, 40);
    EXPECT_EQ(bar.color(), bar.palette().color(QPalette::Window));
    bar.setColor(QColor(236, 236, 236));
    bar.show();
    const QImage image = test::render(&bar);
    EXPECT_EQ(image.pixelColor(100, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(100, 1), QColor(236, 236, 236));
    EXPECT_EQ(image.pixelColor(100, 39), QColor(236, 236, 236));
}

TEST(PlainViewsTest, PriceBadgeStaysACapsuleWhenResized)
{
    ArchivePriceBadge badge;
    badge.resize(60, 20);
    EXPECT_DOUBLE_EQ(badge.cornerRadius(), 10.0);
    badge.resize(80, 30);
    EXPECT_DOUBLE_EQ(badge.cornerRadius(), 15.0);
}

TEST(PlainViewsTest, ScrollWheelMovesNeitherTheViewNorItsScrollBars)
{
    NoScrollScrollView view;
    auto *content = new QWidget;
    content->resize(200, 2000);
    view.setWidget(content);
    view.resize(200, 100);
    view.show();
    ASSERT_GT(view.verticalScrollBar()->maximum(), 0);
    const auto wheelOver = [](QWidget *target) {
        const QPointF at(5, 5);
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, -360), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
        return wheel.isAccepted();
    };
    EXPECT_TRUE(wheelOver(view.viewport()));
    wheelOver(view.verticalScrollBar());
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
}

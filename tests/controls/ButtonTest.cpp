#include "ControlsTestSupport.h"
#include "controls/BorderedButton.h"
#include "controls/HoverButton.h"
#include "controls/ImplicitButton.h"
#include "controls/LongPressMenuButton.h"
#include "core/Theme.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cmath>

using namespace tanvill;

namespace {

QColor withAlpha(QColor color, float alpha)
{
    color.setAlphaF(alpha);
    return color;
}

QPixmap whiteSquare()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::white);
    return pixmap;
}

} // namespace

TEST(ImplicitButtonTest, LightsUpOnHoverAndMoreWhilePressed)
{
    ImplicitButton button;
    button.setText(QStringLiteral("Games"));
    button.setTintColor(Qt::yellow);
    button.resize(button.sizeHint());
    button.show();
    EXPECT_EQ(button.backgroundColor().alpha(), 0);

    test::enter(&button);
    EXPECT_TRUE(test::near(button.backgroundColor(), withAlpha(Qt::yellow, 0.165f), 1));
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_TRUE(test::near(button.backgroundColor(), withAlpha(Qt::yellow, 0.33f), 1));
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_TRUE(test::near(button.backgroundColor(), withAlpha(Qt::yellow, 0.165f), 1));
    test::leave(&button);
    EXPECT_EQ(button.backgroundColor().alpha(), 0);

    // A little wider than its 20-pixel title.
    EXPECT_EQ(button.font().pixelSize(), 20);
    EXPECT_GE(button.sizeHint().width(),
              QFontMetrics(button.font()).horizontalAdvance(QStringLiteral("Games")) + 10);
}

TEST(ImplicitButtonTest, DisabledStillHoversButDoesNotPress)
{
    ImplicitButton button;
    button.setText(QStringLiteral("List"));
    button.resize(100, 30);
    button.show();
    button.setEnabled(false);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    test::enter(&button);
    EXPECT_TRUE(button.isMouseOver());
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_TRUE(test::near(button.backgroundColor(), withAlpha(Qt::white, 0.165f), 1));
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 0);
}

TEST(BorderedButtonTest, ColoursFollowEnabledAndPressedStates)
{
    BorderedButton button;
    button.setTitle(QStringLiteral("$0.99"));
    button.resize(80, 24);
    button.show();
    EXPECT_EQ(button.backgroundColor().alpha(), 0);
    EXPECT_EQ(button.borderColor(), QColor(Qt::white));
    EXPECT_EQ(button.titleColor(), QColor(Qt::white));

    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(button.backgroundColor(), QColor(Qt::white));
    EXPECT_TRUE(test::near(button.titleColor(), QColor::fromRgbF(0.224f, 0.224f, 0.224f), 1));
    EXPECT_EQ(button.borderColor(), QColor(Qt::white));
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button.backgroundColor().alpha(), 0);

    button.setEnabled(false);
    const QColor disabled = button.palette().color(QPalette::Disabled, QPalette::ButtonText);
    EXPECT_EQ(button.borderColor(), disabled);
    EXPECT_EQ(button.titleColor(), disabled);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button.backgroundColor().alpha(), 0);

    // A new tint shows at once.
    button.setEnabled(true);
    button.setTintColor(Qt::red);
    EXPECT_EQ(button.borderColor(), QColor(Qt::red));
    EXPECT_EQ(button.titleColor(), QColor(Qt::red));
}

TEST(BorderedButtonTest, WidthConstraintOnlyGrowsToFitTheTitle)
{
    BorderedButton button;
    const auto titleOfWidth = [&](int pixels) {
        QString title;
        while (QFontMetricsF(button.font()).horizontalAdvance(title + QLatin1Char('W')) <= pixels)
            title += QLatin1Char('W');
        return title;
    };
    const QString wide = titleOfWidth(50);
    const int wideWidth = int(std::ceil(QFontMetricsF(button.font()).horizontalAdvance(wide))) + 20;
    button.setWidthConstraint(40);
    button.show();
    button.setTitle(wide);
    EXPECT_EQ(button.widthConstraint(), wideWidth);
    EXPECT_EQ(button.width(), wideWidth);

    button.setTitle(titleOfWidth(30));
    EXPECT_EQ(button.widthConstraint(), wideWidth);
    EXPECT_EQ(button.width(), wideWidth);

    // A constraint already wide enough is left alone.
    BorderedButton roomy;
    roomy.setWidthConstraint(300);
    roomy.setTitle(QStringLiteral("Add"));
    EXPECT_EQ(roomy.widthConstraint(), 300);
}

TEST(HoverButtonTest, TintsOnlyInTheActiveWindowAndNeverLosesItsImage)
{
    const QColor cyan = Theme { ThemeName::Cyan }.lightColor();
    QWidget window;
    auto *button = new HoverButton(&window);
    EXPECT_EQ(button->tint(), Theme {}.lightColor());
    button->setTint(cyan);
    button->setImage(whiteSquare());
    button->resize(16, 16);
    QWidget other;
    other.resize(50, 50);
    window.resize(50, 50);
    // Away from the pointer, so that only the test's own events hover.
    window.move(300, 300);
    window.show();
    ASSERT_TRUE(test::activate(&other));
    ASSERT_FALSE(window.isActiveWindow());

    // Entered while another window is active: untinted, and leaving keeps the image.
    test::enter(button);
    EXPECT_FALSE(button->isTinted());
    test::leave(button);
    ASSERT_FALSE(button->displayedImage().isNull());
    EXPECT_EQ(button->displayedImage().toImage().pixelColor(8, 8), QColor(Qt::white));

    ASSERT_TRUE(test::activate(&window));
    test::enter(button);
    test::enter(button);
    // Tinted from the untinted image both times: white times the tint is the tint itself.
    EXPECT_EQ(button->displayedImage().toImage().pixel(8, 8), cyan.rgba());
    // A new tint from the owner shows at once while hovered.
    const QColor red = Theme { ThemeName::Red }.lightColor();
    button->setTint(red);
    EXPECT_EQ(button->displayedImage().toImage().pixel(8, 8), red.rgba());
    test::leave(button);
    EXPECT_EQ(button->displayedImage().toImage().pixelColor(8, 8), QColor(Qt::white));
}

class LongPressMenuButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        menu.addAction(QStringLiteral("Import"));
        button.setText(QStringLiteral("+"));
        button.setPopUpMenu(&menu);
        button.setLongPressInterval(300);
        button.resize(60, 30);
        button.show();
    }

    QMenu menu;
    LongPressMenuButton button;
};

TEST_F(LongPressMenuButtonTest, QuickClickActsOnceWithoutMenu)
{
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QSignalSpy shown(&button, &LongPressMenuButton::menuShown);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(button.isDown());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10), 50);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(button.isDown());
    // The press's own timer, had it run on, would have fired by now.
    EXPECT_TRUE(test::waitPastTimer(button.longPressInterval()) && shown.isEmpty());
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(LongPressMenuButtonTest, HoldingShowsMenuAtThePressAndReleaseDoesNothing)
{
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QSignalSpy shown(&button, &LongPressMenuButton::menuShown);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(12, 7));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.count() == 1; }, 10000));
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(shown.first().first().toPoint(), QPoint(12, 7));
    EXPECT_FALSE(button.isDown());
    menu.hide();
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(12, 7));
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(LongPressMenuButtonTest, SecondPressWaitsTheWholeIntervalAgain)
{
    QSignalSpy shown(&button, &LongPressMenuButton::menuShown);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(10, 10));
    // Half the interval passes before the next press: a wait left over from the click would
    // end half way through that press.
    EXPECT_TRUE(test::waitPastTimer(button.longPressInterval() / 2) && shown.isEmpty())
        << "a click shows no menu";
    QElapsedTimer held;
    held.start();
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.count() == 1; }, 10000));
    EXPECT_GE(held.elapsed(), button.longPressInterval() - 5);
}

TEST_F(LongPressMenuButtonTest, ReleasingAwayFromTheButtonCancelsTheClick)
{
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_FALSE(button.isDown());
}

TEST_F(LongPressMenuButtonTest, LongPressWithoutMenuIsASlowClick)
{
    button.setPopUpMenu(nullptr);
    button.setLongPressInterval(20);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QSignalSpy shown(&button, &LongPressMenuButton::menuShown);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(test::waitPastTimer(button.longPressInterval()) && shown.isEmpty())
        << "held past the interval, with no menu to show";
    EXPECT_TRUE(button.isDown());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(LongPressMenuButtonTest, DisablingOrHidingWhileHeldEndsTheHold)
{
    button.setLongPressInterval(50);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QSignalSpy shown(&button, &LongPressMenuButton::menuShown);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    button.setEnabled(false);
    EXPECT_FALSE(button.isDown());
    button.setEnabled(true);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    button.hide();
    EXPECT_TRUE(test::waitPastTimer(button.longPressInterval()) && shown.isEmpty());
    EXPECT_FALSE(menu.isVisible());
    EXPECT_FALSE(button.isDown());

    // The next click on the button acts as usual.
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 1);
}

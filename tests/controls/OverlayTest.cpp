#include "ControlsTestSupport.h"
#include "controls/KeyboardFocus.h"
#include "controls/ModalBackgroundView.h"
#include "controls/ProgressHUD.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// Counts the events that get past the overlay to the view it covers.
class CoveredView : public QWidget
{
public:
    int presses = 0;
    int rightPresses = 0;
    int wheels = 0;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        ++(event->button() == Qt::RightButton ? rightPresses : presses);
    }
    void wheelEvent(QWheelEvent *) override { ++wheels; }
};

class OverlayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.resize(300, 200);
        button = new QPushButton(QStringLiteral("Beneath"), &view);
        button->setGeometry(10, 10, 100, 30);
        field = new QLineEdit(&view);
        field->setGeometry(10, 50, 100, 30);
        ASSERT_TRUE(test::activate(&view));
        field->setFocus();
    }

    void sendWheel(QWidget *target)
    {
        const QPointF at(50, 100);
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    }

    CoveredView view;
    QPushButton *button = nullptr;
    QLineEdit *field = nullptr;
};

} // namespace

TEST_F(OverlayTest, ModalBackgroundSwallowsClicksScrollingAndKeys)
{
    auto *overlay = new ModalBackgroundView(&view);
    overlay->show();
    overlay->raise();
    overlay->setFocus();
    QSignalSpy clicks(button, &QPushButton::clicked);

    QTest::mouseClick(view.childAt(QPoint(20, 20)), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseClick(overlay, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseDClick(overlay, Qt::LeftButton, {}, QPoint(200, 150));
    sendWheel(overlay);
    QTest::keyClicks(overlay, QStringLiteral("typed"));
    QTest::keyClick(overlay, Qt::Key_Tab);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(view.presses, 0);
    EXPECT_EQ(view.wheels, 0);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), overlay);

    // Other buttons take their usual way up to the covered view.
    QTest::mouseClick(overlay, Qt::RightButton, {}, QPoint(200, 150));
    EXPECT_EQ(view.rightPresses, 1);
}

TEST_F(OverlayTest, ModalBackgroundKeepsCoveringItsResizedView)
{
    auto *overlay = new ModalBackgroundView(&view);
    EXPECT_EQ(overlay->parentView(), &view);
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), view.rect());
    view.resize(420, 330);
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 420, 330));
    overlay->show();
    const QImage image = test::render(&view);
    // Dimmed: the view's background darkened by a third.
    const QColor plain = view.palette().color(QPalette::Window);
    EXPECT_LT(image.pixelColor(400, 300).lightness(), plain.lightness() * 0.75);
}

TEST_F(OverlayTest, BusyOverlayFadesInAnimatesAndRemovesItselfWhenHidden)
{
    QPointer<ProgressHUD> hud = new ProgressHUD(&view);
    hud->setFadeDuration(60);
    hud->setAnimationDuration(200);
    QSignalSpy clicks(button, &QPushButton::clicked);

    hud->show();
    EXPECT_LT(hud->alphaValue(), 0.5);
    EXPECT_TRUE(hud->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return hud->alphaValue() == 1.0; }, 10000));

    // The four frames in order, then the first again, never backwards.
    std::vector<int> frames { hud->currentFrame() };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (hud->currentFrame() != frames.back())
                frames.push_back(hud->currentFrame());
            return frames.size() >= 6;
        },
        10000));
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_EQ(frames[i], (frames[i - 1] + 1) % 4);

    QTest::mouseClick(hud, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed"));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(field->text().isEmpty());

    QSignalSpy hidden(hud.data(), &ProgressHUD::hidden);
    hud->hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return hud.isNull(); }, 10000));
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_TRUE(view.findChildren<ModalBackgroundView *>().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), field);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(OverlayTest, BusyOverlayShownAgainWhileFadingOutCanStillBeHidden)
{
    QPointer<ProgressHUD> hud = new ProgressHUD(&view);
    hud->setFadeDuration(60);
    hud->show();
    hud->hide();
    hud->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return hud->alphaValue() == 1.0; }, 10000));
    EXPECT_TRUE(hud->isVisible());
    hud->hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return hud.isNull(); }, 10000));
}

TEST_F(OverlayTest, BusyOverlayGivesTheKeysBackWhereTheKeyboardWasRingAndAll)
{
    auto *last = new QPushButton(QStringLiteral("Last"), &view);
    last->setGeometry(10, 90, 100, 30);
    last->show();
    last->setFocus(Qt::TabFocusReason);
    QPointer<ProgressHUD> hud = new ProgressHUD(&view);
    hud->setFadeDuration(0);
    hud->show();
    EXPECT_EQ(QApplication::focusWidget(), hud.data());
    hud->hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return hud.isNull(); }, 10000));
    EXPECT_EQ(focusRingTarget(), last);
}

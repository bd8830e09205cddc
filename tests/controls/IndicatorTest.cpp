#include "ControlsTestSupport.h"
#include "controls/AppIconView.h"
#include "controls/PageControl.h"
#include "controls/RatingView.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

const QColor kGold(0xF5, 0xB3, 0x23);
const QColor kGrey(0xD3, 0xD3, 0xD3);

class PageControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        control.resize(100, 20);
        control.setTheme(Theme { ThemeName::Blue });
        control.setNumberOfPages(4);
        control.show();
    }

    QPoint dotCentre(unsigned page) const { return control.dotRect(page).center().toPoint(); }

    PageControl control;
};

} // namespace

TEST_F(PageControlTest, DotsAreCentredTenApart)
{
    for (unsigned pages = 2; pages <= 5; ++pages) {
        control.setNumberOfPages(pages);
        const qreal first = 50 - 5.0 * (pages - 1);
        for (unsigned page = 0; page < pages; ++page) {
            EXPECT_DOUBLE_EQ(control.dotRect(page).center().x(), first + 10.0 * page);
            EXPECT_DOUBLE_EQ(control.dotRect(page).center().y(), 10.0);
            EXPECT_EQ(control.dotRect(page).size(), QSizeF(5, 5));
        }
    }
}

TEST_F(PageControlTest, ClickSelectsTheDotUnderTheMouseAndActsOnRelease)
{
    QSignalSpy actions(&control, &PageControl::clicked);
    QTest::mousePress(&control, Qt::LeftButton, {}, dotCentre(2));
    EXPECT_EQ(control.selectedPage(), 2u);
    EXPECT_EQ(actions.count(), 0);
    QTest::mouseRelease(&control, Qt::LeftButton, {}, dotCentre(2));
    EXPECT_EQ(actions.count(), 1);

    // Between two dots: no change, yet the release still acts once.
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_EQ(control.selectedPage(), 2u);
    EXPECT_EQ(actions.count(), 2);
}

TEST_F(PageControlTest, DraggingAcrossTheDotsMovesTheSelectionAndActsOnceAtTheEnd)
{
    QSignalSpy actions(&control, &PageControl::clicked);
    QTest::mousePress(&control, Qt::LeftButton, {}, dotCentre(0));
    EXPECT_EQ(control.selectedPage(), 0u);
    std::vector<unsigned> seen;
    for (int x = dotCentre(0).x(); x <= dotCentre(3).x(); ++x) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 10), control.mapToGlobal(QPointF(x, 10)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&control, &move);
        if (seen.empty() || seen.back() != control.selectedPage())
            seen.push_back(control.selectedPage());
    }
    EXPECT_EQ(seen, (std::vector<unsigned> { 0, 1, 2, 3 }));
    EXPECT_EQ(actions.count(), 0);
    QTest::mouseRelease(&control, Qt::LeftButton, {}, dotCentre(3));
    EXPECT_EQ(actions.count(), 1);
    EXPECT_EQ(control.selectedPage(), 3u);
}

TEST_F(PageControlTest, OtherMouseButtonsNeitherTurnThePageNorAct)
{
    QSignalSpy actions(&control, &PageControl::clicked);
    QTest::mouseClick(&control, Qt::RightButton, {}, dotCentre(2));
    QTest::mouseClick(&control, Qt::MiddleButton, {}, dotCentre(3));
    EXPECT_EQ(control.selectedPage(), 0u);
    EXPECT_EQ(actions.count(), 0);
}

TEST_F(PageControlTest, OnePageShowsNoDotButStillAnswersClicks)
{
    control.setNumberOfPages(1);
    control.setSelectedPage(3);
    QSignalSpy actions(&control, &PageControl::clicked);
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_EQ(control.selectedPage(), 0u);
    EXPECT_EQ(actions.count(), 1);
    const QImage image = test::render(&control);
    EXPECT_EQ(image.pixelColor(50, 10), image.pixelColor(2, 2));
}

TEST_F(PageControlTest, PaintsItsDotsOnEveryRepaint)
{
    control.setSelectedPage(1);
    const QColor dark = Theme { ThemeName::Blue }.darkColor();
    // Two renderings in a row with no change in between both show the selected dot.
    for (int round = 0; round < 2; ++round) {
        const QImage image = test::render(&control);
        EXPECT_TRUE(test::near(image.pixelColor(dotCentre(1)), dark, 10)) << "round " << round;
        EXPECT_FALSE(test::near(image.pixelColor(dotCentre(0)), dark, 10));
    }
}

TEST(RatingViewTest, StarsFollowTheRating)
{
    using Names = QStringList;
    const QString full = QStringLiteral("star-full"), half = QStringLiteral("star-half"),
                  empty = QStringLiteral("star-empty");
    EXPECT_EQ(RatingView::starImageNames(0.0f), Names());
    EXPECT_EQ(RatingView::starImageNames(0.99f), Names());
    EXPECT_EQ(RatingView::starImageNames(1.0f), (Names { full, empty, empty, empty, empty }));
    EXPECT_EQ(RatingView::starImageNames(3.5f), (Names { full, full, full, half, empty }));
    EXPECT_EQ(RatingView::starImageNames(3.7f), (Names { full, full, full, empty, empty }));
    EXPECT_EQ(RatingView::starImageNames(5.0f), (Names { full, full, full, full, full }));
}

TEST(RatingViewTest, DrawsTouchingStarsAtItsHeight)
{
    RatingView view;
    view.resize(120, 24);
    view.show();
    // Samples a little left and right of each star's middle (stars are 24 wide at 24 high).
    const auto starColours = [&](float rating) {
        view.setRating(rating);
        const QImage image = test::render(&view);
        std::vector<std::pair<QColor, QColor>> stars;
        for (int star = 0; star < 5; ++star)
            stars.emplace_back(image.pixelColor(star * 24 + 9, 14),
                               image.pixelColor(star * 24 + 15, 14));
        return stars;
    };
    for (const auto &[left, right] : starColours(5.0f)) {
        EXPECT_TRUE(test::near(left, kGold, 12));
        EXPECT_TRUE(test::near(right, kGold, 12));
    }
    const auto half = starColours(3.5f);
    EXPECT_TRUE(test::near(half[2].second, kGold, 12));
    EXPECT_TRUE(test::near(half[3].first, kGold, 12));
    EXPECT_TRUE(test::near(half[3].second, kGrey, 12));
    EXPECT_TRUE(test::near(half[4].first, kGrey, 12));
    const auto none = starColours(0.0f);
    EXPECT_FALSE(test::near(none[0].first, kGold, 12));
    EXPECT_FALSE(test::near(none[0].first, kGrey, 12));
}

TEST(AppIconViewTest, CornersRoundByPlatform)
{
    AppIconView view;
    view.resize(100, 100);
    view.setAppKind(AppKind::Mac);
    EXPECT_EQ(view.cornerRadius(), 0.0);
    view.setAppKind(AppKind::Phone);
    EXPECT_DOUBLE_EQ(view.cornerRadius(), 27.5);
    view.setAppKind(std::nullopt);
    EXPECT_DOUBLE_EQ(view.cornerRadius(), 27.5);
    view.setAppKind(AppKind::Pad);
    view.resize(60, 60);
    EXPECT_DOUBLE_EQ(view.cornerRadius(), 16.5);

    QPixmap icon(60, 60);
    icon.fill(Qt::red);
    view.setImage(icon);
    view.show();
    const QImage image = test::render(&view);
    EXPECT_NE(image.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(30, 30), QColor(Qt::red));
    view.setAppKind(AppKind::Mac);
    EXPECT_EQ(test::render(&view).pixelColor(0, 0), QColor(Qt::red));
}

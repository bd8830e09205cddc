// The add button's shake and the transitions of the main window, on a clock the test drives.
#include "MainWindowTestSupport.h"
#include "controls/TabBarBackgroundView.h"
#include "lists/AddButton.h"
#include "lists/ReplacementSegue.h"
#include "lists/SearchResultsViewController.h"
#include "lists/SearchViewPresentationAnimator.h"
#include "support/ManualAnimationClock.h"

#include <QVariantAnimation>

using namespace tanvill;
using namespace tanvill::test;

namespace {

struct TransitionsTest : MainWindowTest
{
    TransitionsTest()
    {
        transitions::setInstant(false);
        window().show();
        clock.settle();
    }

    AddButton *button() { return main().addButton(); }
    int addFieldsInBar()
    {
        return int(main().tabBar()->findChildren<AddAppViewController *>().size());
    }

    // Shows search results for a field opened at once.
    SearchResultsViewController *presentResults()
    {
        transitions::setInstant(true);
        main().addApp();
        transitions::setInstant(false);
        auto *results = new SearchResultsViewController(lists(), settings());
        main().presentViewController(results, new SearchViewPresentationAnimator);
        main().addAppViewController()->setSearchResultsController(results);
        return results;
    }

    ManualAnimationClock clock;
};

} // namespace

TEST_F(TransitionsTest, TheButtonShakesWhileTheSelectedListIsEmpty)
{
    ASSERT_TRUE(main().isShaking());
    // 1.75 s of rest, then the first swing to the left.
    clock.advance(1700);
    EXPECT_EQ(button()->rotation(), 0.0);
    clock.advance(175);
    EXPECT_NEAR(button()->rotation(), -0.45, 0.05);

    // A change of another list leaves the running shake alone.
    QVariantAnimation *shake = main().shakeAnimation();
    const int time = shake->currentTime();
    keep("111111111", "Other", list(1));
    main().updateShakeAnimation();
    EXPECT_EQ(main().shakeAnimation(), shake);
    EXPECT_EQ(shake->currentTime(), time);

    keep("222222222", "First", list(0));
    EXPECT_FALSE(main().isShaking());
    EXPECT_EQ(button()->rotation(), 0.0);

    settings().setValue("selectedList", 1);
    EXPECT_FALSE(main().isShaking());
    lists().createList("Empty");
    EXPECT_TRUE(main().isShaking());
    settings().setValue("selectedList", 0);
    EXPECT_FALSE(main().isShaking());

    // A closed window does not shake; shown again on an empty list, it does.
    settings().setValue("selectedList", 2);
    EXPECT_TRUE(main().isShaking());
    window().close();
    EXPECT_FALSE(main().isShaking());
    settings().setValue("selectedList", 1);
    settings().setValue("selectedList", 2);
    EXPECT_FALSE(main().isShaking());
    window().show();
    EXPECT_TRUE(main().isShaking());
}

TEST_F(TransitionsTest, TheAddFieldStopsTheShakeAndItsDismissalStartsItAgain)
{
    ASSERT_TRUE(main().isShaking());
    main().addApp();
    EXPECT_FALSE(main().isShaking());
    clock.advance(300);
    main().addAppViewController()->dismissController();
    clock.advance(300);
    EXPECT_TRUE(main().isShaking());
}

TEST_F(TransitionsTest, TheButtonLeavesAndReturnsOnTheTimingsOfTheSwap)
{
    main().addApp();
    EXPECT_FALSE(button()->isEnabled());
    EXPECT_TRUE(button()->isVisible());
    EXPECT_EQ(addFieldsInBar(), 1);
    EXPECT_EQ(main().addAppViewController()->geometry().width(), main().tabBar()->width());
    clock.advance(125);
    EXPECT_TRUE(button()->isVisible());
    clock.advance(10);
    EXPECT_FALSE(button()->isVisible());
    clock.advance(100);

    main().addAppViewController()->dismissController();
    EXPECT_TRUE(button()->isVisible());
    EXPECT_FALSE(button()->isEnabled());
    clock.advance(125);
    EXPECT_FALSE(button()->isEnabled());
    EXPECT_EQ(addFieldsInBar(), 1);
    clock.advance(10);
    EXPECT_TRUE(button()->isEnabled());
    clock.advance(20);
    EXPECT_EQ(addFieldsInBar(), 0);
    EXPECT_TRUE(main().findChildren<ReplacementSegue *>().isEmpty());
}

TEST_F(TransitionsTest, DismissingTheFieldDuringItsArrivalLeavesTheButtonInPlace)
{
    main().addApp();
    clock.advance(50);
    main().addAppViewController()->dismissController();
    clock.advance(250);
    EXPECT_TRUE(button()->isVisible());
    EXPECT_TRUE(button()->isEnabled());
    EXPECT_EQ(addFieldsInBar(), 0);

    // And the field can come again at once.
    main().addApp();
    clock.advance(300);
    EXPECT_EQ(addFieldsInBar(), 1);
    EXPECT_FALSE(button()->isVisible());
}

TEST_F(TransitionsTest, ResultsHangBelowTheBarMovedToTheTopAndFollowTheWindow)
{
    main().resize(600, 400);
    clock.settle();
    SearchResultsViewController *results = presentResults();
    clock.advance(340);
    EXPECT_EQ(main().tabBar()->geometry(), QRect(0, -1, 600, 70));
    EXPECT_EQ(results->geometry(), QRect(0, 69, 600, 331));
    EXPECT_FALSE(main().mainContentView()->isVisible());

    main().resize(800, 500);
    clock.settle();
    EXPECT_EQ(results->geometry(), QRect(0, 69, 800, 431));

    main().addAppViewController()->dismissController();
    clock.advance(300);
    EXPECT_EQ(main().tabBar()->geometry(), QRect(0, 450, 800, 50));
    EXPECT_TRUE(main().findChildren<SearchResultsViewController *>().isEmpty());
    EXPECT_TRUE(main().mainContentView()->isVisible());
    EXPECT_EQ(main().mainContentViewTopConstraint().constant, 0);
    EXPECT_TRUE(main().mainContentViewTopConstraint().active);
    EXPECT_EQ(main().tabBarBottomConstraint().constant, 0);
    EXPECT_TRUE(main().tabBarBottomConstraint().active);
    EXPECT_FALSE(main().tabBarTopConstraint().active);
}

TEST_F(TransitionsTest, ClosingDuringTheSlideTurnsBackFromWhereThePartsStand)
{
    for (const int moment : { 100, 280 }) {
        SCOPED_TRACE(moment);
        main().resize(600, 400);
        presentResults();
        clock.advance(moment);
        const int barTop = main().tabBar()->y();
        EXPECT_GT(barTop, -1);
        EXPECT_LT(barTop, 350);
        main().addAppViewController()->dismissController();
        clock.advance(400);
        EXPECT_EQ(main().tabBar()->geometry(), QRect(0, 350, 600, 50));
        EXPECT_TRUE(main().findChildren<SearchResultsViewController *>().isEmpty());
        EXPECT_TRUE(button()->isVisible());
        EXPECT_TRUE(button()->isEnabled());
    }
}

TEST(TransitionsDeathTest, AnotherPairOfControllersIsAProgrammingError)
{
    QWidget presented;
    QWidget presenting;
    EXPECT_DEATH(SearchViewPresentationAnimator().animatePresentation(&presented, &presenting),
                 "Invalid use of SearchViewPresentationAnimator!");
    EXPECT_DEATH(ReplacementSegue().animateDismissal(&presented, &presenting),
                 "Invalid use of ReplacementSegue!");
}

// Renders the main window in each of its states to PNG files under
// <build>/test-output/windows/, for a person to look at.
#include "MainWindowTestSupport.h"
#include "controls/AppIconView.h"
#include "controls/ProgressHUD.h"
#include "controls/SegmentedControl.h"
#include "lists/AddButton.h"
#include "lists/AppCell.h"
#include "lists/ListViewController.h"
#include "lists/SearchResultCell.h"
#include "lists/SearchResultsViewController.h"
#include "support/ManualAnimationClock.h"

#include <QLineEdit>
#include <QTest>

using namespace tanvill;
using namespace tanvill::test;

namespace {

struct MainWindowRenderTest : MainWindowTest
{
    MainWindowRenderTest() { window().show(); }

    // Waits until the icons of the rows in view came from the store.
    bool iconsLoaded(SearchResultsViewController *results)
    {
        return waitFor([results] {
            for (const int row : results->tableView()->rowsWithViews()) {
                auto *cell
                    = dynamic_cast<SearchResultCell *>(results->tableView()->rowViewAtRow(row));
                if (cell && cell->iconView()->image().width() != 120)
                    return false;
            }
            return true;
        });
    }
};

} // namespace

TEST_F(MainWindowRenderTest, EmptyListWithTheButtonInMidShake)
{
    transitions::setInstant(false);
    ManualAnimationClock clock;
    // From the start, on this clock.
    main().startShakeAnimation();
    clock.advance(1875);
    EXPECT_NEAR(main().addButton()->rotation(), -0.45, 0.05);
    render(window(), "main-window-empty-shaking");
}

TEST_F(MainWindowRenderTest, AddFieldHalfwayIn)
{
    transitions::setInstant(false);
    ManualAnimationClock clock;
    main().addApp();
    clock.advance(60);
    render(window(), "main-window-add-field-arriving");
}

TEST_F(MainWindowRenderTest, ListWithApps)
{
    keep("100000001", "Things 3", list(0));
    keep("100000002", "Slack for Desktop", list(0));
    TableView *table = main().listViewController()->tableView();
    EXPECT_TRUE(waitFor([table] {
        auto *cell = qobject_cast<AppCell *>(table->rowViewAtRow(0));
        return cell && cell->iconView()->image().width() == 120;
    }));
    render(window(), "main-window-list");
}

TEST_F(MainWindowRenderTest, AddFieldAndBusyOverlay)
{
    main().addApp();
    AddAppViewController *field = main().addAppViewController();
    ASSERT_NE(field, nullptr);
    QTest::keyClicks(field->searchTextField(),
                     "https://apps.apple.com/us/app/things-3/id904280696");
    render(window(), "main-window-add-field");

    auto *hud = new ProgressHUD(&main());
    hud->setFadeDuration(0);
    hud->show();
    render(window(), "main-window-busy");
    hud->hide();
}

TEST_F(MainWindowRenderTest, TheAddFieldsHintIsWholeAtTheDefaultWidth)
{
    main().addApp(); // in a window of the default width
    QLineEdit *field = main().addAppViewController()->searchTextField();
    // The text area: the width less the style's 8 px padding and 1 px border a side.
    EXPECT_LE(field->fontMetrics().horizontalAdvance(field->placeholderText()),
              field->width() - 18);
    render(window(), "main-window-add-field-hint");
}

TEST_F(MainWindowRenderTest, SearchResultsOfEachPlatform)
{
    setSearch("things", "search/mac-things.json", "search/software-37-results.json");
    keep("904280696", "Things 3", list(1));
    main().addApp();
    AddAppViewController *field = main().addAppViewController();
    field->searchTextField()->setText("things");
    field->go();
    ASSERT_TRUE(waitFor([this] { return main().searchResultsViewController() != nullptr; }));
    SearchResultsViewController *results = main().searchResultsViewController();
    const QStringList names { "mac", "iphone", "ipad" };
    for (int segment = 0; segment < 3; ++segment) {
        SegmentedControl *control = results->scopeSegmentedControl();
        QTest::mouseClick(control, Qt::LeftButton, {}, control->segmentRect(segment).center());
        EXPECT_TRUE(iconsLoaded(results));
        render(window(), "main-window-search-" + names[segment]);
    }
}

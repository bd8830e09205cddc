// The search results: which platform they open on, their rows and their Add buttons.
#include "MainWindowTestSupport.h"
#include "controls/BorderedButton.h"
#include "controls/ControlsTestSupport.h"
#include "controls/KeyboardFocus.h"
#include "controls/Label.h"
#include "controls/SegmentedControl.h"
#include "lists/SearchResultCell.h"
#include "lists/SearchResultsViewController.h"
#include "platform/Strings.h"

#include <QTest>

using namespace tanvill;
using namespace tanvill::test;

namespace {

using Scope = AppStoreSearchOperationScope;

CachedApp result(const QString &identifier, float rating = 4.0f, AppKind kind = AppKind::Mac)
{
    CachedApp app;
    app.identifier = identifier;
    app.name = QStringLiteral("App ") + identifier;
    app.developer = QStringLiteral("Maker");
    app.kind = kind;
    app.rating = rating;
    app.price = 1.99;
    app.currencyCode = QStringLiteral("USD");
    return app;
}

struct SearchResultsTest : MainWindowTest
{
    SearchResultsTest()
    {
        view.resize(400, 500);
        view.show();
    }

    SearchResultCell *cell(int row)
    {
        view.tableView()->scrollRowToVisible(row);
        QCoreApplication::processEvents();
        return dynamic_cast<SearchResultCell *>(view.tableView()->rowViewAtRow(row));
    }

    void chooseSegment(int segment)
    {
        SegmentedControl *control = view.scopeSegmentedControl();
        QTest::mouseClick(control, Qt::LeftButton, {}, control->segmentRect(segment).center());
    }

    SearchResultsViewController view { lists(), settings() };
};

} // namespace

TEST_F(SearchResultsTest, ItOpensOnTheRememberedPlatformWhenThatHasResults)
{
    const std::vector<CachedApp> some { result("100000001") };
    struct Case
    {
        int saved;
        SearchResults results;
        int selected;
    };
    const std::vector<Case> cases {
        { 1, { { Scope::Mac, some }, { Scope::Phone, some }, { Scope::Pad, {} } }, 1 },
        { 1, { { Scope::Mac, {} }, { Scope::Phone, {} }, { Scope::Pad, some } }, 2 },
        { 2, { { Scope::Mac, {} }, { Scope::Phone, {} }, { Scope::Pad, {} } }, 2 },
        // No entry at all for the remembered platform: kept without looking further.
        { 1, { { Scope::Mac, some } }, 1 },
        // Edited by hand out of range: taken as Mac.
        { 7, { { Scope::Mac, some }, { Scope::Phone, some } }, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.saved);
        settings().setValue("lastSelectedSearchScope", c.saved);
        view.setResults(c.results);
        EXPECT_EQ(view.scopeSegmentedControl()->selectedSegment(), c.selected);
        EXPECT_EQ(settings().integer("lastSelectedSearchScope"), c.saved);
    }
}

TEST_F(SearchResultsTest, RowsAre70HighWithTheRatingOnlyWhenThereIsOne)
{
    view.setResults(
        SearchResults { { Scope::Mac, { result("100000001", 0.0f), result("100000002", 0.5f) } } });
    ASSERT_EQ(view.tableView()->numberOfRows(), 2);
    EXPECT_EQ(view.tableView()->rectOfRow(0).height(), 70);
    EXPECT_EQ(view.tableView()->rectOfRow(1).height(), 70);
    EXPECT_EQ(cell(0)->identifier(), SearchResultCell::kNoRatingIdentifier);
    EXPECT_EQ(cell(0)->ratingView(), nullptr);
    EXPECT_EQ(cell(1)->identifier(), SearchResultCell::kRatingIdentifier);
    ASSERT_NE(cell(1)->ratingView(), nullptr);
    EXPECT_EQ(cell(0)->nameLabel()->fullString(), "App 100000001");
    EXPECT_FALSE(view.placeholderLabel()->isVisible());
}

TEST_F(SearchResultsTest, KeptAppsShowAsAddedAndAddingOneHoldsAcrossPlatforms)
{
    keep("100000001", "Kept", list(1));
    lists().archiveApp(keep("100000002", "Archived", list(1)));
    const std::vector<CachedApp> mac { result("100000001"), result("100000002"),
                                       result("100000003") };
    const std::vector<CachedApp> phone { result("100000003", 3.0f, AppKind::Phone) };
    view.setResults(SearchResults { { Scope::Mac, mac }, { Scope::Phone, phone } });
    const QString add = Strings::localized("Add");
    const QString added = Strings::localized("AddedAppButtonTitle");
    EXPECT_FALSE(cell(0)->addButton()->isEnabled());
    EXPECT_EQ(cell(0)->addButton()->title(), added);
    // Only in the archive: may be added again.
    EXPECT_TRUE(cell(1)->addButton()->isEnabled());
    EXPECT_EQ(cell(1)->addButton()->title(), add);

    QTest::mouseClick(cell(2)->addButton(), Qt::LeftButton);
    EXPECT_FALSE(cell(2)->addButton()->isEnabled());
    EXPECT_EQ(cell(2)->addButton()->title(), added);
    ASSERT_EQ(list(0)->apps().size(), 1u);
    EXPECT_EQ(list(0)->apps().front()->identifier(), "100000003");

    chooseSegment(1);
    EXPECT_FALSE(cell(0)->addButton()->isEnabled());
    chooseSegment(0);
    EXPECT_FALSE(cell(2)->addButton()->isEnabled());
    EXPECT_EQ(list(0)->apps().size(), 1u);
}

TEST_F(SearchResultsTest, AnAppKeptMeanwhileIsNotAddedASecondTime)
{
    view.setResults(SearchResults { { Scope::Mac, { result("100000001") } } });
    ASSERT_TRUE(cell(0)->addButton()->isEnabled());
    keep("100000001", "Kept elsewhere", list(1));
    QTest::mouseClick(cell(0)->addButton(), Qt::LeftButton);
    EXPECT_FALSE(cell(0)->addButton()->isEnabled());
    EXPECT_EQ(lists().apps().size(), 1u);
    EXPECT_TRUE(list(0)->apps().empty());
}

TEST_F(SearchResultsTest, AResultOfTheStoreChosenBeforeIsAddedAsTheChosenStoreSellsIt)
{
    settings().setValue("storeLocale", "US");
    CachedApp found = result("100000001");
    found.countryCode = "US";
    view.setResults(SearchResults { { Scope::Mac, { found } } });
    test::FakeStoreApp inJapan { "100000001", "App 100000001" };
    std::tie(inJapan.price, inJapan.currency) = std::tuple(300, "JPY");
    fakeStore.setLookup("JP", inJapan, false);
    settings().setValue("storeLocale", "JP");
    QTest::mouseClick(cell(0)->addButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return !list(0)->apps().empty(); }));
    EXPECT_EQ(list(0)->apps().front()->currencyCode(), "JPY");
    EXPECT_EQ(list(0)->apps().front()->price(), *Decimal::fromString("300"));
}

TEST_F(SearchResultsTest, AnEmptyPlatformShowsOneOfFourTextsCentred)
{
    quint32 next = 0;
    view.setRandomSource([&next](quint32 bound) { return next++ % bound; });
    view.setResults(
        SearchResults { { Scope::Mac, {} }, { Scope::Phone, { result("100000001") } } });
    // The first platform with results is chosen; the empty one shows its text when picked.
    EXPECT_EQ(view.scopeSegmentedControl()->selectedSegment(), 1);
    EXPECT_FALSE(view.placeholderLabel()->isVisible());
    for (int draw = 1; draw <= 4; ++draw) {
        chooseSegment(0);
        ASSERT_TRUE(view.placeholderLabel()->isVisible());
        EXPECT_EQ(view.placeholderLabel()->fullString(),
                  Strings::localized(QStringLiteral("EmptySearchPlaceholder%1").arg(draw)));
    }
    const QRect label = view.placeholderLabel()->geometry();
    EXPECT_EQ(label.width(), view.width() - 40);
    EXPECT_EQ(label.center().x(), view.rect().center().x());
}

TEST_F(SearchResultsTest, ChoosingAPlatformIsRememberedAndShowsItsFirstRow)
{
    std::vector<CachedApp> many;
    for (int i = 0; i < 30; ++i)
        many.push_back(result(QString::number(100000100 + i)));
    view.setResults(SearchResults { { Scope::Mac, many }, { Scope::Pad, many } });
    view.tableView()->setScrollPosition(700);
    chooseSegment(2);
    EXPECT_EQ(settings().integer("lastSelectedSearchScope"), 2);
    EXPECT_TRUE(waitFor([this] { return view.tableView()->scrollPosition() == 0; }));
}

TEST_F(SearchResultsTest, KeysWorkTheRowsAndTabGoesThroughEveryAddButtonTopToBottom)
{
    std::vector<CachedApp> mac;
    for (int i = 0; i < 19; ++i)
        mac.push_back(result(QString::number(100000100 + i)));
    view.setResults(SearchResults { { Scope::Mac, mac }, { Scope::Phone, mac } });
    ASSERT_TRUE(activate(&view));
    TableView *table = view.tableView();
    QWidget *segments = view.scopeSegmentedControl();
    segments->setFocus(Qt::TabFocusReason);
    // A key, then the row in view whose Add button or table row is ringed, and the apps added.
    const auto press = [&](Qt::Key key, int row, bool onButton, std::size_t added) {
        QTest::keyClick(QApplication::focusWidget(), key);
        QWidget *ringed = onButton ? cell(row)->addButton() : static_cast<QWidget *>(table);
        EXPECT_EQ(std::tuple(table->currentRow(), focusRingTarget(), table->showsCurrentRow(),
                             list(0)->apps().size()),
                  std::tuple(row, ringed, !onButton, added))
            << key;
        EXPECT_TRUE(table->viewport()->rect().contains(table->rectOfRow(row)));
    };
    press(Qt::Key_Tab, 0, false, 0);
    press(Qt::Key_Return, 0, false, 1);
    press(Qt::Key_Tab, 1, true, 1); // past the one added
    table->setScrollPosition(800); // wheeled away, the keyboard stays where it was
    EXPECT_TRUE(qobject_cast<BorderedButton *>(focusRingTarget())
                && table->scrollPosition() == 800);
    press(Qt::Key_Down, 2, false, 1);
    press(Qt::Key_End, 18, false, 1);
    press(Qt::Key_Space, 18, false, 2);
    // The platform switched while the rows scroll: Tab takes every Add button top to bottom.
    transitions::setInstant(false);
    QTest::keyClick(table, Qt::Key_Backtab);
    QTest::keyClick(segments, Qt::Key_Right);
    QTest::keyClick(segments, Qt::Key_Left);
    press(Qt::Key_Tab, 0, false, 2); // the first row, though added
    for (int row = 1; row < 18; ++row)
        press(Qt::Key_Tab, row, true, 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), segments);
}

// The main window as a user drives it: clicks and typing only, a fake store behind it, and
// what the list table and the alerts show in the end.
#include "MainWindowTestSupport.h"
#include "controls/BorderedButton.h"
#include "controls/Label.h"
#include "lists/AddButton.h"
#include "lists/AppCell.h"
#include "lists/ListViewController.h"
#include "lists/SearchResultCell.h"
#include "lists/SearchResultsViewController.h"
#include "platform/Strings.h"

#include <QLineEdit>
#include <QTest>

using namespace tanvill;
using namespace tanvill::test;

namespace {

struct MainWindowEndToEndTest : MainWindowTest
{
    MainWindowEndToEndTest()
    {
        fakeStore.setLookup("904280696",
                            FakeResponse::json(FakeStore::fixture("lookup/mac-things.json")));
        setSearch("tick", "search/mac-things.json");
        window().show();
    }

    void type(const QString &text)
    {
        QTest::mouseClick(main().addButton(), Qt::LeftButton);
        AddAppViewController *field = main().addAppViewController();
        ASSERT_NE(field, nullptr);
        QTest::keyClicks(field->searchTextField(), text);
        QTest::keyClick(field->searchTextField(), Qt::Key_Return);
    }

    // "name / developer / price" of each row of the list table.
    QStringList rows()
    {
        QStringList shown;
        TableView *table = main().listViewController()->tableView();
        for (int row = 0; row < table->numberOfRows(); ++row) {
            auto *cell = qobject_cast<AppCell *>(table->rowViewAtRow(row));
            if (cell)
                shown << cell->nameLabel()->fullString() + " / "
                        + cell->developerLabel()->fullString() + " / " + cell->buyButton()->title();
        }
        return shown;
    }
};

} // namespace

TEST_F(MainWindowEndToEndTest, LinkThenSearchResultThenDuplicate)
{
    type("https://apps.apple.com/us/app/things-3/id904280696");
    ASSERT_TRUE(waitFor([this] { return rows().size() == 1; }));
    EXPECT_EQ(rows().front(), "Things 3 / Cultured Code GmbH & Co. KG / $49.99");
    EXPECT_FALSE(main().isShaking());

    type("tick");
    ASSERT_TRUE(waitFor([this] { return main().searchResultsViewController() != nullptr; }));
    SearchResultsViewController *results = main().searchResultsViewController();
    TableView *found = results->tableView();
    ASSERT_TRUE(waitFor([found] { return found->numberOfRows() > 1; }));
    auto *kept = qobject_cast<SearchResultCell *>(found->rowViewAtRow(0));
    auto *other = qobject_cast<SearchResultCell *>(found->rowViewAtRow(1));
    ASSERT_TRUE(kept && other);
    EXPECT_EQ(kept->nameLabel()->fullString(), "Things 3");
    EXPECT_FALSE(kept->addButton()->isEnabled());
    EXPECT_EQ(kept->addButton()->title(), Strings::localized("AddedAppButtonTitle"));
    QTest::mouseClick(other->addButton(), Qt::LeftButton);
    EXPECT_EQ(other->addButton()->title(), Strings::localized("AddedAppButtonTitle"));
    QTest::mouseClick(main().addAppViewController()->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return rows().size() == 2; }));
    EXPECT_EQ(rows().front(),
              "TickTick: Things & Tasks To Do / Appest Limited / " + Strings::localized("Free"));
    render(window(), "main-window-two-apps-added");

    type("904280696");
    ASSERT_TRUE(waitFor([this] { return !services.alerts().alerts.empty(); }));
    EXPECT_EQ(services.alerts().alerts.front().messageText,
              Strings::localizedFormat("DuplicateAppNotice", { "Games" }));
    drainEvents();
    EXPECT_EQ(rows().size(), 2);
    EXPECT_EQ(fakeStore.lookupCount("904280696"), 1);
}

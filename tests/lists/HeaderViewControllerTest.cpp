// The header page of one list: its detail line kept current, its hover buttons, its share,
// preferences and editor actions reaching the shell, and list names shown as written.
#include "lists/HeaderViewController.h"
#include "ListsTestSupport.h"
#include "controls/ColoredView.h"
#include "controls/ImplicitButton.h"
#include "controls/Label.h"
#include "core/App.h"
#include "core/ListRows.h"
#include "core/ListsControllerNotifications.h"
#include "lists/HeaderButton.h"
#include "lists/ListEditor.h"
#include "platform/NotificationCenter.h"
#include "support/RecordingAppShell.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using namespace tanvill;

namespace {

class HeaderPageTest : public test::ListsFixture
{
protected:
    HeaderViewController *showPage(List *list)
    {
        page = std::make_unique<HeaderViewController>(lists());
        page->setList(list);
        page->resize(480, 90);
        page->show();
        return page.get();
    }

    void hover(bool inside)
    {
        if (inside) {
            QEnterEvent event(QPointF(5, 5), QPointF(5, 5), page->mapToGlobal(QPointF(5, 5)));
            QApplication::sendEvent(page.get(), &event);
        } else {
            QEvent event(QEvent::Leave);
            QApplication::sendEvent(page.get(), &event);
        }
    }

    test::RecordingAppShell shell;
    std::unique_ptr<HeaderViewController> page;
};

} // namespace

TEST_F(HeaderPageTest, DetailLineCountsTheAppsAndTotalsTheirPrices)
{
    const struct
    {
        std::vector<double> prices;
        QString detail;
        bool shareEnabled;
    } cases[] = {
        { {}, "0 apps - $0.00", false },
        { { 0.99 }, "1 app - $0.99", true },
        { { 0.99, 2.0, 0.0 }, "3 apps - $2.99", true },
    };
    for (const auto &c : cases) {
        List *list = makeLists({ { "Games", ThemeName::Blue, c.prices } }).front();
        showPage(list);
        EXPECT_EQ(page->detailString(), c.detail);
        EXPECT_EQ(page->detailLabel()->fullString(), c.detail);
        EXPECT_EQ(page->shareButton()->isEnabled(), c.shareEnabled);
        EXPECT_EQ(page->nameImplicitControl()->text(), "Games");
        EXPECT_EQ(page->backgroundView()->color(), Theme { ThemeName::Blue }.lightColor());
        EXPECT_EQ(page->nameImplicitControl()->tintColor(), Theme { ThemeName::Blue }.darkColor());
    }
    HeaderViewController empty(lists());
    EXPECT_EQ(empty.detailString(), "");
}

TEST_F(HeaderPageTest, LineFollowsUpdatesOfItsOwnListAndEveryRefresh)
{
    const std::vector<List *> made
        = makeLists({ { "Mine", ThemeName::Red, {} }, { "Other", ThemeName::Green, { 1.0 } } });
    showPage(made[0]);
    ASSERT_FALSE(page->shareButton()->isEnabled());

    // An application added to another list changes nothing here.
    CachedApp app;
    app.identifier = "200000001";
    app.name = "Extra";
    app.price = 4.99;
    app.currencyCode = "USD";
    lists().addApp({ app }, made[1]);
    EXPECT_EQ(page->detailLabel()->fullString(), "0 apps - $0.00");

    lists().addApp({ app }, made[0]);
    EXPECT_EQ(page->detailLabel()->fullString(), "1 app - $4.99");
    EXPECT_TRUE(page->shareButton()->isEnabled());

    // A refresh announces no list; the total is read again whatever was refreshed.
    made[0]->apps().front()->setPrice(Decimal::fromUnits(199, 2));
    NotificationCenter::defaultCenter().post(
        ListsControllerDidReloadApps, &lists(),
        { { AppReloadIdentifierSet, QVariant::fromValue(QSet<QString>()) } });
    EXPECT_EQ(page->detailLabel()->fullString(), "1 app - $1.99");

    // An update naming no list, or naming it by text, is about no list of this page.
    made[0]->apps().front()->setPrice(Decimal::fromUnits(299, 2));
    NotificationCenter::defaultCenter().post(ListsControllerDidUpdateList, &lists(),
                                             { { ListUpdateListIndex, QStringLiteral("0") } });
    EXPECT_EQ(page->detailLabel()->fullString(), "1 app - $1.99");

    // A refresh from another store country shows the total in that store's currency, which
    // the refresh gave the application's price.
    settings().setValue(QStringLiteral("storeLocale"), QStringLiteral("GB"));
    settings().setValue(QStringLiteral("currencyCode"), QStringLiteral("GBP"));
    made[0]->apps().front()->setCurrencyCode(QStringLiteral("GBP"));
    NotificationCenter::defaultCenter().post(
        ListsControllerDidReloadApps, &lists(),
        { { AppReloadIdentifierSet, QVariant::fromValue(QSet<QString>()) } });
    EXPECT_EQ(page->detailLabel()->fullString(), QString::fromUtf8("1 app - £2.99"));
}

TEST_F(HeaderPageTest, ShareAndPreferencesShowOnlyWhileThePointerIsOverThePage)
{
    showPage(makeLists({ { "Work", ThemeName::Navy, { 1.0 } } }).front());
    EXPECT_FALSE(page->shareButton()->isVisible());
    EXPECT_FALSE(page->preferencesButton()->isVisible());
    EXPECT_FALSE(page->shareButton()->image().isNull());
    EXPECT_FALSE(page->preferencesButton()->alternateImage().isNull());

    hover(true);
    EXPECT_TRUE(page->shareButton()->isVisible());
    EXPECT_TRUE(page->preferencesButton()->isVisible());
    test::saveRender(page.get(), "header-page-hover");
    hover(false);
    EXPECT_FALSE(page->shareButton()->isVisible());

    hover(true);
    page->hide();
    page->show();
    EXPECT_FALSE(page->preferencesButton()->isVisible());
}

TEST_F(HeaderPageTest, TabAndShiftTabReachShareAndPreferencesThroughTheName)
{
    QWidget window;
    auto *header = new HeaderViewController(lists(), &window);
    header->setList(makeLists({ { "Work", ThemeName::Navy, { 1.0 } } }).front());
    auto *below = new QPushButton(QStringLiteral("Below"), &window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(header);
    layout->addWidget(below);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    below->setFocus();

    const auto tab = [](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key);
    };
    tab(Qt::Key_Tab);
    EXPECT_TRUE(header->nameImplicitControl()->hasFocus());
    EXPECT_TRUE(header->shareButton()->isVisible());
    tab(Qt::Key_Tab);
    EXPECT_TRUE(header->shareButton()->hasFocus());
    tab(Qt::Key_Tab);
    EXPECT_TRUE(header->preferencesButton()->hasFocus());
    tab(Qt::Key_Tab);
    EXPECT_TRUE(below->hasFocus());
    EXPECT_FALSE(header->preferencesButton()->isVisible());

    tab(Qt::Key_Backtab);
    EXPECT_TRUE(test::waitFor([&] { return header->preferencesButton()->hasFocus(); }));
    tab(Qt::Key_Backtab);
    EXPECT_TRUE(header->shareButton()->hasFocus());
}

TEST_F(HeaderPageTest, ShareOpensOneSheetAtATimeAndPreferencesReachTheShell)
{
    List *list = makeLists({ { "Work", ThemeName::Navy, { 1.0 } } }).front();
    showPage(list);
    hover(true);
    QTest::mouseClick(page->shareButton(), Qt::LeftButton);
    QTest::mouseClick(page->shareButton(), Qt::LeftButton);
    ASSERT_EQ(shell.sharedLists.size(), 1);
    EXPECT_EQ(shell.sharedLists.front(), list);

    shell.shareCompletions.front()();
    page->shareList();
    EXPECT_EQ(shell.sharedLists.size(), 2);

    // A sheet that closes after its page went finds nothing to touch.
    page.reset();
    shell.shareCompletions.back()();

    showPage(list);
    hover(true);
    QTest::mouseClick(page->preferencesButton(), Qt::LeftButton);
    EXPECT_EQ(shell.preferencesShown, 1);
}

TEST_F(HeaderPageTest, EditorOpenFromTheNameSwitchesTheSecondListMenuItemOff)
{
    List *list = makeLists({ { "Work", ThemeName::Navy, {} } }).front();
    showPage(list);
    QTest::mouseClick(page->nameImplicitControl(), Qt::LeftButton);
    ListEditor *editor = page->listEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_FALSE(shell.listMenuItemEnabled(1));
    EXPECT_TRUE(shell.listMenuItemEnabled(0));

    // A second request while it is open opens nothing more.
    page->editList();
    EXPECT_EQ(page->listEditor(), editor);

    editor->nameTextField()->selectAll();
    QTest::keyClicks(editor->nameTextField(), "Job");
    EXPECT_EQ(list->name(), "Job");
    EXPECT_EQ(page->nameImplicitControl()->text(), "Job");

    editor->close();
    EXPECT_TRUE(shell.listMenuItemEnabled(1));

    // A page that goes while its editor is open still switches the item back on.
    page->editList();
    ASSERT_FALSE(shell.listMenuItemEnabled(1));
    page.reset();
    EXPECT_TRUE(shell.listMenuItemEnabled(1));
}

TEST_F(HeaderPageTest, NamesAreShownAsWrittenWithoutMnemonics)
{
    showPage(makeLists({ { "R&D <b>x</b>", ThemeName::Cyan, {} } }).front());
    EXPECT_EQ(page->nameImplicitControl()->text(), "R&D <b>x</b>");
    EXPECT_TRUE(page->nameImplicitControl()->shortcut().isEmpty());
}

TEST_F(HeaderPageTest, AListInSeveralCurrenciesTotalsAndSortsEachCurrencyApart)
{
    // An application the chosen store does not sell keeps its last price, in its currency.
    // Each application is "name price currency".
    const struct
    {
        QString country, currency;
        QStringList apps;
        QString detail;
        QStringList byPrice;
    } cases[] = {
        { "JP",
          "JPY",
          { "Planner 22.99 GBP", "Big 15120 JPY", "Small 250 JPY", "Gift 0 GBP", "Mid 650 JPY" },
          QString::fromUtf8("5 apps - ¥16.02K + £22.99"),
          { "Gift", "Small", "Mid", "Big", "Planner" } },
        { "US",
          "EUR",
          { "Dollars 24.99 USD", "Euros 1.99 EUR", "Dollars2 24.99 USD" },
          QString::fromUtf8("3 apps - €1.99 + $49.98"),
          { "Euros", "Dollars", "Dollars2" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.detail.toStdString());
        std::vector<double> prices;
        for (const QString &app : c.apps)
            prices.push_back(app.section(' ', 1, 1).toDouble());
        List *list = makeLists({ { "Mixed", ThemeName::Blue, prices } }).front();
        for (App *app : list->apps()) {
            const QStringList spec
                = c.apps[qsizetype(app->identifier().toLongLong() - 100000000)].split(' ');
            app->setName(spec[0]);
            app->setCurrencyCode(spec[2]);
        }
        settings().setValue(QStringLiteral("storeLocale"), c.country);
        settings().setValue(QStringLiteral("currencyCode"), c.currency);
        showPage(list);
        EXPECT_EQ(page->detailString(), c.detail);

        QStringList rows;
        for (const TableRow &row : rowsForList(list, ListGrouping::None, ListSorting::Price))
            rows << row.thisValue()->name();
        EXPECT_EQ(rows, c.byPrice);
    }
}

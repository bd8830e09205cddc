// The summary controller of one application: what its bound views show and what every action
// does, from a price button, hover buttons and a row's menu.
#include "details/AppSummaryController.h"
#include "controls/BorderedButton.h"
#include "controls/ControlsTestSupport.h"
#include "controls/HoverButton.h"
#include "controls/Label.h"
#include "controls/ProgressHUD.h"
#include "core/ListsControllerNotifications.h"
#include "platform/Clipboard.h"
#include "platform/Strings.h"
#include "support/FakeStore.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"
#include "support/WatchedApps.h"

#include <QApplication>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

struct AppSummary : ::testing::Test
{
    AppSummary()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        services.settings().setValue("hasSeenFirstArchiveNotice", true);
        games = lists().createList("Games");
        app = test::watch(lists(), games, { { "Notes", "Maker", 1.99 } }).front();
    }

    ListsController &lists() { return services.listsController(); }

    // A menu laid out as a row builds it, with `count` items.
    static QMenu *rowMenu(AppSummaryConfiguration configuration, int count, QWidget *owner)
    {
        auto *menu = new QMenu(owner);
        for (int i = 0; i < count; ++i) {
            QAction *item = menu->addAction(QString::number(i));
            if (configuration == AppSummaryConfiguration::List && i == 3)
                item->setMenu(new QMenu(menu));
        }
        return menu;
    }

    QStringList moveEntries(QMenu *menu) const
    {
        QStringList texts;
        emit menu->actions().at(3)->menu()->aboutToShow();
        for (QAction *entry : menu->actions().at(3)->menu()->actions())
            texts << entry->text();
        return texts;
    }

    void recordNotifications()
    {
        NotificationCenter::defaultCenter().addObserver(
            {}, &observer, [this](const Notification &n) { posted << n.name; }, &lists());
    }

    test::TestServices services;
    List *games = nullptr;
    App *app = nullptr;
    QWidget owner;
    QObject observer;
    QStringList posted;
};

} // namespace

TEST_F(AppSummary, ThePriceButtonOpensTheStoreThenOffersToArchiveUntilTheNextRefresh)
{
    App *free = test::watch(lists(), games, { { "Free One", "Maker", 0 } }).front();
    BorderedButton freeButton;
    AppSummaryController::create(free)->setBuyButton(&freeButton);
    EXPECT_EQ(freeButton.title(), Strings::localized("Free"));

    const auto controller = AppSummaryController::create(app);
    BorderedButton button;
    HoverButton hover;
    controller->setBuyButton(&button);
    controller->configureViewInStoreButton(&hover);
    EXPECT_EQ(button.title(), "$1.99");

    hover.click();
    EXPECT_EQ(button.title(), "$1.99") << "a hover button changes no button";
    button.click();
    ASSERT_EQ(services.openedLinks().size(), 2);
    EXPECT_EQ(button.title(), Strings::localized("ArchiveButtonTitle"));

    // A refresh that includes the application puts the price back.
    NotificationCenter::defaultCenter().post(
        ListsControllerDidReloadApps, &lists(),
        { { AppReloadIdentifierSet, QVariant::fromValue(QSet<QString> { app->identifier() }) } });
    EXPECT_EQ(button.title(), "$1.99");

    button.click();
    button.click();
    EXPECT_TRUE(app->archived());
    EXPECT_EQ(services.openedLinks().size(), 3);
}

TEST_F(AppSummary, StorePagesOpenInTheStoresSchemeAndCopiesKeepTheWebLink)
{
    const struct
    {
        AppKind kind;
        const char *scheme;
    } cases[] = { { AppKind::Mac, "macappstore" },
                  { AppKind::Phone, "itunes" },
                  { AppKind::Pad, "itunes" } };
    for (const auto &c : cases) {
        app->setAppKind(c.kind);
        AppSummaryController::create(app)->viewInAppStore();
        const QUrl opened = services.openedLinks().last();
        EXPECT_EQ(opened.scheme(), c.scheme);
        EXPECT_EQ(opened.adjusted(QUrl::RemoveScheme),
                  QUrl(app->affiliatedStoreUrl()).adjusted(QUrl::RemoveScheme));
    }

    // No application takes the store's link: the web page opens instead.
    QList<QUrl> opened;
    services.workspace().setOpener([&](const QUrl &url) {
        opened << url;
        return url.scheme() == "https";
    });
    AppSummaryController::create(app)->viewInAppStore();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.last(), QUrl(app->affiliatedStoreUrl()));

    const auto controller = AppSummaryController::create(app);
    controller->copyLink();
    EXPECT_EQ(Clipboard::text(), app->affiliatedStoreUrl());
    controller->copyAppID();
    EXPECT_EQ(Clipboard::text(), app->identifier());
}

TEST_F(AppSummary, MenuItemsAreWiredByPositionAndTheIdentifierItemOnlyWhenPresent)
{
    const struct
    {
        AppSummaryConfiguration configuration;
        int items;
        bool copiesIdentifier;
    } cases[] = { { AppSummaryConfiguration::List, 6, false },
                  { AppSummaryConfiguration::List, 7, true },
                  { AppSummaryConfiguration::Archive, 3, false },
                  { AppSummaryConfiguration::Archive, 4, true } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.items);
        const auto controller = AppSummaryController::create(app, c.configuration);
        QMenu *menu = rowMenu(c.configuration, c.items, &owner);
        controller->setContextMenu(menu);
        services.alerts().alerts.clear();
        services.alerts().preparedAnswers = { { 1, false } }; // "No" to deleting
        Clipboard::setText({});

        menu->actions().at(0)->trigger();
        EXPECT_EQ(services.openedLinks().last().scheme(), "itunes");
        menu->actions().at(1)->trigger();
        EXPECT_EQ(Clipboard::text(), app->affiliatedStoreUrl());
        menu->actions().last()->trigger();
        // The last item copies the identifier, or else is Delete, which asks first.
        EXPECT_EQ(Clipboard::text() == app->identifier(), c.copiesIdentifier);
        EXPECT_EQ(services.alerts().alerts.size(), c.copiesIdentifier ? 0u : 1u);
        EXPECT_FALSE(app->isDeleted());
    }
}

TEST_F(AppSummary, TheMoveSubmenuOffersEveryOtherListByIdentity)
{
    const auto controller = AppSummaryController::create(app);
    QMenu *menu = rowMenu(AppSummaryConfiguration::List, 6, &owner);
    controller->setContextMenu(menu);
    QAction *moveItem = menu->actions().at(3);
    EXPECT_FALSE(moveItem->isEnabled());
    QPushButton moveButton(&owner);
    controller->showMoveMenu(&moveButton);
    ASSERT_EQ(QApplication::activePopupWidget(), moveItem->menu());
    EXPECT_EQ(moveEntries(menu), QStringList({ "No other lists" }));
    EXPECT_FALSE(moveItem->menu()->actions().at(0)->isEnabled());
    moveItem->menu()->close();

    // Two lists of one name, one with an "&" that must read as written.
    List *first = lists().createList("R&D");
    List *second = lists().createList("R&D");
    EXPECT_TRUE(moveItem->isEnabled());
    EXPECT_EQ(moveEntries(menu), QStringList({ "R&&D", "R&&D" }));

    moveItem->menu()->actions().at(1)->trigger();
    EXPECT_EQ(app->list(), second);
    EXPECT_EQ(moveEntries(menu), QStringList({ "Games", "R&&D" }));

    // A list deleted after the menu was filled cannot be picked.
    ASSERT_FALSE(lists().deleteList(first));
    EXPECT_EQ(moveEntries(menu), QStringList({ "Games" }));
    controller->moveApp(first);
    EXPECT_EQ(app->list(), second);
}

TEST_F(AppSummary, DeletingAsksFirstAndOnlyYesDeletes)
{
    auto controller = AppSummaryController::create(app);
    recordNotifications();
    services.alerts().preparedAnswers = { { 1, false } };
    controller->deleteApp();
    test::drainEvents();
    ASSERT_EQ(services.alerts().alerts.size(), 1u);
    EXPECT_TRUE(services.alerts().alerts[0].messageText.contains("Notes"));
    EXPECT_EQ(services.alerts().alerts[0].buttons, QStringList({ "Yes", "No" }));
    EXPECT_EQ(services.alerts().alerts[0].cancelButtonIndex(), 1);
    EXPECT_TRUE(services.alerts().alerts[0].blocksApplication);
    EXPECT_FALSE(app->isDeleted());
    EXPECT_TRUE(posted.isEmpty());

    // The answer may come after the row that asked has let go of its controller.
    controller->deleteApp();
    controller.reset();
    EXPECT_FALSE(app->isDeleted());
    test::drainEvents();
    EXPECT_TRUE(app->isDeleted());
    EXPECT_EQ(posted,
              QStringList({ ListsControllerWillUpdateList, ListsControllerWillDeleteApp,
                            ListsControllerDidUpdateList }));
}

TEST_F(AppSummary, TheFirstArchiveNoticeOpensOnTheWindowTheUserArchivedIn)
{
    services.settings().setValue("hasSeenFirstArchiveNotice", false);
    QWidget mainWindow, detailWindow;
    detailWindow.show();
    ASSERT_TRUE(test::activate(&mainWindow));
    AppSummaryController::create(app)->archiveApp();
    ASSERT_EQ(services.alerts().alerts.size(), 1u);
    EXPECT_EQ(services.alerts().alerts[0].messageText, Strings::localized("FirstArchiveTitle"));
    EXPECT_EQ(services.alerts().alerts[0].window, &mainWindow);
}

TEST_F(AppSummary, ActionsOnAnApplicationArchivedOrDeletedElsewhereDoNothing)
{
    const auto listRow = AppSummaryController::create(app);
    lists().archiveApp(app);
    recordNotifications();
    listRow->deleteApp();
    listRow->archiveApp();
    listRow->moveApp(games);
    listRow->reloadApp();
    EXPECT_TRUE(services.alerts().alerts.empty());
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_FALSE(listRow->isReloading());

    // The archive's own controller still acts, until the application is gone.
    const auto archiveRow = AppSummaryController::create(app, AppSummaryConfiguration::Archive);
    archiveRow->copyAppID();
    EXPECT_EQ(Clipboard::text(), app->identifier());
    lists().deleteApp(app);
    Clipboard::setText({});
    archiveRow->copyLink();
    archiveRow->deleteApp();
    EXPECT_TRUE(Clipboard::text().isEmpty());
    EXPECT_TRUE(services.alerts().alerts.empty());
}

TEST_F(AppSummary, ReloadingShowsTheOverlayAndAFailureOffersAMailToTheMakers)
{
    test::FakeStore store;
    QWidget window;
    window.resize(300, 200);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto controller = AppSummaryController::create(app);
    BorderedButton row, detail;
    controller->setBuyButton(&row);
    controller->setBuyButton(&detail);

    test::FakeStoreApp answer { app->identifier(), "Notes", "2.0", 4.99 };
    store.setLookup(answer);
    controller->reloadApp();
    EXPECT_NE(window.findChild<ProgressHUD *>(), nullptr);
    ASSERT_TRUE(test::waitFor([&] { return !controller->isReloading(); }));
    // Every bound price button follows the refresh, the row's and the detail window's.
    EXPECT_EQ(row.title(), "$4.99");
    EXPECT_EQ(detail.title(), "$4.99");
    EXPECT_TRUE(test::waitFor([&] { return !window.findChild<ProgressHUD *>(); }));
    EXPECT_TRUE(services.alerts().alerts.empty());

    store.setLookup(app->identifier(), test::FakeResponse::withStatus(500));
    services.alerts().preparedAnswers = { { 1, false } };
    controller->reloadApp();
    ASSERT_TRUE(test::waitFor([&] { return !controller->isReloading(); }));
    ASSERT_EQ(services.alerts().alerts.size(), 1u);
    EXPECT_EQ(services.alerts().alerts[0].buttons, QStringList({ "OK", "Request Support" }));
    ASSERT_TRUE(test::waitFor([&] { return !services.openedLinks().isEmpty(); }));
    EXPECT_EQ(services.openedLinks().last().scheme(), "mailto");
}

TEST_F(AppSummary, ReleasedViewsNoLongerActOrChangeForTheController)
{
    App *other = test::watch(lists(), games, { { "Other", "Maker", 2.99 } }).front();
    const auto first = AppSummaryController::create(app);
    const auto second = AppSummaryController::create(other);
    QWidget row;
    auto *name = new Label(&row);
    auto *archive = new HoverButton(&row);
    first->setNameLabel(name);
    first->configureArchiveButton(archive);
    EXPECT_EQ(first->boundViewCount(), 2);

    // The row is reused for another application while the first controller lives on.
    first->releaseViews(&row);
    EXPECT_EQ(first->boundViewCount(), 0);
    second->setNameLabel(name);
    second->configureArchiveButton(archive);
    archive->click();
    EXPECT_TRUE(other->archived());
    EXPECT_FALSE(app->archived());

    app->setName("Renamed");
    NotificationCenter::defaultCenter().post(
        ListsControllerDidReloadApps, &lists(),
        { { AppReloadIdentifierSet, QVariant::fromValue(QSet<QString> { app->identifier() }) } });
    EXPECT_EQ(name->fullString(), "Other");
}

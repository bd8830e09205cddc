#include "ShellTestSupport.h"
#include "controls/ControlsTestSupport.h"
#include "controls/TableView.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "details/AppDetailViewController.h"
#include "details/AppNotesViewController.h"
#include "details/AppSummaryController.h"
#include "details/DetailWindow.h"
#include "details/DetailWindowManager.h"
#include "lists/AddAppViewController.h"
#include "lists/ArchiveWindowController.h"
#include "lists/ListEditor.h"
#include "lists/ListOrderViewController.h"
#include "lists/ListViewController.h"
#include "lists/MainViewController.h"
#include "lists/MainWindowController.h"
#include "platform/Clipboard.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "sharing/ASUserViewController.h"
#include "sharing/AppShopperImportWindow.h"
#include "sharing/ListShareSheet.h"
#include "shell/AppDelegate.h"
#include "shell/PreferencesWindowController.h"
#include "shell/WelcomeViewController.h"
#include "store/CachedApp.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>

using namespace tanvill;

namespace {

struct MenusTest : test::ShellTest
{
    void makeLists(const QStringList &names, int selected)
    {
        for (const QString &name : names)
            services.listsController().createList(name);
        services.settings().setValue("selectedList", selected);
    }

    // Applications of the first list, newest first as the list shows them.
    std::vector<App *> addApps(const QStringList &names)
    {
        std::vector<CachedApp> results;
        for (const QString &name : names) {
            CachedApp result;
            result.name = name;
            result.identifier = QString::number(1000 + results.size());
            results.push_back(result);
        }
        return services.listsController().addApp(results, services.listsController().lists()[0]);
    }

    // A detail window showing `controller` gets the focus (none: no detail window has it).
    void focus(AppSummaryController *controller)
    {
        QVariantMap info;
        if (controller)
            info.insert(DetailWindowManagerResponsibleSummaryController,
                        QVariant::fromValue<QObject *>(controller));
        services.notificationCenter().post(DetailWindowManagerFocussedAppChanged, nullptr, info);
    }

    QAction *appItem(int index) const { return menu.appMenu()->actions().at(index); }
    QStringList moveTitles() const
    {
        QStringList titles;
        for (QAction *item : menu.moveAppMenu()->actions())
            titles << item->text();
        return titles;
    }

    qint64 selected() const { return services.settings().integer("selectedList", -7); }

    // Opens `app` in a detail window, once the menus follow it (null if they do not).
    DetailWindow *openDetailWindow(App *app)
    {
        summaries.push_back(AppSummaryController::create(app, AppSummaryConfiguration::List,
                                                         services.listsController()));
        DetailWindowManager &windows = delegate.detailWindowManager();
        windows.openDetailWindowWithSummaryController(summaries.back().get());
        if (!test::waitFor([&] { return delegate.responsibleSummaryController() != nullptr; }))
            return nullptr;
        return windows.windowForIdentifier(app->identifier());
    }

    AppDelegate delegate { services };
    MainMenu &menu = delegate.mainMenu();
    std::vector<std::shared_ptr<AppSummaryController>> summaries;
};

struct MenuState
{
    QStringList lists;
    int selected;
    bool listMenu, appMenu, rearrange;
    QString deleteTitle;
    bool deleteEnabled, previous, next;
};

} // namespace

TEST(Menus, ItemsFollowTheListsAndTheSelectedList)
{
    const MenuState cases[] = {
        { {}, 0, false, false, false, "&Delete", false, false, false },
        { { "Home" }, 0, true, true, false, "&Delete", false, false, false },
        { { "Home", "Work" }, 0, true, true, true, "&Delete “Home”", true, false, true },
        { { "Home", "Work" }, 1, true, true, true, "&Delete “Work”", true, true, false },
        // Names are shown as written: no shortcut letter, no second expansion.
        { { "R&D", "%@", "Games" }, 0, true, true, true, "&Delete “R&&D”", true, false, true },
        { { "R&D", "%@", "Games" }, 1, true, true, true, "&Delete “%@”", true, true, true },
    };
    for (const MenuState &c : cases) {
        SCOPED_TRACE(c.lists.join(',').toStdString() + " selected " + std::to_string(c.selected));
        test::IsolatedHome home;
        test::ScriptedAlertPresenter *alerts = nullptr;
        Services services { test::recordingServicesOptions(&alerts) };
        AppDelegate delegate { services };
        const MainMenu &menu = delegate.mainMenu();
        for (const QString &name : c.lists)
            services.listsController().createList(name);
        services.settings().setValue("selectedList", c.selected);

        EXPECT_EQ(menu.listSubmenuItem->isEnabled(), c.listMenu);
        EXPECT_EQ(menu.appSubmenuItem->isEnabled(), c.appMenu);
        EXPECT_EQ(menu.listRearrangementMenuItem->isEnabled(), c.rearrange);
        EXPECT_EQ(menu.deleteListMenuItem->text(), c.deleteTitle);
        EXPECT_EQ(menu.deleteListMenuItem->isEnabled(), c.deleteEnabled);
        EXPECT_EQ(menu.previousListMenuItem->isEnabled(), c.previous);
        EXPECT_EQ(menu.nextListMenuItem->isEnabled(), c.next);
    }
}

TEST_F(MenusTest, TheAppMenuActsOnTheFocusedDetailWindowsAppOnly)
{
    makeLists({ "Home", "Work", "Games" }, 0);
    const std::vector<App *> apps = addApps({ "Things", "Slack" });
    auto things = AppSummaryController::create(apps[0], AppSummaryConfiguration::List,
                                               services.listsController());
    auto slack = AppSummaryController::create(apps[1], AppSummaryConfiguration::List,
                                              services.listsController());
    for (int index = MainMenu::kViewInStoreIndex; index <= MainMenu::kDeleteAppIndex; ++index)
        EXPECT_FALSE(appItem(index)->isEnabled()) << index;

    focus(things.get());
    for (int index = MainMenu::kViewInStoreIndex; index <= MainMenu::kDeleteAppIndex; ++index)
        EXPECT_TRUE(appItem(index)->isEnabled()) << index;
    EXPECT_EQ(moveTitles(), (QStringList { "&1 Work", "&2 Games" }));
    // Moved elsewhere, the application's own list leaves the Move submenu.
    menu.moveAppMenu()->actions()[1]->trigger();
    EXPECT_EQ(apps[0]->list()->name(), "Games");
    EXPECT_EQ(moveTitles(), (QStringList { "&1 Home", "&2 Work" }));

    // Focus moves to Slack's window: Archive reaches Slack, and Slack only.
    focus(slack.get());
    appItem(MainMenu::kArchiveIndex)->trigger();
    EXPECT_TRUE(apps[1]->archived());
    EXPECT_FALSE(apps[0]->archived());

    // No detail window has the focus: the items are off.
    focus(nullptr);
    EXPECT_FALSE(appItem(MainMenu::kDeleteAppIndex)->isEnabled());
    EXPECT_FALSE(menu.moveAppSubmenuItem->isEnabled());
}

TEST_F(MenusTest, AFocusedDetailWindowGetsTheMenuBarAndItsAppTheAppMenu)
{
    makeLists({ "Home", "Work" }, 0);
    DetailWindow *window = openDetailWindow(addApps({ "Things" })[0]);
    ASSERT_NE(window, nullptr);
    QMenuBar *bar = window->findChild<QMenuBar *>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->actions(), delegate.mainWindowController().menuBar()->actions());
    EXPECT_TRUE(appItem(MainMenu::kReloadIndex)->isEnabled());
    EXPECT_EQ(moveTitles(), QStringList { "&1 Work" });
    window->close();
    EXPECT_TRUE(test::waitFor([&] { return !appItem(MainMenu::kReloadIndex)->isEnabled(); }));
}

TEST_F(MenusTest, TheMenuKeysOpenTheWindowsMenusFromItsPopoversAndTypeNothing)
{
    makeLists({ "Home" }, 0);
    App *app = addApps({ "Things" })[0];
    delegate.showMainWindow();
    DetailWindow *detailWindow = openDetailWindow(app);
    ASSERT_NE(detailWindow, nullptr);
    AppDetailViewController *view = detailWindow->contentViewController();
    List *list = services.listsController().lists()[0];
    const struct
    {
        const char *popover;
        QWidget *window;
        std::function<QString()> typed;
        std::function<QWidget *()> open; // gives the popover's text field
    } popovers[] = {
        { "notes", detailWindow, [&] { return app->notes().value_or(QString()); },
          [&]() -> QWidget * {
              view->viewAppNotes(view->appNotesButton());
              return view->appNotesViewController()->textView();
          } },
        { "list editor", &delegate.mainWindowController(), [&] { return list->name(); },
          [&]() -> QWidget * {
              menu.editListItem->trigger();
              QWidget *editor = QApplication::activePopupWidget();
              return editor ? editor->findChild<QLineEdit *>() : nullptr;
          } },
    };
    for (const auto &popover : popovers) {
        SCOPED_TRACE(popover.popover);
        QMenuBar *bar = popover.window->findChild<QMenuBar *>();
        ASSERT_NE(bar, nullptr);
        // F10, and Alt with the letter of each menu of the bar.
        std::vector<std::pair<QKeyCombination, QMenu *>> keys { { Qt::Key_F10,
                                                                  bar->actions()[0]->menu() } };
        for (QAction *title : bar->actions())
            keys.emplace_back(QKeySequence::mnemonic(title->text())[0], title->menu());
        ASSERT_EQ(keys.size(), 7u);
        const QString before = popover.typed();
        for (const auto &[key, menuOpened] : keys) {
            SCOPED_TRACE(QKeySequence(key).toString().toStdString());
            QApplication::setActiveWindow(popover.window);
            QWidget *field = popover.open();
            ASSERT_NE(field, nullptr);
            const QPointer<QWidget> shown = field->window();
            QTest::keyClick(field, Qt::Key_X);
            // The offscreen platform takes the window's activation with the closed pop-up, and
            // the menus with it: that the menu opened is what counts.
            bool opened = false;
            const QMetaObject::Connection showing
                = QObject::connect(menuOpened, &QMenu::aboutToShow, [&opened] { opened = true; });
            QTest::keyClick(field, key.key(), key.keyboardModifiers());
            test::drainEvents();
            QObject::disconnect(showing);
            EXPECT_TRUE(opened);
            EXPECT_TRUE(!shown || !shown->isVisible());
            while (QWidget *popup = QApplication::activePopupWidget())
                QTest::keyClick(popup, Qt::Key_Escape);
        }
        // The text holds what was typed, and only that.
        EXPECT_EQ(popover.typed(), before + QString(qsizetype(keys.size()), QLatin1Char('x')));
    }
}

TEST_F(MenusTest, MovingToListsOfEqualNamesReachesTheOneChosen)
{
    makeLists({ "Home", "G&G", "G&G" }, 0);
    App *app = addApps({ "Things" })[0];
    auto controller = AppSummaryController::create(app, AppSummaryConfiguration::List,
                                                   services.listsController());
    focus(controller.get());
    EXPECT_EQ(moveTitles(), (QStringList { "&1 G&&G", "&2 G&&G" }));
    menu.moveAppMenu()->actions()[1]->trigger();
    EXPECT_EQ(app->list()->index(), 2);

    // With one list there is nowhere to move to.
    for (int i = 0; i < 2; ++i) {
        services.listsController().deleteList(services.listsController().lists()[0]);
    }
    focus(controller.get());
    EXPECT_FALSE(menu.moveAppSubmenuItem->isEnabled());
    EXPECT_TRUE(appItem(MainMenu::kArchiveIndex)->isEnabled());
}

TEST_F(MenusTest, NewAndEditListOpenTheirViewsWhichHoldTheirItemOff)
{
    makeLists({ "Home", "Work" }, 1);
    delegate.showMainWindow();
    menu.editListItem->trigger();
    EXPECT_TRUE(delegate.isListMenuItemHeldOff(MainMenu::kEditListIndex));
    EXPECT_FALSE(menu.editListItem->isEnabled());
    menu.addListItem->trigger();
    EXPECT_TRUE(delegate.isListMenuItemHeldOff(MainMenu::kAddListIndex));
}

TEST_F(MenusTest, PreviousAndNextNeverLeaveTheLists)
{
    makeLists({ "Home", "Work", "Games" }, 0);
    delegate.selectPreviousList();
    EXPECT_EQ(selected(), 0);
    delegate.selectNextList();
    delegate.selectNextList();
    EXPECT_EQ(selected(), 2);
    EXPECT_FALSE(menu.nextListMenuItem->isEnabled());
    delegate.selectNextList();
    EXPECT_EQ(selected(), 2);
    menu.previousListMenuItem->trigger();
    EXPECT_EQ(selected(), 1);
    EXPECT_TRUE(menu.previousListMenuItem->isEnabled());
    EXPECT_TRUE(menu.nextListMenuItem->isEnabled());
}

TEST_F(MenusTest, SortingAndGroupingAreExclusiveChoicesKeptInTheSettings)
{
    makeLists({ "Home" }, 0);
    services.settings().setValue("listSorting", "name");
    services.settings().setValue("listGrouping", "developer");
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(menu.listSortingNameMenuItem->isChecked());
    EXPECT_TRUE(menu.listGroupingDeveloperMenuItem->isChecked());

    menu.listSortingPriceMenuItem->trigger();
    EXPECT_FALSE(menu.listSortingNoneMenuItem->isChecked());
    EXPECT_TRUE(menu.listSortingPriceMenuItem->isChecked());
    EXPECT_FALSE(menu.listSortingNameMenuItem->isChecked());
    EXPECT_EQ(services.settings().string("listSorting"), "price");

    menu.listGroupingPlatformMenuItem->trigger();
    EXPECT_FALSE(menu.listGroupingDeveloperMenuItem->isChecked());
    EXPECT_TRUE(menu.listGroupingPlatformMenuItem->isChecked());
    EXPECT_EQ(services.settings().string("listGrouping"), "kind");
    menu.listGroupingNoneMenuItem->trigger();
    EXPECT_EQ(services.settings().string("listGrouping"), "none");
}

TEST_F(MenusTest, DeletingAListAsksAndDeletesTheListItAskedAbout)
{
    makeLists({ "Home", "Work", "Games" }, 1);
    // "No", then Escape (which a presenter answers with the last button): nothing goes.
    alerts->preparedAnswers = { { 1, false } };
    menu.deleteListMenuItem->trigger();
    EXPECT_EQ(services.listsController().lists().size(), 3u);
    ASSERT_EQ(alerts->alerts.size(), 1u);
    EXPECT_EQ(alerts->alerts[0].messageText, "Delete “Work”?");

    // Another list is selected while the question is open: "Work" is still the one deleted.
    alerts->preparedAnswers = { { 0, false } };
    alerts->whileShowing = [this](const Alert &) {
        services.settings().setValue("selectedList", 2);
    };
    menu.deleteListMenuItem->trigger();
    QStringList names;
    for (List *list : services.listsController().lists())
        names << list->name();
    EXPECT_EQ(names, (QStringList { "Home", "Games" }));
    // The menu names the list selected now.
    EXPECT_EQ(menu.deleteListMenuItem->text(), "&Delete “Games”");
}

TEST_F(MenusTest, AMovedListLeavesDeleteAndTheWindowMenuOnTheSelectedList)
{
    makeLists({ "Home", "Work" }, 0);
    delegate.showMainWindow();
    List *work = services.listsController().lists()[1];
    services.listsController().moveList(work, 0);
    // "Home" stays selected, second now.
    EXPECT_EQ(menu.deleteListMenuItem->text(), "&Delete “Home”");
    EXPECT_EQ(delegate.windowMenu().itemForWindow(&delegate.mainWindowController())->text(),
              "&1 Home");
}

TEST_F(MenusTest, ARenamedListRetitlesDeleteAndTheWindowMenuOnceItsEditorCloses)
{
    makeLists({ "Home", "My Wishlist" }, 1);
    delegate.showMainWindow();
    menu.editListItem->trigger();
    auto *editor = delegate.mainWindowController().findChild<ListEditor *>();
    ASSERT_NE(editor, nullptr);
    editor->nameTextField()->selectAll();
    QTest::keyClicks(editor->nameTextField(), "Games");
    editor->close();
    EXPECT_EQ(menu.deleteListMenuItem->text(), "&Delete “Games”");
    EXPECT_EQ(delegate.windowMenu().itemForWindow(&delegate.mainWindowController())->text(),
              "&1 Games");
}

TEST_F(MenusTest, TheListOrderSheetKeepsTheListMenuOffUntilItCloses)
{
    makeLists({ "Home", "Work" }, 0);
    menu.listRearrangementMenuItem->trigger();
    auto *sheet = qobject_cast<ListOrderViewController *>(QApplication::activeModalWidget());
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(menu.listSubmenuItem->isEnabled());
    // Anything that runs the menu rules while the sheet is open leaves it off.
    services.notificationCenter().post(DetailWindowManagerFocussedAppChanged);
    EXPECT_FALSE(menu.listSubmenuItem->isEnabled());
    delegate.rearrangeLists();
    EXPECT_EQ(QApplication::activeModalWidget(), sheet);

    sheet->reject();
    test::drainEvents();
    EXPECT_TRUE(menu.listSubmenuItem->isEnabled());
}

TEST_F(MenusTest, TheShareSheetOpensOnceAndHoldsOffTheItemsThatWouldOpenAnotherSheet)
{
    makeLists({ "Home", "Work", "Games" }, 1);
    addApps({ "Things" });
    services.listsController().addApp({ CachedApp() }, services.listsController().lists()[1]);
    ListShareSheet::setAnimationDuration(0);
    delegate.showMainWindow();
    MainWindowController &window = delegate.mainWindowController();
    QApplication::setActiveWindow(&window);
    // Also the items that would page the window behind the sheet to another list, and Add
    // App…, whose field would open under the sheet and add to the list it shares.
    const QList<QAction *> opening = { menu.addListItem,        menu.editListItem,
                                       menu.shareListItem,      menu.listRearrangementMenuItem,
                                       menu.deleteListMenuItem, menu.previousListMenuItem,
                                       menu.nextListMenuItem,   menu.addAppItem };
    const auto enabled = [&opening] {
        QList<bool> states;
        for (const QAction *item : opening)
            states << item->isEnabled();
        return states;
    };
    const QList<bool> on(opening.size(), true);
    const QList<bool> off(opening.size(), false);
    ASSERT_EQ(enabled(), on);

    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(window.findChildren<ListShareSheet *>().size(), 1);
    EXPECT_EQ(enabled(), off);
    // The key again, or a request that comes another way: still one sheet.
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    delegate.shareSelectedList();
    EXPECT_EQ(window.findChildren<ListShareSheet *>().size(), 1);
    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    delegate.addApp();
    EXPECT_EQ(window.contentViewController()->addAppViewController(), nullptr);
    // The menu rules, run by changes meanwhile, leave them off.
    addApps({ "Slack" });
    services.notificationCenter().post(DetailWindowManagerFocussedAppChanged);
    EXPECT_EQ(enabled(), off);

    window.findChild<ListShareSheet *>()->cancel();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.findChildren<ListShareSheet *>().isEmpty());
    EXPECT_EQ(enabled(), on);
}

TEST_F(MenusTest, AddAppFromADetailWindowBringsTheClosedMainWindowBackWithTheAddField)
{
    makeLists({ "Home" }, 0);
    delegate.showMainWindow();
    MainWindowController &window = delegate.mainWindowController();
    window.close();
    menu.addAppItem->trigger(); // as from a detail window's menu bar
    EXPECT_TRUE(window.isVisible());
    AddAppViewController *field = window.contentViewController()->addAppViewController();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(window.focusWidget(), field->searchTextField());
}

TEST_F(MenusTest, TheImportWindowIsOpenedOnceAndBuiltAfreshAfterItClosed)
{
    menu.appShopperImportItem->trigger();
    QPointer<AppShopperImportWindow> first = delegate.appShopperImportWindowController();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    menu.appShopperImportItem->trigger();
    EXPECT_EQ(delegate.appShopperImportWindowController(), first);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    EXPECT_EQ(delegate.appShopperImportWindowController(), nullptr);
    menu.appShopperImportItem->trigger();
    ASSERT_NE(delegate.appShopperImportWindowController(), nullptr);
    delegate.appShopperImportWindowController()->close();
}

TEST_F(MenusTest, TheMainAndArchiveWindowsShareOneMenuBar)
{
    makeLists({ "Home" }, 0);
    menu.showArchiveItem->trigger();
    QMainWindow *archive = delegate.archiveWindowController().window();
    EXPECT_TRUE(archive->isVisible());

    QList<QMenu *> menus;
    for (QAction *item : delegate.mainWindowController().menuBar()->actions())
        menus << item->menu();
    EXPECT_EQ(menus, delegate.mainMenu().menus());
    EXPECT_TRUE(menus.contains(delegate.windowMenu().menu()));
    EXPECT_EQ(archive->menuBar()->actions(), delegate.mainWindowController().menuBar()->actions());
}

TEST_F(MenusTest, LongListNamesAreShortenedInTheMiddleWithTheWholeNameAsToolTip)
{
    const QString longName = "Apps for the R&D department to look at again in the new year";
    makeLists({ "Home", longName }, 1);
    auto controller = AppSummaryController::create(
        addApps({ "Things" })[0], AppSummaryConfiguration::List, services.listsController());
    focus(controller.get());
    delegate.showMainWindow();
    for (QAction *item : { delegate.windowMenu().itemForWindow(&delegate.mainWindowController()),
                           menu.moveAppMenu()->actions().value(0), menu.deleteListMenuItem }) {
        const QString shown = item->text();
        EXPECT_TRUE(shown.contains("R&&D") && shown.contains(QChar(0x2026))
                    && shown.contains("new year") && shown.size() < longName.size())
            << shown.toStdString();
        EXPECT_EQ(item->toolTip(), longName);
    }
}

TEST_F(MenusTest, EveryMenuAndItemIsReachedFromTheKeyboard)
{
    makeLists({ "Home", "R&D" }, 1);
    delegate.showMainWindow();
    MainWindowController &window = delegate.mainWindowController();
    // Every title and item has a shortcut letter that no other one of its menu has.
    QList<QList<QAction *>> menus { window.menuBar()->actions() };
    for (qsizetype i = 0; i < menus.size(); ++i) {
        QList<QKeySequence> seen;
        for (QAction *item : menus[i]) {
            const QKeySequence letter = QKeySequence::mnemonic(item->text());
            EXPECT_TRUE(item->isSeparator() || (!letter.isEmpty() && !seen.contains(letter)))
                << item->text().toStdString();
            seen << letter;
            if (item->menu())
                menus << item->menu()->actions();
        }
    }

    const std::pair<QList<QKeyCombination>, QWidget *> walks[] = {
        { { Qt::Key_F10 }, menu.applicationMenu() },
        { { Qt::Key_F10, Qt::Key_Right }, menu.listMenu() },
        { { Qt::ALT | Qt::Key_W }, delegate.windowMenu().menu() },
        { { Qt::ALT | Qt::Key_V, Qt::Key_S }, menu.sortingMenu() },
        { { Qt::CTRL | Qt::Key_Comma }, delegate.preferencesWindowController().window() },
    };
    for (const auto &[keys, shown] : walks) {
        SCOPED_TRACE(QKeySequence(keys[0]).toString().toStdString());
        // Closed popups can leave the offscreen platform's active window behind.
        QApplication::setActiveWindow(&window);
        for (const QKeyCombination key : keys) {
            QWidget *popup = QApplication::activePopupWidget();
            QTest::keyClick(popup ? popup : &window, key.key(), key.keyboardModifiers());
        }
        EXPECT_TRUE(shown->isVisible());
        while (QWidget *popup = QApplication::activePopupWidget())
            QTest::keyClick(popup, Qt::Key_Escape);
    }

    qunsetenv("TANVILL_SERVICE_URL"); // no site of the maker's: support is asked for by mail
    QList<QUrl> mails;
    services.workspace().setOpener([&mails](const QUrl &url) { return mails << url, true; });
    menu.supportPageItem->trigger();
    EXPECT_EQ(mails.value(0).scheme(), "mailto");
}

// Once the menu bar's keys are done, the keyboard is back where it was in the window, also after
// Escape or F10 left the bar holding it and an Alt letter opened a menu from there: back from the
// window the chosen item (or a shortcut meanwhile) opened, or at once when Escape left the menus.
TEST_F(MenusTest, TheKeyboardIsBackWhereItWasOnceTheMenuBarIsDone)
{
    makeLists({ "Home" }, 0);
    App *app = addApps({ "Things" })[0];
    delegate.showMainWindow();
    MainWindowController &main = delegate.mainWindowController();
    QWidget *detail = openDetailWindow(app);
    ASSERT_NE(detail, nullptr);
    QWidget *preferences = delegate.preferencesWindowController().window();
    const QList<QKeyCombination> roads[] = {
        { Qt::ALT | Qt::Key_A, Qt::Key_Escape, Qt::ALT | Qt::Key_T, Qt::Key_Return },
        { Qt::Key_F10, Qt::Key_Escape, Qt::ALT | Qt::Key_T, Qt::Key_Return },
        { Qt::ALT | Qt::Key_A, Qt::Key_Escape, Qt::ALT | Qt::Key_T, Qt::Key_Escape,
          Qt::Key_Escape },
        { Qt::ALT | Qt::Key_A, Qt::Key_Escape, Qt::CTRL | Qt::Key_Comma },
    };
    for (QWidget *window : { static_cast<QWidget *>(&main), detail }) {
        ASSERT_TRUE(test::activate(window));
        ASSERT_TRUE(test::waitFor([&] { return window->findChild<QMenuBar *>(); }));
        QWidget *keyboard = QApplication::focusWidget();
        ASSERT_TRUE(window == detail
                    || keyboard == main.contentViewController()->listViewController()->tableView());
        for (std::size_t road = 0; road < std::size(roads); ++road) {
            SCOPED_TRACE(testing::Message() << window->metaObject()->className() << " " << road);
            keyboard->setFocus();
            for (const QKeyCombination key : roads[road]) {
                QWidget *popup = QApplication::activePopupWidget();
                QTest::keyClick(popup ? popup : QApplication::focusWidget(), key.key(),
                                key.keyboardModifiers());
            }
            test::drainEvents();
            if (preferences->isVisible()) {
                ASSERT_TRUE(test::activate(preferences));
                QTest::keyClick(preferences, Qt::Key_W, Qt::ControlModifier);
            }
            ASSERT_TRUE(test::activate(window));
            EXPECT_EQ(QApplication::focusWidget(), keyboard);
        }
    }
}

// A sheet keeps the keys while it is up: a click behind it, or on the share sheet's card, leaves
// them in its field, also where the window manager makes the window behind the active one.
TEST_F(MenusTest, EverySheetKeepsTheKeyboardWhenTheWindowBehindIsClicked)
{
    makeLists({ "Home" }, 0);
    addApps({ "Things" });
    services.settings().setValue("hasSeenListSharingInfo", true);
    ListShareSheet::setAnimationDuration(0);
    delegate.showMainWindow();
    MainWindowController &window = delegate.mainWindowController();
    QWidget *rows = window.contentViewController()->listViewController();
    const std::pair<QAction *, QWidget *> cases[] = { { menu.shareListItem, rows },
                                                      { menu.shareListItem, nullptr },
                                                      { menu.addListItem, rows } };
    for (const auto &[item, behind] : cases) {
        ASSERT_TRUE(test::activate(&window));
        item->trigger();
        auto *shareSheet = window.findChild<ListShareSheet *>();
        QWidget *sheet = shareSheet ? shareSheet : QApplication::activeModalWidget();
        ASSERT_TRUE(sheet && test::activate(sheet->window()));
        auto *field = sheet->findChild<QLineEdit *>();
        QTest::keyClicks(field, "ab");
        const QWidget *clicked = behind ? behind : sheet;
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                          clicked->mapTo(&window, QPoint(3, 9)));
        window.windowHandle()->requestActivate();
        test::drainEvents();
        EXPECT_TRUE(test::waitFor([&] { return QApplication::focusWidget() == field; }));
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_C);
        EXPECT_EQ(field->text(), "abc") << clicked->metaObject()->className();
        shareSheet ? shareSheet->cancel() : static_cast<QDialog *>(sheet)->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The App menu acts on the row the keyboard rings, as on a focused detail window's application,
// also from a menu that borrows the keys, and on the next row once the ring has gone on to it.
TEST_F(MenusTest, TheAppMenuActsOnTheRowTheKeyboardRings)
{
    makeLists({ "Home" }, 0);
    addApps({ "Things", "Slack", "Halide" });
    delegate.showMainWindow();
    ASSERT_TRUE(test::activate(&delegate.mainWindowController()));
    ListViewController *list
        = delegate.mainWindowController().contentViewController()->listViewController();
    QWidget *table = list->tableView();
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    table->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(appItem(MainMenu::kCopyLinkIndex)->isEnabled());
    QTest::keyClick(table, Qt::Key_Home);
    QTest::keyClick(table, Qt::Key_F10);
    EXPECT_TRUE(appItem(MainMenu::kCopyLinkIndex)->isEnabled());
    QApplication::activePopupWidget()->close();
    QTest::keyClick(table, Qt::Key_C, ctrlShift);
    EXPECT_EQ(Clipboard::text(), list->summaryControllerAtRow(0)->app()->affiliatedStoreUrl());
    for (App *app :
         { list->summaryControllerAtRow(0)->app(), list->summaryControllerAtRow(1)->app() }) {
        QTest::keyClick(table, Qt::Key_A, ctrlShift);
        EXPECT_TRUE(app->archived());
    }
    table->clearFocus();
    EXPECT_FALSE(appItem(MainMenu::kArchiveIndex)->isEnabled());
}

// A name of nothing but spaces names no list and no wish list, wherever it is typed.
TEST_F(MenusTest, ANameOfSpacesOnlyIsRefusedWhereverItIsTyped)
{
    makeLists({ "Home" }, 0);
    delegate.showMainWindow();
    WelcomeViewController welcome(services.listsController());
    ASUserViewController wishlistUser;
    const auto opened = [](QAction *item) {
        item->trigger();
        QWidget *modal = QApplication::activeModalWidget();
        return modal ? modal : QApplication::activePopupWidget();
    };
    const std::function<QWidget *()> places[] = {
        [&] { return &welcome; },
        [&] { return opened(menu.addListItem); },
        [&] { return opened(menu.editListItem); },
        [&] { return &wishlistUser; },
    };
    for (const auto &open : places) {
        QPointer<QWidget> view = open();
        QPointer<QLineEdit> field = view->findChild<QLineEdit *>();
        field->selectAll();
        QTest::keyClicks(field, "   ");
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_TRUE(!field || field->isEnabled()) << view->metaObject()->className();
        EXPECT_EQ(services.listsController().lists().back()->name(), "Home");
        if (view)
            view->close();
    }
}

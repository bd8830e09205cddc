#include "shell/AppDelegate.h"
#include "ShellTestSupport.h"
#include "controls/ControlsTestSupport.h"
#include "controls/ImplicitButton.h"
#include "controls/KeyboardFocus.h"
#include "controls/ProgressHUD.h"
#include "controls/TableView.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "details/AppDetailViewController.h"
#include "details/AppNotesViewController.h"
#include "details/AppSummaryController.h"
#include "details/DetailWindow.h"
#include "details/DetailWindowManager.h"
#include "lists/AddButton.h"
#include "lists/ArchiveWindowController.h"
#include "lists/HeaderButton.h"
#include "lists/HeaderController.h"
#include "lists/HeaderViewController.h"
#include "lists/ListViewController.h"
#include "lists/MainViewController.h"
#include "lists/MainWindowController.h"
#include "lists/SearchResultsViewController.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "sharing/AppShopperImportWindow.h"
#include "sharing/ListShareSheet.h"
#include "shell/MessageBoxAlertPresenter.h"
#include "shell/PreferencesWindowController.h"
#include "shell/WelcomeViewController.h"
#include "store/CachedApp.h"
#include "store/widgets/ChangesViewController.h"
#include "store/widgets/ChangesWindowController.h"
#include "support/FakeStore.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tanvill;

namespace {

// A delegate over a store with the lists "Games" (selected) and "Tools".
struct AppDelegateTest : test::ShellTest
{
    AppDelegateTest()
    {
        ListsController &controller = services.listsController();
        controller.createList("Games");
        controller.createList("Tools");
        services.settings().setValue("selectedList", 0);
    }

    QStringList listNames() const
    {
        QStringList names;
        for (List *list : services.listsController().lists())
            names << list->name();
        return names;
    }

    List *listAt(int index) { return services.listsController().lists()[std::size_t(index)]; }

    AppDelegate delegate { services };
};

} // namespace

TEST_F(AppDelegateTest, DeletingAListAsksFirstAndOnlyYesDeletes)
{
    ASSERT_EQ(AppDelegate::sharedAppDelegate(), &delegate);
    alerts->preparedAnswers = { { 1, false } };
    delegate.deleteList();
    ASSERT_EQ(alerts->alerts.size(), 1u);
    const Alert &alert = alerts->alerts.front();
    EXPECT_EQ(alert.messageText, Strings::localizedFormat("DeleteListTitle", { "Games" }));
    EXPECT_EQ(alert.buttons, (QStringList { Strings::localized("Yes"), Strings::localized("No") }));
    EXPECT_EQ(listNames(), (QStringList { "Games", "Tools" }));

    alerts->preparedAnswers = { { 0, false } };
    delegate.deleteList();
    EXPECT_EQ(listNames(), QStringList { "Tools" });
    EXPECT_TRUE(alerts->errors.empty());
}

TEST_F(AppDelegateTest, TheOnlyListIsNotDeletedAndTheUserIsTold)
{
    alerts->preparedAnswers = { { 0, false }, { 0, false } };
    delegate.deleteList();
    delegate.deleteList();
    EXPECT_EQ(listNames(), QStringList { "Tools" });
    EXPECT_EQ(alerts->alerts.size(), 2u);
    ASSERT_EQ(alerts->errors.size(), 1u);
    EXPECT_EQ(alerts->errors.front().code, 3);
}

TEST_F(AppDelegateTest, TheMainWindowIsMadeOnceAndComesBackAfterClosing)
{
    MainWindowController *window = &delegate.mainWindowController();
    EXPECT_EQ(&delegate.mainWindowController(), window);
    delegate.showMainWindow();
    EXPECT_TRUE(window->isVisible());
    window->close();
    EXPECT_FALSE(window->isVisible());
    delegate.showMainWindow();
    EXPECT_EQ(&delegate.mainWindowController(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(delegate.windowMenu().itemCount(), 1);
}

TEST_F(AppDelegateTest, TheWindowMenuNamesTheMainWindowAfterTheSelectedList)
{
    services.listsController().createList("R&D");
    services.settings().setValue("selectedList", 0);
    delegate.showMainWindow();
    QAction *item = delegate.windowMenu().itemForWindow(&delegate.mainWindowController());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&1 Games");
    services.settings().setValue("selectedList", 2);
    EXPECT_EQ(item->text(), "&1 R&&D");
    // Deleting lists changes the selected one without a new position being written.
    services.settings().setValue("selectedList", 0);
    alerts->preparedAnswers = { { 0, false } };
    delegate.deleteList();
    EXPECT_EQ(item->text(), "&1 Tools");
}

TEST_F(AppDelegateTest, WindowsLeaveTheWindowMenuWhenTheyGo)
{
    auto other = std::make_unique<QWidget>();
    AppShell *shell = AppShell::current();
    ASSERT_EQ(shell, &delegate);
    shell->addWindowsItem(other.get(), "Things 3");
    shell->addWindowsItem(other.get(), "Things 3");
    EXPECT_EQ(delegate.windowMenu().itemCount(), 1);
    shell->changeWindowsItem(other.get(), "Slack");
    EXPECT_EQ(delegate.windowMenu().itemForWindow(other.get())->text(), "&1 Slack");
    auto last = std::make_unique<QWidget>();
    shell->addWindowsItem(last.get(), "Things 3");
    other.reset();
    EXPECT_EQ(delegate.windowMenu().itemForWindow(last.get())->text(), "&1 Things 3")
        << "renumbered";
    last.reset();
    EXPECT_EQ(delegate.windowMenu().itemCount(), 0);
    EXPECT_EQ(delegate.windowMenu().menu()->actions().size(), 2) << "Close Window, a separator";
}

TEST_F(AppDelegateTest, ALinkToAnAppAlreadyKeptShowsTheDuplicateAlertOnTheMainWindow)
{
    CachedApp kept;
    kept.identifier = "904280696";
    kept.name = "Things 3";
    ListsController &lists = services.listsController();
    lists.addApp({ kept }, lists.lists()[1]);
    delegate.showMainWindow();
    MainWindowController &window = delegate.mainWindowController();
    window.contentViewController()->tryAddingApp(kept.identifier);
    ASSERT_EQ(alerts->alerts.size(), 1u);
    Alert alert = alerts->alerts.front();
    EXPECT_EQ(alert.messageText, Strings::localizedFormat("DuplicateAppNotice", { "Tools" }));
    EXPECT_EQ(alert.window, &window);
    EXPECT_TRUE(window.contentViewController()->findChildren<ProgressHUD *>().isEmpty());

    // As the user sees it: the message box as a sheet over the window.
    MessageBoxAlertPresenter().present(alert);
    QMessageBox *box = nullptr;
    ASSERT_TRUE(test::waitFor([&] {
        box = window.findChild<QMessageBox *>();
        return box && box->isVisible();
    }));
    QImage image = window.grab().toImage();
    QPainter painter(&image);
    painter.drawPixmap((window.width() - box->width()) / 2, 24, box->grab());
    painter.end();
    image.save(test::testOutputDir("windows") + "/main-window-duplicate-alert.png");
    box->reject();
}

TEST_F(AppDelegateTest, LatestChangesIsInTheWindowMenuOnlyWhileItIsOpen)
{
    ChangesWindowController &changes = delegate.currentChangeWindowController();
    for (const char *name : { "Things 3", "Slack" })
        changes.showWindow({ AppUpdate(name) });
    EXPECT_EQ(delegate.windowMenu().itemCount(), 1) << "the new window took the old one's place";
    EXPECT_EQ(delegate.windowMenu().itemForWindow(changes.currentWindow())->text(),
              "&1 " + Strings::localized("Latest Changes"));
    changes.currentWindow()->close();
    EXPECT_EQ(delegate.windowMenu().itemCount(), 0);
}
TEST_F(AppDelegateTest, CtrlWClosesTheWindowThatHasTheFocus)
{
    CachedApp result;
    result.identifier = "904280696";
    App *app = services.listsController().addApp({ result }, listAt(0))[0];
    auto summary = AppSummaryController::create(app, AppSummaryConfiguration::List,
                                                services.listsController());
    delegate.detailWindowManager().openDetailWindowWithSummaryController(summary.get());
    delegate.currentChangeWindowController().showWindow({ AppUpdate("Slack") });
    delegate.showArchive();
    delegate.showPreferences();
    delegate.showAppShopperImport();
    delegate.showMainWindow();
    const QList<QWidget *> windows {
        delegate.detailWindowManager().windowForIdentifier("904280696"),
        delegate.currentChangeWindowController().currentWindow(),
        delegate.archiveWindowController().window(),
        delegate.preferencesWindowController().window(), delegate.appShopperImportWindowController()
    };
    // The main, detail and archive windows answer through their menu bar's Close Window.
    for (const QPointer<QWidget> window :
         windows + QList<QWidget *> { &delegate.mainWindowController() }) {
        ASSERT_TRUE(window && window->isVisible());
        QApplication::setActiveWindow(window);
        QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
        EXPECT_TRUE(!window || !window->isVisible());
    }

    // A detail window with its notes open closes as well, the note typed there kept.
    delegate.detailWindowManager().openDetailWindowWithSummaryController(summary.get());
    const QPointer<DetailWindow> detail
        = delegate.detailWindowManager().windowForIdentifier("904280696");
    ASSERT_TRUE(detail);
    QApplication::setActiveWindow(detail);
    detail->contentViewController()->viewAppNotes(nullptr);
    QPlainTextEdit *notes = detail->contentViewController()->appNotesViewController()->textView();
    QTest::keyClicks(notes, "kept");
    QTest::keyClick(notes, Qt::Key_W, Qt::ControlModifier);
    test::drainEvents();
    EXPECT_TRUE(!detail || !detail->isVisible());
    EXPECT_EQ(app->notes(), "kept");
}

TEST_F(AppDelegateTest, ShareListIsOffForAnEmptyListLikeTheHeadersButton)
{
    QAction *share = delegate.mainMenu().shareListItem;
    EXPECT_FALSE(share->isEnabled());
    App *kept = services.listsController().addApp({ CachedApp() }, listAt(0)).front();
    EXPECT_TRUE(share->isEnabled());
    services.listsController().deleteApp(kept);
    EXPECT_FALSE(share->isEnabled());
}
TEST_F(AppDelegateTest, AMailNoProgramOpensIsShownWithWhatItWasToCarryToCopy)
{
    // A desktop without a mail program: xdg-open gives up. The one started first, for the
    // feedback mail, gives up only when the test lets it, after the second one: the alerts
    // come in the order the openers end.
    QTemporaryDir bin;
    const QByteArray gate = QFile::encodeName(bin.filePath("gate"));
    ASSERT_EQ(::mkfifo(gate.constData(), 0600), 0);
    QFile opener(bin.filePath("xdg-open"));
    ASSERT_TRUE(
        opener.open(QIODevice::WriteOnly)
        && opener.write("#!/bin/sh\ncase \"$1\" in *904280696*) exit 3 ;; esac\nread line < '"
                        + gate + "'\nexit 3\n")
            > 0);
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + path);
    delegate.sendFeedback();
    // A shared link goes to no one: its link and subject are what the user sends by hand.
    const QString link = "https://apps.apple.com/us/app/id904280696?mt=12&ct=tanvill";
    services.workspace().openURL(AppDetailViewController::emailUrl("Things 3", link));
    ASSERT_TRUE(test::waitFor([&] { return alerts->alerts.size() == 1; }));
    // Opening the gate for writing and closing it again ends the first opener's read.
    ASSERT_TRUE(test::waitFor([&] {
        const int writer = ::open(gate.constData(), O_WRONLY | O_NONBLOCK);
        return writer >= 0 && ::close(writer) == 0;
    }));
    ASSERT_TRUE(test::waitFor([&] { return alerts->alerts.size() == 2; }));
    qputenv("PATH", path);
    const auto carrying = [&](const QString &text) {
        return std::find_if(alerts->alerts.begin(), alerts->alerts.end(), [&](const Alert &alert) {
            return alert.selectableText
                && alert.messageText == Strings::localized("LinkOpenFailedMailTitle")
                && alert.informativeText.endsWith("\n\n" + text);
        });
    };
    EXPECT_NE(carrying(Strings::localized("FeedbackMailAddress")), alerts->alerts.end());
    const auto shared = carrying(
        link + "\n\n" + Strings::localizedFormat("LinkOpenFailedMailSubject", { "Things 3" }));
    ASSERT_NE(shared, alerts->alerts.end());
    const std::unique_ptr<QMessageBox> box(MessageBoxAlertPresenter::messageBox(*shared));
    box->show();
    box->grab().save(test::testOutputDir("windows") + "/alert-mail-link.png");
}

// The share sheet gives the main window's keys back where they were once it has gone, ring
// and all.
TEST_F(AppDelegateTest, TheRingIsBackWhereTheKeyboardWasOnceWhatHeldTheKeysHasGone)
{
    ListShareSheet::setAnimationDuration(0);
    services.settings().setValue("hasSeenListSharingInfo", true);
    services.listsController().addApp({ CachedApp() }, listAt(0));
    delegate.showMainWindow();
    MainViewController *main = delegate.mainWindowController().contentViewController();
    HeaderViewController *page = main->headerController()->selectedViewController();
    ASSERT_TRUE(test::activate(main->window()));
    // The share button shows once the keyboard comes into the header.
    page->nameImplicitControl()->setFocus(Qt::TabFocusReason);
    page->shareButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page->shareButton(), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(test::waitFor([&] { return focusRingTarget() == page->shareButton(); }));
}

// The keyboard is on the list when the main window opens, at the first start (after the welcome
// window) as at a later one, and when the add field closes, whatever held it meanwhile: after an
// app was added (the busy overlay holding the keys past the field's going), by Escape, and by
// Escape after a search.
TEST(MainWindowKeyboard, TheListTableTakesTheKeyboardWhenTheWindowOpensAndTheAddFieldCloses)
{
    for (const bool firstStart : { true, false }) {
        SCOPED_TRACE(firstStart ? "first start" : "later start");
        test::IsolatedHome home;
        test::FakeStore store;
        // The store answers the look-up only once the field has gone.
        QSemaphore answering;
        const auto release = qScopeGuard([&answering] { answering.release(100); });
        store.server().setHandler("/lookup", [&answering](const test::FakeRequest &) {
            answering.acquire();
            return test::FakeResponse::json(test::FakeStore::fixture("lookup/mac-things.json"));
        });
        store.setSearch(
            "things", "macSoftware",
            test::FakeResponse::json(test::FakeStore::fixture("search/mac-things.json")));
        test::ScriptedAlertPresenter *alerts = nullptr;
        Services services { test::recordingServicesOptions(&alerts) };
        if (!firstStart)
            services.listsController().createList("Games");
        AppDelegate delegate { services };
        delegate.applicationDidFinishLaunching();
        if (firstStart) {
            QLineEdit *name = delegate.welcomeWindowController().wishlistNameTextField();
            ASSERT_TRUE(test::activate(name->window()));
            QTest::keyClicks(name, "Wishlist");
            QTest::keyClick(name, Qt::Key_Return);
        }
        MainWindowController &window = delegate.mainWindowController();
        MainViewController *main = window.contentViewController();
        TableView *table = main->listViewController()->tableView();
        ASSERT_TRUE(test::activate(&window));
        EXPECT_EQ(QApplication::focusWidget(), table) << "as the window opens";

        for (const QString typed : { "904280696", "", "things" }) {
            SCOPED_TRACE(typed.toStdString());
            QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
            ASSERT_NE(main->addAppViewController(), nullptr);
            QTest::keyClicks(QApplication::focusWidget(), typed);
            if (typed == "things") {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                ASSERT_TRUE(test::waitFor([&] {
                    return main->searchResultsViewController()
                        && main->addAppViewController()->isEnabled();
                }));
            }
            const bool adding = typed == "904280696";
            QTest::keyClick(QApplication::focusWidget(), adding ? Qt::Key_Return : Qt::Key_Escape);
            ASSERT_TRUE(test::waitFor([&] {
                return main->findChildren<AddAppViewController *>().isEmpty()
                    && main->findChildren<SearchResultsViewController *>().isEmpty();
            }));
            if (adding)
                answering.release();
            ASSERT_TRUE(test::waitFor([&] {
                return main->findChildren<ProgressHUD *>().isEmpty() && table->numberOfRows() > 0;
            }));
            EXPECT_EQ(QApplication::focusWidget(), table);
            QTest::keyClick(table, Qt::Key_Down);
            EXPECT_TRUE(table->showsCurrentRow());
        }
        delegate.applicationWillTerminate();
    }
}

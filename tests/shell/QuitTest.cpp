// Quitting with a window, sheet, popover or editor open, the way the program ends: Quit (or a
// signal, which skips it), then the delegate hears the event loop is over, then it and the
// services go, in app/main.cpp's order. Nothing left open reaches back into what is already
// half gone, and what the user typed is in the store afterwards.
#include "ShellTestSupport.h"
#include "bench/UiBlockWatch.h"
#include "controls/ColorWell.h"
#include "controls/TableView.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/store/Database.h"
#include "details/AppDetailViewController.h"
#include "details/AppNotesViewController.h"
#include "details/AppSummaryController.h"
#include "details/DetailWindow.h"
#include "details/DetailWindowManager.h"
#include "lists/AddAppViewController.h"
#include "lists/ListCreator.h"
#include "lists/ListEditor.h"
#include "lists/ListOrderViewController.h"
#include "lists/ListViewController.h"
#include "lists/MainViewController.h"
#include "lists/MainWindowController.h"
#include "lists/SearchResultsViewController.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "sharing/ListShareSheet.h"
#include "shell/AppDelegate.h"
#include "shell/MessageBoxAlertPresenter.h"
#include "store/AppUpdate.h"
#include "store/CachedApp.h"
#include "store/widgets/ChangesWindowController.h"
#include "support/FakeStore.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace tanvill;

namespace {

// One run of the program over a store with the lists "Games" (selected, holding one app) and
// "Tools", its main window shown, that asks nothing when it quits. Its refreshes and searches
// go to a fake store, which knows no app unless told.
struct Session
{
    // With `realAlerts`, alerts are message boxes that run until answered, as the program's.
    explicit Session(bool realAlerts = false)
    {
        ServicesOptions options = test::recordingServicesOptions(&alerts);
        if (realAlerts)
            options.alertPresenter = std::make_unique<MessageBoxAlertPresenter>();
        services = std::make_unique<Services>(std::move(options));
        ListsController &lists = services->listsController();
        lists.createList("Games");
        lists.createList("Tools");
        CachedApp result;
        result.identifier = "904280696";
        result.name = "Things 3";
        lists.addApp({ result }, lists.lists()[0]);
        services->settings().setValue("selectedList", 0);
        services->settings().setValue("suppressQuitWarning", true);
        delegate = std::make_unique<AppDelegate>(*services);
        // The end of the event loop ends the loops of the message boxes inside it too: each
        // returns without a button chosen.
        delegate->setQuitHandler([this] {
            ++quits;
            while (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->done(QDialog::Rejected);
        });
        delegate->applicationDidFinishLaunching();
        // The key the desktops give Quit; the offscreen platform gives it none.
        menu().quitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    }

    MainWindowController &window() { return delegate->mainWindowController(); }
    MainViewController &main() { return *window().contentViewController(); }
    MainMenu &menu() { return delegate->mainMenu(); }
    App *app() { return services->listsController().lists()[0]->apps().front(); }

    AppDetailViewController *openDetailWindow()
    {
        auto summary = AppSummaryController::create(app(), AppSummaryConfiguration::List,
                                                    services->listsController());
        delegate->detailWindowManager().openDetailWindowWithSummaryController(summary.get());
        return delegate->detailWindowManager()
            .windowForIdentifier(app()->identifier())
            ->contentViewController();
    }

    // What main() does once the event loop is over.
    void endProcess()
    {
        delegate->applicationWillTerminate();
        delegate.reset();
        services.reset();
    }

    test::FakeStore store;
    test::ScriptedAlertPresenter *alerts = nullptr;
    std::unique_ptr<Services> services;
    std::unique_ptr<AppDelegate> delegate;
    int quits = 0;
};

void typeInto(QWidget *field, const QString &text)
{
    ASSERT_NE(field, nullptr);
    QTest::keyClicks(field, text);
}

ListEditor *openListEditor(Session &run, const QString &typed = {})
{
    run.menu().editListItem->trigger();
    auto *editor = run.window().findChild<ListEditor *>();
    if (editor) {
        editor->nameTextField()->selectAll();
        QTest::keyClicks(editor->nameTextField(), typed);
    }
    return editor;
}

// Chooses `item`, then types `text` into `field` of what the main view then shows.
template<typename Shown, typename Owner>
auto chooseAndType(QAction *MainMenu::*item, Shown *(MainViewController::*shown)() const,
                   QLineEdit *(Owner::*field)() const, const char *text)
{
    return [=](Session &run) {
        (run.menu().*item)->trigger();
        Shown *opened = (run.main().*shown)();
        ASSERT_NE(opened, nullptr);
        typeInto((opened->*field)(), text);
    };
}

struct Stored
{
    QString firstList; // the name of the list at position 0
    QString listCount; // the archive's aside
    QString notes;
};

Stored readStore()
{
    Database file;
    if (!file.open(ListsController::defaultStorePath(), false))
        return {};
    return { file.queryText("SELECT name FROM lists WHERE idx = 0").value_or("?"),
             file.queryText("SELECT COUNT(*) FROM lists WHERE idx >= 0").value_or("?"),
             file.queryText("SELECT IFNULL(notes, '') FROM apps").value_or("?") };
}

// A stored search reply, its icons on the fake store, which has none: nothing leaves the
// machine.
test::FakeResponse searchReply(test::FakeStore &store, const char *fixture)
{
    QJsonObject reply = QJsonDocument::fromJson(test::FakeStore::fixture(fixture)).object();
    QJsonArray results = reply.value("results").toArray();
    for (QJsonValueRef result : results) {
        QJsonObject app = result.toObject();
        for (const char *icon : { "artworkUrl60", "artworkUrl100", "artworkUrl512" })
            app.insert(icon, store.server().url("/no-icon.png").toString());
        result = app;
    }
    reply.insert("results", results);
    return test::FakeResponse::json(QJsonDocument(reply).toJson(QJsonDocument::Compact));
}

// Presses the Quit key where the keyboard is: in the window that blocks the others, if any.
void pressQuitKey(QWidget *fallback)
{
    QWidget *modal = QApplication::activeModalWidget();
    QWidget *target = modal ? (modal->focusWidget() ? modal->focusWidget() : modal) : fallback;
    QTest::keyClick(target, Qt::Key_Q, Qt::ControlModifier);
}

// A test before may have asked the event loop to end (a start that cannot use its store does),
// which would end every modal loop at once: the request is spent in a loop of its own.
void spendEarlierQuit()
{
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

struct OpenThing
{
    const char *name;
    Stored expected;
    std::function<void(Session &)> open;
    bool holdsKeys = false; // Quit's key, pressed in it, quits too
};

} // namespace

TEST(Quitting, EndsWhateverIsOpenAndKeepsWhatWasTyped)
{
    ListShareSheet::setAnimationDuration(0);
    const Stored untouched { "Games", "2", "" };
    const Stored renamed { "Renamed", "2", "" };
    const OpenThing cases[] = {
        { "the list editor, a name typed", renamed,
          [](Session &run) {
              openListEditor(run, "Renamed");
          } },
        { "the list editor, the name emptied", untouched,
          [](Session &run) {
              QTest::keyClick(openListEditor(run)->nameTextField(), Qt::Key_Backspace);
          } },
        { "the list editor with its colour grid", renamed,
          [](Session &run) {
              ListEditor *editor = openListEditor(run, "Renamed");
              editor->colorWell()->toggleColorGrid();
              ASSERT_TRUE(editor->isColorGridOpen());
          } },
        { "the list editor of a closed window", renamed,
          [](Session &run) {
              openListEditor(run, "Renamed");
              run.window().close();
          } },
        { "the new list sheet, a name typed", untouched,
          chooseAndType(&MainMenu::addListItem, &MainViewController::listCreator,
                        &ListCreator::nameTextField, "Half made"),
          true },
        { "the new list sheet with its colour grid", untouched,
          [](Session &run) {
              run.menu().addListItem->trigger();
              ASSERT_NE(run.main().listCreator(), nullptr);
              run.main().listCreator()->colorWell()->toggleColorGrid();
          } },
        { "rearrange lists", untouched,
          [](Session &run) {
              run.menu().listRearrangementMenuItem->trigger();
              ASSERT_NE(qobject_cast<ListOrderViewController *>(QApplication::activeModalWidget()),
                        nullptr);
          },
          true },
        { "the share sheet, an address typed", untouched,
          [](Session &run) {
              run.menu().shareListItem->trigger();
              auto *sheet = run.window().findChild<ListShareSheet *>();
              ASSERT_NE(sheet, nullptr);
              typeInto(sheet->emailTextField(), "me@example.com");
              sheet->showHelp();
          } },
        { "the add bar, a term typed", untouched,
          chooseAndType(&MainMenu::addAppItem, &MainViewController::addAppViewController,
                        &AddAppViewController::searchTextField, "things") },
        { "the search results", untouched,
          [](Session &run) {
              run.store.setSearch("things", "macSoftware",
                                  searchReply(run.store, "search/mac-things.json"));
              run.menu().addAppItem->trigger();
              QLineEdit *field = run.main().addAppViewController()->searchTextField();
              field->setText("things");
              QTest::keyClick(field, Qt::Key_Return);
              ASSERT_TRUE(test::waitFor([&] { return run.main().searchResultsViewController(); }));
          } },
        { "the detail window, a note being typed",
          { "Games", "2", "Buy on sale" },
          [](Session &run) {
              AppDetailViewController *detail = run.openDetailWindow();
              detail->viewAppNotes(detail->appNotesButton());
              ASSERT_NE(detail->appNotesViewController(), nullptr);
              typeInto(detail->appNotesViewController()->textView(), "Buy on sale");
          } },
        { "the detail window's history", untouched,
          [](Session &run) {
              AppDetailViewController *detail = run.openDetailWindow();
              detail->viewAppHistory(detail->appHistoryButton());
              ASSERT_NE(detail->appHistoryViewController(), nullptr);
          } },
        { "the archive", untouched, [](Session &run) { run.delegate->showArchive(); }, false },
        { "preferences", untouched, [](Session &run) { run.delegate->showPreferences(); }, false },
        { "latest changes", untouched,
          [](Session &run) {
              run.delegate->currentChangeWindowController().showWindow({ AppUpdate("Things 3") });
          } },
        { "the import window", untouched,
          [](Session &run) {
              run.delegate->showAppShopperImport();
          } },
        { "an alert on the main window", untouched,
          [](Session &run) {
              Alert alert;
              alert.messageText = "Something happened";
              alert.window = &run.window();
              MessageBoxAlertPresenter().present(alert, [](const AlertAnswer &) {});
          } },
    };
    enum Way { Quit, QuitKey, Signal }; // a signal skips Quit
    for (const Way way : { Quit, QuitKey, Signal }) {
        for (const OpenThing &c : cases) {
            if (way == QuitKey && !c.holdsKeys)
                continue;
            SCOPED_TRACE(std::string(c.name) + ", way " + std::to_string(way));
            test::IsolatedHome home;
            {
                Session run;
                run.delegate->showMainWindow();
                if (way == QuitKey)
                    QApplication::setActiveWindow(&run.window());
                c.open(run);
                if (way == QuitKey)
                    pressQuitKey(nullptr);
                if (way == Quit)
                    run.delegate->terminate();
                // The save may go on from the event loop.
                EXPECT_TRUE(way == Signal || test::waitFor([&] { return run.quits == 1; }));
                run.endProcess();
            }
            const Stored stored = readStore();
            EXPECT_EQ(stored.firstList, c.expected.firstList);
            EXPECT_EQ(stored.listCount, c.expected.listCount);
            EXPECT_EQ(stored.notes, c.expected.notes);
        }
    }
}

namespace {

// From inside an alert's own event loop: presses Quit's key there, then closes whatever is
// still open, so that a key that does nothing fails the test rather than hangs it.
void pressQuitKeyInTheAlert()
{
    QTimer::singleShot(0, [] {
        pressQuitKey(nullptr);
        QTimer::singleShot(0, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->done(QDialog::Rejected);
        });
    });
}

// Stands in for the platform's drag loop, which takes every key but Escape for itself.
class DragKeys : public QObject
{
public:
    DragKeys() { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            event->accept();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            return false;
        }
    }
};

struct HeldKeys
{
    const char *name;
    bool realAlerts;
    // Opens what holds the keys and presses Quit's key in it.
    std::function<void(Session &)> openAndPress;
};

} // namespace

TEST(Quitting, TheQuitKeyQuitsWhateverHoldsTheKeyboard)
{
    const HeldKeys cases[] = {
        { "the delete list question", true,
          [](Session &run) {
              pressQuitKeyInTheAlert();
              run.menu().deleteListMenuItem->trigger();
          } },
        { "the first archived app's notice", true,
          [](Session &run) {
              run.services->settings().setValue("hasSeenFirstArchiveNotice", false);
              pressQuitKeyInTheAlert();
              run.services->listsController().archiveApp(run.app(), &run.window());
          } },
        { "a row drag", false,
          [](Session &run) {
              TableView *table = run.main().listViewController()->tableView();
              table->setDragRunner([&](QDrag *drag) {
                  DragKeys drags;
                  const QPoint at = table->rectOfRow(0).center();
                  QDragEnterEvent enter(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
                  QApplication::sendEvent(table->viewport(), &enter);
                  test::drainEvents();
                  pressQuitKey(table);
                  test::drainEvents();
                  return Qt::IgnoreAction;
              });
              const QPoint start = table->rectOfRow(0).topLeft() + QPoint(120, 20);
              QTest::mousePress(table->viewport(), Qt::LeftButton, {}, start);
              QTest::mouseMove(table->viewport(),
                               start + QPoint(0, 3 * QApplication::startDragDistance()));
              QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, start);
          } },
    };
    for (const HeldKeys &c : cases) {
        SCOPED_TRACE(c.name);
        test::IsolatedHome home;
        {
            Session run(c.realAlerts);
            run.delegate->showMainWindow();
            QApplication::setActiveWindow(&run.window());
            c.openAndPress(run);
            EXPECT_TRUE(test::waitFor([&] { return run.quits == 1; }));
            run.endProcess();
        }
        // Nothing the sheet or question was about happened.
        EXPECT_EQ(readStore().listCount, "2");
    }
}

TEST(Quitting, TheQuitKeyOverASheetAsksFirstWhereQuitDoes)
{
    test::IsolatedHome home;
    Session run;
    run.services->settings().setValue("suppressQuitWarning", false);
    run.services->settings().setValue("NotifyAboutChanges.Version", true);
    run.delegate->showMainWindow();
    run.menu().addListItem->trigger();
    ASSERT_NE(run.main().listCreator(), nullptr);
    // "No": the sheet stays as it was.
    run.alerts->preparedAnswers = { { 0, false } };
    pressQuitKey(nullptr);
    test::drainEvents();
    ASSERT_EQ(run.alerts->alerts.size(), 1u);
    EXPECT_EQ(run.alerts->alerts[0].messageText,
              Strings::localized("NotificationQuitWarningTitle"));
    EXPECT_EQ(run.quits, 0);
    EXPECT_NE(run.main().listCreator(), nullptr);
    // "Yes": it quits.
    run.alerts->preparedAnswers = { { 1, false } };
    pressQuitKey(nullptr);
    EXPECT_TRUE(test::waitFor([&] { return run.quits == 1; }));
    run.endProcess();
}

// Nothing unsaved; or a rename, its save waiting for the store already or not, then Retry (the
// store let go of meanwhile: the rename is in it) or Quit Anyway (the rename is kept beside it,
// unless the store was let go of meanwhile and the last save put it there).
TEST(Quitting, WhileAnotherProgramHoldsTheStoreTheWindowsAnswerAndTheUserIsAskedWithinASecond)
{
    const struct
    {
        std::optional<int> answer; // to the question, when there is a rename
        bool saving;
        bool letGo = false; // the store is let go of while the question is up
        bool answered = true;
    } cases[]
        = { { std::nullopt, false }, { 0, true, true },        { 0, false, true }, { 1, true },
            { 1, false, true },      { 1, false, true, false } };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.answer.value_or(-1) << (c.saving ? " saving" : "")
                     << (c.letGo ? " let go" : "") << (c.answered ? "" : " unanswered"));
        test::IsolatedHome home;
        Database other;
        {
            Session run;
            run.services->listsController().saveWithAsync(false);
            ASSERT_TRUE(other.open(ListsController::defaultStorePath(), false)
                        && other.exec("BEGIN EXCLUSIVE"));
            if (c.answer) {
                run.app()->list()->setName("Renamed");
                run.alerts->preparedAnswers = { { *c.answer, false, c.answered } };
            }
            if (c.saving)
                run.services->listsController().saveWithAsync(true);
            QElapsedTimer quitting;
            qint64 askedAfterMs = -1;
            run.alerts->whileShowing = [&](const Alert &) {
                askedAfterMs = quitting.elapsed();
                if (c.letGo) {
                    ASSERT_TRUE(other.exec("ROLLBACK"));
                }
            };
            const UiBlockWatch watch;
            quitting.start();
            run.delegate->terminate();
            ASSERT_TRUE(test::waitFor([&] { return run.quits == 1; }));
            // The question alone: no notice behind it that the changes are tried again later.
            EXPECT_TRUE(run.alerts->errors.empty());
            // The last save as the process ends, after the event loop, waits no more.
            run.endProcess();
            test::drainEvents();
            // Waiting for the other program would put the windows to sleep for a second.
            EXPECT_LT(watch.longestAsleepMs(), 500.0);
            EXPECT_EQ(askedAfterMs >= 0, c.answer.has_value());
            EXPECT_LT(askedAfterMs, 2000);
        }
        other.exec("ROLLBACK");
        EXPECT_EQ(readStore().firstList, c.letGo ? "Renamed" : "Games");
        const QDir folder = QFileInfo(ListsController::defaultStorePath()).dir();
        const QStringList kept = folder.entryList({ "Tanvill.unsaved-*.sqlite" });
        ASSERT_EQ(kept.size(), c.answer == 1 && !c.letGo ? 1 : 0);
        if (!kept.isEmpty()) {
            ASSERT_TRUE(other.open(folder.filePath(kept.front()), false));
            EXPECT_EQ(other.queryText("SELECT name FROM lists WHERE idx = 0"), "Renamed");
        }
    }
}

// Another program holds the store at a quit with a rename; the session ends at "could not save"
// (where the Quit key does nothing), at the alert saying where the changes are kept, or after both.
TEST(Quitting, AnAlertTheSessionEndsUnderLeavesTheKeptChangesToTheNextStart)
{
    // The buttons chosen in turn before the session ends.
    const std::pair<const char *, std::vector<int>> cases[]
        = { { "at could not save", {} }, { "at kept", { 1 } }, { "answered", { 1, 0 } } };
    spendEarlierQuit();
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.first);
        const std::vector<int> &clicks = testCase.second;
        test::IsolatedHome home;
        Database other;
        QStringList boxes;
        {
            Session run(true);
            run.services->listsController().saveWithAsync(false);
            ASSERT_TRUE(other.open(ListsController::defaultStorePath(), false)
                        && other.exec("BEGIN EXCLUSIVE"));
            run.app()->list()->setName("Renamed");
            QPointer<QMessageBox> handled;
            QTimer user;
            QObject::connect(&user, &QTimer::timeout, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                if (!box || box == handled)
                    return;
                handled = box;
                boxes << box->text();
                if (boxes.size() == 1) {
                    pressQuitKey(nullptr);
                    EXPECT_EQ(run.quits, 0);
                    EXPECT_TRUE(box->isVisible()) << "the Quit key at the alert";
                }
                if (boxes.size() > qsizetype(clicks.size())) {
                    box->done(QDialog::Rejected);
                    return;
                }
                for (QAbstractButton *button : box->buttons())
                    if (button->property("alertButtonIndex") == clicks[boxes.size() - 1])
                        button->click();
            });
            user.start(10);
            run.delegate->terminate();
            ASSERT_TRUE(test::waitFor([&] { return run.quits == 1; }, 10000));
            run.endProcess();
        }
        ASSERT_TRUE(other.exec("ROLLBACK"));
        EXPECT_EQ(boxes.value(0), Strings::localized("QuitSaveFailedTitle"));
        EXPECT_EQ(boxes.size(), clicks.empty() ? 1 : 2) << boxes.join(" / ").toStdString();
        const QDir folder = QFileInfo(ListsController::defaultStorePath()).dir();
        const QStringList kept = folder.entryList({ "Tanvill.unsaved-*.sqlite" });
        ASSERT_EQ(kept.size(), 1);
        test::ScriptedAlertPresenter *alerts = nullptr;
        Services next(test::recordingServicesOptions(&alerts));
        AppDelegate delegate(next);
        delegate.applicationDidFinishLaunching();
        // Only an answered alert about the kept file leaves the next start nothing to tell.
        ASSERT_EQ(alerts->alerts.size(), clicks.size() == 2 ? 0u : 1u);
        EXPECT_TRUE(alerts->alerts.empty() || alerts->alerts[0].informativeText.contains(kept[0]));
    }
}

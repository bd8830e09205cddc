// The detail view: its two rows, following its application (refresh, deletion, archiving),
// the share menu, and the history and notes popovers.
#include "DetailTestSupport.h"

#include "controls/BorderedButton.h"
#include "controls/Label.h"
#include "controls/PopoverShape.h"
#include "details/AppDetailViewController.h"
#include "details/DetailPopover.h"
#include "details/DetailWindow.h"
#include "details/DetailWindowManager.h"
#include "platform/Clipboard.h"
#include "platform/QuitSignals.h"
#include "platform/Strings.h"
#include "store/ChangeLog.h"

#include <QAction>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QUrlQuery>

#include <csignal>

using namespace tanvill;

namespace {

struct DetailView : test::DetailTest
{
    DetailView()
    {
        app = watchApp({ "Pocket Atlas",
                         AppKind::Phone,
                         { { 600, 1200 }, { 600, 1200 } },
                         "Maps for every trip.\nWorks offline." });
    }

    // Opens the application in a window of its own through a manager, as a row click does.
    AppDetailViewController *open(App *shown, QSize size = { 700, 760 })
    {
        controller = controllerFor(shown);
        manager.openDetailWindowWithSummaryController(controller.get());
        DetailWindow *window = manager.windowForIdentifier(shown->identifier());
        window->resize(size);
        EXPECT_TRUE(test::activate(window));
        return window->contentViewController();
    }

    App *app = nullptr;
    std::shared_ptr<AppSummaryController> controller;
    DetailWindowManager manager { lists(), services.settings() };
};

void changeEverything(App *app)
{
    app->setLastPrice(app->price());
    app->setPrice(Decimal::fromString("0.00").value());
    app->setLastRating(3.0f);
    app->setRating(4.5f);
    app->setLastVersion("2.4.1");
    app->setVersion("3.0");
}

} // namespace

TEST_F(DetailView, WithoutAnApplicationTheViewIsEmptyAndItsButtonsDoNothing)
{
    AppDetailViewController view(lists());
    EXPECT_EQ(view.numberOfRows(view.tableView()), 0);
    EXPECT_EQ(view.numberOfScreenshotsInGrid(nullptr), 0u);
    view.shareApp(view.shareButton());
    view.viewAppHistory(view.appHistoryButton());
    view.viewAppNotes(view.appNotesButton());
    EXPECT_EQ(view.shareMenu(), nullptr);
    EXPECT_EQ(view.appHistoryViewController(), nullptr);
    EXPECT_EQ(view.appNotesViewController(), nullptr);
}

TEST_F(DetailView, TheDescriptionRowFollowsTheWidthAndNeverCollapses)
{
    AppDetailViewController *view = open(app);
    TableView *table = view->tableView();
    EXPECT_EQ(view->numberOfRows(table), 2);
    EXPECT_EQ(table->rectOfRow(0).height(), AppDetailViewController::kScreenshotsRowHeight);
    EXPECT_FALSE(view->shouldSelectRow(table, 0));

    const QString text = QString("Plan routes, save places and share them. ").repeated(12);
    const int wide = AppDetailViewController::descriptionRowHeight(text, 900);
    const int narrow = AppDetailViewController::descriptionRowHeight(text, 400);
    EXPECT_GT(narrow, wide);
    EXPECT_GT(wide, 40);
    for (int width : { 30, 10, 0, -50 })
        EXPECT_GT(AppDetailViewController::descriptionRowHeight(text, width), 40) << width;
    EXPECT_EQ(AppDetailViewController::descriptionRowHeight("", 600), 40);

    // The row itself is measured again when the window is widened.
    app->setAppStoreDescription(text);
    postRefresh(app);
    const int before = table->rectOfRow(1).height();
    EXPECT_EQ(before,
              AppDetailViewController::descriptionRowHeight(text, table->viewport()->width()));
    view->window()->resize(1100, 760);
    test::drainEvents();
    EXPECT_LT(table->rectOfRow(1).height(), before);
}

TEST_F(DetailView, ARefreshOfItsApplicationUpdatesTheViewAndOthersChangeNothing)
{
    AppDetailViewController *view = open(app);
    EXPECT_TRUE(view->appHistoryButton()->isHidden()) << "no history yet";
    EXPECT_EQ(view->versionLabel()->fullString(), "Version 2.4.1");

    App *other = watchApp({ "Other" });
    changeEverything(app);
    app->setName("Pocket Atlas Pro");
    postRefresh(other);
    EXPECT_TRUE(view->appHistoryButton()->isHidden());
    EXPECT_EQ(shell.windowsItems.value(view->window()), "Pocket Atlas");

    postRefresh(app);
    EXPECT_FALSE(view->appHistoryButton()->isHidden());
    EXPECT_EQ(view->versionLabel()->fullString(), "Version 3.0");
    EXPECT_EQ(view->buyButton()->title(), Strings::localized("Free"));
    EXPECT_EQ(view->window()->windowTitle(), "Pocket Atlas Pro");
    EXPECT_EQ(shell.windowsItems.value(view->window()), "Pocket Atlas Pro");
}

TEST_F(DetailView, DeletingOrArchivingItsApplicationClosesTheWindowWithOpenPopovers)
{
    AppDetailViewController *view = open(app);
    QPointer<QWidget> window = view->window();
    App *other = watchApp({ "Other" });
    lists().deleteApp(other);
    lists().archiveApp(watchApp({ "Third" }));
    EXPECT_TRUE(window->isVisible()) << "other applications leave it open";

    view->viewAppNotes(view->appNotesButton());
    ASSERT_NE(view->appNotesViewController(), nullptr);
    QTest::keyClicks(view->appNotesViewController()->textView(), "keep me");
    lists().deleteApp(app);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(app->notes(), "keep me") << "what was typed is not lost";
    view->shareApp(view->shareButton());
    EXPECT_EQ(view->shareMenu(), nullptr) << "no action on a deleted application";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());

    view = open(watchApp({ "Archived Soon" }));
    window = view->window();
    lists().archiveApp(view->summaryController()->app());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(DetailView, TheShareMenuCopiesTheLinkTheNameAndLinkOrWritesAnEmail)
{
    AppDetailViewController *view = open(watchApp({ "R&D Notes: 50% off" }));
    App *shown = view->summaryController()->app();
    QTest::mousePress(view->shareButton(), Qt::LeftButton);
    ASSERT_NE(view->shareMenu(), nullptr) << "the menu opens on the press";
    QStringList items;
    for (QAction *action : view->shareMenu()->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList { "Copy Link", "Copy Name and Link", "Email…" }));

    view->shareMenu()->actions()[0]->trigger();
    EXPECT_EQ(Clipboard::text(), shown->affiliatedStoreUrl());
    view->copyNameAndLink();
    EXPECT_EQ(Clipboard::text(), shown->name() + "\n" + shown->affiliatedStoreUrl());

    view->emailLink();
    ASSERT_FALSE(services.openedLinks().isEmpty());
    const QUrl mail = services.openedLinks().last();
    EXPECT_EQ(mail.scheme(), "mailto");
    const QUrlQuery query(mail);
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), "R&D Notes: 50% off");
    EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded),
              "R&D Notes: 50% off\n\n" + shown->affiliatedStoreUrl());
    EXPECT_FALSE(mail.toEncoded().contains("R&D")) << "the ampersand is encoded";
}

TEST_F(DetailView, TheHistoryShowsOneLinePerChangeAndFollowsRefreshes)
{
    const struct
    {
        bool price, rating, version;
        int lines, height;
    } cases[] = { { true, false, true, 2, 59 },
                  { false, true, false, 1, 37 },
                  { true, true, true, 3, 81 },
                  { false, false, false, 1, 37 } };
    for (const auto &c : cases) {
        App *shown = watchApp({ "Changing" });
        if (c.price) {
            shown->setLastPrice(Decimal::fromString("4.99").value());
            shown->setPrice(Decimal::fromString("0.99").value());
        }
        if (c.rating) {
            shown->setLastRating(2.0f);
            shown->setRating(4.0f);
        }
        if (c.version)
            shown->setLastVersion("1.0");
        AppHistoryViewController history(lists());
        history.setApp(shown);
        EXPECT_EQ(history.lineCount(), c.lines);
        EXPECT_EQ(history.height(), c.height);
        EXPECT_EQ(history.thirdLabel()->isHidden(), c.lines < 3);
        if (c.version) {
            const Label *last = c.lines == 3 ? history.thirdLabel() : history.secondLabel();
            EXPECT_EQ(last->fullString(), ChangeLog::versionChangeDescription({ "1.0", "2.4.1" }));
        }
        if (c.lines == 1 && !c.rating) {
            EXPECT_TRUE(history.firstLabel()->fullString().isEmpty());
        }
        for (const Label *label : { history.firstLabel(), history.secondLabel() })
            EXPECT_EQ(label->stringValue(), label->fullString()) << "never shortened";
    }

    // The open popover is rebuilt by its application's refresh only.
    AppDetailViewController *view = open(app);
    changeEverything(app);
    postRefresh(app);
    view->viewAppHistory(view->appHistoryButton());
    AppHistoryViewController *history = view->appHistoryViewController();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->lineCount(), 3);
    app->setLastPrice(app->price());
    app->setLastRating(app->rating());
    postRefresh(watchApp({ "Unrelated" }));
    EXPECT_EQ(history->lineCount(), 3);
    postRefresh(app);
    EXPECT_EQ(history->lineCount(), 1);
    EXPECT_EQ(history->height(), 37);

    // A shared window reused for another application closes the previous application's popover.
    QPointer<QWidget> popover = history->window();
    view->setSummaryController(controllerFor(watchApp({ "Next" })));
    EXPECT_EQ(view->appHistoryViewController(), nullptr);
    EXPECT_FALSE(popover && popover->isVisible());
}

TEST_F(DetailView, WithoutTranslucentWindowsAPopoverIsCutToItsOutline)
{
    AppDetailViewController *view = open(app);
    for (const bool translucent : { false, true }) {
        PopoverShape::setWindowSystemShowsTranslucency(translucent);
        view->viewAppNotes(view->appNotesButton());
        QWidget *popover = view->appNotesViewController()->window();
        const QRegion mask = popover->mask();
        EXPECT_EQ(mask.isEmpty(), translucent);
        EXPECT_EQ(mask.contains(QPoint(0, popover->height() - 1)), false) << "a rounded corner";
        EXPECT_EQ(mask.contains(popover->rect().center()), !translucent);
        popover->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    PopoverShape::setWindowSystemShowsTranslucency(std::nullopt);
}

TEST_F(DetailView, NotesArePlainTextWrittenAtOnceAndTheViewGrowsWithThem)
{
    AppDetailViewController *view = open(app);
    view->viewAppNotes(view->appNotesButton());
    AppNotesViewController *notes = view->appNotesViewController();
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(notes->textView()->toPlainText().isEmpty());
    EXPECT_EQ(notes->textView()->placeholderText(), "None");

    // Closing without typing (Escape) stores an empty text.
    QTest::keyClick(notes->textView(), Qt::Key_Escape);
    EXPECT_FALSE(notes->window()->isVisible());
    EXPECT_EQ(app->notes(), std::optional<QString>(""));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    test::drainEvents();

    view->viewAppNotes(view->appNotesButton());
    notes = view->appNotesViewController();
    test::drainEvents();
    ASSERT_NE(view->appNotesViewController(), nullptr);
    const int oneLine = notes->textViewHeight();
    QTest::keyClicks(notes->textView(), "abc");
    EXPECT_EQ(app->notes(), std::optional<QString>("abc"));
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(notes->textView(), Qt::Key_Return);
    QTest::keyClicks(notes->textView(), "end");
    const int fiveLines = notes->textViewHeight();
    EXPECT_GT(fiveLines, oneLine + 3 * notes->textView()->fontMetrics().height());
    for (int i = 0; i < 7; ++i)
        QTest::keyClick(notes->textView(), Qt::Key_Backspace);
    EXPECT_EQ(notes->textViewHeight(), oneLine);

    // A text taller than the screen stops at the screen and scrolls.
    notes->textView()->setPlainText(QString("line\n").repeated(400));
    const int screenHeight = notes->screen()->availableGeometry().height();
    EXPECT_LE(notes->window()->height(), screenHeight);
    EXPECT_GT(notes->textView()->verticalScrollBar()->maximum(), 0);

    // Rich text is taken as plain text.
    auto *mime = new QMimeData;
    mime->setHtml("<b>bold</b>");
    mime->setText("bold");
    notes->textView()->clear();
    notes->textView()->insertPlainText("");
    QApplication::clipboard()->setMimeData(mime);
    notes->textView()->paste();
    EXPECT_EQ(app->notes(), std::optional<QString>("bold"));
}

TEST_F(DetailView, NotesTypedBeforeATerminationSignalAreInTheStoreAfterwards)
{
    AppDetailViewController *view = open(app);
    view->viewAppNotes(view->appNotesButton());
    QTest::keyClicks(view->appNotesViewController()->textView(), "buy on sale");
    // The application's orderly quit: a synchronous save of the store.
    bool quit = false;
    QuitSignals quitSignals({ SIGTERM }, [&](int) {
        lists().saveWithAsync(false);
        quit = true;
    });
    ASSERT_TRUE(quitSignals.isInstalled());
    std::raise(SIGTERM);
    ASSERT_TRUE(test::waitFor([&] { return quit; }));
    const QString identifier = app->identifier();
    manager.windowForIdentifier(identifier)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    ListsController &reopened = services.reopenListsController();
    App *found = nullptr;
    for (App *candidate : reopened.apps()) {
        if (candidate->identifier() == identifier)
            found = candidate;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->notes(), std::optional<QString>("buy on sale"));
}

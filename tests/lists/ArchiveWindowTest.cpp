// The archive window: its rows and how they follow the archive and the settings, the
// empty-archive text, the reduced row menu, and the window kept for the run and its frame
// kept between runs.
#include "ListTableTestSupport.h"

#include "controls/ArchivePriceBadge.h"
#include "controls/BorderedButton.h"
#include "controls/ControlsTestSupport.h"
#include "controls/Label.h"
#include "core/ListsControllerNotifications.h"
#include "lists/AppCell.h"
#include "lists/ArchiveViewController.h"
#include "lists/ArchiveWindowController.h"
#include "lists/SectionHeaderCell.h"
#include "platform/Strings.h"
#include "support/RecordingAppShell.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"
#include "support/WatchedApps.h"

#include <QContextMenuEvent>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tanvill;
using test::WatchedApp;

namespace {

using Kind = TableChange::Kind;

QStringList placeholderTexts()
{
    return { Strings::localized("EmptyArchivePlaceholder1"),
             Strings::localized("EmptyArchivePlaceholder2"),
             Strings::localized("EmptyArchivePlaceholder3") };
}

struct ArchiveWindowTest : ::testing::Test
{
    ArchiveWindowTest()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        settings().setValue("hasSeenFirstArchiveNotice", true);
        settings().setValue("storeLocale", "US");
        settings().setValue("currencyCode", "USD");
        games = lists().createList("Games");
        settings().setValue("selectedList", 0);
    }

    ListsController &lists() { return services.listsController(); }
    UserDefaults &settings() { return services.settings(); }

    // Watched in "Games", then archived one by one.
    std::vector<App *> archive(const std::vector<WatchedApp> &apps)
    {
        std::vector<App *> watched = test::watch(lists(), games, apps);
        for (App *app : watched)
            lists().archiveApp(app);
        return watched;
    }

    // Shows the archive window, active, with instant changes that are recorded.
    ArchiveViewController &open(QSize size = { 480, 420 })
    {
        windowController = std::make_unique<ArchiveWindowController>(lists(), settings());
        view = windowController->contentViewController();
        view->setRandomSource([this](quint32 bound) { return draws++ % bound; });
        view->tableView()->setInstantAnimations(true);
        view->tableView()->setRecordsChanges(true);
        QMainWindow *window = windowController->window();
        window->resize(size);
        window->move(300, 300);
        windowController->showWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        return *view;
    }

    AppCell *cellAt(int row) const
    {
        return qobject_cast<AppCell *>(view->tableView()->rowViewAtRow(row));
    }

    QList<int> heights() const
    {
        QList<int> all;
        for (int row = 0; row < view->tableView()->numberOfRows(); ++row)
            all << view->heightOfRow(view->tableView(), row);
        return all;
    }

    QStringList shownNames() const { return test::shownNamesOf(view->listRepresentation()); }

    test::TestServices services;
    List *games = nullptr;
    quint32 draws = 0;
    std::unique_ptr<ArchiveWindowController> windowController;
    ArchiveViewController *view = nullptr;
};

} // namespace

TEST_F(ArchiveWindowTest, TheEmptyArchiveShowsOneCentredTextThatGoesWithTheFirstRowAndComesBack)
{
    ArchiveViewController &archive = open({ 480, 420 });
    Label *text = archive.placeholderLabel();
    const auto placed = [&] {
        return QRect(text->mapTo(&archive, QPoint(0, 0)), text->size());
    };
    ASSERT_TRUE(text->isVisible());
    EXPECT_EQ(text->fullString(), placeholderTexts()[0]);
    EXPECT_EQ(text->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(placed().width(), 480 - 40);
    EXPECT_EQ(placed().center().x(), archive.rect().center().x());
    EXPECT_NEAR(placed().center().y(), archive.rect().center().y(), 1);

    // Archived while open: the row comes in through a gap and the text goes.
    App *app = test::watch(lists(), games, { { "Kept" } })[0];
    lists().archiveApp(app);
    EXPECT_EQ(archive.tableView()->recordedChanges(),
              QList<TableChange>({ { Kind::Insert, { 0 }, -1, TableEffect::Gap } }));
    EXPECT_FALSE(text->isVisible());
    ASSERT_NE(cellAt(0), nullptr);
    EXPECT_EQ(cellAt(0)->nameLabel()->fullString(), "Kept");

    // Deleted: the row fades and a text comes back, newly drawn, still the one label.
    archive.tableView()->clearRecordedChanges();
    lists().deleteApp(app);
    EXPECT_EQ(archive.tableView()->recordedChanges(),
              QList<TableChange>({ { Kind::Remove, { 0 }, -1, TableEffect::Fade } }));
    EXPECT_TRUE(text->isVisible());
    EXPECT_EQ(text->fullString(), placeholderTexts()[1]);
    const QList<Label *> labels
        = archive.tableView()->findChildren<Label *>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_EQ(labels, QList<Label *>({ text }));

    // It stays centred as the window is resized, and reopening draws another text.
    windowController->window()->resize(700, 300);
    test::drainEvents();
    EXPECT_EQ(placed().width(), archive.width() - 40);
    EXPECT_EQ(placed().center().x(), archive.rect().center().x());
    EXPECT_NEAR(placed().center().y(), archive.rect().center().y(), 1);
    windowController->window()->close();
    windowController->showWindow();
    EXPECT_EQ(text->fullString(), placeholderTexts()[2]);
}

TEST_F(ArchiveWindowTest, RowsAreSortedAndGroupedAsTheListsAreAndFollowTheMenuChoices)
{
    archive({ { "Zeta", "Acme", 3, AppKind::Mac },
              { "Alpha", "Beta Soft", 1, AppKind::Phone },
              { "Mu", "Acme", 2, AppKind::Phone } });
    settings().setValue("listSorting", "name");
    ArchiveViewController &archive = open();
    TableView &table = *archive.tableView();
    EXPECT_EQ(shownNames(), QStringList({ "Alpha", "Mu", "Zeta" }));
    EXPECT_EQ(heights(), QList<int>({ 70, 70, 70 }));

    const QList<int> all { 0, 1, 2 };
    const struct
    {
        const char *key;
        const char *value;
        QStringList names;
        QList<int> heights;
        QList<TableChange> changes;
    } steps[] = {
        { "listGrouping",
          "kind",
          { "#Mac", "Zeta", "#iPhone", "Alpha", "Mu" },
          { 22, 70, 22, 70, 70 },
          { { Kind::Remove, all, -1, TableEffect::SlideDown },
            { Kind::Insert, { 0, 1, 2, 3, 4 }, -1, TableEffect::SlideUp } } },
        // Both sections cost the same: the same order sorted another way moves nothing.
        { "listSorting", "price", { "#Mac", "Zeta", "#iPhone", "Alpha", "Mu" }, {}, {} },
        // Not a grouping: nothing changes.
        { "listGrouping", "Kind", { "#Mac", "Zeta", "#iPhone", "Alpha", "Mu" }, {}, {} },
        { "listGrouping",
          "none",
          { "Alpha", "Mu", "Zeta" },
          { 70, 70, 70 },
          { { Kind::Remove, { 0, 1, 2, 3, 4 }, -1, TableEffect::SlideDown },
            { Kind::Insert, all, -1, TableEffect::SlideUp } } },
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(QString("%1 = %2").arg(step.key, step.value).toStdString());
        table.clearRecordedChanges();
        settings().setValue(step.key, step.value);
        EXPECT_EQ(shownNames(), step.names);
        if (!step.heights.isEmpty()) {
            EXPECT_EQ(heights(), step.heights);
        }
        EXPECT_EQ(table.recordedChanges(), step.changes);
        EXPECT_EQ(table.numberOfRows(), archive.listRepresentation().numberOfRows());
    }
    EXPECT_FALSE(archive.placeholderLabel()->isVisible());
}

TEST_F(ArchiveWindowTest, RowsShowPriceToolTipsAndPlatformImagesAndFollowARefresh)
{
    const std::vector<App *> apps = archive(
        { { "Free App", "M", 0, AppKind::Pad }, { "Paid App", "M", 2.99, AppKind::Mac } });
    open();
    // The last one archived is shown first.
    ASSERT_NE(cellAt(1), nullptr);
    EXPECT_EQ(cellAt(0)->nameLabel()->fullString(), "Paid App");
    EXPECT_EQ(cellAt(0)->toolTip(), "$2.99");
    EXPECT_EQ(cellAt(1)->toolTip(), Strings::localized("Free"));
    EXPECT_EQ(cellAt(0)->height(), 70);
    EXPECT_FALSE(cellAt(0)->buyButton()->isVisible());

    const auto images = [this] {
        return QStringList { cellAt(0)->platformImageName(), cellAt(1)->platformImageName() };
    };
    EXPECT_EQ(images(), QStringList({ "", "" }));
    settings().setValue("displayPlatformIcons", true);
    EXPECT_EQ(images(), QStringList({ "mac", "ipad" }));
    settings().setValue("displayPlatformIcons", false);
    EXPECT_EQ(images(), QStringList({ "", "" }));

    // A refresh that reaches an archived application shows its new name and price.
    apps[1]->setName("Renamed by the store");
    apps[1]->setPrice(Decimal::fromString("0").value());
    apps[0]->setPrice(Decimal::fromString("1.49").value());
    NotificationCenter::defaultCenter().post(
        ListsControllerDidReloadApps, &lists(),
        { { AppReloadIdentifierSet,
            QVariant::fromValue(
                QSet<QString> { apps[0]->identifier(), apps[1]->identifier() }) } });
    EXPECT_EQ(cellAt(0)->nameLabel()->fullString(), "Renamed by the store");
    EXPECT_EQ(cellAt(0)->toolTip(), Strings::localized("Free"));
    EXPECT_EQ(cellAt(1)->toolTip(), "$1.49");
}

// Each row shows the price the application had when it was archived in its capsule, whole and
// written as the lists write prices: no capsule is left empty.
TEST_F(ArchiveWindowTest, EachRowShowsThePriceItHadInItsCapsule)
{
    archive({ { "Free App", "M", 0 }, { "Paid App", "M", 2.99 }, { "Dear App", "M", 1249.99 } });
    open();
    const QStringList expected { "$1.25K", "$2.99", Strings::localized("Free") };
    for (int row = 0; row < expected.size(); ++row) {
        AppCell *cell = cellAt(row);
        ASSERT_NE(cell, nullptr);
        ArchivePriceBadge *badge = cell->priceBadge();
        EXPECT_TRUE(badge->isVisible()) << row;
        EXPECT_EQ(badge->label()->stringValue(), expected[row]) << "whole";
        EXPECT_TRUE(cell->rect().contains(badge->geometry())) << row;
    }
}

TEST_F(ArchiveWindowTest, AClickSelectsNothingAndTheRowMenuDeletesOnlyAfterAYes)
{
    archive({ { "First" }, { "Second" } });
    settings().setValue("enableSuperSecretAppIdentifierMenuItem", true);
    ArchiveViewController &archive = open();
    AppCell *cell = cellAt(0);
    ASSERT_NE(cell, nullptr);
    QTest::mouseClick(cell->nameLabel(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(archive.tableView()->selectedRow(), -1);
    EXPECT_FALSE(cell->isSelected());

    QStringList titles;
    for (QAction *item : cell->contextMenu()->actions())
        titles << item->text();
    EXPECT_EQ(titles, QStringList({ "View in App Store", "Copy Link", "Delete", "Copy App ID" }));

    // "No" keeps the row; "Yes" deletes the application and its row fades.
    QAction *deleteItem = cell->contextMenu()->actions().at(2);
    services.alerts().preparedAnswers = { AlertAnswer { 1 } };
    deleteItem->trigger();
    test::drainEvents();
    ASSERT_EQ(services.alerts().alerts.size(), 1u);
    EXPECT_EQ(shownNames(), QStringList({ "Second", "First" }));
    services.alerts().preparedAnswers = { AlertAnswer { 0 } };
    deleteItem->trigger();
    test::drainEvents();
    EXPECT_EQ(services.alerts().alerts.size(), 2u);
    EXPECT_EQ(shownNames(), QStringList({ "First" }));
    EXPECT_EQ(archive.tableView()->numberOfRows(), 1);
    EXPECT_EQ(lists().archive()->apps().size(), 1u);
}

TEST_F(ArchiveWindowTest, TheWindowIsMadeOnceForTheRunAndKeepsItsFrameBetweenRuns)
{
    test::RecordingAppShell shell;
    QRect frame;
    {
        ArchiveWindowController controller(lists(), settings());
        EXPECT_FALSE(controller.isWindowLoaded());
        // Showing first and asking for the window afterwards gives the one window shown.
        controller.showWindow();
        QMainWindow *window = controller.window();
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(controller.window(), window);
        EXPECT_EQ(shell.windowsItems.value(window), Strings::localized("Archive"));
        window->resize(520, 380);
        window->move(140, 160);
        frame = QRect(window->pos(), window->size());
        window->close();
        EXPECT_FALSE(shell.windowsItems.contains(window));
        controller.showWindow();
        EXPECT_EQ(controller.window(), window);
        EXPECT_EQ(QRect(window->pos(), window->size()), frame);
        window->close();
    }
    ArchiveWindowController nextRun(lists(), settings());
    QMainWindow *window = nextRun.window();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(QRect(window->pos(), window->size()), frame);
}

// Detail windows: one per application or one shared, as "multipleAppWindows" says; the
// Window menu; the focus notification the App menu follows; closing and deleting.
#include "DetailTestSupport.h"

#include "controls/Label.h"
#include "core/SettingsKeys.h"
#include "details/AppDetailViewController.h"
#include "details/DetailWindow.h"
#include "details/DetailWindowManager.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSet>
#include <QTest>

using namespace tanvill;

namespace {

struct DetailWindows : test::DetailTest
{
    DetailWindows()
    {
        for (const char *name : { "Alpha", "Beta", "Gamma" }) {
            App *app = watchApp({ name });
            apps.push_back(app);
            controllers.push_back(controllerFor(app));
        }
        NotificationCenter::defaultCenter().addObserver(
            DetailWindowManagerFocussedAppChanged, &observer,
            [this](const Notification &n) {
                AppSummaryController *controller = responsibleSummaryController(n);
                focus << (controller ? controller->app()->name() : QString("-"));
            },
            &manager);
    }

    void open(int index)
    {
        manager.openDetailWindowWithSummaryController(controllers[size_t(index)].get());
    }
    DetailWindow *windowOf(int index) const
    {
        return manager.windowForIdentifier(apps[size_t(index)]->identifier());
    }
    QStringList windowsMenu() const
    {
        QStringList titles = shell.windowsItems.values();
        titles.sort();
        return titles;
    }

    std::vector<App *> apps;
    std::vector<std::shared_ptr<AppSummaryController>> controllers;
    DetailWindowManager manager { lists(), services.settings() };
    QObject observer;
    QStringList focus;
};

} // namespace

TEST_F(DetailWindows, EachApplicationGetsItsOwnWindowAndASecondClickBringsItForward)
{
    open(0);
    open(1);
    open(2);
    ASSERT_EQ(manager.windowControllers().size(), 3u);
    EXPECT_EQ(windowsMenu(), (QStringList { "Alpha", "Beta", "Gamma" }));
    DetailWindow *alpha = windowOf(0);
    EXPECT_EQ(alpha->windowTitle(), "Alpha");
    EXPECT_EQ(alpha->contentViewController()->appNameLabel()->fullString(), "Alpha");

    // Another controller of the same application (a row made again) opens no new window.
    const auto again = controllerFor(apps[0]);
    manager.openDetailWindowWithSummaryController(again.get());
    EXPECT_EQ(manager.windowControllers().size(), 3u);
    EXPECT_EQ(windowOf(0), alpha);
    EXPECT_TRUE(test::activate(alpha));
    EXPECT_EQ(alpha->contentViewController()->summaryController(), controllers[0].get());
}

TEST_F(DetailWindows, OneSharedWindowShowsTheApplicationClickedLast)
{
    services.settings().setValue("multipleAppWindows", false);
    open(0);
    DetailWindow *shared = windowOf(0);
    open(1);
    ASSERT_EQ(manager.windowControllers().size(), 1u);
    EXPECT_EQ(manager.windowControllers().begin()->first, apps[1]->identifier());
    EXPECT_EQ(windowOf(1), shared);
    EXPECT_EQ(windowsMenu(), QStringList { "Beta" });
    EXPECT_EQ(shared->windowTitle(), "Beta");
    EXPECT_EQ(shared->contentViewController()->appNameLabel()->fullString(), "Beta");

    // The first application's refreshes no longer reach the reused header.
    apps[0]->setName("Alpha Renamed");
    postRefresh(apps[0]);
    EXPECT_EQ(shared->contentViewController()->appNameLabel()->fullString(), "Beta");
    EXPECT_EQ(windowsMenu(), QStringList { "Beta" });
}

TEST_F(DetailWindows, TurningThePolicyOffClosesAllButOneWindowAndDeletesThemLater)
{
    open(0);
    open(1);
    open(2);
    QList<QPointer<DetailWindow>> windows { windowOf(0), windowOf(1), windowOf(2) };

    services.settings().setValue("multipleAppWindows", true);
    EXPECT_EQ(manager.windowControllers().size(), 3u) << "turning it on changes nothing";

    services.settings().setValue("multipleAppWindows", false);
    ASSERT_EQ(manager.windowControllers().size(), 1u);
    const QString kept = manager.windowControllers().begin()->first;
    int visible = 0;
    for (const QPointer<DetailWindow> &window : windows) {
        ASSERT_FALSE(window.isNull()) << "no window is deleted inside its own close";
        visible += window->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(visible, 1);
    EXPECT_EQ(shell.windowsItems.size(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(std::count_if(windows.begin(), windows.end(), [](auto &w) { return !w.isNull(); }),
              1);
    EXPECT_EQ(manager.windowForIdentifier(kept), manager.windowControllers().begin()->second);

    // Closing the last one forgets it; opening the application again makes a new window.
    DetailWindow *last = manager.windowControllers().begin()->second;
    last->close();
    EXPECT_TRUE(manager.windowControllers().empty());
    EXPECT_TRUE(shell.windowsItems.isEmpty());
    services.settings().setValue("multipleAppWindows", false);
    open(1);
    EXPECT_EQ(manager.windowControllers().size(), 1u);
    EXPECT_TRUE(windowOf(1)->isVisible());
}

TEST_F(DetailWindows, TheFocusedWindowNamesItsControllerAndLosingFocusNamesNone)
{
    open(0);
    open(1);
    ASSERT_TRUE(test::activate(windowOf(0)));
    focus.clear();
    ASSERT_TRUE(test::activate(windowOf(1)));
    EXPECT_EQ(focus, (QStringList { "-", "Beta" }));

    // A reused shared window that has the focus names its new application at once.
    services.settings().setValue("multipleAppWindows", false);
    ASSERT_EQ(manager.windowControllers().size(), 1u);
    ASSERT_TRUE(test::activate(manager.windowControllers().begin()->second));
    focus.clear();
    open(2);
    EXPECT_EQ(focus.value(focus.size() - 1), "Gamma");

    // Closing the focused window leaves no controller behind in the App menu.
    focus.clear();
    windowOf(2)->close();
    EXPECT_EQ(focus.value(focus.size() - 1), "-");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(DetailWindows, DeletedApplicationsOpenNothingAndTheirWindowsClose)
{
    open(0);
    open(1);
    lists().deleteApp(apps[0]);
    EXPECT_EQ(manager.windowControllers().size(), 1u);
    EXPECT_EQ(windowOf(0), nullptr);
    EXPECT_NE(windowOf(1), nullptr) << "another application's window stays";
    open(0);
    EXPECT_EQ(manager.windowControllers().size(), 1u);

    lists().archiveApp(apps[1]);
    EXPECT_TRUE(manager.windowControllers().empty());

    // So do those of a deleted list, a note being typed in one written first.
    open(2);
    games = lists().createList("Doomed");
    const auto noted = controllerFor(watchApp({ "Noted" }));
    manager.openDetailWindowWithSummaryController(noted.get());
    AppDetailViewController *view
        = manager.windowForIdentifier(noted->identifier())->contentViewController();
    view->viewAppNotes(view->appNotesButton());
    QTest::keyClicks(view->appNotesViewController()->textView(), "typed");
    ASSERT_FALSE(lists().deleteList(games));
    EXPECT_EQ(noted->app()->notes(), "typed");
    EXPECT_EQ(windowsMenu(), QStringList { "Gamma" });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(DetailWindows, AWindowOpensWithinTheScreenAndKeepsTheFrameTheUserChose)
{
    // A frame kept from a larger screen: lower, further right and taller than this one.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QString key = windowFrameSettingsKey(DetailWindowManager::kFrameAutosaveName);
    const QPoint corner = screen.bottomRight() - QPoint(90, 90);
    const QString chosen
        = QString("%1 %2 760 %3").arg(corner.x()).arg(corner.y()).arg(screen.height() + 200);
    services.settings().setValue(key, chosen);
    open(0);
    DetailWindow *window = windowOf(0);
    EXPECT_EQ(window->frameGeometry(), screen.intersected(window->frameGeometry()));
    EXPECT_EQ(window->frameGeometry().height(), screen.height());
    // The next ones cascade, each down and right of the last, whole on the screen.
    for (int index = 1; index < 3; ++index) {
        open(index);
        const QRect frame = windowOf(index)->frameGeometry();
        const QPoint step = frame.topLeft() - windowOf(index - 1)->frameGeometry().topLeft();
        EXPECT_TRUE(screen.contains(frame)) << index;
        EXPECT_GE(std::min(step.x(), step.y()), 24) << index;
    }
    windowOf(2)->close();
    window->hide();
    EXPECT_EQ(services.settings().string(key), chosen) << "fitting it is not saved";
    // Moved, the window keeps the size chosen, at once, not only when it closes; resized, its
    // new size.
    window->show();
    window->move(screen.topLeft() + QPoint(30, 40));
    EXPECT_EQ(services.settings().string(key),
              QString("%1 %2 760 %3")
                  .arg(screen.left() + 30)
                  .arg(screen.top() + 40)
                  .arg(screen.height() + 200));
    window->resize(500, 620);
    EXPECT_TRUE(services.settings().string(key).endsWith(" 500 620"));
}

TEST_F(DetailWindows, AWindowOpenedAfterTheNewestClosedCoversNoOpenOne)
{
    // The windows closed, newest first; the last of them opens again.
    for (const std::vector<int> &closed : { std::vector { 2 }, std::vector { 2, 1 } }) {
        for (int index = 0; index < 3; ++index)
            open(index);
        for (const int index : closed)
            windowOf(index)->close();
        open(closed.back());
        QSet<QPoint> corners;
        for (const auto &[identifier, window] : manager.windowControllers())
            corners << window->frameGeometry().topLeft();
        EXPECT_EQ(corners.size(), 4 - int(closed.size())) << closed.size() << " closed";
        for (const auto &[identifier, window] : std::map(manager.windowControllers()))
            window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

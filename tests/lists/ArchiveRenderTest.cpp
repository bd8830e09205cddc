// Renders the archive window to PNG files under test-output/windows for a person to look at:
// empty, with rows grouped into sections, and with platform images and a row's menu open.
#include "ListRenderSupport.h"

#include "controls/ControlsTestSupport.h"
#include "lists/AppCell.h"
#include "lists/ArchiveViewController.h"
#include "lists/ArchiveWindowController.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"
#include "support/WatchedApps.h"

#include <QContextMenuEvent>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

struct ArchiveRender : ::testing::Test
{
    ArchiveRender()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        services.settings().setValue("hasSeenFirstArchiveNotice", true);
        list = services.listsController().createList("Games");
    }

    void archive(const std::vector<test::WatchedApp> &apps)
    {
        const std::vector<App *> watched = test::watch(services.listsController(), list, apps);
        test::cacheLetterIcons(watched, 20, 53);
        for (App *app : watched)
            services.listsController().archiveApp(app);
    }

    QMainWindow *open(QSize size = { 460, 520 })
    {
        controller = std::make_unique<ArchiveWindowController>(services.listsController(),
                                                               services.settings());
        controller->contentViewController()->setRandomSource([](quint32) { return 0u; });
        QMainWindow *window = controller->window();
        window->resize(size);
        window->move(300, 300);
        controller->showWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        return window;
    }

    void save(const QString &name, QWidget *overlay = nullptr)
    {
        test::saveWindowRender(controller->window(), name, overlay);
    }

    test::TestServices services;
    List *list = nullptr;
    std::unique_ptr<ArchiveWindowController> controller;
};

const std::vector<test::WatchedApp> kApps {
    { "Darkroom Pro", "Bergmann Software", 9.99, AppKind::Mac },
    { "Tidewater Tides", "Harbour Apps", 0, AppKind::Phone },
    { "Sketchbook & Ink", "Paper Cut Studio", 4.99, AppKind::Pad },
    { "Pocket Ledger", "Harbour Apps", 2.99, AppKind::Phone },
    { "Field Notes — A Very Long Application Name That Does Not Fit", "Paper Cut Studio", 14.99,
      AppKind::Mac },
    { "Metronome Plus", "Tempo Labs", 1.99, AppKind::Pad },
};

} // namespace

TEST_F(ArchiveRender, Empty)
{
    open();
    save("archive-empty");
}

TEST_F(ArchiveRender, GroupedRowsWithPlatformImagesAndTheRowMenu)
{
    archive(kApps);
    services.settings().setValue("listSorting", "name");
    services.settings().setValue("listGrouping", "kind");
    open();
    save("archive-grouped");

    // With platform images, ungrouped, and a row's menu open.
    services.settings().setValue("listGrouping", "none");
    services.settings().setValue("displayPlatformIcons", true);

    auto *cell = qobject_cast<AppCell *>(
        controller->contentViewController()->tableView()->rowViewAtRow(1));
    ASSERT_NE(cell, nullptr);
    QTimer::singleShot(0, [&] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            save("archive-row-menu", popup);
            popup->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(120, 30),
                            cell->mapToGlobal(QPoint(120, 30)));
    QApplication::sendEvent(cell, &event);
    test::drainEvents();
}

// Renders the detail window in each of its looks to PNG files under test-output/windows for a
// person to look at: applications of the three platforms, each popover open, a long
// description, and the window at its minimum size.
#include "DetailTestSupport.h"

#include "controls/AppIconView.h"
#include "details/AppDetailViewController.h"
#include "details/DetailWindow.h"
#include "details/DetailWindowManager.h"
#include "details/ScreenshotGrid.h"
#include "store/widgets/ImageViewBinding.h"

#include <QPlainTextEdit>
#include <QScrollBar>

using namespace tanvill;

namespace {

const QString kDescription = QStringLiteral(
    "Pocket Atlas puts the whole world in your pocket: detailed maps for more than 200 "
    "countries, turn-by-turn routes on foot, by bike and by car, and places saved for later.\n\n"
    "• Works offline once a region is downloaded\n"
    "• Shares routes and places with friends\n"
    "• Plans trips of several days with stops and notes\n\n"
    "Version 2.4 brings faster search, a darker night map and many small fixes.");

struct DetailRender : test::DetailTest
{
    AppDetailViewController *open(const test::ShownApp &shown, QSize size = { 760, 820 })
    {
        App *app = watchApp(shown);
        warm(app);
        controllers.push_back(controllerFor(app));
        manager.openDetailWindowWithSummaryController(controllers.back().get());
        DetailWindow *window = manager.windowForIdentifier(app->identifier());
        window->resize(size);
        EXPECT_TRUE(test::activate(window));
        AppDetailViewController *view = window->contentViewController();
        EXPECT_TRUE(test::waitFor([&] { return showsItsPictures(view); }, 10000));
        return view;
    }

    // The icon and every screenshot, large and small, stand in the window, each the picture
    // of its own link.
    bool showsItsPictures(const AppDetailViewController *view) const
    {
        const ImageCache &cache = services.imageCache();
        const QImage icon = cache.cachedImage(wantedImageUrl(view->iconView()));
        if (icon.isNull() || view->iconView()->image() != icon)
            return false;
        const ScreenshotGrid *grid = view->screenshotGrid();
        std::vector<const ScreenshotImageView *> shots;
        for (const MiniatureScreenshotCell *cell : grid->cells())
            shots.push_back(cell->imageView());
        if (!shots.empty())
            shots.push_back(grid->selectedImageView());
        return std::all_of(shots.begin(), shots.end(), [&](const ScreenshotImageView *shot) {
            const QImage picture = cache.cachedImage(wantedImageUrl(shot));
            return !picture.isNull() && shot->imageSize() == picture.deviceIndependentSize();
        });
    }

    std::vector<std::shared_ptr<AppSummaryController>> controllers;
    DetailWindowManager manager { lists(), services.settings() };
};

} // namespace

TEST_F(DetailRender, ApplicationsOfEachPlatform)
{
    const struct
    {
        const char *file;
        test::ShownApp app;
    } cases[] = {
        { "detail-iphone",
          { "Pocket Atlas", AppKind::Phone, std::vector<QSize>(5, QSize(640, 1136)), kDescription,
            2.99 } },
        { "detail-ipad",
          { "Sketch Board",
            AppKind::Pad,
            { { 1024, 768 }, { 768, 1024 }, { 1024, 768 }, { 1024, 768 } },
            "Draw, paint and sketch on a canvas as large as you like.",
            0 } },
        { "detail-mac",
          { "Ledger Desk", AppKind::Mac, std::vector<QSize>(3, QSize(1280, 800)),
            "Accounts for small businesses, with invoices and reports.", 19.99 } },
        { "detail-no-screenshots", { "Quiet Timer", AppKind::Phone, {}, "A timer.", 0.99 } },
    };
    for (const auto &c : cases) {
        AppDetailViewController *view = open(c.app);
        ASSERT_NE(view->screenshotGrid(), nullptr);
        EXPECT_EQ(view->screenshotGrid()->cells().size(), c.app.shots.size());
        saveRender(view->window(), c.file);
    }
}

TEST_F(DetailRender, PopoversAndShapes)
{
    AppDetailViewController *view = open(
        { "Pocket Atlas", AppKind::Phone, std::vector<QSize>(4, QSize(640, 1136)), kDescription });
    App *app = view->summaryController()->app();
    app->setLastPrice(Decimal::fromString("4.99").value());
    app->setLastRating(3.5f);
    app->setLastVersion("2.3");
    postRefresh(app);
    view->viewAppHistory(view->appHistoryButton());
    ASSERT_NE(view->appHistoryViewController(), nullptr);
    saveRender(view->window(), "detail-history-popover",
               view->appHistoryViewController()->window());
    view->appHistoryViewController()->window()->close();
    test::drainEvents();

    view->viewAppNotes(view->appNotesButton());
    ASSERT_NE(view->appNotesViewController(), nullptr);
    view->appNotesViewController()->textView()->insertPlainText(
        "Wait for the summer sale.\nAsk Sam about the offline maps.");
    saveRender(view->window(), "detail-notes-popover", view->appNotesViewController()->window());
    view->appNotesViewController()->window()->close();
    test::drainEvents();

    view->viewAppNotes(view->appNotesButton());
    view->appNotesViewController()->textView()->clear();
    saveRender(view->window(), "detail-notes-empty", view->appNotesViewController()->window());
    view->appNotesViewController()->window()->close();
    test::drainEvents();

    view->shareApp(view->shareButton());
    saveRender(view->window(), "detail-share-menu", view->shareMenu());
    view->shareMenu()->close();
    test::drainEvents();

    AppDetailViewController *longer
        = open({ "Field Guide", AppKind::Pad, { { 1024, 768 } }, kDescription.repeated(4), 4.99 });
    longer->tableView()->setScrollPosition(300);
    saveRender(longer->window(), "detail-long-description");

    AppDetailViewController *narrow
        = open({ "Narrow Window With A Very Long Application Name", AppKind::Mac,
                 std::vector<QSize>(6, QSize(1280, 800)), kDescription },
               DetailWindow::kMinimumSize);
    EXPECT_EQ(narrow->window()->size(), DetailWindow::kMinimumSize);
    saveRender(narrow->window(), "detail-minimum");
}

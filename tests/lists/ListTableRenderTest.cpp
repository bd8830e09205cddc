// Renders the list table in each of its looks to PNG files under test-output/windows for a
// person to look at: rows at rest and hovered, platform images, sorted and grouped with a
// floating section row, a price button offering to archive, the context menu, the rating prompt's
// three questions and a drag.
#include "ListRenderSupport.h"
#include "ListTableTestSupport.h"

#include "controls/BorderedButton.h"
#include "controls/HoverButton.h"
#include "store/ImageCache.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTimer>

using namespace tanvill;

namespace {

struct ListTableRender : test::ListTableTest
{
    ListTableRender()
    {
        const std::vector<test::WatchedApp> apps {
            { "Darkroom Pro", "Bergmann Software", 9.99, AppKind::Mac },
            { "Tidewater Tides", "Harbour Apps", 0, AppKind::Phone },
            { "Sketchbook & Ink", "Paper Cut Studio", 4.99, AppKind::Pad },
            { "Pocket Ledger", "Harbour Apps", 2.99, AppKind::Phone },
            { "Orbit Weather", "Bergmann Software", 0.99, AppKind::Phone },
            { "Field Notes — A Very Long Application Name That Does Not Fit", "Paper Cut Studio",
              14.99, AppKind::Mac },
            { "Metronome Plus", "Tempo Labs", 1.99, AppKind::Pad },
        };
        test::cacheLetterIcons(test::watch(lists(), games, apps), 0, 47);
    }

    void save(const QString &name, QWidget *overlay = nullptr)
    {
        test::saveWindowRender(window.get(), name, overlay);
    }
};

} // namespace

TEST_F(ListTableRender, RowsAtRestHoveredAndWithPlatformImages)
{
    open({ 620, 520 });
    save("list-table-rows");

    test::enter(cellAt(1));
    test::enter(cellAt(1)->copyLinkButton());
    save("list-table-row-hovered");
    test::leave(cellAt(1)->copyLinkButton());
    test::leave(cellAt(1));

    settings().setValue("displayPlatformIcons", true);
    save("list-table-platform-icons");

    // The price button after it opened the store page offers to archive.
    cellAt(0)->buyButton()->click();
    save("list-table-price-button-archive");
}

TEST_F(ListTableRender, SortedByPriceAndGroupedByDeveloper)
{
    settings().setValue("listSorting", "price");
    settings().setValue("listGrouping", "developer");
    open({ 620, 520 });
    save("list-table-grouped");
    table->tableView()->setScrollPosition(150);
    save("list-table-grouped-floating-section");
}

TEST_F(ListTableRender, ContextMenuOpen)
{
    settings().setValue("enableSuperSecretAppIdentifierMenuItem", true);
    lists().createList("Work & Play", ThemeName::Green);
    settings().setValue("selectedList", 0);
    open({ 620, 520 });
    AppCell *cell = cellAt(2);
    QTimer::singleShot(0, [&] {
        QWidget *menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        save("list-table-context-menu", menu);
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(240, 40),
                            cell->mapToGlobal(QPoint(240, 40)));
    QApplication::sendEvent(cell, &event);
}

TEST_F(ListTableRender, RatingPromptInEachQuestion)
{
    settings().setValue("firstLaunchDate", QDateTime::currentDateTime().addDays(-9));
    open({ 620, 520 });
    RatingPromptView *prompt = table->ratingPrompt();
    ASSERT_NE(prompt, nullptr);
    save("list-table-rating-prompt-enjoy");
    prompt->setState(RatingPromptState::Rate);
    save("list-table-rating-prompt-rate");
    prompt->setState(RatingPromptState::Feedback);
    save("list-table-rating-prompt-feedback");
}

TEST_F(ListTableRender, DragInProgress)
{
    open({ 620, 520 });
    ASSERT_TRUE(test::waitFor([] { return ImageCache::shared().loadingLinkCount() == 0; }, 10000));
    test::drainEvents();
    TableView &view = *table->tableView();
    const QPoint start = view.rectOfRow(1).topLeft() + QPoint(150, 30);
    view.setDragRunner([&](QDrag *drag) {
        const QPoint at(start.x(), view.rectOfRow(4).top() + 3);
        QDragEnterEvent enter(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(view.viewport(), &enter);
        QImage image = window->grab().toImage();
        QPainter painter(&image);
        painter.setOpacity(0.92);
        painter.drawPixmap(view.viewport()->mapTo(window.get(), at - drag->hotSpot()),
                           drag->pixmap());
        painter.end();
        image.save(QDir(test::testOutputDir("windows")).filePath("list-table-drag.png"));
        QDragLeaveEvent leave;
        QApplication::sendEvent(view.viewport(), &leave);
        return Qt::IgnoreAction;
    });
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(view.viewport(), start + QPoint(0, 20));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, start + QPoint(0, 20));
    EXPECT_TRUE(
        QFile::exists(QDir(test::testOutputDir("windows")).filePath("list-table-drag.png")));
}

// The application row as a widget: its menus, its hover buttons, its right click and its
// picture while dragged.
#include "ListTableTestSupport.h"

#include "controls/HoverButton.h"
#include "core/App.h"
#include "platform/Clipboard.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>

using namespace tanvill;
using test::ListTableTest;

namespace {

QStringList titles(QMenu *menu)
{
    QStringList texts;
    for (QAction *item : menu->actions())
        texts << item->text();
    return texts;
}

QStringList keys(QMenu *menu)
{
    QStringList texts;
    for (QAction *item : menu->actions())
        texts << item->shortcut().toString();
    return texts;
}

// Right-clicks the row and reports whether a menu opened and the row was selected meanwhile.
std::pair<bool, bool> rightClick(AppCell &cell)
{
    bool opened = false, selectedWhileOpen = false;
    QTimer::singleShot(0, [&] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            opened = true;
            selectedWhileOpen = cell.isSelected();
            popup->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                            cell.mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(&cell, &event);
    test::drainEvents();
    return { opened, selectedWhileOpen };
}

} // namespace

TEST_F(ListTableTest, RowMenusHoldTheirItemsInAFixedOrderWithPlainKeyHints)
{
    const QStringList list { "View in App Store", "Copy Link", "Reload",
                             "Move to List",      "Archive",   "Delete" };
    const QStringList archive { "View in App Store", "Copy Link", "Delete" };
    const struct
    {
        AppCell::Configuration configuration;
        bool secretItem;
        QStringList titles;
        QStringList keys;
    } cases[] = {
        { AppCell::Configuration::List, false, list, { "O", "C", "R", "", "A", "Backspace" } },
        { AppCell::Configuration::List, true, list + QStringList { "Copy App ID" }, {} },
        { AppCell::Configuration::Archive, false, archive, { "O", "C", "Backspace" } },
        { AppCell::Configuration::Archive, true, archive + QStringList { "Copy App ID" }, {} },
    };
    for (const auto &c : cases) {
        settings().setValue("enableSuperSecretAppIdentifierMenuItem", c.secretItem);
        AppCell cell(c.configuration);
        EXPECT_EQ(titles(cell.contextMenu()), c.titles);
        if (!c.keys.isEmpty()) {
            EXPECT_EQ(keys(cell.contextMenu()), c.keys);
        }
        // Menus already built keep their items when the setting changes.
        settings().setValue("enableSuperSecretAppIdentifierMenuItem", !c.secretItem);
        EXPECT_EQ(titles(cell.contextMenu()), c.titles);
        cell.setConfiguration(c.configuration);
        EXPECT_NE(titles(cell.contextMenu()), c.titles);
    }
}

TEST_F(ListTableTest, HoverButtonsShowOnlyWhileThePointerIsOverARowOfTheActiveWindow)
{
    test::watchMany(lists(), games, 2);
    open();
    AppCell *cell = cellAt(0);
    EXPECT_FALSE(cell->hoverButtonsShown());
    test::enter(cell);
    for (HoverButton *button : cell->hoverButtons())
        EXPECT_TRUE(button->isVisible());
    test::leave(cell);
    EXPECT_FALSE(cell->hoverButtonsShown());

    // Binding the row again hides them until the pointer comes back.
    test::enter(cell);
    cell->setSummaryController(cell->sharedSummaryController());
    EXPECT_FALSE(cell->hoverButtonsShown());

    QWidget other;
    ASSERT_TRUE(test::activate(&other));
    test::enter(cellAt(1));
    EXPECT_FALSE(cellAt(1)->hoverButtonsShown());
}

TEST_F(ListTableTest, ARightClickOpensTheMenuOnlyInTheActiveWindowAndMarksTheRowMeanwhile)
{
    test::watchMany(lists(), games, 2);
    open();
    AppCell *cell = cellAt(0);
    EXPECT_EQ(rightClick(*cell), std::make_pair(true, true));
    EXPECT_FALSE(cell->isSelected());

    QWidget other;
    ASSERT_TRUE(test::activate(&other));
    EXPECT_EQ(rightClick(*cell), std::make_pair(false, false));
    EXPECT_FALSE(cell->isSelected());
}

TEST_F(ListTableTest, TheDragPictureIsTheRowWithRoundedCorners)
{
    test::watchMany(lists(), games, 1);
    open({ 300, 200 });
    AppCell *cell = cellAt(0);
    ASSERT_EQ(cell->size(), QSize(300, 85));
    const QImage image = cell->snapshot().toImage();
    EXPECT_EQ(image.size(), QSize(300, 85) * cell->devicePixelRatioF());
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0);
    EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
}

TEST_F(ListTableTest, AKeyShownInTheOpenMenuChoosesItsItem)
{
    test::watchMany(lists(), games, 1);
    open();
    AppCell *cell = cellAt(0);
    const struct
    {
        Qt::Key key;
        bool chosen;
        bool copied;
        std::size_t alerts;
    } cases[] = { { Qt::Key_C, true, true, 0 },
                  { Qt::Key_Backspace, true, false, 1 },
                  { Qt::Key_X, false, false, 0 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
        Clipboard::setText("kept");
        services.alerts().alerts.clear();
        services.alerts().preparedAnswers = { { 1, false } };
        ASSERT_TRUE(test::activate(window.get()));
        bool opened = false, stillOpen = false;
        QTimer::singleShot(0, [&] {
            if (QWidget *popup = QApplication::activePopupWidget()) {
                opened = true;
                QTest::keyClick(popup, c.key);
            }
            if (QWidget *popup = QApplication::activePopupWidget()) {
                stillOpen = true;
                popup->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                cell->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(cell, &event);
        test::drainEvents();
        EXPECT_TRUE(opened);
        EXPECT_EQ(stillOpen, !c.chosen);
        EXPECT_EQ(Clipboard::text() != "kept", c.copied);
        EXPECT_EQ(services.alerts().alerts.size(), c.alerts);
    }
}

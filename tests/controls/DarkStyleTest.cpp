// The application's look: menus and scroll areas come out dark whatever the desktop's theme,
// and the focus ring marks where the keyboard is.
#include "ControlsTestSupport.h"
#include "controls/KeyboardFocus.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace tanvill;

TEST(DarkStyle, MenusAreDarkAndScrollBarsLeaveTheContentItsWidth)
{
    QMenu menu;
    menu.addAction(QStringLiteral("View in App Store"))->setShortcut(QKeySequence(Qt::Key_O));
    menu.addAction(QStringLiteral("Copy Link"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Delete"))->setEnabled(false);
    menu.adjustSize();
    const QImage image = test::render(&menu);
    image.save(QDir(test::testOutputDir(QStringLiteral("windows"))).filePath("dark-menu.png"));
    EXPECT_LT(image.pixelColor(image.width() - 3, image.height() / 2).lightness(), 60);

    QScrollArea area;
    auto *content = new QWidget;
    content->setMinimumHeight(2000);
    area.setWidget(content);
    area.setWidgetResizable(true);
    area.resize(200, 300);
    area.show();
    EXPECT_EQ(area.viewport()->width(), area.width() - 2 * area.frameWidth());
}

// A pop-up, a window or the menu bar takes the keys its own way; given back by a key, they come
// back to the button with its ring. While the bar holds them, its title wears the ring.
TEST(KeyboardFocus, TheRingIsBackWhereTheKeyboardWasAfterAPopUpAWindowOrTheMenuBar)
{
    QMainWindow window;
    auto *button = new QPushButton("Notes", &window);
    window.setCentralWidget(button);
    QMenuBar *bar = window.menuBar();
    bar->addMenu("&View")->addAction("Archive");
    for (const Qt::WindowType over : { Qt::Popup, Qt::Window, Qt::Widget /* the menu bar */ }) {
        ASSERT_TRUE(test::activate(&window));
        button->clearFocus();
        button->setFocus(Qt::TabFocusReason);
        if (over == Qt::Widget) {
            QTest::keyClick(&window, Qt::Key_V, Qt::AltModifier);
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
            ASSERT_TRUE(bar->hasFocus() && bar->activeAction()) << "the bar holds the keys";
            const QImage title = bar->grab(bar->actionGeometry(bar->activeAction())).toImage();
            EXPECT_TRUE(test::near(title.pixelColor(1, title.height() / 2), focusRingColor(), 24));
            QTest::keyClick(bar, Qt::Key_Escape);
        } else {
            QWidget widget(nullptr, over);
            auto *inside = new QPushButton("Inside", &widget);
            widget.show();
            ASSERT_TRUE(over == Qt::Popup || test::activate(&widget));
            inside->setFocus(); // its own way: no ring to come back to
            over == Qt::Popup ? QTest::keyClick(inside, Qt::Key_Escape) : void(widget.close());
            // The offscreen platform leaves no window active after a pop-up; a desktop's does.
            ASSERT_TRUE(!widget.isVisible() && test::activate(&window));
        }
        EXPECT_EQ(focusRingTarget(), button) << over;
    }
}

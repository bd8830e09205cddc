// The application's look: menus and scroll areas come out dark whatever the desktop's theme.
#include "ControlsTestSupport.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QMenu>
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

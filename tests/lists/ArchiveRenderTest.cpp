// Renders the archive window to PNG files under test-output/windows for a person to look at:
// empty, with rows grouped into sections, and with platform images and a row's menu open.
#include "controls/ControlsTestSupport.h"
#include "lists/AppCell.h"
#include "lists/ArchiveViewController.h"
#include "lists/ArchiveWindowController.h"
#include "store/ImageCache.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"
#include "support/WatchedApps.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// A made-up application icon: a coloured gradient with the name's first letter.
QByteArray iconBytes(const QString &name, int hue)
{
    QImage image(128, 128, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, 128);
    gradient.setColorAt(0, QColor::fromHsv(hue, 150, 250));
    gradient.setColorAt(1, QColor::fromHsv((hue + 30) % 360, 210, 190));
    painter.fillRect(image.rect(), gradient);
    QFont font;
    font.setPixelSize(70);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255, 235));
    painter.drawText(image.rect(), Qt::AlignCenter, name.left(1));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

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
        int hue = 20;
        for (App *app : test::watch(services.listsController(), list, apps)) {
            const QString path = QDir(ImageCache::shared().cacheDirectory())
                                     .filePath(ImageCache::cacheFileName(app->iconUrl()));
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(iconBytes(app->name(), hue));
            hue = (hue + 53) % 360;
            services.listsController().archiveApp(app);
        }
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

    // Waits for the icons and writes the window, with `overlay` drawn over it where it stands.
    void save(const QString &name, QWidget *overlay = nullptr)
    {
        test::waitFor([] { return ImageCache::shared().loadingLinkCount() == 0; }, 2000);
        test::drainEvents();
        QWidget *window = controller->window();
        QImage image = window->grab().toImage();
        if (overlay) {
            QPainter painter(&image);
            painter.drawImage(window->mapFromGlobal(overlay->mapToGlobal(QPoint(0, 0))),
                              overlay->grab().toImage());
        }
        const QString path = QDir(test::testOutputDir("windows")).filePath(name + ".png");
        ASSERT_TRUE(image.save(path)) << path.toStdString();
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

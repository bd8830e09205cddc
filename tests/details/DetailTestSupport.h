#pragma once

// Detail windows on a fresh set of services: watched applications with screenshots and icons
// served by a local picture server, a recording shell for the Window menu, waiting for pictures
// to arrive, and PNG output of windows (with an open popover drawn in place).

#include "controls/ControlsTestSupport.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "details/AppSummaryController.h"
#include "store/ImageCache.h"
#include "support/DetailPictures.h"
#include "support/FakeHttpServer.h"
#include "support/RecordingAppShell.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"
#include "support/WatchedApps.h"

#include <QDir>
#include <QLocale>
#include <QPainter>
#include <QSet>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tanvill::test {

struct ShownApp
{
    QString name;
    AppKind kind = AppKind::Phone;
    std::vector<QSize> shots = {};
    QString description = {};
    double price = 0.99;
};

struct DetailTest : ::testing::Test
{
    DetailTest()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        services.settings().setValue("hasSeenFirstArchiveNotice", true);
        services.settings().setValue("multipleAppWindows", true);
        servePictures(server);
        games = lists().createList("Games");
    }

    ListsController &lists() { return services.listsController(); }

    App *watchApp(const ShownApp &shown)
    {
        static int serial = 0;
        CachedApp result
            = storeResult({ shown.name, "Maker Studio", shown.price, shown.kind }, ++serial + 1000);
        result.description = shown.description;
        result.version = "2.4.1";
        result.rating = 4.5f;
        result.iconUrl = iconUrl(server, serial);
        for (std::size_t i = 0; i < shown.shots.size(); ++i)
            result.screenshotUrls << screenshotUrl(server, shown.shots[i], serial + int(i));
        return lists().addApp({ result }, games).front();
    }

    static std::shared_ptr<AppSummaryController> controllerFor(App *app)
    {
        return AppSummaryController::create(app);
    }

    // Loads every picture of the application into the image cache's memory.
    void warm(const App *app) { ASSERT_TRUE(warmPictures(services.imageCache(), app, 10000)); }

    void postRefresh(const App *app)
    {
        NotificationCenter::defaultCenter().post(ListsControllerDidReloadApps, &lists(),
                                                 AppReload { { app->identifier() } }.userInfo());
    }

    // Writes `window` as drawn, with any open popup over it where it stands on screen, to
    // <build>/test-output/windows/<name>.png.
    static void saveRender(QWidget *window, const QString &name, QWidget *popup = nullptr)
    {
        drainEvents();
        QImage image = window->grab().toImage();
        ASSERT_FALSE(image.isNull());
        if (popup && popup->isVisible()) {
            const QPoint offset = popup->pos() - window->mapToGlobal(QPoint(0, 0));
            const QRect bounds = QRect(QPoint(0, 0), image.size() / image.devicePixelRatio())
                                     .united(QRect(offset, popup->size()));
            QImage canvas(bounds.size() * image.devicePixelRatio(), QImage::Format_ARGB32);
            canvas.setDevicePixelRatio(image.devicePixelRatio());
            canvas.fill(QColor(0x10, 0x10, 0x11));
            QPainter painter(&canvas);
            painter.drawImage(-bounds.topLeft(), image);
            painter.drawImage(offset - bounds.topLeft(), popup->grab().toImage());
            painter.end();
            image = canvas;
        }
        const QString path = QDir(testOutputDir("windows")).filePath(name + ".png");
        ASSERT_TRUE(image.save(path)) << path.toStdString();
    }

    TestServices services;
    RecordingAppShell shell;
    FakeHttpServer server;
    List *games = nullptr;
};

} // namespace tanvill::test

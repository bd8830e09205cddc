// The detail window: the wall time from a row's click to the first paint of a window showing
// an application with 10 screenshots whose pictures are in the image cache's memory; the same
// for the shared window shown again for another application; the time to lay the window out
// again after a resize (the description row is measured anew); the memory one open window
// adds beyond the pictures the image cache holds, and what is left of it once every window is
// closed: with every picture in the image cache's memory, and again, in a process of its own,
// with the cache at its usual size, too small for the pictures of every window, so that
// windows open with pictures read from disk again. Offscreen, in a throw-away home, pictures served
// by a local server; the allocator set up as the application sets it up.

#include "controls/DarkStyle.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "details/AppDetailViewController.h"
#include "details/AppSummaryController.h"
#include "details/DetailWindow.h"
#include "details/DetailWindowManager.h"
#include "platform/Allocator.h"
#include "store/ImageCache.h"
#include "support/DetailPictures.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"
#include "support/WatchedApps.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace tanvill;

namespace {

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

const QString kDescription
    = QStringLiteral(
          "A companion for every trip: maps, routes, places saved for later and notes shared with "
          "friends. Works offline once a region is downloaded.\n\n")
          .repeated(6);

// Room for every picture of the benchmark.
constexpr qint64 kWholeBudgetBytes = 1LL << 30;
constexpr int kApps = 12;

struct Bench
{
    explicit Bench(qint64 imageBudgetBytes)
    {
        services.imageCache().setMemoryBudgetBytes(imageBudgetBytes);
        test::servePictures(server);
        list = services.listsController().createList(QStringLiteral("Bench"));
    }

    App *watchWithScreenshots(int serial)
    {
        CachedApp result
            = test::storeResult({ QStringLiteral("Bench App %1").arg(serial) }, serial);
        result.description = kDescription;
        result.iconUrl = test::iconUrl(server, serial);
        for (int i = 0; i < 10; ++i)
            result.screenshotUrls << test::screenshotUrl(server, QSize(640, 1136), serial * 10 + i);
        App *app = services.listsController().addApp({ result }, list).front();
        test::warmPictures(services.imageCache(), app, 20000);
        return app;
    }

    test::TestServices services;
    test::FakeHttpServer server;
    List *list = nullptr;
};

// Wall milliseconds from the open call to the window painted.
double timeOpen(DetailWindowManager &manager, AppSummaryController *controller)
{
    QElapsedTimer timer;
    timer.start();
    manager.openDetailWindowWithSummaryController(controller);
    DetailWindow *window = manager.windowForIdentifier(controller->app()->identifier());
    window->repaint();
    return double(timer.nsecsElapsed()) / 1e6;
}

void closeAll(DetailWindowManager &manager)
{
    const auto windows = manager.windowControllers();
    for (const auto &[identifier, window] : windows) {
        if (window)
            window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// Opens a window for every application but the first, once every picture they ask for has
// come, and closes them again; prints the memory each window adds beyond what the image cache
// holds, and what is left once they are closed.
void measureMemory(Bench &bench, DetailWindowManager &manager,
                   const std::vector<std::shared_ptr<AppSummaryController>> &controllers,
                   const QString &suffix)
{
    ImageCache &cache = bench.services.imageCache();
    const auto cacheMegabytes = [&] {
        return double(cache.memoryCostBytes()) / (1 << 20);
    };
    const double cacheBefore = cacheMegabytes();
    const double before = residentMegabytes();
    for (int i = 1; i < kApps; ++i)
        timeOpen(manager, controllers[size_t(i)].get());
    test::waitFor([&] { return cache.loadingLinkCount() == 0; }, 20000);
    test::drainEvents();
    const double held = residentMegabytes() - before - (cacheMegabytes() - cacheBefore);
    print(qPrintable("detail_window_memory_each" + suffix), held / (kApps - 1), "MB");
    print(qPrintable("detail_windows_open" + suffix), double(manager.windowControllers().size()),
          "windows");
    closeAll(manager);
    test::drainEvents();
    print(qPrintable("detail_windows_memory_left_after_closing_all" + suffix),
          residentMegabytes() - before - (cacheMegabytes() - cacheBefore), "MB");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    test::IsolatedHome home;
    setUpAllocator();
    QApplication application(argc, argv);
    applyDarkStyle(application);

    // The second figure of memory, from a process whose memory nothing else used before.
    const bool smallImageCache = argc > 1 && QByteArray(argv[1]) == "--small-image-cache";
    Bench bench(smallImageCache ? ImageCache::kDefaultMemoryBudgetBytes : kWholeBudgetBytes);
    UserDefaults &settings = bench.services.settings();
    settings.setValue(QStringLiteral("multipleAppWindows"), true);
    std::vector<std::shared_ptr<AppSummaryController>> controllers;
    for (int i = 0; i < kApps; ++i)
        controllers.push_back(AppSummaryController::create(bench.watchWithScreenshots(i + 1)));

    DetailWindowManager manager(bench.services.listsController(), settings);
    // Fonts, style and drawings warm.
    timeOpen(manager, controllers[0].get());
    closeAll(manager);
    if (smallImageCache) {
        measureMemory(bench, manager, controllers, QStringLiteral("_small_image_cache"));
        return 0;
    }

    std::vector<double> opens;
    for (int round = 0; round < 3; ++round) {
        for (int i = 1; i < kApps; ++i) {
            opens.push_back(timeOpen(manager, controllers[size_t(i)].get()));
            closeAll(manager);
        }
    }
    print("detail_open_first_paint_median", median(opens), "ms");
    print("detail_open_first_paint_max", *std::max_element(opens.begin(), opens.end()), "ms");

    settings.setValue(QStringLiteral("multipleAppWindows"), false);
    timeOpen(manager, controllers[0].get());
    std::vector<double> reuses;
    for (int round = 0; round < 3; ++round) {
        for (int i = 1; i < kApps; ++i)
            reuses.push_back(timeOpen(manager, controllers[size_t(i)].get()));
    }
    print("detail_shared_window_switch_median", median(reuses), "ms");

    DetailWindow *window = manager.windowControllers().begin()->second;
    std::vector<double> resizes;
    for (int step = 0; step < 20; ++step) {
        QElapsedTimer timer;
        timer.start();
        window->resize(step % 2 ? 900 : 600, 820);
        QApplication::processEvents();
        window->repaint();
        resizes.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    print("detail_resize_relayout_median", median(resizes), "ms");
    closeAll(manager);

    settings.setValue(QStringLiteral("multipleAppWindows"), true);
    measureMemory(bench, manager, controllers, QString());

    QProcess small;
    small.setProcessChannelMode(QProcess::ForwardedChannels);
    small.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--small-image-cache") });
    small.waitForFinished(120000);
    return small.exitCode();
}

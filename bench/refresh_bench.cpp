// One full refresh of 2,000 watched applications against a loopback store that answers each
// look-up after 10 ms: the wall time, its ratio to the ideal of five look-ups at a time, and
// how long the UI thread was busy per applied result. The list is shown sorted by price and
// grouped by platform, and the new prices turn its order round, so that the UI thread's time
// includes putting every row in its new place.

#include "CountingTable.h"

#include "core/ListRepresentation.h"
#include "core/ListsController.h"
#include "platform/HttpClient.h"
#include "platform/UserDefaults.h"
#include "store/CachedApp.h"
#include "support/FakeStore.h"
#include "support/TestServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

using namespace tanvill;

namespace {

constexpr int kApps = 2000;
constexpr int kAnswerDelayMs = 10;
constexpr int kConcurrentLookUps = 5;

CachedApp watchedApp(int number)
{
    CachedApp app;
    app.identifier = QString::number(100000 + number);
    app.name = QStringLiteral("App %1").arg(number);
    app.description = app.name + QStringLiteral(" does things.");
    app.version = QStringLiteral("1.0");
    app.storeUrl = QStringLiteral("https://store.example/app/id") + app.identifier;
    app.developer = QStringLiteral("Maker");
    app.rating = 4.0f;
    app.price = 0.99;
    app.iconUrl = QStringLiteral("https://store.example/icon/") + app.identifier + ".png";
    app.screenshotUrls = { QStringLiteral("https://store.example/1.png") };
    app.currencyCode = QStringLiteral("USD");
    return app;
}

// CPU time of the calling thread: the UI thread's busy time, whatever the other threads do.
qint64 threadCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    test::TestServices services { { .listsController = false } };
    test::FakeStore store;
    store.server().setDefaultDelayMs(kAnswerDelayMs);

    std::vector<CachedApp> results;
    for (int i = 0; i < kApps; ++i) {
        results.push_back(watchedApp(i));
        // Every answer brings a new price, so that every result is written: the later the
        // application was added, the cheaper it becomes.
        test::FakeStoreApp answer;
        answer.identifier = results.back().identifier;
        answer.name = results.back().name;
        answer.price = (199 + kApps - i) / 100.0;
        store.setLookup(answer);
    }
    {
        ListsController filling(ListsController::defaultStorePath());
        filling.createList(QStringLiteral("Watched"));
        filling.addApp(results);
        filling.saveWithAsync(false);
    }
    // Refresh from a store opened afresh, as after a start of the application.
    ListsController &controller = services.reopenListsController();
    const std::vector<App *> apps = controller.apps();
    ListRepresentation shown(controller, 0, ListGrouping::Platform, ListSorting::Price);
    bench::CountingTable table;
    shown.setDelegate(&table);

    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = threadCpuNs();
    bool done = false;
    size_t updates = 0;
    controller.reloadApps(
        apps, [&](std::optional<Error> error, std::optional<std::vector<AppUpdate>> changes) {
            if (error)
                std::fprintf(stderr, "refresh failed: %s\n", qPrintable(error->description));
            updates = changes ? changes->size() : 0;
            done = true;
        });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double wallSeconds = double(clock.nsecsElapsed()) / 1e9;
    const double busyMs = double(threadCpuNs() - cpuBefore) / 1e6;
    controller.saveWithAsync(false);

    const double idealSeconds = double(kApps) / kConcurrentLookUps * kAnswerDelayMs / 1000.0;
    std::printf("refresh_apps %d count\n", kApps);
    std::printf("refresh_updates %zu count\n", updates);
    std::printf("refresh_wall_time %.3f s\n", wallSeconds);
    std::printf("refresh_ideal_time %.3f s\n", idealSeconds);
    std::printf("refresh_ratio_to_ideal %.3f ratio\n", wallSeconds / idealSeconds);
    std::printf("refresh_ui_busy_per_result %.4f ms\n", busyMs / double(kApps));
    std::printf("refresh_row_changes_told %d count\n", table.calls);
    std::printf("refresh_max_concurrent_lookups %d count\n",
                store.server().maxConcurrentConnections());
    return updates == size_t(kApps) ? 0 : 1;
}

// Figures of the object store at the size of a large collection: 10,000 applications in 50
// lists, 5 screenshots each, store descriptions of 2-4 KB made from real store replies.
// Prints the open time, the time a save blocks the UI thread, and the resident memory.
// Then the same for a store ten times larger (50,000 applications in 100 lists): opening it,
// and refreshing every application from a store that answers each look-up after 10 ms, with
// the longest time the UI thread was blocked, the refresh's ratio to the ideal of five
// look-ups at a time (beside the ratio of a refresh of the usual size with the same answers)
// and the peak memory. During that refresh every list is shown sorted by price and grouped by
// developer, and the new prices put each list in another order. The store's answers come from
// a child process, so that the figures of memory are the application's alone.

#include "CountingTable.h"
#include "SampleApps.h"
#include "UiBlockWatch.h"

#include "core/ListRepresentation.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "platform/Allocator.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/FakeHttpServer.h"
#include "support/TestServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace tanvill;

namespace {

using bench::kHuge;
using bench::kLarge;
using bench::kShots;
using bench::StoreSize;

constexpr int kAnswerDelayMs = 10;
constexpr int kConcurrentLookUps = 5;
// The size of the refresh in refresh_bench.
constexpr int kUsualRefresh = 2000;

QStringList realDescriptions()
{
    QStringList texts;
    QDir folder(test::fixturesDir() + QStringLiteral("/store/search"));
    for (const QString &name : folder.entryList({ QStringLiteral("*.json") })) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonArray results = QJsonDocument::fromJson(file.readAll())
                                       .object()
                                       .value(QStringLiteral("results"))
                                       .toArray();
        for (const QJsonValue &result : results) {
            const QString text = result.toObject().value(QStringLiteral("description")).toString();
            if (!text.isEmpty())
                texts << text;
        }
    }
    if (texts.isEmpty())
        texts << QStringLiteral("A capable app for every day. ").repeated(20);
    return texts;
}

// The description of application `i`: 2-4 KB of real store text, the same each time.
QString sampleDescription(const QStringList &texts, int i)
{
    const int wanted = 2048 + (i * 7919) % 2049;
    QString description;
    for (int next = i; description.size() < wanted; ++next)
        description += texts[next % texts.size()] + QLatin1Char('\n');
    description.truncate(wanted);
    return description;
}

QString iconUrl(int i)
{
    return QStringLiteral("https://is1-ssl.mzstatic.com/image/thumb/%1/512x512bb.jpg").arg(i);
}

QString screenshotUrl(int i, int shot)
{
    return QStringLiteral("https://is1-ssl.mzstatic.com/image/thumb/%1/shot%2.png")
        .arg(i)
        .arg(shot);
}

// Runs in a child process, so that building the store leaves nothing in the measured one.
void buildStore(const QString &path, StoreSize size)
{
    const QStringList texts = realDescriptions();
    ObjectStore store;
    if (store.open(path).outcome != ObjectStore::OpenOutcome::Created)
        _exit(2);
    ObjectContext &context = store.context();
    const std::vector<List *> lists
        = bench::insertSampleLists(context, size.lists, QStringLiteral("yellow"));
    for (int i = 0; i < size.apps; ++i) {
        App *app = context.insertApp(lists[std::size_t(i % size.lists)]);
        bench::fillSampleApp(app, i);
        app->setIconUrl(iconUrl(i));
        app->setAppStoreDescription(sampleDescription(texts, i));
        for (int shot = 0; shot < kShots; ++shot)
            context.insertScreenshot(app)->setUrl(screenshotUrl(i, shot));
    }
    if (store.save(false))
        _exit(3);
}

// The store's look-up service for the applications of buildStore: every answer repeats what
// is stored but for a new price, so that every result is written. The applications of one
// list all have the same price at first; the new prices spread them over twenty, so that a
// list sorted by price takes another order. Runs until killed.
int serveLookUps()
{
    const QStringList texts = realDescriptions();
    test::FakeHttpServer server;
    server.setDefaultDelayMs(kAnswerDelayMs);
    server.setFallbackHandler([texts](const test::FakeRequest &request) {
        if (request.path != QLatin1String("/lookup"))
            return test::FakeResponse::withStatus(404);
        const qint64 identifier = request.query.queryItemValue(QStringLiteral("id")).toLongLong();
        const int i = int(identifier - 300000000);
        QStringList screenshots;
        for (int shot = 0; shot < kShots; ++shot)
            screenshots << screenshotUrl(i, shot);
        const QJsonObject result {
            { "kind", "software" },
            { "trackId", identifier },
            { "trackName", QStringLiteral("Application number %1").arg(i) },
            { "description", sampleDescription(texts, i) },
            { "trackViewUrl", QStringLiteral("https://apps.apple.com/app/id%1").arg(i) },
            { "artistName", QStringLiteral("Developer %1").arg(i % 700) },
            { "averageUserRating", 3.5 },
            { "price", (149 + ((i / kHuge.lists) % 20) * 100) / 100.0 },
            { "artworkUrl512", iconUrl(i) },
            { "screenshotUrls", QJsonArray::fromStringList(screenshots) },
            { "version", QStringLiteral("2.%1").arg(i % 13) },
            { "currency", "USD" },
        };
        const QJsonObject reply { { "resultCount", 1 }, { "results", QJsonArray { result } } };
        return test::FakeResponse::json(QJsonDocument(reply).toJson(QJsonDocument::Compact));
    });
    std::printf("%d\n", server.port());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

long statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').front().toLong();
    }
    return -1;
}

long residentKilobytes()
{
    return statusKilobytes("VmRSS:");
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

void print(const QString &name, double value, const char *unit)
{
    print(qPrintable(name), value, unit);
}

bool makeStore(const QString &path, StoreSize size)
{
    const pid_t builder = fork();
    if (builder == 0) {
        buildStore(path, size);
        _exit(0);
    }
    int status = 0;
    waitpid(builder, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double idealSeconds(int apps)
{
    return double(apps) / kConcurrentLookUps * kAnswerDelayMs / 1000.0;
}

struct Refresh
{
    double wallSeconds = 0;
    double longestBlockMs = 0;
    std::size_t updates = 0;
};

// Refreshes the applications and saves what changed, as the updater does.
Refresh refresh(ListsController &controller, const std::vector<App *> &apps)
{
    Refresh figures;
    QElapsedTimer clock;
    clock.start();
    bool done = false;
    UiBlockWatch watch;
    controller.reloadApps(
        apps, [&](std::optional<Error> error, std::optional<std::vector<AppUpdate>> changes) {
            if (error)
                std::fprintf(stderr, "refresh failed: %s\n", qPrintable(error->description));
            figures.updates = changes ? changes->size() : 0;
            done = true;
        });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    figures.wallSeconds = double(clock.nsecsElapsed()) / 1e9;
    // The save the refresh started, waited for as the application waits for it, with the event
    // loop running, and what its outcome brings to the UI thread.
    while (controller.managedObjectContext()->hasChangesInFlight())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    figures.longestBlockMs = watch.longestMs();
    return figures;
}

// Opens the store as the application does, in the background, until its graph can be read.
double openMs(const QString &path, std::unique_ptr<ListsController> *controller, StoreSize size)
{
    QElapsedTimer timer;
    timer.start();
    auto store = std::make_unique<ObjectStore>();
    store->openInBackground(path);
    *controller = std::make_unique<ListsController>(std::move(store));
    (*controller)->takeOverStore();
    const std::size_t listCount = (*controller)->lists().size();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (listCount != std::size_t(size.lists)
        || (*controller)->apps().size() != std::size_t(size.apps)) {
        std::fprintf(stderr, "the store did not open whole\n");
        std::exit(1);
    }
    return elapsed;
}

void measureLargeStore(const QString &path)
{
    print("store_file_size", double(QFileInfo(path).size()) / (1024.0 * 1024.0), "MB");

    // The first open gives the memory figure; the time is the median of several opens, as
    // the machine may be busy.
    const long residentBefore = residentKilobytes();
    std::vector<double> openTimes;
    double residentAfterOpen = 0;
    for (int round = 0; round < 5; ++round) {
        std::unique_ptr<ListsController> opened;
        openTimes.push_back(openMs(path, &opened, kLarge));
        if (round == 0)
            residentAfterOpen = double(residentKilobytes()) / 1024.0;
    }
    std::sort(openTimes.begin(), openTimes.end());
    print("store_open_time_median", openTimes[openTimes.size() / 2], "ms");
    print("store_open_time_min", openTimes.front(), "ms");
    print("store_resident_memory_before_open", double(residentBefore) / 1024.0, "MB");
    print("store_resident_memory_after_open", residentAfterOpen, "MB");

    QElapsedTimer timer;
    ListsController controller(path);
    std::vector<App *> apps = controller.apps();
    std::vector<double> blocked;
    for (int i = 0; i < 200; ++i) {
        apps[std::size_t(i * 37 % kLarge.apps)]->setName(QStringLiteral("Renamed %1").arg(i));
        timer.restart();
        controller.saveWithAsync(true);
        blocked.push_back(double(timer.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
    }
    std::sort(blocked.begin(), blocked.end());
    print("store_async_save_ui_block_median", blocked[blocked.size() / 2], "ms");
    print("store_async_save_ui_block_max", blocked.back(), "ms");

    timer.restart();
    controller.saveWithAsync(false);
    apps.front()->setPrice(Decimal::fromUnits(199, 2));
    timer.restart();
    controller.saveWithAsync(false);
    print("store_sync_save_one_app", double(timer.nsecsElapsed()) / 1e6, "ms");

    timer.restart();
    qint64 characters = 0;
    for (const App *app : apps)
        characters += app->appStoreDescription().size();
    print("store_read_every_description", double(timer.nsecsElapsed()) / 1e6, "ms");
    print("store_resident_memory_after_reading_descriptions", double(residentKilobytes()) / 1024.0,
          "MB");
    print("store_description_characters", double(characters) / 1e6, "M");
}

void measureHugeStore(const QString &path)
{
    const QString prefix = QStringLiteral("store_%1_apps_").arg(kHuge.apps);
    print(prefix + "file_size", double(QFileInfo(path).size()) / (1024.0 * 1024.0), "MB");

    std::vector<double> openTimes;
    for (int round = 0; round < 3; ++round) {
        std::unique_ptr<ListsController> opened;
        openTimes.push_back(openMs(path, &opened, kHuge));
    }
    std::sort(openTimes.begin(), openTimes.end());
    print(prefix + "open_time_median", openTimes[openTimes.size() / 2], "ms");

    std::unique_ptr<ListsController> controller;
    openMs(path, &controller, kHuge);
    QCoreApplication::processEvents();
    print(prefix + "resident_memory_after_open", double(residentKilobytes()) / 1024.0, "MB");

    QProcess lookUps;
    lookUps.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    lookUps.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--serve-look-ups") });
    if (!lookUps.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the look-up service did not start\n");
        std::exit(1);
    }
    const int port = lookUps.readLine().trimmed().toInt();
    qputenv("TANVILL_STORE_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(port));

    // Every list in a table of its own: the rows of every application to keep in order. What
    // they do at the refresh's notice lies between the two observers around them.
    QObject observing;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    QElapsedTimer reordering;
    qint64 reorderingNs = 0;
    center.addObserver(ListsControllerDidReloadApps, &observing,
                       [&](const Notification &) { reordering.start(); });
    bench::CountingTable tables;
    std::vector<std::unique_ptr<ListRepresentation>> shown;
    for (const List *list : controller->lists()) {
        shown.push_back(std::make_unique<ListRepresentation>(
            *controller, list->index(), ListGrouping::Developer, ListSorting::Price));
        shown.back()->setDelegate(&tables);
    }
    center.addObserver(ListsControllerDidReloadApps, &observing,
                       [&](const Notification &) { reorderingNs += reordering.nsecsElapsed(); });

    // The usual size of a refresh first, with the same answers, for the ratio to compare with.
    std::vector<App *> apps = controller->apps();
    const Refresh usual = refresh(*controller, { apps.begin(), apps.begin() + kUsualRefresh });
    const Refresh whole = refresh(*controller, apps);
    lookUps.kill();
    lookUps.waitForFinished();

    print(prefix + "refresh_updates", double(whole.updates), "count");
    print(prefix + "refresh_wall_time", whole.wallSeconds, "s");
    print(prefix + "refresh_ideal_time", idealSeconds(kHuge.apps), "s");
    print(prefix + "refresh_ratio_to_ideal", whole.wallSeconds / idealSeconds(kHuge.apps), "ratio");
    print(QStringLiteral("store_%1_apps_refresh_ratio_to_ideal").arg(kUsualRefresh),
          usual.wallSeconds / idealSeconds(kUsualRefresh), "ratio");
    print(prefix + "refresh_longest_ui_block", whole.longestBlockMs, "ms");
    print(prefix + "refresh_row_changes_told", double(tables.calls), "count");
    print(prefix + "refresh_rows_reordering_ui_time", double(reorderingNs) / 1e6, "ms");
    print(prefix + "resident_memory_after_refresh", double(residentKilobytes()) / 1024.0, "MB");
    print(prefix + "resident_memory_peak", double(statusKilobytes("VmHWM:")) / 1024.0, "MB");
}

} // namespace

int main(int argc, char **argv)
{
    setUpAllocator();
    QCoreApplication application(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--serve-look-ups") == 0)
        return serveLookUps();
    test::TestServices services { { .listsController = false } };
    QTemporaryDir dir;
    const QString largePath = dir.path() + QStringLiteral("/large/Tanvill.sqlite");
    const QString hugePath = dir.path() + QStringLiteral("/huge/Tanvill.sqlite");
    if (!makeStore(largePath, kLarge) || !makeStore(hugePath, kHuge)) {
        std::fprintf(stderr, "building the stores failed\n");
        return 1;
    }
    measureLargeStore(largePath);
    measureHugeStore(hugePath);
    return 0;
}

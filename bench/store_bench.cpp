// Figures of the object store at the size of a large collection: 10,000 applications in 50
// lists, 5 screenshots each, store descriptions of 2-4 KB made from real store replies.
// Prints the open time, the time a save blocks the UI thread, and the resident memory.

#include "SampleApps.h"

#include "core/ListsController.h"
#include "platform/UserDefaults.h"
#include "support/TestServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace tanvill;

namespace {

constexpr int kLists = 50;
constexpr int kApps = 10000;
constexpr int kShots = 5;

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

// Runs in a child process, so that building the store leaves nothing in the measured one.
void buildStore(const QString &path)
{
    const QStringList texts = realDescriptions();
    std::mt19937 random(7);
    ObjectStore store;
    if (store.open(path).outcome != ObjectStore::OpenOutcome::Created)
        _exit(2);
    ObjectContext &context = store.context();
    const std::vector<List *> lists
        = bench::insertSampleLists(context, kLists, QStringLiteral("yellow"));
    std::uniform_int_distribution<int> length(2048, 4096);
    std::size_t next = 0;
    for (int i = 0; i < kApps; ++i) {
        App *app = context.insertApp(lists[std::size_t(i % kLists)]);
        bench::fillSampleApp(app, i);
        app->setIconUrl(
            QStringLiteral("https://is1-ssl.mzstatic.com/image/thumb/%1/512x512bb.jpg").arg(i));
        const int wanted = length(random);
        QString description;
        while (description.size() < wanted)
            description += texts[next++ % std::size_t(texts.size())] + QLatin1Char('\n');
        description.truncate(wanted);
        app->setAppStoreDescription(description);
        for (int shot = 0; shot < kShots; ++shot)
            context.insertScreenshot(app)->setUrl(
                QStringLiteral("https://is1-ssl.mzstatic.com/image/thumb/%1/shot%2.png")
                    .arg(i)
                    .arg(shot));
    }
    if (store.save(false))
        _exit(3);
}

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return -1;
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    test::TestServices services { { .listsController = false } };
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Tanvill.sqlite");

    const pid_t builder = fork();
    if (builder == 0) {
        buildStore(path);
        _exit(0);
    }
    int status = 0;
    waitpid(builder, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "building the store failed\n");
        return 1;
    }
    print("store_file_size", double(QFileInfo(path).size()) / (1024.0 * 1024.0), "MB");

    // The first open gives the memory figure; the time is the median of several opens, as
    // the machine may be busy.
    const long residentBefore = residentKilobytes();
    std::vector<double> openTimes;
    double residentAfterOpen = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        ListsController opened(path);
        const std::size_t listCount = opened.lists().size();
        openTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (listCount != kLists || opened.apps().size() != kApps) {
            std::fprintf(stderr, "the store did not open whole\n");
            return 1;
        }
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
        apps[std::size_t(i * 37 % kApps)]->setName(QStringLiteral("Renamed %1").arg(i));
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
    return 0;
}

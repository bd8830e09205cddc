// Figures of writing a store of 50,000 applications anew from memory, as the program does when
// its file was removed, replaced or emptied while it runs, and of keeping everything it holds in
// a file of its own, as it does at quitting with changes that cannot be written. Prints the
// longest time the UI thread went without running its event loop while the store was written
// anew, how long that took, and how long keeping took (the UI thread waits for that one: the
// program is quitting).

#include "SampleApps.h"
#include "UiBlockWatch.h"

#include "core/ListsController.h"
#include "platform/Allocator.h"
#include "support/TestServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

using namespace tanvill;

namespace {

using bench::kHuge;
using bench::kShots;

void print(const char *name, double value, const char *unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

// Runs in a child process, so that building the store leaves nothing in the measured one.
void buildStore(const QString &path)
{
    ObjectStore store;
    if (store.open(path).outcome != ObjectStore::OpenOutcome::Created)
        _exit(2);
    ObjectContext &context = store.context();
    const std::vector<List *> lists
        = bench::insertSampleLists(context, kHuge.lists, QStringLiteral("yellow"));
    const QString text = QStringLiteral("A capable app for every day, with many features. ");
    for (int i = 0; i < kHuge.apps; ++i) {
        App *app = context.insertApp(lists[std::size_t(i % kHuge.lists)]);
        bench::fillSampleApp(app, i);
        app->setAppStoreDescription(text.repeated(40 + i % 40));
        for (int shot = 0; shot < kShots; ++shot)
            context.insertScreenshot(app)->setUrl(
                QStringLiteral("https://example.invalid/%1/shot%2.png").arg(i).arg(shot));
    }
    if (store.save(false))
        _exit(3);
}

bool makeStore(const QString &path)
{
    const pid_t builder = fork();
    if (builder == 0) {
        buildStore(path);
        _exit(0);
    }
    int status = 0;
    waitpid(builder, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    setUpAllocator();
    QCoreApplication application(argc, argv);
    test::TestServices services { { .listsController = false } };
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/huge/Tanvill.sqlite");
    if (!makeStore(path)) {
        std::fprintf(stderr, "building the store failed\n");
        return 1;
    }
    ListsController controller(path);
    if (controller.apps().size() != std::size_t(kHuge.apps)) {
        std::fprintf(stderr, "the store did not open whole\n");
        return 1;
    }

    // The file goes while the program runs; the next change finds it gone.
    QFile::remove(path);
    QElapsedTimer clock;
    clock.start();
    {
        UiBlockWatch watch;
        controller.apps().front()->setNotes(QStringLiteral("after the file went"));
        controller.saveWithAsync(true);
        while (services.alerts().errors.empty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        print("rewrite_50000_apps_wall_time", double(clock.nsecsElapsed()) / 1e6, "ms");
        // The watch's next tick counts the block that ended with the rewrite.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 20)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        print("rewrite_50000_apps_longest_ui_block", watch.longestMs(), "ms");
    }
    if (!QFile::exists(path)) {
        std::fprintf(stderr, "the store was not written anew\n");
        return 1;
    }

    controller.apps().back()->setNotes(QStringLiteral("kept"));
    clock.restart();
    QString error;
    const std::optional<QString> kept = controller.objectStore().keepUnsavedChanges(&error);
    print("keep_50000_apps_time", double(clock.nsecsElapsed()) / 1e6, "ms");
    if (!kept) {
        std::fprintf(stderr, "keeping failed: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

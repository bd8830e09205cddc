// Start-up time: from starting the program to the first paint of its main window, with a
// store of 10,000 applications in 50 lists and with an empty store (one list without
// applications, so that the main window is what opens), measured side by side in one run.
// Each figure is the median of several starts, taken in turns.

#include "SampleApps.h"

#include "core/ListsController.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace tanvill;

namespace {

constexpr int kLists = 50;
constexpr int kApps = 10000;
constexpr int kShots = 5;
constexpr int kRounds = 7;

// A fresh user whose store holds `apps` applications spread over the lists.
struct User
{
    explicit User(int apps)
    {
        const QString dataFolder = home.filePath(".local/share/com.tanvill.Tanvill");
        QDir().mkpath(dataFolder);
        QDir().mkpath(home.filePath("runtime"));
        ObjectStore store;
        store.open(dataFolder + "/Tanvill.sqlite");
        ObjectContext &context = store.context();
        const int listCount = apps > 0 ? kLists : 1;
        const std::vector<List *> lists
            = bench::insertSampleLists(context, listCount, QStringLiteral("blue"));
        const QString description = QStringLiteral("A capable app for every day. ").repeated(100);
        for (int i = 0; i < apps; ++i) {
            App *app = context.insertApp(lists[std::size_t(i % listCount)]);
            bench::fillSampleApp(app, i);
            app->setIconUrl(QStringLiteral("http://127.0.0.1:9/icon/%1.png").arg(i));
            app->setAppStoreDescription(description);
            for (int shot = 0; shot < kShots; ++shot)
                context.insertScreenshot(app)->setUrl(
                    QStringLiteral("http://127.0.0.1:9/shot/%1/%2.png").arg(i).arg(shot));
        }
        store.save(false);

        // No refresh at start: the figure is the window's, not the network's.
        const QString configFolder = home.filePath(".config/com.tanvill.Tanvill");
        QDir().mkpath(configFolder);
        UserDefaults settings(configFolder + "/Tanvill.conf");
        settings.setValue(QStringLiteral("AutomaticallyUpdateApps"), false);
        settings.setValue(QStringLiteral("selectedList"), 0);
        settings.sync();
    }

    // Milliseconds from starting the program to its "Main window painted" line; none when it
    // never came.
    std::optional<double> start() const
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.filePath(".local/share"));
        environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
        environment.insert("XDG_CACHE_HOME", home.filePath(".cache"));
        environment.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TANVILL_TRACE_STARTUP", "1");
        environment.insert("TANVILL_STORE_URL", "http://127.0.0.1:9");
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::SeparateChannels);
        QElapsedTimer timer;
        timer.start();
        program.start(QStringLiteral(TANVILL_EXECUTABLE), {});
        QByteArray output;
        std::optional<double> painted;
        while (timer.elapsed() < 30000 && program.state() != QProcess::NotRunning) {
            program.waitForReadyRead(50);
            output += program.readAllStandardOutput();
            if (output.contains("Main window painted")) {
                painted = double(timer.nsecsElapsed()) / 1e6;
                break;
            }
        }
        program.kill();
        program.waitForFinished(5000);
        return painted;
    }

    QTemporaryDir home;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s %.1f %s\n", name, value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const User empty(0);
    const User full(kApps);
    std::vector<double> emptyTimes;
    std::vector<double> fullTimes;
    // A first start of each warms the disk cache and is not counted.
    if (!empty.start() || !full.start()) {
        std::fprintf(stderr, "the main window never painted\n");
        return 1;
    }
    for (int round = 0; round < kRounds; ++round) {
        const std::optional<double> a = empty.start();
        const std::optional<double> b = full.start();
        if (!a || !b) {
            std::fprintf(stderr, "the main window never painted\n");
            return 1;
        }
        emptyTimes.push_back(*a);
        fullTimes.push_back(*b);
    }
    const double emptyMedian = median(emptyTimes);
    const double fullMedian = median(fullTimes);
    print("startup_to_main_window_paint_empty_store", emptyMedian, "ms");
    print("startup_to_main_window_paint_10000_apps", fullMedian, "ms");
    print("startup_10000_apps_vs_empty_store", fullMedian / emptyMedian, "x");
    return 0;
}

// Start-up time: from starting the program to the first paint of its main window, with a
// store of 10,000 applications in 50 lists, one of 50,000 in 100 lists and an empty store
// (one list without applications, so that the main window is what opens), measured side by
// side in one run. Each figure is the median of several starts, taken in turns. Then one
// start of each is watched for two seconds after its first paint: the longest time its UI
// thread went without running the event loop, and its resident memory then and at its peak.
// Other builds of the program given as arguments are timed in the same turns, for comparing
// two builds under the same load: their figures end in _2, _3 and so on.

#include "SampleApps.h"

#include "core/ListsController.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace tanvill;

namespace {

using bench::kHuge;
using bench::kLarge;
using bench::kShots;
using bench::StoreSize;

constexpr int kRounds = 7;
// One list without applications, so that the main window opens.
constexpr StoreSize kEmpty { 1, 0 };

// What the trace of a watched start said.
struct Watched
{
    double longestBlockMs = 0;
    double residentMegabytes = 0;
    double peakMegabytes = 0;
};

// A fresh user whose store holds the given lists and applications.
struct User
{
    explicit User(StoreSize size)
    {
        const QString dataFolder = home.filePath(".local/share/com.tanvill.Tanvill");
        QDir().mkpath(dataFolder);
        // Private, as a runtime folder must be: Qt would otherwise use a shared one, where the
        // program would find any Tanvill already running and hand over to it.
        QDir().mkpath(home.filePath("runtime"));
        QFile::setPermissions(home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ObjectStore store;
        store.open(dataFolder + "/Tanvill.sqlite");
        ObjectContext &context = store.context();
        const std::vector<List *> lists
            = bench::insertSampleLists(context, size.lists, QStringLiteral("blue"));
        const QString description = QStringLiteral("A capable app for every day. ").repeated(100);
        for (int i = 0; i < size.apps; ++i) {
            App *app = context.insertApp(lists[std::size_t(i % size.lists)]);
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

    // Starts the program and reads its output until `until` says it has enough; the
    // milliseconds from the start to its "Main window painted" line, none when it never came.
    std::optional<double> run(const QString &executable,
                              const std::function<bool(const QByteArray &)> &until,
                              QByteArray *output) const
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
        program.start(executable, {});
        std::optional<double> painted;
        while (timer.elapsed() < 30000 && program.state() != QProcess::NotRunning) {
            program.waitForReadyRead(50);
            *output += program.readAllStandardOutput();
            if (!painted && output->contains("Main window painted"))
                painted = double(timer.nsecsElapsed()) / 1e6;
            if (painted && until(*output))
                break;
        }
        program.kill();
        program.waitForFinished(5000);
        return painted;
    }

    std::optional<double> start(const QString &executable) const
    {
        QByteArray output;
        return run(
            executable, [](const QByteArray &) { return true; }, &output);
    }

    // A start watched after its first paint.
    std::optional<Watched> watch(const QString &executable) const
    {
        QByteArray output;
        const auto traced = [](const QByteArray &text) {
            return text.contains("Resident memory");
        };
        if (!run(executable, traced, &output) || !traced(output))
            return std::nullopt;
        const auto number = [&](const char *pattern) {
            const QRegularExpressionMatch match
                = QRegularExpression(QLatin1String(pattern)).match(QString::fromUtf8(output));
            return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
        };
        return Watched { number("first paint: ([0-9.]+) ms"),
                         number("Resident memory: ([0-9.]+) MB"), number("peak ([0-9.]+) MB") };
    }

    QTemporaryDir home;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const QString &name, double value, const char *unit)
{
    std::printf("%s %.1f %s\n", qPrintable(name), value, unit);
    std::fflush(stdout);
}

int fail()
{
    std::fprintf(stderr, "the main window never painted\n");
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QStringList executables { QStringLiteral(TANVILL_EXECUTABLE) };
    executables += QCoreApplication::arguments().mid(1);
    const std::vector<std::pair<QString, std::unique_ptr<User>>> users = [] {
        std::vector<std::pair<QString, std::unique_ptr<User>>> made;
        made.emplace_back(QStringLiteral("empty_store"), std::make_unique<User>(kEmpty));
        for (const StoreSize size : { kLarge, kHuge })
            made.emplace_back(QStringLiteral("%1_apps").arg(size.apps),
                              std::make_unique<User>(size));
        return made;
    }();

    // times[executable][user]
    std::vector<std::vector<std::vector<double>>> times(
        std::size_t(executables.size()), std::vector<std::vector<double>>(users.size()));
    // A first start of each warms the disk cache and is not counted.
    for (const QString &executable : executables) {
        for (const auto &[name, user] : users) {
            if (!user->start(executable))
                return fail();
        }
    }
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t e = 0; e < std::size_t(executables.size()); ++e) {
            for (std::size_t u = 0; u < users.size(); ++u) {
                const std::optional<double> time
                    = users[u].second->start(executables[qsizetype(e)]);
                if (!time)
                    return fail();
                times[e][u].push_back(*time);
            }
        }
    }

    for (std::size_t e = 0; e < std::size_t(executables.size()); ++e) {
        const QString suffix = e == 0 ? QString() : QStringLiteral("_%1").arg(e + 1);
        const double empty = median(times[e][0]);
        for (std::size_t u = 0; u < users.size(); ++u) {
            const double time = median(times[e][u]);
            print("startup_to_main_window_paint_" + users[u].first + suffix, time, "ms");
            if (u > 0)
                print("startup_" + users[u].first + "_vs_empty_store" + suffix, time / empty, "x");
        }
        for (std::size_t u = 1; u < users.size(); ++u) {
            const std::optional<Watched> watched
                = users[u].second->watch(executables[qsizetype(e)]);
            if (!watched) {
                std::fprintf(stderr, "%s says nothing after its first paint\n",
                             qPrintable(executables[qsizetype(e)]));
                continue;
            }
            const QString name = users[u].first + suffix;
            print("startup_longest_ui_block_after_paint_" + name, watched->longestBlockMs, "ms");
            print("startup_resident_memory_" + name, watched->residentMegabytes, "MB");
            print("startup_peak_memory_" + name, watched->peakMegabytes, "MB");
        }
    }
    return 0;
}

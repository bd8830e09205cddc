#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/Identity.h"
#include "platform/MainQueue.h"
#include "platform/RegularFile.h"
#include "platform/SharedInstance.h"
#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include <sys/stat.h>

using namespace tanvill;

TEST(MainQueue, WorkFromAnyThreadRunsOnTheUiThreadInOrder)
{
    QStringList order;
    bool allOnMain = true;
    QThread *worker = QThread::create([&] {
        for (int i = 0; i < 5; ++i) {
            MainQueue::async([&, i] {
                allOnMain = allOnMain && MainQueue::isMainThread();
                order << QString::number(i);
            });
        }
    });
    worker->start();
    worker->wait();
    delete worker;
    ASSERT_TRUE(test::waitFor([&] { return order.size() == 5; }));
    EXPECT_EQ(order.join(""), "01234");
    EXPECT_TRUE(allOnMain);
}

TEST(MainQueue, AsyncNeverRunsSynchronously)
{
    bool ran = false;
    MainQueue::async([&] { ran = true; });
    EXPECT_FALSE(ran);
    test::drainEvents();
    EXPECT_TRUE(ran);
}

TEST(Delay, RunsOnceAfterTheIntervalAndClampsBadIntervals)
{
    QElapsedTimer timer;
    timer.start();
    int calls = 0;
    qint64 elapsed = 0;
    delay(0.05, [&] {
        ++calls;
        elapsed = timer.elapsed();
    });
    int badCalls = 0;
    delay(-1, [&] { ++badCalls; });
    delay(std::numeric_limits<double>::quiet_NaN(), [&] { ++badCalls; });
    ASSERT_TRUE(test::waitFor([&] { return calls == 1 && badCalls == 2; }));
    EXPECT_GE(elapsed, 45);
}

TEST(AlertPresenter, RecordingPresenterKeepsAlertsAndAnswersFromItsQueue)
{
    RecordingAlertPresenter recorder;
    SharedRegistration<AlertPresenter> shared(&recorder);
    recorder.preparedAnswers.push_back({ 1, true });
    AlertAnswer answer = AlertPresenter::current().runModal({});
    EXPECT_EQ(answer.buttonIndex, 1);
    EXPECT_TRUE(answer.suppressionChecked);
    EXPECT_EQ(AlertPresenter::current().runModal({}).buttonIndex, 0);
    AlertPresenter::current().presentError({ Error::domainFor("ListsController"), 4 });
    ASSERT_EQ(recorder.errors.size(), 1u);
    EXPECT_EQ(recorder.errors[0].domain, "com.tanvill.Tanvill.ListsController");
}

TEST(AlertPresenter, WithoutADisplayQuestionsAreAnsweredWithTheCancellingButton)
{
    ConsoleAlertPresenter console;
    Alert question;
    question.buttons = { "Yes", "No" };
    EXPECT_EQ(console.runModal(question).buttonIndex, 1);
    question.buttons = { "Delete", "Keep", "Cancel" };
    EXPECT_EQ(console.runModal(question).buttonIndex, 2);
    question.buttons = { "No", "Yes" };
    question.cancelButton = 0;
    EXPECT_EQ(console.runModal(question).buttonIndex, 0) << "a question that cancels with No";
    EXPECT_EQ(console.runModal({}).buttonIndex, 0) << "the one OK button";
    EXPECT_FALSE(console.runModal({}).answered) << "nobody may have read it";

    // Errors are dismissed with their first option; answers come after the call.
    std::optional<int> chosen;
    Error error { Error::domainFor("ListsController"), 4 };
    error.recoveryOptions = { "OK", "Request Support" };
    console.presentError(error, nullptr,
                         [&](const AlertAnswer &answer) { chosen = answer.buttonIndex; });
    EXPECT_FALSE(chosen);
    ASSERT_TRUE(test::waitFor([&] { return chosen.has_value(); }));
    EXPECT_EQ(*chosen, 0);
}

TEST(SharedInstance, RegistrationsNestAndEndWithTheirOwner)
{
    EXPECT_EQ(SharedInstance<Analytics>::find(), nullptr);
    {
        SharedOwner<Analytics> outer;
        Analytics &first = outer.reset(std::make_unique<Analytics>());
        EXPECT_EQ(&Analytics::shared(), &first);
        {
            Analytics second;
            SharedRegistration<Analytics> inner(&second);
            EXPECT_EQ(&Analytics::shared(), &second);
        }
        EXPECT_EQ(&Analytics::shared(), &first);
        outer.reset();
        EXPECT_EQ(SharedInstance<Analytics>::find(), nullptr);
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(Analytics::shared(), "Analytics::shared");
}

TEST(RegularFile, TheProgramsOwnFilesNeverWaitOnWhatStandsInTheirPlace)
{
    test::IsolatedHome home;
    const QString folder = applicationFolder(QStandardPaths::GenericDataLocation);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString log = folder + "/analytics.jsonl";
    const QString settings = home.path() + "/Tanvill.conf";
    // FIFOs nobody writes to or reads from: opening them would block for ever.
    for (const QString &path : { log, settings })
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    Analytics analytics;
    analytics.track("Create List");
    EXPECT_EQ(analytics.eventNames(), QStringList { "Create List" });
    EXPECT_FALSE(readRegularFile(log, 1024));

    // Settings start afresh, with what stood in their place moved aside.
    {
        UserDefaults defaults(settings);
        defaults.setValue("selectedList", 2);
    }
    EXPECT_EQ(UserDefaults(settings).integer("selectedList", 0), 2);
    EXPECT_EQ(QDir(home.path()).entryList({ "Tanvill.unreadable-*.conf" }, QDir::System).size(), 1);
}

TEST(Analytics, EventsAreRecordedInOrder)
{
    test::IsolatedHome home;
    Analytics analytics;
    analytics.track("Create List");
    analytics.track("Toggle AutomaticallyUpdateApps", { { "enabled", true } });
    EXPECT_EQ(analytics.eventNames(),
              QStringList({ "Create List", "Toggle AutomaticallyUpdateApps" }));
    EXPECT_TRUE(analytics.events().back().properties.value("enabled").toBool());
    // And in the file, in the same order.
    const QString path
        = applicationFolder(QStandardPaths::GenericDataLocation) + "/analytics.jsonl";
    ASSERT_TRUE(test::waitFor([&] {
        const QList<QByteArray> lines = readRegularFile(path, 4096).value_or("").split('\n');
        return lines.size() == 3 && lines[0].contains("Create List")
            && lines[1].contains(R"("properties":{"enabled":true})");
    }));
}

TEST(Analytics, AStalledDiskHoldsUpNeitherTheUiThreadNorTheEndAndTheFileMissesOnlyAFullQueuesEvents)
{
    static std::mutex logged;
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &line) {
              std::lock_guard lock(logged);
              warnings << line;
          });
    // A disk whose writes wait while it is frozen, as those to a frozen file system do.
    struct Disk
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool frozen = true;
        int writes = 0;
        QList<QByteArray> written;
    };
    const auto disk = std::make_shared<Disk>();
    const auto until = [&](const std::function<bool()> &condition) {
        std::unique_lock lock(disk->mutex);
        return disk->changed.wait_for(lock, std::chrono::seconds(10), condition);
    };
    const auto freeze = [&](bool frozen) {
        std::lock_guard lock(disk->mutex);
        disk->frozen = frozen;
        disk->changed.notify_all();
    };
    auto analytics = std::make_unique<Analytics>([disk](const QString &, const QByteArray &bytes) {
        std::unique_lock lock(disk->mutex);
        ++disk->writes;
        disk->changed.notify_all();
        // Not for ever: a test waiting for the writer by mistake fails instead of hanging.
        disk->changed.wait_for(lock, std::chrono::seconds(30), [&] { return !disk->frozen; });
        disk->written << bytes;
        return true;
    });
    analytics->track("Create List");
    ASSERT_TRUE(until([&] { return disk->writes == 1; }));

    // The UI thread records on while the writer waits, past what the queue holds.
    const int queued = int(Analytics::kMaxQueuedEvents);
    for (int n = 0; n < queued + 5; ++n)
        analytics->track("Add App", { { "n", n } });
    EXPECT_EQ(analytics->events().back().properties.value("n"), queued + 4);
    freeze(false);
    ASSERT_TRUE(until([&] { return disk->written.size() == queued + 1; }));
    // Frozen again at the end: the end does not wait for the disk.
    freeze(true);
    analytics->track("Archive App");
    ASSERT_TRUE(until([&] { return disk->writes == queued + 2; }));
    analytics.reset();
    {
        // In order, and the newest left out when the queue was full.
        std::lock_guard lock(disk->mutex);
        ASSERT_EQ(disk->written.size(), queued + 1);
        EXPECT_TRUE(disk->written.front().contains("Create List"));
        EXPECT_TRUE(disk->written[1].contains(R"({"n":0})"));
        EXPECT_TRUE(disk->written.back().contains(QString(R"({"n":%1})").arg(queued - 1).toUtf8()));
    }
    freeze(false);
    qInstallMessageHandler(previous);
    std::lock_guard lock(logged);
    ASSERT_EQ(warnings.size(), 2) << warnings.join('\n').toStdString();
    EXPECT_TRUE(warnings[0].contains("kept in memory only"));
    EXPECT_TRUE(warnings[1].contains("not written as the program ended: 1"));
}

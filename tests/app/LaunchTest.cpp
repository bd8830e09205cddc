#include "core/App.h"
#include "core/Database.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/StoreSchema.h"
#include "platform/SingleInstance.h"
#include "platform/UserDefaults.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <future>

using namespace tanvill;

namespace {

const QString kThingsIdentifier = QStringLiteral("904280696");

// The built program, started the way a user starts it, in this test's throw-away home.
struct RunningProgram
{
    // `overrides` replace variables of the test's environment (another home or session).
    explicit RunningProgram(const QUrl &storeUrl, const QStringList &arguments = {},
                            const QMap<QString, QString> &overrides = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (auto it = overrides.begin(); it != overrides.end(); ++it)
            environment.insert(it.key(), it.value());
        environment.insert("TANVILL_STORE_URL", storeUrl.toString());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        // No desktop session: notifications fall back to the console.
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(TANVILL_EXECUTABLE), arguments);
    }

    ~RunningProgram()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    bool waitForOutput(const QString &text, int timeoutMs = 20000)
    {
        return test::waitFor(
                   [&] {
                       output += QString::fromUtf8(process.readAll());
                       return output.contains(text) || process.state() == QProcess::NotRunning;
                   },
                   timeoutMs)
            && output.contains(text);
    }

    QProcess process;
    QString output;
};

// Of two programs started together, the one still running once the other has ended; none
// when they did not start or neither ended in time.
RunningProgram *theOneLeft(RunningProgram &a, RunningProgram &b)
{
    if (!a.process.waitForStarted(10000) || !b.process.waitForStarted(10000))
        return nullptr;
    const auto ended = [](const RunningProgram &program) {
        return program.process.state() == QProcess::NotRunning;
    };
    if (!test::waitFor([&] { return ended(a) || ended(b); }, 20000))
        return nullptr;
    return ended(a) ? &b : &a;
}

// A store watching one app whose version the store's reply changes, with notifications of
// new versions on.
void seedWatchedThings(test::TestServices &services)
{
    {
        ListsController seed;
        List *list = seed.createList("Watched");
        App *app = seed.managedObjectContext()->insertApp(list);
        app->setIdentifier(kThingsIdentifier);
        app->setName("Things 3");
        app->setPrice(*Decimal::fromString("39.99"));
        app->setLastPrice(*Decimal::fromString("39.99"));
        app->setVersion("3.7");
        app->setLastVersion("3.7");
        app->setRating(4.5f);
        app->setLastRating(4.5f);
        app->setAppStoreUrl("https://example.invalid/things");
        seed.saveWithAsync(false);
    }
    services.settings().setValue("NotifyAboutChanges.Version", true);
    services.settings().sync();
}

} // namespace

TEST(Launch, RefreshesAtOnceNotifiesAndSavesTheStoreWhenTerminated)
{
    test::TestServices services { { .listsController = false } };
    test::FakeHttpServer server;
    server.setRoute(
        "/lookup", test::FakeResponse::file(test::fixturesDir() + "/store/lookup/mac-things.json"));
    seedWatchedThings(services);

    RunningProgram program(server.baseUrl());
    ASSERT_TRUE(program.process.waitForStarted(10000));
    ASSERT_TRUE(program.waitForOutput("There is 1 version update."))
        << program.output.toStdString();
    EXPECT_EQ(server.requests().front().query.queryItemValue("id"), kThingsIdentifier);

    ::kill(pid_t(program.process.processId()), SIGTERM);
    ASSERT_TRUE(program.process.waitForFinished(15000));
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit) << program.output.toStdString();
    EXPECT_EQ(program.process.exitCode(), 0);

    ListsController reopened;
    const std::vector<App *> apps = reopened.apps();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0]->version(), "3.8");
    EXPECT_EQ(apps[0]->lastVersion(), "3.7");
    EXPECT_EQ(apps[0]->price(), *Decimal::fromString("49.99"));
    EXPECT_EQ(apps[0]->lastPrice(), *Decimal::fromString("39.99"));
}

TEST(Launch, QuittingWhileAnotherProgramHoldsTheStoreEndsCleanlyAndKeepsTheChanges)
{
    test::TestServices services { { .listsController = false } };
    seedWatchedThings(services);
    test::FakeHttpServer server;
    std::promise<void> answer;
    server.setHandler("/lookup", [answered = answer.get_future().share()](const auto &) {
        answered.wait();
        return test::FakeResponse::file(test::fixturesDir() + "/store/lookup/mac-things.json");
    });
    RunningProgram program(server.baseUrl());
    // The program has loaded the store and refreshes it: now another one takes the store.
    ASSERT_TRUE(test::waitFor([&] { return server.requestCount("/lookup") == 1; }, 20000));
    Database other;
    ASSERT_TRUE(other.open(ListsController::defaultStorePath(), false));
    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    answer.set_value();
    ASSERT_TRUE(program.waitForOutput("There is 1 version update."))
        << program.output.toStdString();

    ::kill(pid_t(program.process.processId()), SIGTERM);
    ASSERT_TRUE(program.process.waitForFinished(15000));
    EXPECT_TRUE(program.process.exitStatus() == QProcess::NormalExit
                && program.process.exitCode() == 0)
        << program.process.readAll().toStdString();
    // The refreshed version is in the kept file.
    const QDir folder = QFileInfo(ListsController::defaultStorePath()).dir();
    const QStringList kept = folder.entryList({ "Tanvill.unsaved-*.sqlite" });
    ASSERT_EQ(kept.size(), 1);
    Database keptFile;
    ASSERT_TRUE(keptFile.open(folder.filePath(kept.front()), false));
    EXPECT_EQ(keptFile.queryText("SELECT version FROM apps"), "3.8");
}

TEST(Launch, QuitsCleanlyOnSigintWithAnEmptyStore)
{
    test::TestServices services { { .listsController = false } };
    test::FakeHttpServer server;
    RunningProgram program(server.baseUrl());
    ASSERT_TRUE(program.process.waitForStarted(10000));
    // Give the program time to reach its event loop, where the signal is handled.
    ASSERT_TRUE(
        test::waitFor([&] { return QFile::exists(SingleInstance::defaultSocketPath()); }, 10000));
    ::kill(pid_t(program.process.processId()), SIGINT);
    ASSERT_TRUE(program.process.waitForFinished(15000));
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process.exitCode(), 0);
}

TEST(Launch, ASecondLaunchHandsItsLinkToTheRunningProgramAndEnds)
{
    test::FakeHttpServer server;
    RunningProgram first(server.baseUrl());
    ASSERT_TRUE(first.process.waitForStarted(10000));
    ASSERT_TRUE(
        test::waitFor([&] { return QFile::exists(SingleInstance::defaultSocketPath()); }, 10000));

    const QString link = QStringLiteral("tanvill:///addApp?id=904280696");
    for (const QStringList &arguments : { QStringList { link }, QStringList {} }) {
        RunningProgram later(server.baseUrl(), arguments);
        ASSERT_TRUE(later.process.waitForFinished(15000));
        EXPECT_EQ(later.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(later.process.exitCode(), 0) << later.process.readAll().toStdString();
    }
    EXPECT_TRUE(first.waitForOutput("Message from another launch: reopen"))
        << first.output.toStdString();
    EXPECT_TRUE(first.output.contains("Message from another launch: " + link));
    EXPECT_EQ(first.process.state(), QProcess::Running);

    ::kill(pid_t(first.process.processId()), SIGTERM);
    ASSERT_TRUE(first.process.waitForFinished(15000));
    EXPECT_EQ(first.process.exitCode(), 0);
}

TEST(Launch, EveryLinkOfLaunchesStartedTogetherIsAddedOnce)
{
    test::TestServices services { { .listsController = false } };
    {
        ListsController seed;
        seed.createList("Watched");
        seed.saveWithAsync(false);
    }
    test::FakeHttpServer server;
    server.setHandler("/lookup", [](const test::FakeRequest &request) {
        const bool slack = request.query.queryItemValue("id") == "803453959";
        return test::FakeResponse::file(
            test::fixturesDir()
            + (slack ? "/store/lookup/mac-slack.json" : "/store/lookup/mac-things.json"));
    });
    // Neither runs yet: one of them becomes the running program and must add its own link,
    // the other hands its link over.
    RunningProgram a(server.baseUrl(), { "tanvill:///addApp?id=904280696" });
    RunningProgram b(server.baseUrl(), { "tanvill:///addApp?id=803453959" });
    RunningProgram *runner = theOneLeft(a, b);
    ASSERT_NE(runner, nullptr);
    // Each addition is saved as it is made.
    ASSERT_TRUE(test::waitFor(
        [] {
            Database file;
            return file.open(ListsController::defaultStorePath(), false)
                && file.queryInteger("SELECT count(*) FROM apps") == 2;
        },
        20000))
        << runner->output.toStdString();
    ::kill(pid_t(runner->process.processId()), SIGTERM);
    ASSERT_TRUE(runner->process.waitForFinished(15000));
    EXPECT_EQ(runner->process.exitCode(), 0) << runner->output.toStdString();

    ListsController reopened;
    QStringList identifiers;
    for (const App *app : reopened.apps())
        identifiers << app->identifier();
    identifiers.sort();
    EXPECT_EQ(identifiers, QStringList({ "803453959", "904280696" }));
}

namespace {

// A runtime folder of its own: the launch cannot reach a running instance to hand over to
// (another session on the same home), so only the store's lock keeps them apart.
QMap<QString, QString> ownSession(const QTemporaryDir &runtime, const QString &home = {})
{
    QMap<QString, QString> overrides { { "XDG_RUNTIME_DIR", runtime.path() } };
    if (!home.isEmpty()) {
        overrides.insert("HOME", home);
        overrides.insert("XDG_DATA_HOME", home + "/.local/share");
        overrides.insert("XDG_CONFIG_HOME", home + "/.config");
        overrides.insert("XDG_CACHE_HOME", home + "/.cache");
    }
    return overrides;
}

} // namespace

TEST(Launch, AnInstanceThatCannotHandOverLeavesTheStoreAloneAndQuitsSayingWhy)
{
    test::FakeHttpServer server;
    RunningProgram first(server.baseUrl());
    ASSERT_TRUE(first.process.waitForStarted(10000));
    ASSERT_TRUE(
        test::waitFor([&] { return QFile::exists(ListsController::defaultStorePath()); }, 10000));
    test::waitFor([] { return false; }, 300);
    const QByteArray before = [] {
        QFile store(ListsController::defaultStorePath());
        return store.open(QIODevice::ReadOnly) ? store.readAll() : QByteArray();
    }();

    QTemporaryDir runtime;
    RunningProgram second(server.baseUrl(), {}, ownSession(runtime));
    ASSERT_TRUE(second.process.waitForFinished(15000));
    second.output += QString::fromUtf8(second.process.readAll());
    EXPECT_EQ(second.process.exitCode(), 1);
    EXPECT_TRUE(second.output.contains("Tanvill is already running."))
        << second.output.toStdString();
    EXPECT_EQ(first.process.state(), QProcess::Running);
    QFile store(ListsController::defaultStorePath());
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_EQ(store.readAll(), before);

    ::kill(pid_t(first.process.processId()), SIGTERM);
    ASSERT_TRUE(first.process.waitForFinished(15000));
    EXPECT_EQ(first.process.exitCode(), 0);
}

TEST(Launch, TwoFirstStartsAtOnceLeaveOneRunningOnASoundStore)
{
    test::FakeHttpServer server;
    for (int round = 0; round < 6; ++round) {
        QTemporaryDir home;
        QTemporaryDir runtimeA;
        QTemporaryDir runtimeB;
        RunningProgram a(server.baseUrl(), {}, ownSession(runtimeA, home.path()));
        RunningProgram b(server.baseUrl(), {}, ownSession(runtimeB, home.path()));
        // One of the two quits at once; the other keeps running.
        RunningProgram *left = theOneLeft(a, b);
        ASSERT_NE(left, nullptr);
        RunningProgram &runner = *left;
        RunningProgram &quitter = left == &a ? b : a;
        quitter.output += QString::fromUtf8(quitter.process.readAll());
        EXPECT_TRUE(quitter.output.contains("Tanvill is already running."))
            << quitter.output.toStdString();
        EXPECT_FALSE(quitter.output.contains("already exists"));
        test::waitFor([] { return false; }, 200);
        EXPECT_EQ(runner.process.state(), QProcess::Running) << round;
        ::kill(pid_t(runner.process.processId()), SIGTERM);
        ASSERT_TRUE(runner.process.waitForFinished(15000));
        EXPECT_EQ(runner.process.exitCode(), 0) << runner.output.toStdString();

        Database database;
        ASSERT_TRUE(
            database.open(home.path() + "/.local/share/com.tanvill.Tanvill/Tanvill.sqlite", false));
        EXPECT_EQ(database.queryInteger("PRAGMA user_version"), StoreSchema::currentVersion());
    }
}

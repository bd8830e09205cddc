#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/store/Database.h"
#include "core/store/StoreLock.h"
#include "core/store/StoreSchema.h"
#include "platform/SingleInstance.h"
#include "platform/UserDefaults.h"
#include "support/FakeHttpServer.h"
#include "support/FakeStore.h"
#include "support/TestEnvironment.h"
#include "support/TestLaunchHold.h"
#include "support/TestServices.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <future>

using namespace tanvill;

namespace {

const QString kThingsIdentifier = QStringLiteral("904280696");
const QString kThingsLink = "tanvill:///addApp?id=" + kThingsIdentifier;

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
        // As from a terminal, a hang-up ends it: a program started with the signal ignored (a
        // test run under nohup) keeps ignoring it, as it should.
        process.setChildProcessModifier([] { ::signal(SIGHUP, SIG_DFL); });
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

    // How it ended, or that it runs still, and everything it wrote: for a failure's message.
    std::string ending()
    {
        output += QString::fromUtf8(process.readAll());
        QString how = "exit " + QString::number(process.exitCode());
        if (process.state() != QProcess::NotRunning)
            how = "running";
        else if (process.exitStatus() == QProcess::CrashExit)
            how = "killed";
        return (process.arguments().join(' ') + ", " + how + "; it wrote:\n" + output)
            .toStdString();
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

void seedOneList()
{
    ListsController seed;
    seed.createList("Watched");
    seed.saveWithAsync(false);
}

// A home with one list, and a store that knows Things.
struct OneListAndThings
{
    OneListAndThings()
    {
        seedOneList();
        server.setRoute(
            "/lookup",
            test::FakeResponse::file(test::fixturesDir() + "/store/lookup/mac-things.json"));
    }
    test::TestServices services { { .listsController = false } };
    test::FakeHttpServer server;
};

qint64 appsInStore()
{
    Database file;
    return file.open(ListsController::defaultStorePath(), false)
        ? file.queryInteger("SELECT count(*) FROM apps").value_or(-1)
        : -1;
}

// Hands `message` over to the program as a later launch would, once it listens: answered only
// from its event loop.
bool handsOver(std::function<void()> beforeForwarding = {},
               const QString &message = SingleInstance::kReopenMessage)
{
    if (!test::waitFor([] { return QFile::exists(SingleInstance::defaultSocketPath()); }, 20000))
        return false;
    SingleInstance later;
    test::TestLaunchHold hold;
    hold.onLetGo = std::move(beforeForwarding);
    later.setLaunchHold(&hold);
    return later.start(message, 20000) == SingleInstance::Role::Forwarded;
}

bool endsCleanlyOnSigterm(RunningProgram &program)
{
    ::kill(pid_t(program.process.processId()), SIGTERM);
    return program.process.waitForFinished(15000)
        && program.process.exitStatus() == QProcess::NormalExit && program.process.exitCode() == 0;
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

    ASSERT_TRUE(endsCleanlyOnSigterm(program)) << program.output.toStdString();

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
    ASSERT_TRUE(other.open(ListsController::defaultStorePath(), false)
                && other.exec("BEGIN EXCLUSIVE"));
    answer.set_value();
    ASSERT_TRUE(program.waitForOutput("There is 1 version update."))
        << program.output.toStdString();
    EXPECT_TRUE(endsCleanlyOnSigterm(program)) << program.output.toStdString();
    // The refreshed version is in the one kept file.
    const QDir folder = QFileInfo(ListsController::defaultStorePath()).dir();
    const QStringList kept = folder.entryList({ "Tanvill.unsaved-*.sqlite" });
    ASSERT_EQ(kept.size(), 1);
    ASSERT_TRUE(other.open(folder.filePath(kept.front()), false));
    EXPECT_EQ(other.queryText("SELECT version FROM apps"), "3.8");
}

TEST(Launch, QuitsCleanlyOnSigintWithAnEmptyStoreAndTheLockAKilledCopyLeftBesideTheSettings)
{
    test::TestServices services { { .listsController = false } };
    // Left empty by a copy killed as it began to write them: stale only once half a minute old.
    const QString lock = UserDefaults::defaultFilePath() + ".lock";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(lock).path()) && QFile(lock).open(QIODevice::WriteOnly));
    test::FakeHttpServer server;
    RunningProgram program(server.baseUrl());
    ASSERT_TRUE(program.process.waitForStarted(10000));
    // The signal is handled once the event loop runs.
    ASSERT_TRUE(handsOver()) << program.ending();
    ::kill(pid_t(program.process.processId()), SIGINT);
    ASSERT_TRUE(program.process.waitForFinished(15000));
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process.exitCode(), 0) << program.ending();
    EXPECT_TRUE(UserDefaults(UserDefaults::defaultFilePath()).hasStoredValue("storeLocale"));
}

TEST(Launch, ASecondLaunchHandsItsLinkToTheRunningProgramAndEnds)
{
    test::FakeHttpServer server;
    RunningProgram first(server.baseUrl());
    ASSERT_TRUE(first.process.waitForStarted(10000));
    ASSERT_TRUE(
        test::waitFor([&] { return QFile::exists(SingleInstance::defaultSocketPath()); }, 10000));

    for (const QStringList &arguments : { QStringList { kThingsLink }, QStringList {} }) {
        RunningProgram later(server.baseUrl(), arguments);
        ASSERT_TRUE(later.process.waitForFinished(15000));
        EXPECT_EQ(later.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(later.process.exitCode(), 0) << later.process.readAll().toStdString();
    }
    EXPECT_TRUE(first.waitForOutput("Message from another launch: reopen"))
        << first.output.toStdString();
    EXPECT_TRUE(first.output.contains("Message from another launch: " + kThingsLink));
    EXPECT_EQ(first.process.state(), QProcess::Running);

    EXPECT_TRUE(endsCleanlyOnSigterm(first)) << first.output.toStdString();
}

TEST(Launch, EveryLinkOfLaunchesStartedTogetherIsAddedOnce)
{
    test::TestServices services { { .listsController = false } };
    seedOneList();
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
    ASSERT_TRUE(test::waitFor([] { return appsInStore() == 2; }, 20000))
        << runner->output.toStdString();
    EXPECT_TRUE(endsCleanlyOnSigterm(*runner)) << runner->output.toStdString();

    ListsController reopened;
    QStringList identifiers;
    for (const App *app : reopened.apps())
        identifiers << app->identifier();
    identifiers.sort();
    EXPECT_EQ(identifiers, QStringList({ "803453959", "904280696" }));
}

TEST(Launch, ALinkWhoseAppTheStoreHasNotTakenYetOutlivesAKillAndTheNextStartAddsIt)
{
    OneListAndThings home;
    RunningProgram program(home.server.baseUrl());
    ASSERT_TRUE(handsOver()) << program.ending();
    // Another program holds the store: the app's save waits for it.
    Database other;
    ASSERT_TRUE(other.open(ListsController::defaultStorePath(), false)
                && other.exec("BEGIN EXCLUSIVE"));
    ASSERT_TRUE(handsOver({}, kThingsLink));
    ASSERT_TRUE(program.waitForOutput("The app of a link was added")) << program.ending();
    // A crash, an OOM kill or a power cut before the save could go through.
    program.process.kill();
    ASSERT_TRUE(program.process.waitForFinished(5000));
    ASSERT_TRUE(other.exec("ROLLBACK"));
    EXPECT_EQ(appsInStore(), 0);

    RunningProgram next(home.server.baseUrl());
    EXPECT_TRUE(test::waitFor([] { return appsInStore() == 1; }, 20000)) << next.ending();
    EXPECT_TRUE(endsCleanlyOnSigterm(next)) << next.ending();
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
    test::TestServices services { { .listsController = false } };
    test::FakeHttpServer server;
    RunningProgram first(server.baseUrl());
    ASSERT_TRUE(first.process.waitForStarted(10000));
    // Launch has finished, the store made and loaded, once the event loop answers.
    ASSERT_TRUE(handsOver()) << first.output.toStdString();
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

    EXPECT_TRUE(endsCleanlyOnSigterm(first)) << first.output.toStdString();
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
        // The one left runs on: its event loop answers a launch of its session.
        const QString socket = (left == &a ? runtimeA : runtimeB).path() + "/"
            + QFileInfo(SingleInstance::defaultSocketPath()).fileName();
        ASSERT_TRUE(test::waitFor([&] { return QFile::exists(socket); }, 20000));
        EXPECT_EQ(SingleInstance(socket).start("reopen", 20000), SingleInstance::Role::Forwarded);
        ASSERT_TRUE(endsCleanlyOnSigterm(runner)) << runner.output.toStdString();

        Database database;
        ASSERT_TRUE(
            database.open(home.path() + "/.local/share/com.tanvill.Tanvill/Tanvill.sqlite", false));
        EXPECT_EQ(database.queryInteger("PRAGMA user_version"), StoreSchema::currentVersion());
    }
}

TEST(Launch, ALaunchWhoseHandOverIsCutOffRunsOnAndAddsItsLink)
{
    // Something answers at the socket that is no running Tanvill: one that reads the link,
    // closes and removes its socket (it was quitting), or another program that never answers.
    for (const bool quitting : { true, false }) {
        SCOPED_TRACE(quitting ? "quitting" : "another program");
        OneListAndThings home;
        QLocalServer standIn;
        ASSERT_TRUE(standIn.listen(SingleInstance::defaultSocketPath()));
        QObject::connect(&standIn, &QLocalServer::newConnection, [&] {
            if (!quitting)
                return;
            std::unique_ptr<QLocalSocket> peer(standIn.nextPendingConnection());
            peer->waitForReadyRead(5000);
            standIn.close();
        });
        RunningProgram program(home.server.baseUrl(), { kThingsLink });
        ASSERT_TRUE(test::waitFor([] { return appsInStore() == 1; }, 20000))
            << program.output.toStdString();
        EXPECT_TRUE(endsCleanlyOnSigterm(program)) << program.output.toStdString();
    }
}

TEST(Launch, TheLaunchThatRunsOnWaitsForOneThatHandsOverHoweverLateItStarts)
{
    OneListAndThings home;
    // A launch that will hand over has the store, and the one that runs on finds the launches'
    // lock held for a while: a slow desktop start.
    StoreLock handingOver, turns;
    qint64 holder = 0;
    QString error;
    for (const auto &[lock, path] :
         { std::pair { &handingOver, ObjectStore::lockPath(ListsController::defaultStorePath()) },
           { &turns, SingleInstance::defaultSocketPath() + ".lock" } })
        ASSERT_EQ(lock->tryLock(path, &holder, &error), StoreLock::Result::Locked)
            << error.toStdString();
    RunningProgram late(home.server.baseUrl(), { kThingsLink });
    ASSERT_TRUE(late.process.waitForStarted(10000));
    // How late it gets there is the point: a launch used to give up a second after it began.
    ASSERT_TRUE(test::waitPastTimer(1500));
    turns.unlock();
    // The other launch lets go of the store as it hands over.
    EXPECT_TRUE(handsOver([&] { handingOver.unlock(); }));
    ASSERT_TRUE(test::waitFor([] { return appsInStore() == 1; }, 20000))
        << late.output.toStdString();
    EXPECT_TRUE(endsCleanlyOnSigterm(late)) << late.output.toStdString();
}

namespace {

// Connections to the socket at `path` its listener has not accepted yet, as the system lists
// them: connecting (02), no inode, under the path the listener was made at before its rename.
int unacceptedConnections(const QString &path)
{
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    int count = 0;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() == 8 && fields[5] == "02" && fields[6] == "0"
            && fields[7].startsWith(QFile::encodeName(path)))
            ++count;
    }
    return count;
}

QStringList keptLinks()
{
    const QDir folder(QFileInfo(UserDefaults::defaultFilePath()).path() + "/PendingLinks");
    QStringList links;
    for (const QString &name : folder.entryList({ "*.link" }, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            links << QString::fromUtf8(file.readAll());
    }
    return links;
}

// Whether the program stands still where TANVILL_STOP_AT stopped it (its state follows its name).
bool stopped(const RunningProgram &program)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(program.process.processId()));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "T";
}

} // namespace

TEST(Launch, ALaunchAskedToEndWhileItWaitsKeepsItsLinkAndSaysSo)
{
    for (const int signalNumber : { SIGTERM, SIGHUP, SIGINT }) {
        SCOPED_TRACE(::strsignal(signalNumber));
        OneListAndThings home;
        RunningProgram copy(home.server.baseUrl());
        ASSERT_TRUE(handsOver()) << copy.ending();
        // The running copy is stopped: a launch hands its link over and waits for the answer.
        const pid_t copyProcess = pid_t(copy.process.processId());
        ASSERT_EQ(::kill(copyProcess, SIGSTOP), 0);
        RunningProgram launch(home.server.baseUrl(), { kThingsLink });
        ASSERT_TRUE(test::waitFor(
            [] { return unacceptedConnections(SingleInstance::defaultSocketPath()) == 1; }, 20000))
            << launch.ending();
        const QDeadlineTimer soon(5000);
        ASSERT_EQ(::kill(pid_t(launch.process.processId()), signalNumber), 0);
        // It ends long before it would have given up waiting.
        ASSERT_TRUE(launch.process.waitForFinished(20000));
        EXPECT_FALSE(soon.hasExpired());
        EXPECT_EQ(launch.process.exitStatus(), QProcess::NormalExit) << launch.ending();
        EXPECT_EQ(keptLinks().join(' ').toStdString(), kThingsLink.toStdString())
            << launch.ending();
        EXPECT_TRUE(launch.waitForOutput("asked to end")) << launch.ending();
        EXPECT_TRUE(launch.waitForOutput("The link is kept")) << launch.ending();

        // The copy goes on with what it was sent, or the next start with the kept link: the app
        // is added once.
        ::kill(copyProcess, SIGCONT);
        EXPECT_TRUE(endsCleanlyOnSigterm(copy)) << copy.ending();
        RunningProgram next(home.server.baseUrl());
        EXPECT_TRUE(
            test::waitFor([] { return appsInStore() == 1 && keptLinks().isEmpty(); }, 20000))
            << next.ending();
        EXPECT_TRUE(endsCleanlyOnSigterm(next)) << next.ending();
        EXPECT_EQ(appsInStore(), 1);
    }
}

TEST(Launch, AQuitSignalFromTheFirstLineOfMainToTheEndOfTheProcessIsHandled)
{
    test::FakeHttpServer server;
    // At main's first line, with a link: it keeps the link and says so. As it ends, the first
    // signal having made it quit: a second one.
    for (const QString moment : { "start", "end" }) {
        SCOPED_TRACE(moment.toStdString());
        const bool atStart = moment == "start";
        test::TestServices services { { .listsController = false } };
        RunningProgram program(server.baseUrl(),
                               atStart ? QStringList { kThingsLink } : QStringList {},
                               { { "TANVILL_STOP_AT", moment } });
        ASSERT_TRUE(program.process.waitForStarted(10000));
        const pid_t process = pid_t(program.process.processId());
        if (!atStart) {
            ASSERT_TRUE(handsOver()) << program.ending();
            ::kill(process, SIGTERM);
        }
        ASSERT_TRUE(test::waitFor([&] { return stopped(program); }, 20000)) << program.ending();
        ::kill(process, SIGTERM);
        ::kill(process, SIGCONT);
        ASSERT_TRUE(program.process.waitForFinished(15000));
        EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit) << program.ending();
        EXPECT_EQ(program.process.exitCode(), atStart ? 1 : 0) << program.ending();
        EXPECT_EQ(keptLinks().join(' '), atStart ? kThingsLink : QString());
        EXPECT_EQ(program.waitForOutput("The link is kept"), atStart) << program.ending();
        // No copy ran to wait for.
        EXPECT_EQ(program.output.contains("asked to end as it started"), atStart)
            << program.ending();
    }
}

TEST(Launch, EveryLinkOfTwentyLaunchesDuringALongQuitIsAddedOnce)
{
    test::TestServices services { { .listsController = false } };
    seedOneList();
    test::FakeStore store;
    QStringList identifiers;
    for (int n = 0; n < 20; ++n) {
        identifiers << QString::number(500000001 + n);
        store.setLookup({ identifiers.back() });
    }
    // A running copy has begun to quit and holds the store for ten seconds more; a few
    // launches that connect meanwhile stay silent, longer than a launch waits for an answer.
    StoreLock held;
    qint64 holder = 0;
    QString error;
    ASSERT_EQ(
        held.tryLock(ObjectStore::lockPath(ListsController::defaultStorePath()), &holder, &error),
        StoreLock::Result::Locked)
        << error.toStdString();
    auto quitting = std::make_unique<SingleInstance>();
    ASSERT_EQ(quitting->start(SingleInstance::kReopenMessage), SingleInstance::Role::Primary);
    quitting->beginQuitting();
    std::vector<std::unique_ptr<QLocalSocket>> silent;
    std::vector<std::unique_ptr<RunningProgram>> launches;
    for (const QString &identifier : identifiers) {
        launches.push_back(std::make_unique<RunningProgram>(
            store.server().baseUrl(), QStringList { "tanvill:///addApp?id=" + identifier }));
        if (silent.size() < 12) {
            silent.push_back(std::make_unique<QLocalSocket>());
            silent.back()->connectToServer(SingleInstance::defaultSocketPath());
        }
    }
    ASSERT_TRUE(test::waitPastTimer(10000, 20000));
    for (const auto &launch : launches)
        EXPECT_EQ(launch->process.state(), QProcess::Running)
            << "a launch gave up while the copy quit: " << launch->ending();
    quitting.reset();
    held.unlock();

    // One of them runs on and takes the others' links.
    const auto running = [&] {
        return std::count_if(launches.begin(), launches.end(), [](const auto &launch) {
            return launch->process.state() != QProcess::NotRunning;
        });
    };
    ASSERT_TRUE(test::waitFor([&] { return running() <= 1; }, 60000));
    for (const auto &launch : launches) {
        if (launch->process.state() == QProcess::NotRunning)
            EXPECT_TRUE(launch->process.exitStatus() == QProcess::NormalExit
                        && launch->process.exitCode() == 0)
                << launch->ending();
        else
            EXPECT_TRUE(endsCleanlyOnSigterm(*launch)) << launch->ending();
    }
    // The next start adds whatever the one that ran on had not added yet.
    RunningProgram next(store.server().baseUrl());
    ASSERT_TRUE(test::waitFor([] { return appsInStore() == 20; }, 30000))
        << next.output.toStdString() << appsInStore();
    EXPECT_TRUE(endsCleanlyOnSigterm(next)) << next.ending();
    ListsController reopened;
    QStringList added;
    for (const App *app : reopened.apps())
        added << app->identifier();
    added.sort();
    EXPECT_EQ(added, identifiers);
}

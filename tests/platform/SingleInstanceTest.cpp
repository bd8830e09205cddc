#include "platform/SingleInstance.h"
#include "platform/FileLock.h"
#include "platform/InstanceProtocol.h"
#include "support/TestEnvironment.h"
#include "support/TestLaunchHold.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

#include <future>
#include <mutex>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tanvill;

namespace {

QString socketPath()
{
    return qEnvironmentVariable("XDG_RUNTIME_DIR") + "/instance-test";
}

// A later launch: its own object on its own thread, as in a second process, while this
// thread's event loop lets the running instance answer.
SingleInstance::Role launchWith(const QString &message, QString *error = nullptr,
                                const QString &path = socketPath())
{
    auto launch = std::async(std::launch::async, [&] {
        SingleInstance later(path);
        const SingleInstance::Role role = later.start(message);
        if (error)
            *error = later.errorString();
        return role;
    });
    test::waitFor(
        [&] { return launch.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        10000);
    return launch.get();
}

QByteArray frame(quint32 length, const QByteArray &payload)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(length, bytes.data());
    return bytes + payload;
}

// The running instance takes every message but those `refuse` names, and records them.
void takeInto(SingleInstance &running, QStringList &received, const QString &refuse = {})
{
    running.setMessageHandler([&received, refuse](const QString &message) {
        if (message == refuse)
            return instance::Answer::refused("Nine is too many.");
        received << message;
        return instance::Answer::taken();
    });
}

// A stand-in that speaks for a running instance, one scripted answer per connection, as the
// connection comes: "quitting" (keeping the connection open, as a quitting instance does, until
// the launch closes it), or nothing (it closes the connection), or "ok" once the script is over.
struct ScriptedInstance
{
    enum Step { Quitting, Close };
    explicit ScriptedInstance(const QString &path, std::vector<Step> script)
    {
        server.listen(path);
        QObject::connect(&server, &QLocalServer::newConnection, [this, script] {
            while (QLocalSocket *peer = server.nextPendingConnection()) {
                QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                const size_t step = connections++;
                if (step < script.size() && script[step] == Quitting) {
                    peer->write(
                        instance::Answer { instance::Answer::Kind::Quitting, {} }.toFrame());
                    continue;
                }
                if (step >= script.size())
                    peer->write(instance::Answer::taken().toFrame());
                peer->disconnectFromServer();
            }
        });
    }
    QLocalServer server;
    size_t connections = 0;
};

} // namespace

TEST(SingleInstance, LaterLaunchesHandTheirMessagesToTheRunningInstanceInOrder)
{
    SingleInstance running(socketPath());
    QStringList received;
    ASSERT_EQ(running.start("tanvill:///addApp?id=1"), SingleInstance::Role::Primary);
    takeInto(running, received, "tanvill:///addApp?id=9");

    EXPECT_EQ(launchWith("tanvill:///addApp?id=%31&x"), SingleInstance::Role::Forwarded);
    EXPECT_EQ(launchWith("reopen"), SingleInstance::Role::Forwarded);
    // A refusal reaches the launch with why, in the running instance's words.
    QString why;
    EXPECT_EQ(launchWith("tanvill:///addApp?id=9", &why), SingleInstance::Role::Refused);
    EXPECT_EQ(why, "Nine is too many.");
    EXPECT_EQ(received, QStringList({ "tanvill:///addApp?id=%31&x", "reopen" }));
}

TEST(SingleInstance, ARunningInstanceWhoseSocketIsRemovedOrReplacedMakesItAgain)
{
    SingleInstance running(socketPath());
    QStringList received;
    ASSERT_EQ(running.start("reopen"), SingleInstance::Role::Primary);
    takeInto(running, received);
    for (const bool replaced : { false, true }) {
        SCOPED_TRACE(replaced ? "replaced by a file" : "removed");
        ASSERT_TRUE(QFile::remove(socketPath()));
        ASSERT_TRUE(!replaced || QFile(socketPath()).open(QIODevice::WriteOnly));
        // Taken for one that is still quitting, a launch would wait for it in vain.
        QElapsedTimer waited;
        waited.start();
        EXPECT_EQ(launchWith("tanvill:///addApp?id=1"), SingleInstance::Role::Forwarded);
        EXPECT_LT(waited.elapsed(), 5000);
    }
    EXPECT_EQ(received.size(), 2);
}

// The folder goes and comes back, once the instance has seen it go or at once, twice each; the
// instance then answers and holds its place there again.
TEST(SingleInstance, ARunningInstanceWhoseFolderIsRemovedAndMadeAgainMakesItsSocketAgain)
{
    static std::mutex logged;
    static QStringList warnings;
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &line) {
              std::lock_guard lock(logged);
              warnings << line;
          });
    const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    const auto warned = [](const char *text) {
        std::lock_guard lock(logged);
        return warnings.filter(text).size();
    };
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/session";
    const QString path = folder + "/instance-test";
    ASSERT_TRUE(QDir().mkpath(folder));
    SingleInstance running(path);
    QStringList received;
    ASSERT_EQ(running.start("reopen"), SingleInstance::Role::Primary);
    takeInto(running, received);
    for (const bool seenGone : { true, false, true, false }) {
        SCOPED_TRACE(seenGone ? "seen gone" : "at once");
        const qsizetype before = warned("gone with its folder");
        ASSERT_TRUE(QDir(folder).removeRecursively());
        if (seenGone) {
            ASSERT_TRUE(test::waitFor([&] { return warned("gone with its folder") > before; }));
        }
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(test::waitFor([&] { return QFile::exists(path); }));
        EXPECT_EQ(launchWith("reopen", nullptr, path), SingleInstance::Role::Forwarded);
        QString error;
        EXPECT_EQ(FileLock().tryLock(instance::placePath(path), instance::kLockMode, true, &error),
                  FileLock::Result::Held);
    }
    EXPECT_EQ(received.size(), 4);
}

TEST(SingleInstance, ASocketLeftByACrashedInstanceIsTakenOver)
{
    // A bound socket whose owner is gone: the file stays and connecting is refused.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray path = socketPath().toLocal8Bit();
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);

    SingleInstance running(socketPath());
    ASSERT_EQ(running.start("reopen"), SingleInstance::Role::Primary)
        << running.errorString().toStdString();
    QStringList received;
    takeInto(running, received);
    EXPECT_EQ(launchWith("reopen"), SingleInstance::Role::Forwarded);
}

TEST(SingleInstance, MalformedOrOversizedMessagesAreDroppedAndLaterOnesStillArrive)
{
    SingleInstance running(socketPath());
    QStringList received;
    ASSERT_EQ(running.start("reopen"), SingleInstance::Role::Primary);
    takeInto(running, received);

    const std::pair<const char *, QByteArray> cases[] = {
        { "huge length", frame(0xFFFFFFFFu, "tanvill:") },
        { "just over the limit",
          frame(SingleInstance::kMaxMessageBytes + 1,
                QByteArray(SingleInstance::kMaxMessageBytes + 1, 'a')) },
        { "empty", frame(0, {}) },
        { "not UTF-8", frame(4, "\xff\xfe\xfd\xfc") },
        { "NUL inside", frame(4, QByteArray("re\0o", 4)) },
        { "two messages", frame(6, "reopen") + frame(6, "reopen") },
    };
    for (const auto &[name, bytes] : cases) {
        QLocalSocket peer;
        peer.connectToServer(socketPath());
        ASSERT_TRUE(peer.waitForConnected(2000)) << name;
        peer.write(bytes);
        EXPECT_TRUE(test::waitFor([&] { return peer.state() == QLocalSocket::UnconnectedState; }))
            << name;
        EXPECT_EQ(peer.readAll(), QByteArray()) << name << ": no answer";
    }
    EXPECT_TRUE(received.isEmpty());

    EXPECT_EQ(launchWith("tanvill:///addApp?id=2"), SingleInstance::Role::Forwarded);
    ASSERT_TRUE(test::waitFor([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QStringList({ "tanvill:///addApp?id=2" }));
}

TEST(SingleInstance, IdleConnectionsAreDroppedAndLaunchesMeetingThemAreTaken)
{
    // Idle peers, silent or stalled after two bytes, go as their time is up, or the oldest as
    // soon as every place is taken.
    for (const int peerTimeoutMs : { 200, 60000 }) {
        for (const QByteArray &sent : { QByteArray(), QByteArray(2, '\0') }) {
            SingleInstance running(socketPath());
            running.setPeerTimeoutMs(peerTimeoutMs);
            ASSERT_EQ(running.start("reopen"), SingleInstance::Role::Primary);
            QStringList received;
            takeInto(running, received);
            QLocalSocket idle[8];
            for (QLocalSocket &socket : idle) {
                socket.connectToServer(socketPath());
                ASSERT_TRUE(socket.waitForConnected());
                socket.write(sent);
                socket.flush();
            }
            // Answered only once the running instance took the message.
            for (const char *link : { "tanvill:///addApp?id=1", "tanvill:///addApp?id=2" })
                EXPECT_EQ(launchWith(link), SingleInstance::Role::Forwarded)
                    << link << peerTimeoutMs << sent.size();
            EXPECT_TRUE(
                test::waitFor([&] { return idle[0].state() == QLocalSocket::UnconnectedState; }));
        }
    }
}

TEST(SingleInstance, DuringAQuitEveryLaunchIsAnsweredAtOnceAndWaitsForItsEnd)
{
    auto running = std::make_unique<SingleInstance>(socketPath());
    // Connections wait for their message far longer than this test runs.
    running->setPeerTimeoutMs(60000);
    ASSERT_EQ(running->start("reopen"), SingleInstance::Role::Primary);
    QStringList received;
    takeInto(*running, received);
    // Launches that stay silent: three accepted before the quit began, three after.
    const auto connectSilent = [] {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(socketPath());
        EXPECT_TRUE(socket->waitForConnected(10000));
        return socket;
    };
    std::vector<std::unique_ptr<QLocalSocket>> silent;
    for (int n = 0; n < 3; ++n)
        silent.push_back(connectSilent());
    test::drainEvents();
    // From now on this thread saves for longer than a launch waits for an answer.
    running->beginQuitting();
    for (int n = 0; n < 3; ++n)
        silent.push_back(connectSilent());
    std::optional<SingleInstance::Role> role;
    QString why;
    bool reached = false;
    std::unique_ptr<QThread> launch(QThread::create([&] {
        SingleInstance later(socketPath());
        // The quitting instance answers each try from a thread of its own, which may wait a
        // few hundred milliseconds for its turn on a busy machine: the launch's time for an
        // answer is long enough for that.
        const SingleInstance::Role taken = later.start("tanvill:///addApp?id=1", 10000);
        // It took the place: the socket is its own.
        reached = QFileInfo(socketPath()).exists();
        why = later.errorString();
        role = taken;
    }));
    launch->start();
    // The quitting instance's event loop runs meanwhile: it takes nothing.
    EXPECT_FALSE(test::waitFor([&] { return launch->isFinished(); }, 1500))
        << "it did not wait for the end";
    const QByteArray quitting = instance::Answer { instance::Answer::Kind::Quitting, {} }.toFrame();
    for (const auto &socket : silent) {
        ASSERT_TRUE(
            test::waitFor([&] { return socket->bytesAvailable() >= quitting.size(); }, 10000));
        EXPECT_EQ(socket->readAll(), quitting);
    }

    running.reset();
    ASSERT_TRUE(launch->wait(QDeadlineTimer(30000)));
    EXPECT_EQ(role, SingleInstance::Role::Primary) << why.toStdString();
    EXPECT_TRUE(reached);
    EXPECT_TRUE(received.isEmpty());
}

TEST(SingleInstance, AWaitForAQuitUsesNeitherTheBusyTimeNorTheTakingOver)
{
    // The instance quits for a while, then is busy a moment; or nothing answers at the socket,
    // and as the launch takes its place, another has taken it and quits.
    for (const bool takingOver : { false, true }) {
        SCOPED_TRACE(takingOver ? "taking over" : "busy after quitting");
        const QString elsewhere = socketPath() + ".elsewhere";
        QLocalServer silent;
        std::optional<ScriptedInstance> scripted;
        test::TestLaunchHold hold;
        if (takingOver) {
            ASSERT_TRUE(silent.listen(socketPath()));
            scripted.emplace(elsewhere, std::vector(50, ScriptedInstance::Quitting));
            hold.heldElsewhere = false;
            hold.onLetGo = [&] {
                ::rename(QFile::encodeName(elsewhere), QFile::encodeName(socketPath()));
            };
        } else {
            // Quitting for longer than the launch may stay busy (60 polls of 50 ms at least),
            // which it then is for a moment.
            std::vector script(60, ScriptedInstance::Quitting);
            script.insert(script.end(), 2, ScriptedInstance::Close);
            scripted.emplace(socketPath(), script);
        }
        // Only the silent socket should run out the launch's time for an answer. That time is
        // long enough for every scripted answer to come in on a busy machine, where this
        // thread may wait a few hundred milliseconds for its turn to answer.
        const int answerMs = takingOver ? 1000 : 10000;
        const int busyRetryMs = 2500;
        std::optional<SingleInstance::Role> role;
        QString why;
        std::unique_ptr<QThread> launch(QThread::create([&] {
            SingleInstance later(socketPath());
            later.setLaunchHold(&hold);
            role = later.start("tanvill:///addApp?id=1", answerMs, busyRetryMs);
            why = later.errorString();
        }));
        launch->start();
        const auto ended = [&] {
            return launch->isFinished();
        };
        if (takingOver) {
            // It waits for the one quitting, then takes its place.
            ASSERT_TRUE(
                test::waitFor([&] { return ended() || scripted->connections >= 3; }, 10000));
            EXPECT_FALSE(ended());
            scripted.reset();
        }
        ASSERT_TRUE(test::waitFor(ended, 30000));
        EXPECT_EQ(role,
                  takingOver ? SingleInstance::Role::Primary : SingleInstance::Role::Forwarded)
            << why.toStdString();
        ::unlink(QFile::encodeName(socketPath()));
    }
}

TEST(SingleInstance, ALaunchTakesThePlaceOfAnInstanceOnlyOnceItIsGone)
{
    // The running instance has let go of the store, and its socket answers nothing any more (a
    // quitting instance whose answer was lost on the way), but it has not ended yet.
    auto running = std::make_unique<SingleInstance>(socketPath());
    ASSERT_EQ(running->start("reopen"), SingleInstance::Role::Primary);
    test::TestLaunchHold hold;
    hold.heldElsewhere = false;
    std::optional<SingleInstance::Role> role;
    std::unique_ptr<QThread> launch(QThread::create([&] {
        SingleInstance later(socketPath());
        later.setLaunchHold(&hold);
        role = later.start("tanvill:///addApp?id=1", 300);
    }));
    launch->start();
    // It finds nothing that answers and nobody holding the store, again and again.
    ASSERT_TRUE(test::waitFor([&] { return launch->isFinished() || hold.asked >= 3; }, 20000));
    EXPECT_FALSE(launch->isFinished()) << "it took the place of an instance still there";

    running.reset();
    ASSERT_TRUE(test::waitFor([&] { return launch->isFinished(); }, 10000));
    EXPECT_EQ(role, SingleInstance::Role::Primary);
}

TEST(SingleInstance, WhatStandsAtItsPathsIsNeverTakenForARunningInstance)
{
    const QByteArray lock = QFile::encodeName(socketPath() + ".lock");
    // A FIFO or a folder at the lock; a program listening at the socket that takes nothing,
    // while nothing holds what a running instance would hold.
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        ::unlink(lock.constData());
        ASSERT_TRUE(which != 0 || ::mkfifo(lock.constData(), 0600) == 0);
        ASSERT_TRUE(which != 1
                    || (::mkdir(lock.constData(), 0700) | ::mkdir(lock + "/inside", 0700)) == 0);
        QLocalServer silent;
        ASSERT_TRUE(which < 2 || silent.listen(socketPath()));
        SingleInstance running(socketPath());
        test::TestLaunchHold free;
        free.heldElsewhere = false;
        running.setLaunchHold(&free);
        EXPECT_EQ(running.start("reopen", 300), SingleInstance::Role::Primary)
            << running.errorString().toStdString();
        QStringList received;
        takeInto(running, received);
        EXPECT_EQ(launchWith("reopen"), SingleInstance::Role::Forwarded);
    }
}

TEST(SingleInstance, AnInstanceThatDoesNotAnswerEndsTheLaunchWithinItsTimeout)
{
    // Listening, but this thread never serves it: a hung instance.
    QLocalServer hung;
    ASSERT_TRUE(hung.listen(socketPath()));
    SingleInstance later(socketPath());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(later.start("reopen", 300), SingleInstance::Role::NotAnswered);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(later.errorString().isEmpty());
}

TEST(SingleInstance, TheMessageIsTheFirstTanvillLinkOrReopen)
{
    const std::pair<QStringList, QString> cases[] = {
        { { "tanvill" }, "reopen" },
        { { "tanvill", "https://example.com/" }, "reopen" },
        { { "tanvill", "--verbose", "TANVILL:/addApp?id=1", "tanvill:x" }, "TANVILL:/addApp?id=1" },
        { { "tanvill", "tanvill:///addApp?id=%31" }, "tanvill:///addApp?id=%31" },
        { { "tanvill", "tanvill:" + QString(SingleInstance::kMaxMessageBytes, 'a') }, "reopen" },
    };
    for (const auto &[arguments, message] : cases)
        EXPECT_EQ(SingleInstance::messageFromArguments(arguments), message)
            << arguments.join(' ').left(80).toStdString();
}

#include "core/ListsController.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <csignal>

using namespace tanvill;

namespace {

// The built program, started the way a user starts it, in this test's throw-away home.
struct RunningProgram
{
    explicit RunningProgram(const QUrl &storeUrl)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TANVILL_STORE_URL", storeUrl.toString());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        // No desktop session: notifications fall back to the console.
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(TANVILL_EXECUTABLE), {});
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

} // namespace

TEST(Launch, QuitsCleanlyOnSigintWithAnEmptyStore)
{
    test::FakeHttpServer server;
    RunningProgram program(server.baseUrl());
    ASSERT_TRUE(program.process.waitForStarted(10000));
    // Give the program time to reach its event loop, where the signal is handled.
    ASSERT_TRUE(
        test::waitFor([&] { return QFile::exists(ListsController::defaultStorePath()); }, 10000));
    ::kill(pid_t(program.process.processId()), SIGINT);
    ASSERT_TRUE(program.process.waitForFinished(15000));
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process.exitCode(), 0);
}

#include "support/TestEnvironment.h"

#include "platform/HttpClient.h"
#include "support/FakeHttpServer.h"

#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <memory>

#include <sys/syscall.h>
#include <unistd.h>

namespace tanvill::test {

IsolatedHome::IsolatedHome()
{
    const QString root = m_dir.path();
    const char *const folders[][2] = { { "HOME", "home" },
                                       { "XDG_DATA_HOME", "home/.local/share" },
                                       { "XDG_CONFIG_HOME", "home/.config" },
                                       { "XDG_CACHE_HOME", "home/.cache" },
                                       { "XDG_RUNTIME_DIR", "runtime" } };
    for (const auto &folder : folders) {
        const QString path = root + QLatin1Char('/') + QLatin1String(folder[1]);
        QDir().mkpath(path);
        m_previous.emplace_back(folder[0],
                                qEnvironmentVariableIsSet(folder[0])
                                    ? std::optional<QByteArray>(qgetenv(folder[0]))
                                    : std::nullopt);
        qputenv(folder[0], path.toLocal8Bit());
    }
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

IsolatedHome::~IsolatedHome()
{
    for (const auto &[name, value] : m_previous) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

namespace {

__user_cap_header_struct capabilityHeader()
{
    return { _LINUX_CAPABILITY_VERSION_3, 0 };
}

} // namespace

WithFilePermissions::WithFilePermissions()
{
    __user_cap_header_struct header = capabilityHeader();
    ::syscall(SYS_capget, &header, m_saved);
    __user_cap_data_struct reduced[2] = { m_saved[0], m_saved[1] };
    for (const int capability : { CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER })
        reduced[capability / 32].effective &= ~(1u << (capability % 32));
    ::syscall(SYS_capset, &header, reduced);
}

WithFilePermissions::~WithFilePermissions()
{
    __user_cap_header_struct header = capabilityHeader();
    ::syscall(SYS_capset, &header, m_saved);
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    // Once a pass, and its answer always heard: a condition may take what it finds (reap a
    // child, read a socket), and a second look would find it gone. The deadline is read
    // before the look, so that one look is taken after the time is up.
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const bool expired = deadline.hasExpired();
        if (condition())
            return true;
        if (expired)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        QThread::usleep(200);
    }
}

void drainEvents()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

bool waitPastTimer(int intervalMs, int timeoutMs)
{
    // A coarse timer may fire up to 5% late.
    const int sentinelMs = intervalMs + intervalMs / 20 + 1;
    auto fired = std::make_shared<bool>(false);
    QTimer::singleShot(sentinelMs, Qt::PreciseTimer, QCoreApplication::instance(),
                       [fired] { *fired = true; });
    return waitFor([&] { return *fired; }, sentinelMs + timeoutMs);
}

bool waitForLaterAnswer(FakeHttpServer &server, int delayMs, int timeoutMs)
{
    if (!waitFor([&] { return server.currentConnections() == 0; }, timeoutMs))
        return false;
    const QString path = QStringLiteral("/later-answer");
    server.setRoute(path, FakeResponse::json("[]").delayed(delayMs));
    auto answered = std::make_shared<bool>(false);
    HttpClient::shared().get(server.url(path),
                             [answered](const HttpResult &) { *answered = true; });
    const bool arrived = waitFor([&] { return *answered; }, delayMs + timeoutMs);
    drainEvents();
    return arrived;
}

QString fixturesDir()
{
    return QDir::cleanPath(QStringLiteral(TANVILL_FIXTURES_DIR));
}

QString testOutputDir(const QString &subfolder)
{
    QString base = qEnvironmentVariable("TANVILL_TEST_OUTPUT");
    if (base.isEmpty())
        base = QDir::currentPath() + QStringLiteral("/test-output");
    const QString path = base + QLatin1Char('/') + subfolder;
    QDir().mkpath(path);
    return path;
}

} // namespace tanvill::test

#include "support/TestEnvironment.h"

#include <QDir>
#include <QEventLoop>
#include <QThread>

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

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        if (!condition())
            QThread::usleep(200);
    }
    return true;
}

void drainEvents()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
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

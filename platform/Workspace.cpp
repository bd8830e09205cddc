#include "platform/Workspace.h"

#include "platform/RegularFile.h"
#include "platform/SharedInstance.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

namespace tanvill {

namespace {

QStringList searchPath(const char *variable, const QString &fallback)
{
    QString value = qEnvironmentVariable(variable);
    if (value.isEmpty())
        value = fallback;
    return value.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

// The desktop file ids (in order) that the key has in the given groups of an XDG key file
// (mimeapps.list, defaults.list, mimeinfo.cache).
QStringList entriesIn(const QString &path, const QString &key, const QStringList &groups)
{
    // mimeinfo.cache of a large system runs to a few hundred kilobytes.
    const std::optional<QByteArray> contents = readRegularFile(path, 8 * 1024 * 1024);
    if (!contents)
        return {};
    QStringList ids;
    bool inGroup = false;
    for (const QByteArray &bytes : contents->split('\n')) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = groups.contains(line.mid(1, line.size() - 2));
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals < 0 || line.left(equals).trimmed() != key)
            continue;
        for (const QString &id : line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            ids.append(id.trimmed());
    }
    return ids;
}

// A desktop file id names applications/<id>, or a subfolder for each of its first dashes
// ("vendor-app.desktop" may be applications/vendor/app.desktop).
bool desktopFileExists(const QStringList &applicationFolders, const QString &id)
{
    for (const QString &folder : applicationFolders) {
        QString relative = id;
        for (;;) {
            if (QFileInfo(folder + QLatin1Char('/') + relative).isFile())
                return true;
            const qsizetype dash = relative.indexOf(QLatin1Char('-'));
            if (dash < 0)
                break;
            relative[dash] = QLatin1Char('/');
        }
    }
    return false;
}

// xdg-open answers at once when it finds nothing to open a link with; when it runs a browser
// itself it may only end when the browser does, and how that ends says nothing about the link.
constexpr qint64 kOpenerVerdictMs = 15000;

} // namespace

Workspace &Workspace::shared()
{
    return SharedInstance<Workspace>::get("Workspace::shared");
}

Workspace::Workspace() = default;

Workspace::~Workspace()
{
    if (!m_launches)
        return;
    // Only the openers end: an application they started runs on.
    for (QProcess *process : m_launches->findChildren<QProcess *>()) {
        process->disconnect();
        process->kill();
        process->waitForFinished(1000);
    }
}

bool Workspace::openURL(const QUrl &url)
{
    return open(url, true);
}

bool Workspace::open(const QUrl &url, bool reportFailure)
{
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    if (!m_opener)
        return openWithDesktop(url, reportFailure);
    const bool opened = m_opener(url);
    if (!opened && reportFailure)
        this->reportFailure(url);
    return opened;
}

bool Workspace::openWithDesktop(const QUrl &url, bool reportFailure)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        qWarning().noquote() << "No desktop session to open" << url.toString();
        return false;
    }
    // Qt hands any link to xdg-open and reports success once it started, even when nothing
    // takes the scheme; ask the associations first so that callers can fall back.
    if (!hasHandlerForScheme(url.scheme())) {
        if (reportFailure)
            this->reportFailure(url);
        return false;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        const bool opened = QDesktopServices::openUrl(url);
        if (!opened && reportFailure)
            this->reportFailure(url);
        return opened;
    }
    // Run here rather than through Qt, which starts it detached and never hears how it ended.
    if (!m_launches)
        m_launches = std::make_unique<QObject>();
    auto *process = new QProcess(m_launches.get());
    process->setProgram(opener);
    process->setArguments({ url.toString(QUrl::FullyEncoded) });
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer started;
    started.start();
    const auto failed = [this, url, reportFailure, started] {
        qWarning().noquote() << "xdg-open could not open" << url.toString();
        if (reportFailure && started.elapsed() < kOpenerVerdictMs)
            this->reportFailure(url);
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0)
                             failed();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         failed();
                         process->deleteLater();
                     });
    process->start();
    return true;
}

void Workspace::reportFailure(const QUrl &url)
{
    if (m_failureHandler)
        m_failureHandler(url);
}

bool Workspace::openStoreURL(const QUrl &httpsUrl, const QString &storeScheme)
{
    // Only the scheme changes: the path and query (affiliate token, campaign) stay as they are.
    QUrl storeUrl = httpsUrl;
    storeUrl.setScheme(storeScheme);
    if (open(storeUrl, false))
        return true;
    return open(httpsUrl, true);
}

void Workspace::setOpener(Opener opener)
{
    m_opener = std::move(opener);
}

void Workspace::setFailureHandler(FailureHandler handler)
{
    m_failureHandler = std::move(handler);
}

bool Workspace::hasHandlerForScheme(const QString &scheme)
{
    const QString lower = scheme.toLower();
    static const QStringList builtIn = { QStringLiteral("http"), QStringLiteral("https"),
                                         QStringLiteral("file"), QStringLiteral("mailto") };
    if (builtIn.contains(lower))
        return true;
    if (lower.isEmpty())
        return false;

    const QString key = QStringLiteral("x-scheme-handler/") + lower;
    const QString home = QDir::homePath();
    QStringList configFolders = searchPath("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    configFolders += searchPath("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    QStringList applicationFolders;
    const QStringList dataFolders
        = searchPath("XDG_DATA_HOME", home + QStringLiteral("/.local/share"))
        + searchPath("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString &folder : dataFolders)
        applicationFolders.append(folder + QStringLiteral("/applications"));

    QStringList desktops;
    for (const QString &desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops.append(desktop.toLower() + QStringLiteral("-mimeapps.list"));
    desktops.append(QStringLiteral("mimeapps.list"));

    const QStringList associations
        = { QStringLiteral("Default Applications"), QStringLiteral("Added Associations") };
    QStringList candidates;
    for (const QString &folder : configFolders + applicationFolders) {
        for (const QString &name : desktops)
            candidates += entriesIn(folder + QLatin1Char('/') + name, key, associations);
    }
    for (const QString &folder : applicationFolders) {
        candidates += entriesIn(folder + QStringLiteral("/defaults.list"), key,
                                { QStringLiteral("Default Applications") });
        candidates += entriesIn(folder + QStringLiteral("/mimeinfo.cache"), key,
                                { QStringLiteral("MIME Cache") });
    }
    for (const QString &id : candidates) {
        if (desktopFileExists(applicationFolders, id))
            return true;
    }
    return false;
}

} // namespace tanvill

#include "platform/Workspace.h"

#include "platform/SharedInstance.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList ids;
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
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

bool openWithDesktop(const QUrl &url)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        qWarning().noquote() << "No desktop session to open" << url.toString();
        return false;
    }
    // Qt hands any link to xdg-open and reports success once it started, even when nothing
    // takes the scheme; ask the associations first so that callers can fall back.
    if (!Workspace::hasHandlerForScheme(url.scheme()))
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace

Workspace &Workspace::shared()
{
    return SharedInstance<Workspace>::get("Workspace::shared");
}

bool Workspace::openURL(const QUrl &url)
{
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    return m_opener ? m_opener(url) : openWithDesktop(url);
}

bool Workspace::openStoreURL(const QUrl &httpsUrl, const QString &storeScheme)
{
    // Only the scheme changes: the path and query (affiliate token, campaign) stay as they are.
    QUrl storeUrl = httpsUrl;
    storeUrl.setScheme(storeScheme);
    if (openURL(storeUrl))
        return true;
    return openURL(httpsUrl);
}

void Workspace::setOpener(Opener opener)
{
    m_opener = std::move(opener);
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

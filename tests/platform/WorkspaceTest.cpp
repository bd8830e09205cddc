#include "platform/Workspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// Records every link it is given and takes only those of the accepted schemes.
struct RecordingOpener
{
    QStringList acceptedSchemes;
    QStringList opened;

    Workspace::Opener opener()
    {
        return [this](const QUrl &url) {
            opened.append(url.toString(QUrl::FullyEncoded));
            return acceptedSchemes.contains(url.scheme());
        };
    }
};

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

TEST(Workspace, StoreLinkTriesTheStoreSchemeThenFallsBackToTheWebLink)
{
    // "https" also stands in the query: only the scheme may change.
    const QUrl link(QStringLiteral("https://apps.example.com/us/app/id904280696"
                                   "?mt=12&at=tok&ct=tanvill&back=https%3A%2F%2Fx.example"));
    const QString storeLink
        = QStringLiteral("macappstore://apps.example.com/us/app/id904280696"
                         "?mt=12&at=tok&ct=tanvill&back=https%3A%2F%2Fx.example");
    struct Case
    {
        QStringList accepted;
        bool opened;
        QStringList attempts;
    };
    const Case cases[] = {
        { { "macappstore" }, true, { storeLink } },
        { { "https" }, true, { storeLink, link.toString() } },
        { {}, false, { storeLink, link.toString() } },
    };
    Workspace workspace;
    for (const Case &c : cases) {
        RecordingOpener recorder { c.accepted, {} };
        workspace.setOpener(recorder.opener());
        EXPECT_EQ(workspace.openStoreURL(link, QStringLiteral("macappstore")), c.opened);
        EXPECT_EQ(recorder.opened, c.attempts) << c.accepted.join(',').toStdString();
    }
    workspace.setOpener({});
}

TEST(Workspace, InvalidLinksAndHeadlessSessionsOpenNothing)
{
    Workspace workspace;
    RecordingOpener recorder { { "https" }, {} };
    workspace.setOpener(recorder.opener());
    EXPECT_FALSE(workspace.openURL(QUrl()));
    EXPECT_FALSE(workspace.openURL(QUrl(QStringLiteral("no-scheme"))));
    EXPECT_TRUE(recorder.opened.isEmpty());

    // Without a GUI application the desktop's opener starts nothing and says so.
    workspace.setOpener({});
    EXPECT_FALSE(workspace.openURL(QUrl(QStringLiteral("https://example.com/"))));
}

TEST(Workspace, SchemeHandlersAreFoundInTheDesktopsAssociations)
{
    QTemporaryDir root;
    const QString data = root.path() + "/data";
    const QString config = root.path() + "/config";
    qputenv("XDG_DATA_HOME", (root.path() + "/home-data").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", data.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (root.path() + "/etc").toLocal8Bit());
    qunsetenv("XDG_CURRENT_DESKTOP");

    writeFile(data + "/applications/store.desktop", "[Desktop Entry]\n");
    writeFile(data + "/applications/vendor/viewer.desktop", "[Desktop Entry]\n");
    writeFile(data + "/applications/mimeinfo.cache",
              "[MIME Cache]\nx-scheme-handler/cached=store.desktop;\n");
    writeFile(config + "/mimeapps.list",
              "[Added Associations]\nx-scheme-handler/added=vendor-viewer.desktop;\n"
              "[Default Applications]\nx-scheme-handler/gone=removed.desktop\n");

    const std::pair<const char *, bool> cases[] = {
        { "https", true }, { "mailto", true }, { "cached", true },  { "CACHED", true },
        { "added", true }, { "gone", false },  { "itunes", false }, { "", false },
    };
    for (const auto &[scheme, handled] : cases)
        EXPECT_EQ(Workspace::hasHandlerForScheme(QString::fromLatin1(scheme)), handled) << scheme;
}

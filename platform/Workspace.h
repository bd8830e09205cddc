#pragma once

// Opens links in the application the desktop associates with their scheme: the web browser
// for http and https, the mail program for mailto. The rows, detail windows, menus and
// preferences open store pages, the support page and mail links through it; tests install an
// opener that records the links instead of starting anything. A link that nothing opened is
// handed to the failure handler, which the shell installs to show the user its address.

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QObject;

namespace tanvill {

class Workspace
{
public:
    // Opens one link and answers whether an application took it.
    using Opener = std::function<bool(const QUrl &url)>;
    using FailureHandler = std::function<void(const QUrl &url)>;

    Workspace();
    ~Workspace();

    // The application's instance (see SharedInstance.h).
    static Workspace &shared();

    // Opens url; false when it is not valid or nothing on the desktop takes it. The desktop's
    // opener (xdg-open) may also give up a moment later, when no browser or mail program is
    // set: then the failure handler hears of it, as it does of a false answer.
    bool openURL(const QUrl &url);

    // Opens a store page in the store's own application: httpsUrl with its scheme changed to
    // storeScheme ("macappstore", "itunes"). When nothing takes that link, httpsUrl itself is
    // opened (in the browser). Answers whether one of the two was opened.
    bool openStoreURL(const QUrl &httpsUrl, const QString &storeScheme);

    // Replaces how links are opened; an empty opener restores the desktop's.
    void setOpener(Opener opener);
    // Told of every valid link that could not be opened (for a store link, only when its web
    // link could not be opened either).
    void setFailureHandler(FailureHandler handler);

    // Whether the desktop names an application for links of this scheme, read from the
    // XDG MIME associations (x-scheme-handler/<scheme>) the way xdg-open and gio find it.
    // http, https, file and mailto always count as handled.
    static bool hasHandlerForScheme(const QString &scheme);

private:
    bool open(const QUrl &url, bool reportFailure);
    bool openWithDesktop(const QUrl &url, bool reportFailure);
    void reportFailure(const QUrl &url);

    Opener m_opener;
    FailureHandler m_failureHandler;
    // Parent of the openers still running; they end with the workspace.
    std::unique_ptr<QObject> m_launches;
};

} // namespace tanvill

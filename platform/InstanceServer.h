#pragma once

// The running instance's side of the per-user socket. It listens at the socket (made under
// another name and renamed into place, so that it replaces whatever was there in one step),
// serves a few connections at once on the UI thread, reads each one's message and answers it
// as its handler says; messages that arrive before there is a handler wait for it. A peer that
// sends more than one message, an over-long or malformed one, or nothing in time is dropped
// without an answer. When all places are taken, one that has not sent its whole message within
// a moment makes room for a new one; only when none has is the new one closed unanswered. A
// socket removed or replaced while it runs is made again, unless something else listens there
// now; so is one whose whole folder was removed, once the folder is there again. Once the
// instance begins to quit, a QuittingAnswerer answers every launch, the ones accepted but
// not answered yet included. At its end it removes the socket while the socket is still its
// own. SingleInstance makes one when its launch becomes the running instance.

#include "platform/InstanceProtocol.h"
#include "platform/ThrottledLog.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFileSystemWatcher;
class QLocalServer;
class QLocalSocket;
class QTimer;

namespace tanvill {

class QuittingAnswerer;

class InstanceServer : public QObject
{
    Q_OBJECT

public:
    // Decides what a launch's message is answered: taken, or refused and why.
    using MessageHandler = std::function<instance::Answer(const QString &message)>;

    // How long the instance waits for a connected peer's message; a launch sends its message
    // as soon as it is connected.
    static constexpr int kPeerTimeoutMs = 1000;

    explicit InstanceServer(QString socketPath, QObject *parent = nullptr);
    ~InstanceServer() override;

    // Listens at the socket path; false, with why in `error`, when it cannot.
    bool listen(QString *error);
    void setMessageHandler(MessageHandler handler);
    void setPeerTimeoutMs(int milliseconds) { m_peerTimeoutMs = milliseconds; }
    // From now until it ends, every launch is answered "quitting" and no message is taken.
    void beginQuitting();

signals:
    // The socket was made again, after it or its folder had gone.
    void socketMadeAgain();

private:
    struct Peer;

    // Makes the socket under another name and renames it into place; the server that listens
    // at it, or none with why in `error`.
    QLocalServer *listenInPlace(QString *error);
    // Makes the socket again when it left its path.
    void checkSocket();
    // Watches the socket's folder, or while it is gone the nearest folder above it that is
    // there, so that its coming back is seen too.
    void watchFolder();
    // Tries again later, when the socket could not be made again though its folder is there.
    void retryLater();
    void acceptConnections(QLocalServer *server);
    bool makeRoom();
    void readMessage(Peer &peer);
    void answer(Peer &peer);
    void drop(Peer &peer, const char *reason);

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    std::optional<instance::FileId> m_ownSocket;
    QFileSystemWatcher *m_watcher = nullptr;
    // The folder watched, and what it was when the watch began.
    QString m_watchedFolder;
    std::optional<instance::FileId> m_watchedFolderId;
    QTimer *m_retry = nullptr;
    bool m_folderGone = false;
    // The connections being served, oldest first.
    std::vector<std::shared_ptr<Peer>> m_peers;
    MessageHandler m_handler;
    int m_peerTimeoutMs = kPeerTimeoutMs;
    std::unique_ptr<QuittingAnswerer> m_quittingAnswerer;
    // A process that keeps connecting must not fill the log.
    ThrottledLog m_log;
};

} // namespace tanvill

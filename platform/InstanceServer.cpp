#include "platform/InstanceServer.h"

#include "platform/FileLock.h"
#include "platform/QuittingAnswerer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tanvill {

namespace {

// Connections handled at once; more are closed at once, so a flood costs nothing.
constexpr int kMaxPeers = 8;
// A connection that has not sent its whole message after this long makes room for a new one
// when every place is taken: a launch sends its message as soon as it is connected.
constexpr int kIdleBeforeMakingRoomMs = 100;
// How soon a socket that could not be made again, its folder there, is tried again; each try
// waits twice as long as the one before, up to the longest wait.
constexpr int kFirstRetryMs = 250;
constexpr int kLongestRetryMs = 60000;

bool addressOf(const QByteArray &name, sockaddr_un *address)
{
    *address = {};
    address->sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address->sun_path)
        return false;
    std::copy(name.begin(), name.end(), address->sun_path);
    return true;
}

// Whether something takes connections at the socket `name` now (or has as many waiting as it
// lets wait).
bool someoneListensAt(const QByteArray &name)
{
    sockaddr_un address {};
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const bool listening = fd >= 0 && addressOf(name, &address)
        && (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0
            || errno == EAGAIN || errno == EINPROGRESS);
    if (fd >= 0)
        ::close(fd);
    return listening;
}

} // namespace

// The state of one connection.
struct InstanceServer::Peer
{
    QLocalSocket *socket = nullptr;
    QTimer *timer = nullptr;
    instance::FrameReader reader { instance::kMaxMessageBytes };
    QElapsedTimer connected;
    // Its whole message, waiting for a handler to answer it.
    std::optional<QString> message;
    bool done = false;
};

InstanceServer::InstanceServer(QString socketPath, QObject *parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{ }

InstanceServer::~InstanceServer()
{
    if (!m_server)
        return;
    // Removes only the name the socket was made under.
    m_server->close();
    m_quittingAnswerer.reset();
    // A launch that took this one's place (it no longer answered while it ended) keeps its
    // socket; launches look at the socket only while they hold the lock.
    FileLock lock;
    QString error;
    if (lock.lock(instance::lockPath(m_socketPath), instance::kLockMode, true, 100, &error)
            != FileLock::Result::Held
        && m_ownSocket && instance::fileIdAt(m_socketPath) == m_ownSocket)
        ::unlink(QFile::encodeName(m_socketPath).constData());
}

bool InstanceServer::listen(QString *error)
{
    QLocalServer *server = listenInPlace(error);
    if (!server)
        return false;
    m_server = server;
    // Launches take an instance whose socket is gone for one that is ending, and wait for it
    // to end: a socket removed or replaced while this one runs (a cleaner of the runtime
    // folder, a user), or its folder removed and made again (a logout and login of the same
    // user), is made again.
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &InstanceServer::checkSocket);
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &InstanceServer::checkSocket);
    watchFolder();
    return true;
}

void InstanceServer::watchFolder()
{
    QString folder = QFileInfo(m_socketPath).absolutePath();
    while (!QFileInfo(folder).isDir() && QFileInfo(folder).path() != folder)
        folder = QFileInfo(folder).path();
    const std::optional<instance::FileId> id = instance::fileIdAt(folder);
    if (folder == m_watchedFolder && id == m_watchedFolderId
        && m_watcher->directories().contains(folder))
        return;
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    m_watchedFolder = folder;
    m_watchedFolderId = id;
    if (!m_watcher->addPath(folder)) {
        qWarning().noquote() << "The folder of the socket later launches reach this instance "
                                "at cannot be watched:"
                             << folder;
        retryLater();
    }
}

void InstanceServer::retryLater()
{
    if (m_retry->isActive())
        return;
    m_retry->start(std::clamp(m_retry->interval() * 2, kFirstRetryMs, kLongestRetryMs));
}

void InstanceServer::checkSocket()
{
    // Quitting closed the server: launches are told so until the end, through what stays.
    if (!m_server || !m_server->isListening())
        return;
    watchFolder();
    if (instance::fileIdAt(m_socketPath) == m_ownSocket
        || someoneListensAt(QFile::encodeName(m_socketPath))) {
        m_retry->setInterval(0);
        return;
    }
    QString error;
    QLocalServer *server = listenInPlace(&error);
    if (!server) {
        // A folder that comes back is seen coming: said once each time it goes.
        if (m_watchedFolder != QFileInfo(m_socketPath).absolutePath()) {
            if (!std::exchange(m_folderGone, true))
                qWarning().noquote() << "The socket later launches reach this instance at is "
                                        "gone with its folder; it is made again once the "
                                        "folder is back:"
                                     << m_socketPath;
            return;
        }
        m_log.warn(QStringLiteral("socket gone"),
                   QStringLiteral("The socket later launches reach this instance at is gone, "
                                  "and cannot be made again now: %1")
                       .arg(error));
        retryLater();
        return;
    }
    m_folderGone = false;
    m_retry->setInterval(0);
    // What came to the old socket before it went is served; then it takes no more.
    QLocalServer *old = std::exchange(m_server, server);
    while (old->waitForNewConnection(0) && old->hasPendingConnections())
        acceptConnections(old);
    acceptConnections(old);
    delete old;
    qWarning().noquote() << "The socket later launches reach this instance at was made again:"
                         << m_socketPath;
    emit socketMadeAgain();
}

QLocalServer *InstanceServer::listenInPlace(QString *error)
{
    const QByteArray name = QFile::encodeName(m_socketPath);
    const QByteArray fresh
        = name + ".new-" + QByteArray::number(QCoreApplication::applicationPid());
    sockaddr_un address {};
    if (!addressOf(fresh, &address)) {
        *error = QStringLiteral("the path %1 is too long for a socket").arg(m_socketPath);
        return nullptr;
    }
    ::unlink(fresh.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const auto fail = [&](int errorNumber) -> QLocalServer * {
        *error = describeError(errorNumber);
        if (fd >= 0)
            ::close(fd);
        ::unlink(fresh.constData());
        return nullptr;
    };
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::chmod(fresh.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, SOMAXCONN) != 0)
        return fail(errno);
    // Replaces in one step whatever is there: a socket left by a crash, or one at which nothing
    // answers.
    if (::rename(fresh.constData(), name.constData()) != 0
        && !((errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST) && makeWay(name)
             && ::rename(fresh.constData(), name.constData()) == 0))
        return fail(errno);
    auto server = std::make_unique<QLocalServer>(this);
    if (!server->listen(qintptr(fd))) {
        *error = server->errorString();
        ::close(fd);
        return nullptr;
    }
    m_ownSocket = instance::fileIdAt(m_socketPath);
    connect(server.get(), &QLocalServer::newConnection, this,
            [this, server = server.get()] { acceptConnections(server); });
    return server.release();
}

void InstanceServer::setMessageHandler(MessageHandler handler)
{
    m_handler = std::move(handler);
    if (!m_handler)
        return;
    // The ones that came first are answered in the order they came.
    const std::vector<std::shared_ptr<Peer>> peers = m_peers;
    for (const std::shared_ptr<Peer> &peer : peers) {
        if (!peer->done && peer->message)
            answer(*peer);
    }
}

void InstanceServer::drop(Peer &peer, const char *reason)
{
    const QString message = QStringLiteral("Dropped a connection to the running instance: %1")
                                .arg(QLatin1String(reason));
    m_log.warn(message, message);
    peer.done = true;
    peer.timer->stop();
    peer.socket->abort();
    peer.socket->deleteLater();
}

void InstanceServer::beginQuitting()
{
    if (!m_server || m_quittingAnswerer)
        return;
    const int listening = ::fcntl(int(m_server->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    // Launches this instance accepted but has not answered are answered "quitting" too: each
    // connection goes on through a copy of its descriptor.
    std::vector<int> unanswered;
    const auto handOver = [&unanswered](QLocalSocket *socket) {
        const int copy = ::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
        if (copy >= 0)
            unanswered.push_back(copy);
        socket->abort();
        socket->deleteLater();
    };
    for (const std::shared_ptr<Peer> &peer : m_peers) {
        if (peer->done)
            continue;
        peer->done = true;
        peer->timer->stop();
        handOver(peer->socket);
    }
    while (QLocalSocket *socket = m_server->nextPendingConnection())
        handOver(socket);
    // Removes only the name the socket was made under: the socket stays, through the copy.
    m_server->close();
    if (listening >= 0 || !unanswered.empty())
        m_quittingAnswerer
            = std::make_unique<QuittingAnswerer>(listening, unanswered, m_peerTimeoutMs);
}

bool InstanceServer::makeRoom()
{
    for (const std::shared_ptr<Peer> &peer : m_peers) {
        if (!peer->done && !peer->message && peer->connected.elapsed() >= kIdleBeforeMakingRoomMs) {
            drop(*peer, "it sent no whole message while another connected");
            return true;
        }
    }
    return false;
}

void InstanceServer::acceptConnections(QLocalServer *server)
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        // Served whatever becomes of the server it came through.
        socket->setParent(this);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto serving = std::count_if(m_peers.begin(), m_peers.end(),
                                           [](const auto &peer) { return !peer->done; });
        if (serving >= kMaxPeers && !makeRoom()) {
            const QString message = QStringLiteral(
                "Dropped a connection to the running instance: too many connections");
            m_log.warn(message, message);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Qt stops reading from the peer once this much waits, so a flood stays bounded.
        socket->setReadBufferSize(instance::kHeaderBytes + instance::kMaxMessageBytes + 1);
        auto peer = std::make_shared<Peer>();
        peer->socket = socket;
        peer->connected.start();
        m_peers.push_back(peer);
        connect(socket, &QObject::destroyed, this, [this, gone = peer.get()] {
            std::erase_if(m_peers, [gone](const auto &served) { return served.get() == gone; });
        });
        peer->timer = new QTimer(socket);
        peer->timer->setSingleShot(true);
        connect(peer->timer, &QTimer::timeout, socket,
                [this, peer] { drop(*peer, "no message in time"); });
        peer->timer->start(m_peerTimeoutMs);
        connect(socket, &QLocalSocket::readyRead, this, [this, peer] { readMessage(*peer); });
        if (socket->bytesAvailable() > 0)
            readMessage(*peer);
    }
}

void InstanceServer::readMessage(Peer &peer)
{
    if (peer.done)
        return;
    while (peer.socket->bytesAvailable() > 0) {
        // One byte past the frame shows a second message.
        const QByteArray bytes = peer.socket->read(peer.reader.missing() + 1);
        if (peer.reader.append(bytes) == instance::FrameReader::State::Malformed) {
            drop(peer, peer.message ? "more than one message" : "a malformed message");
            return;
        }
        if (peer.reader.state() == instance::FrameReader::State::Complete && !peer.message) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString message = decoder(peer.reader.payload());
            if (decoder.hasError() || message.contains(QChar(0))) {
                drop(peer, "a message that is not text");
                return;
            }
            peer.message = message;
            peer.timer->stop();
        }
    }
    if (peer.message && m_handler)
        answer(peer);
}

void InstanceServer::answer(Peer &peer)
{
    peer.done = true;
    peer.timer->stop();
    const instance::Answer answer = m_handler(*peer.message);
    peer.socket->write(answer.toFrame());
    // Closes once the answer is written; the socket then deletes itself.
    peer.socket->disconnectFromServer();
}

} // namespace tanvill

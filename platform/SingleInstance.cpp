#include "platform/SingleInstance.h"

#include "platform/FileLock.h"
#include "platform/Identity.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tanvill {

namespace {

constexpr int kHeaderBytes = 4;
// Connections handled at once; more are closed at once, so a flood costs nothing.
constexpr int kMaxPeers = 8;
// A connection that has not sent its whole message after this long makes room for a new one
// when every place is taken: a launch sends its message as soon as it is connected.
constexpr int kIdleBeforeMakingRoomMs = 100;
constexpr quint32 kMaxAnswerBytes = 16;
constexpr int kQuittingPollMs = 50;
// The lock that launches of one session take in turn to find the running instance or become
// it. Its file stays when the lock is let go.
constexpr mode_t kLockMode = 0600;

QByteArray frame(const QByteArray &payload)
{
    QByteArray bytes(kHeaderBytes, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), bytes.data());
    return bytes + payload;
}

const QByteArray &answerFrame()
{
    static const QByteArray answer = frame("ok");
    return answer;
}

const QByteArray &quittingFrame()
{
    static const QByteArray answer = frame("quitting");
    return answer;
}

} // namespace

// The state of one connection to the running instance.
struct SingleInstance::Peer
{
    QLocalSocket *socket = nullptr;
    QTimer *timer = nullptr;
    QByteArray buffer;
    QElapsedTimer connected;
    bool done = false;
};

void SingleInstance::drop(Peer &peer, const char *reason)
{
    const QString message = QStringLiteral("Dropped a connection to the running instance: %1")
                                .arg(QLatin1String(reason));
    m_log.warn(message, message);
    peer.done = true;
    peer.timer->stop();
    peer.socket->abort();
    peer.socket->deleteLater();
}

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{ }

// Answers every launch "quitting" from a thread of its own, on its own copy of the listening
// socket, while the UI thread saves and ends: a launch that meets the instance then waits for
// its end rather than taking a silence for a hang.
class SingleInstance::QuittingAnswerer
{
public:
    QuittingAnswerer(int listening, int peerTimeoutMs)
        : m_listening(listening), m_peerTimeoutMs(peerTimeoutMs)
    {
        if (::pipe2(m_wake, O_CLOEXEC) == 0)
            m_thread = std::thread([this] { run(); });
    }
    ~QuittingAnswerer()
    {
        if (m_thread.joinable()) {
            [[maybe_unused]] const ssize_t woken = ::write(m_wake[1], "x", 1);
            m_thread.join();
            ::close(m_wake[0]);
            ::close(m_wake[1]);
        }
        ::close(m_listening);
    }
    QuittingAnswerer(const QuittingAnswerer &) = delete;
    QuittingAnswerer &operator=(const QuittingAnswerer &) = delete;

private:
    void run()
    {
        for (;;) {
            pollfd waiting[2] = { { m_listening, POLLIN, 0 }, { m_wake[0], POLLIN, 0 } };
            if (::poll(waiting, 2, -1) < 0 && errno != EINTR)
                return;
            if (waiting[1].revents != 0)
                return;
            const int peer = ::accept4(m_listening, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer >= 0) {
                answer(peer);
                ::close(peer);
            }
        }
    }

    // Reads the launch's message, for a moment at most, so that the answer is what it finds.
    void answer(int peer) const
    {
        QByteArray received;
        const QDeadlineTimer deadline(m_peerTimeoutMs);
        for (;;) {
            if (received.size() >= kHeaderBytes
                && received.size()
                    >= kHeaderBytes + qsizetype(qFromBigEndian<quint32>(received.constData())))
                break;
            pollfd readable { peer, POLLIN, 0 };
            if (deadline.hasExpired() || ::poll(&readable, 1, int(deadline.remainingTime())) <= 0)
                return;
            char bytes[512];
            const ssize_t count = ::recv(peer, bytes, sizeof bytes, MSG_DONTWAIT);
            if (count <= 0 || received.size() > kHeaderBytes + kMaxMessageBytes)
                return;
            received.append(bytes, qsizetype(count));
        }
        const QByteArray &quitting = quittingFrame();
        [[maybe_unused]] const ssize_t sent
            = ::send(peer, quitting.constData(), size_t(quitting.size()), MSG_NOSIGNAL);
    }

    int m_listening;
    int m_peerTimeoutMs;
    int m_wake[2] = { -1, -1 };
    std::thread m_thread;
};

void SingleInstance::beginQuitting()
{
    if (!m_server || m_quittingAnswerer)
        return;
    const int listening = ::fcntl(int(m_server->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    // Removes only the name the socket was made under: the socket stays, through the copy.
    m_server->close();
    for (const std::shared_ptr<Peer> &peer : m_peers) {
        if (!peer->done)
            drop(*peer, "the instance is quitting");
    }
    if (listening >= 0)
        m_quittingAnswerer = std::make_unique<QuittingAnswerer>(listening, m_peerTimeoutMs);
}

SingleInstance::~SingleInstance()
{
    if (!m_server)
        return;
    // Removes only the name the socket was made under.
    m_server->close();
    m_quittingAnswerer.reset();
    // A launch that took this one's place (it no longer answered while it ended) keeps its
    // socket.
    FileLock lock;
    QString error;
    if (lock.lock(lockPath(), kLockMode, true, 100, &error) != FileLock::Result::Held && m_ownSocket
        && socketId() == m_ownSocket)
        ::unlink(QFile::encodeName(m_socketPath).constData());
}

std::optional<SingleInstance::FileId> SingleInstance::socketId() const
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(m_socketPath).constData(), &status) != 0)
        return std::nullopt;
    return FileId { quint64(status.st_dev), quint64(status.st_ino) };
}

QString SingleInstance::defaultSocketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/')
        + bundleIdentifier() + QStringLiteral(".instance");
}

QString SingleInstance::messageFromArguments(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument.toUtf8().size() > kMaxMessageBytes)
            continue;
        if (QUrl(argument).scheme().compare(QLatin1String("tanvill"), Qt::CaseInsensitive) == 0)
            return argument;
    }
    return kReopenMessage;
}

SingleInstance::Role SingleInstance::start(const QString &message, int timeoutMs, int busyRetryMs)
{
    const QDeadlineTimer busyDeadline(busyRetryMs);
    std::optional<QDeadlineTimer> quittingDeadline;
    m_unansweredSocket.reset();
    // Pauses between tries grow, so that a busy instance is not met with a flood.
    int pauseMs = 50;
    for (;;) {
        m_errorString.clear();
        Refusal refusal = Refusal::None;
        const Role role = attempt(message, timeoutMs, refusal);
        if (role != Role::NotAnswered)
            return role;
        if (refusal == Refusal::Quitting) {
            // Its place is free once it has ended: this launch then listens in it, or hands its
            // message to another launch that got there first.
            if (!quittingDeadline)
                quittingDeadline = QDeadlineTimer(m_quittingWaitMs);
            if (quittingDeadline->hasExpired()) {
                m_errorString = QStringLiteral("the running instance was still quitting after %1 s")
                                    .arg(double(m_quittingWaitMs) / 1000.0, 0, 'g', 2);
                return role;
            }
            QThread::msleep(kQuittingPollMs);
            continue;
        }
        // What took no message is no running instance when nobody holds what one would hold
        // (another program, or an instance that is ending): this launch takes its place.
        if (m_unansweredSocket && m_hold) {
            m_hold->letGoToHandOver();
            if (!m_hold->heldByAnother())
                return takeOver(message, timeoutMs);
        }
        if (refusal != Refusal::Busy)
            return role;
        if (busyDeadline.remainingTime() < pauseMs) {
            m_errorString = QStringLiteral("the running instance stayed busy with other "
                                           "connections for %1 s")
                                .arg(double(busyRetryMs) / 1000.0, 0, 'g', 2);
            return role;
        }
        QThread::msleep(ulong(pauseMs));
        pauseMs = std::min(pauseMs * 2, 400);
    }
}

SingleInstance::Role SingleInstance::attempt(const QString &message, int timeoutMs,
                                             Refusal &refusal)
{
    // Connecting and listening happen under a lock, so that two launches at once cannot both
    // find no instance, and a stale socket is replaced only while no one else can listen.
    FileLock lock;
    QString lockError;
    switch (lock.lock(lockPath(), kLockMode, true, timeoutMs, &lockError)) {
    case FileLock::Result::Locked:
        break;
    case FileLock::Result::Held:
        m_errorString = QStringLiteral("another launch holds %1").arg(lockPath());
        return Role::NotAnswered;
    case FileLock::Result::Failed:
        // Launches at the same moment may both find no instance then; the store's lock still
        // keeps them from working on one store.
        qWarning().noquote() << "Launches cannot take turns:" << lockError;
        break;
    }

    const std::optional<FileId> listening = socketId();
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (socket.waitForConnected(timeoutMs)) {
        lock.unlock();
        if (m_hold)
            m_hold->letGoToHandOver();
        const Role role = forward(socket, message, timeoutMs, refusal);
        if (role == Role::NotAnswered)
            m_unansweredSocket = listening;
        return role;
    }
    if (socket.error() == QLocalSocket::SocketTimeoutError) {
        m_unansweredSocket = listening;
        m_errorString = QStringLiteral("the running instance does not accept connections");
        return Role::NotAnswered;
    }
    // No socket, or one left behind by an instance that ended without removing it.
    return listen();
}

SingleInstance::Role SingleInstance::takeOver(const QString &message, int timeoutMs)
{
    FileLock lock;
    QString lockError;
    if (lock.lock(lockPath(), kLockMode, true, timeoutMs, &lockError) == FileLock::Result::Held) {
        m_errorString = QStringLiteral("another launch holds %1").arg(lockPath());
        return Role::NotAnswered;
    }
    if (socketId() != m_unansweredSocket) {
        // Another launch took its place meanwhile: that one answers.
        lock.unlock();
        Refusal refusal = Refusal::None;
        m_errorString.clear();
        return attempt(message, timeoutMs, refusal);
    }
    qWarning().noquote() << "No running Tanvill listens at" << m_socketPath
                         << "(" + m_errorString + "); this one takes its place.";
    m_errorString.clear();
    return listen();
}

SingleInstance::Role SingleInstance::forward(QLocalSocket &socket, const QString &message,
                                             int timeoutMs, Refusal &refusal)
{
    const QByteArray payload = message.toUtf8();
    if (payload.isEmpty() || payload.size() > kMaxMessageBytes) {
        m_errorString = QStringLiteral("the message is empty or too long");
        return Role::NotAnswered;
    }
    const QDeadlineTimer deadline(timeoutMs);
    socket.write(frame(payload));
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            break;
    }
    // The answer: a short message of its own.
    QByteArray answer;
    qsizetype wanted = kHeaderBytes;
    while (answer.size() < wanted && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        answer += socket.read(wanted - answer.size());
        if (answer.size() == kHeaderBytes && wanted == kHeaderBytes)
            wanted
                += std::min<quint32>(qFromBigEndian<quint32>(answer.constData()), kMaxAnswerBytes);
    }
    if (answer == quittingFrame()) {
        refusal = Refusal::Quitting;
        m_errorString = QStringLiteral("the running instance is quitting");
        return Role::NotAnswered;
    }
    if (answer != answerFrame()) {
        // Closed before any answer, in time: the instance is serving too many others.
        if (answer.isEmpty() && !deadline.hasExpired()
            && socket.state() != QLocalSocket::ConnectedState)
            refusal = Refusal::Busy;
        m_errorString = QStringLiteral("the running instance did not answer");
        return Role::NotAnswered;
    }
    socket.disconnectFromServer();
    return Role::Forwarded;
}

SingleInstance::Role SingleInstance::listen()
{
    const QByteArray name = QFile::encodeName(m_socketPath);
    const QByteArray fresh
        = name + ".new-" + QByteArray::number(QCoreApplication::applicationPid());
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(fresh.size()) >= sizeof address.sun_path) {
        m_errorString = QStringLiteral("the path %1 is too long for a socket").arg(m_socketPath);
        return Role::Alone;
    }
    std::copy(fresh.begin(), fresh.end(), address.sun_path);
    ::unlink(fresh.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const auto fail = [&](int error) {
        m_errorString = describeError(error);
        if (fd >= 0)
            ::close(fd);
        ::unlink(fresh.constData());
        return Role::Alone;
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
        m_errorString = server->errorString();
        ::close(fd);
        return Role::Alone;
    }
    m_ownSocket = socketId();
    m_server = server.release();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return Role::Primary;
}

bool SingleInstance::makeRoom()
{
    for (const std::shared_ptr<Peer> &peer : m_peers) {
        if (!peer->done && peer->connected.elapsed() >= kIdleBeforeMakingRoomMs) {
            drop(*peer, "it sent no whole message while another connected");
            return true;
        }
    }
    return false;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
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
        socket->setReadBufferSize(kHeaderBytes + kMaxMessageBytes + 1);
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

void SingleInstance::readMessage(Peer &peer)
{
    if (peer.done)
        return;
    QByteArray &buffer = peer.buffer;
    buffer += peer.socket->read(kHeaderBytes + kMaxMessageBytes + 1 - buffer.size());
    if (buffer.size() < kHeaderBytes)
        return;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length == 0 || length > quint32(kMaxMessageBytes)) {
        drop(peer, "a message of a bad length");
        return;
    }
    const qsizetype frameSize = kHeaderBytes + qsizetype(length);
    if (buffer.size() < frameSize)
        return;
    if (buffer.size() > frameSize || peer.socket->bytesAvailable() > 0) {
        drop(peer, "more than one message");
        return;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString message = decoder(buffer.mid(kHeaderBytes));
    if (decoder.hasError() || message.contains(QChar(0))) {
        drop(peer, "a message that is not text");
        return;
    }

    peer.done = true;
    peer.timer->stop();
    peer.socket->write(answerFrame());
    // Closes once the answer is written; the socket then deletes itself.
    peer.socket->disconnectFromServer();
    emit messageReceived(message);
}

} // namespace tanvill

#include "platform/SingleInstance.h"

#include "platform/Identity.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <memory>
#include <utility>

namespace tanvill {

namespace {

constexpr int kHeaderBytes = 4;
// Connections handled at once; more are closed at once, so a flood costs nothing.
constexpr int kMaxPeers = 8;

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

} // namespace

// The state of one connection to the running instance.
struct SingleInstance::Peer
{
    QLocalSocket *socket = nullptr;
    QTimer *timer = nullptr;
    QByteArray buffer;
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

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
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
    // Pauses between tries grow, so that a busy instance is not met with a flood.
    int pauseMs = 50;
    for (;;) {
        m_errorString.clear();
        bool busy = false;
        const Role role = attempt(message, timeoutMs, busy);
        if (!busy)
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

SingleInstance::Role SingleInstance::attempt(const QString &message, int timeoutMs, bool &busy)
{
    // Connecting and listening happen under a lock, so that two launches at once cannot both
    // find no instance, and a stale socket is removed only while no one else can listen.
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    if (!lock.tryLock(timeoutMs)) {
        m_errorString = QStringLiteral("another launch holds %1").arg(lock.fileName());
        return Role::NotAnswered;
    }

    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (socket.waitForConnected(timeoutMs)) {
        lock.unlock();
        if (const std::function<void()> release = std::exchange(beforeForwarding, {}))
            release();
        return forward(socket, message, timeoutMs, busy);
    }
    if (socket.error() == QLocalSocket::SocketTimeoutError) {
        m_errorString = QStringLiteral("the running instance does not accept connections");
        return Role::NotAnswered;
    }
    // No socket, or one left behind by an instance that ended without removing it.
    return listen();
}

SingleInstance::Role SingleInstance::forward(QLocalSocket &socket, const QString &message,
                                             int timeoutMs, bool &busy)
{
    const QByteArray payload = message.toUtf8();
    if (payload.isEmpty() || payload.size() > kMaxMessageBytes) {
        m_errorString = QStringLiteral("the message is empty or too long");
        return Role::NotAnswered;
    }
    const QDeadlineTimer deadline(timeoutMs);
    socket.write(frame(payload));
    QByteArray answer;
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            break;
    }
    while (answer.size() < answerFrame().size() && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        answer += socket.read(answerFrame().size() - answer.size());
    }
    if (answer != answerFrame()) {
        // Closed before any answer, in time: the instance is serving too many others.
        busy = answer.isEmpty() && !deadline.hasExpired()
            && socket.state() != QLocalSocket::ConnectedState;
        m_errorString = QStringLiteral("the running instance did not answer");
        return Role::NotAnswered;
    }
    socket.disconnectFromServer();
    return Role::Forwarded;
}

SingleInstance::Role SingleInstance::listen()
{
    auto server = std::make_unique<QLocalServer>(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketPath)) {
        if (server->serverError() == QAbstractSocket::AddressInUseError)
            QLocalServer::removeServer(m_socketPath);
        if (!server->listen(m_socketPath)) {
            m_errorString = server->errorString();
            return Role::Alone;
        }
    }
    m_server = server.release();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return Role::Primary;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (m_peerCount >= kMaxPeers) {
            const QString message = QStringLiteral(
                "Dropped a connection to the running instance: too many connections");
            m_log.warn(message, message);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_peerCount;
        connect(socket, &QObject::destroyed, this, [this] { --m_peerCount; });
        // Qt stops reading from the peer once this much waits, so a flood stays bounded.
        socket->setReadBufferSize(kHeaderBytes + kMaxMessageBytes + 1);
        auto peer = std::make_shared<Peer>();
        peer->socket = socket;
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

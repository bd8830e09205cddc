#include "platform/SingleInstance.h"

#include "platform/FileLock.h"
#include "platform/Identity.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace tanvill {

namespace {

constexpr int kQuittingPollMs = 50;
// How often a launch looks again for its turn.
constexpr int kTurnPollMs = 10;
// How long a launch waits at a time before it looks whether it was asked to end.
constexpr int kWaitSliceMs = 50;

int slice(const QDeadlineTimer &deadline)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, kWaitSliceMs));
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{ }

SingleInstance::~SingleInstance()
{
    // The place is let go of last: once the server has stopped answering and removed its
    // socket.
    delete std::exchange(m_server, nullptr);
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

void SingleInstance::setMessageHandler(InstanceServer::MessageHandler handler)
{
    if (m_server)
        m_server->setMessageHandler(std::move(handler));
}

void SingleInstance::beginQuitting()
{
    if (m_server)
        m_server->beginQuitting();
}

SingleInstance::Role SingleInstance::start(const QString &message, int timeoutMs, int busyRetryMs)
{
    // Each wait counts from its own beginning: the time spent waiting for an instance that
    // quits is not time the instance was busy.
    std::optional<QDeadlineTimer> busyDeadline;
    std::optional<QDeadlineTimer> quittingDeadline;
    m_unansweredSocket.reset();
    m_metRunningInstance = false;
    // Pauses between tries grow, so that a busy instance is not met with a flood.
    int pauseMs = 50;
    for (;;) {
        m_errorString.clear();
        m_failure = Failure::None;
        if (askedToEnd())
            return giveUpAsked();
        Refusal refusal = Refusal::None;
        Role role = attempt(message, timeoutMs, refusal);
        // What took no message is no running instance when nobody holds what one would hold
        // (another program, or an instance that is ending): this launch takes its place.
        if (role == Role::NotAnswered && refusal != Refusal::Quitting && m_unansweredSocket
            && m_hold && !askedToEnd()) {
            m_hold->letGoToHandOver();
            if (!m_hold->heldByAnother()) {
                const std::optional<Role> taken = takeOver(timeoutMs, refusal);
                // Another launch took the place meanwhile: it answers from now on.
                if (!taken)
                    continue;
                role = *taken;
            }
        }
        if (role != Role::NotAnswered)
            return role;
        if (askedToEnd())
            return giveUpAsked();
        if (refusal == Refusal::Quitting) {
            // Its place is free once it has ended: this launch then listens in it, or hands its
            // message to another launch that got there first.
            busyDeadline.reset();
            if (!quittingDeadline)
                quittingDeadline = QDeadlineTimer(m_quittingWaitMs);
            if (quittingDeadline->hasExpired()) {
                m_failure = Failure::StillQuitting;
                m_errorString = QStringLiteral("the running instance was still quitting after %1 s")
                                    .arg(double(m_quittingWaitMs) / 1000.0, 0, 'g', 2);
                return role;
            }
            if (!pause(kQuittingPollMs))
                return giveUpAsked();
            continue;
        }
        quittingDeadline.reset();
        if (refusal != Refusal::Busy) {
            m_failure = Failure::NoAnswer;
            return role;
        }
        if (!busyDeadline)
            busyDeadline = QDeadlineTimer(busyRetryMs);
        if (busyDeadline->remainingTime() < pauseMs) {
            m_failure = Failure::Busy;
            m_errorString = QStringLiteral("the running instance stayed busy with other "
                                           "connections for %1 s")
                                .arg(double(busyRetryMs) / 1000.0, 0, 'g', 2);
            return role;
        }
        if (!pause(pauseMs))
            return giveUpAsked();
        pauseMs = std::min(pauseMs * 2, 400);
    }
}

SingleInstance::Role SingleInstance::giveUpAsked()
{
    m_failure = Failure::AskedToEnd;
    m_errorString = m_metRunningInstance
        ? QStringLiteral("this launch was asked to end while it waited")
        : QStringLiteral("this launch was asked to end as it started");
    return Role::NotAnswered;
}

bool SingleInstance::pause(int milliseconds) const
{
    const QDeadlineTimer deadline(milliseconds);
    while (!askedToEnd()) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return true;
        QThread::msleep(ulong(std::min<qint64>(left, kWaitSliceMs)));
    }
    return false;
}

FileLock::Result SingleInstance::takeTurn(FileLock &lock, int timeoutMs, QString *error) const
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const FileLock::Result result
            = lock.tryLock(instance::lockPath(m_socketPath), instance::kLockMode, true, error);
        if (result != FileLock::Result::Held || deadline.hasExpired() || !pause(kTurnPollMs))
            return result;
    }
}

SingleInstance::Role SingleInstance::attempt(const QString &message, int timeoutMs,
                                             Refusal &refusal)
{
    // Connecting and listening happen under a lock, so that two launches at once cannot both
    // find no instance, and a stale socket is replaced only while no one else can listen.
    FileLock lock;
    QString lockError;
    switch (takeTurn(lock, timeoutMs, &lockError)) {
    case FileLock::Result::Locked:
        break;
    case FileLock::Result::Held:
        m_errorString
            = QStringLiteral("another launch holds %1").arg(instance::lockPath(m_socketPath));
        return Role::NotAnswered;
    case FileLock::Result::Failed:
        // Launches at the same moment may both find no instance then; the store's lock still
        // keeps them from working on one store.
        qWarning().noquote() << "Launches cannot take turns:" << lockError;
        break;
    }

    const std::optional<instance::FileId> listening = instance::fileIdAt(m_socketPath);
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    const QDeadlineTimer connecting(timeoutMs);
    while (socket.state() == QLocalSocket::ConnectingState && !connecting.hasExpired()
           && !askedToEnd())
        socket.waitForConnected(slice(connecting));
    if (socket.state() == QLocalSocket::ConnectedState) {
        m_metRunningInstance = true;
        lock.unlock();
        if (m_hold)
            m_hold->letGoToHandOver();
        const Role role = forward(socket, message, timeoutMs, refusal);
        if (role == Role::NotAnswered)
            m_unansweredSocket = listening;
        return role;
    }
    if (askedToEnd())
        return Role::NotAnswered;
    // Something listens there, but takes no connection now (as many wait as it lets wait).
    if (socket.state() == QLocalSocket::ConnectingState
        || socket.error() == QLocalSocket::SocketTimeoutError) {
        m_metRunningInstance = true;
        m_unansweredSocket = listening;
        m_errorString = QStringLiteral("the running instance does not accept connections");
        return Role::NotAnswered;
    }
    // No socket, or one left behind by an instance that ended without removing it.
    return listen(refusal);
}

std::optional<SingleInstance::Role> SingleInstance::takeOver(int timeoutMs, Refusal &refusal)
{
    FileLock lock;
    QString lockError;
    if (takeTurn(lock, timeoutMs, &lockError) == FileLock::Result::Held) {
        m_failure = Failure::NoAnswer;
        m_errorString
            = QStringLiteral("another launch holds %1").arg(instance::lockPath(m_socketPath));
        return Role::NotAnswered;
    }
    if (instance::fileIdAt(m_socketPath) != m_unansweredSocket) {
        m_unansweredSocket.reset();
        return std::nullopt;
    }
    const QString why = m_errorString;
    const Role role = listen(refusal);
    if (role == Role::Primary)
        qWarning().noquote() << "No running Tanvill listens at" << m_socketPath
                             << "(" + why + "); this one takes its place.";
    return role;
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
    socket.write(instance::frame(payload));
    // Each wait a slice at a time, so that a launch asked to end ends within a moment.
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired() && !askedToEnd()) {
        if (!socket.waitForBytesWritten(slice(deadline))
            && socket.state() != QLocalSocket::ConnectedState)
            break;
    }
    // The answer: a short message of its own. It may have come before the message went out
    // (an instance that quits answers at once), so it is read even when writing failed.
    instance::FrameReader answer(instance::kMaxAnswerBytes);
    bool readSomething = false;
    while (answer.state() == instance::FrameReader::State::Incomplete && !deadline.hasExpired()
           && !askedToEnd()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(slice(deadline))) {
            if (socket.state() != QLocalSocket::ConnectedState)
                break;
            continue;
        }
        const QByteArray bytes = socket.read(answer.missing());
        readSomething = readSomething || !bytes.isEmpty();
        answer.append(bytes);
    }
    const std::optional<instance::Answer> answered
        = answer.state() == instance::FrameReader::State::Complete
        ? instance::Answer::fromPayload(answer.payload())
        : std::nullopt;
    if (!answered) {
        // Closed before any answer, in time: the instance is serving too many others.
        if (!readSomething && !deadline.hasExpired()
            && socket.state() != QLocalSocket::ConnectedState)
            refusal = Refusal::Busy;
        m_errorString = QStringLiteral("the running instance did not answer");
        return Role::NotAnswered;
    }
    switch (answered->kind) {
    case instance::Answer::Kind::Quitting:
        refusal = Refusal::Quitting;
        m_errorString = QStringLiteral("the running instance is quitting");
        return Role::NotAnswered;
    case instance::Answer::Kind::Refused:
        m_errorString = answered->why;
        return Role::Refused;
    case instance::Answer::Kind::Taken:
        break;
    }
    socket.disconnectFromServer();
    return Role::Forwarded;
}

SingleInstance::Role SingleInstance::listen(Refusal &refusal)
{
    // The instance that had the place may still be ending, though its socket is gone or does
    // not answer: it has its place until it has let go of everything.
    auto place = std::make_unique<FileLock>();
    QString placeError;
    switch (
        place->tryLock(instance::placePath(m_socketPath), instance::kLockMode, true, &placeError)) {
    case FileLock::Result::Locked:
        break;
    case FileLock::Result::Held:
        m_metRunningInstance = true;
        refusal = Refusal::Quitting;
        m_errorString = QStringLiteral("the running instance is still ending");
        return Role::NotAnswered;
    case FileLock::Result::Failed:
        // The launches' turns and the store's lock still keep two copies apart.
        qWarning().noquote() << "The running instance's place cannot be locked:" << placeError;
        place.reset();
        break;
    }
    auto server = std::make_unique<InstanceServer>(m_socketPath, this);
    server->setPeerTimeoutMs(m_peerTimeoutMs);
    m_errorString.clear();
    if (!server->listen(&m_errorString))
        return Role::Alone;
    m_server = server.release();
    m_place = std::move(place);
    connect(m_server, &InstanceServer::socketMadeAgain, this, &SingleInstance::retakePlace);
    return Role::Primary;
}

void SingleInstance::retakePlace()
{
    // The place went with the socket's folder: it is this instance's again, unless a launch
    // that found the folder empty has taken it meanwhile.
    if (!m_place || m_place->isInPlace())
        return;
    auto place = std::make_unique<FileLock>();
    QString error;
    if (place->tryLock(instance::placePath(m_socketPath), instance::kLockMode, true, &error)
        == FileLock::Result::Locked)
        m_place = std::move(place);
}

} // namespace tanvill

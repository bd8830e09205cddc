#pragma once

// One running Tanvill per user. The first process listens on a per-user local socket; a later
// launch hands its message to the running one (a "tanvill:" link from its arguments, or
// "reopen" when it has none), waits for the answer and ends. The running instance reports
// each message on the UI thread. app/main.cpp makes it before anything else.
//
// On the socket a message is a 4-byte big-endian length and that many bytes of UTF-8; the
// answer is a message "ok", or "quitting" from an instance that has begun to quit and takes no
// more messages. A peer that sends more than one message, an over-long or malformed one, or
// nothing within a second is dropped without a report. A running instance serves a few
// connections at once; when all are taken, one that has not sent its whole message within a
// moment makes room for a new one, and only when none has is the new one closed unanswered. A
// launch that finds it busy like that tries again for a few seconds before it gives up; one
// that meets an instance that is quitting waits for it to end and then takes its place.
//
// Launches take turns through a lock file beside the socket. The socket is made under another
// name and renamed into place, so that it replaces what was there in one step, and an instance
// that ends removes it only while it is still its own.

#include "platform/ThrottledLog.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace tanvill {

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Primary, // this process listens; later launches reach it
        Forwarded, // the running instance took the message; this process should end
        NotAnswered, // an instance runs but did not take the message in time
        Alone, // none runs but listening failed: this process runs without forwarding
    };

    static constexpr int kMaxMessageBytes = 16 * 1024;
    // How long the running instance waits for a connected peer's message; a launch sends its
    // message as soon as it is connected.
    static constexpr int kPeerTimeoutMs = 1000;
    // How long a launch keeps trying while the running instance is busy with other peers.
    static constexpr int kBusyRetryMs = 5000;
    // How long a launch waits for an instance that is quitting to end.
    static constexpr int kQuittingWaitMs = 30000;
    static inline const QString kReopenMessage = QStringLiteral("reopen");

    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // "<user runtime folder>/com.tanvill.Tanvill.instance"; the runtime folder is private to
    // the user ($XDG_RUNTIME_DIR, or the one Qt makes when that is not set).
    static QString defaultSocketPath();

    // The message a launch with these arguments (argv, the program first) forwards: the first
    // argument that is a "tanvill:" link, unchanged, or "reopen".
    static QString messageFromArguments(const QStringList &arguments);

    // Becomes the running instance, or hands message to the one already running. Blocks for
    // at most about timeoutMs (connecting and waiting for the answer each), and up to
    // busyRetryMs more while the running one closes connections for being busy.
    Role start(const QString &message, int timeoutMs = 3000, int busyRetryMs = kBusyRetryMs);

    // What a launch holds that a running instance holds too (the store). The launch lets go of
    // it before it hands its message over, since the running instance may be waiting for it;
    // and whatever listens at the socket without taking a message is no running instance when
    // nobody else holds it, so that this launch then takes its place. Without one, an instance
    // is taken to be running behind such a socket.
    class LaunchHold
    {
    public:
        virtual ~LaunchHold() = default;
        virtual void letGoToHandOver() = 0;
        virtual bool heldByAnother() = 0;
    };
    void setLaunchHold(LaunchHold *hold) { m_hold = hold; }

    // The instance begins to quit: from now until it ends, every launch is answered "quitting"
    // from a thread of its own, however long the UI thread takes to save, and no message is
    // taken any more.
    void beginQuitting();

    // For tests: how long the running instance waits for a peer's message.
    void setPeerTimeoutMs(int milliseconds) { m_peerTimeoutMs = milliseconds; }
    // For tests: how long a launch waits for an instance that is quitting.
    void setQuittingWaitMs(int milliseconds) { m_quittingWaitMs = milliseconds; }

    // Why the last start() did not give Primary or Forwarded.
    QString errorString() const { return m_errorString; }

signals:
    // A later launch's message, on the thread that called start().
    void messageReceived(const QString &message);

private:
    struct Peer;
    class QuittingAnswerer;
    // How the running instance answered, when it did not take the message.
    enum class Refusal { None, Busy, Quitting };
    struct FileId
    {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const FileId &) const = default;
    };

    QString lockPath() const { return m_socketPath + QStringLiteral(".lock"); }
    std::optional<FileId> socketId() const;
    Role attempt(const QString &message, int timeoutMs, Refusal &refusal);
    Role forward(QLocalSocket &socket, const QString &message, int timeoutMs, Refusal &refusal);
    Role takeOver(const QString &message, int timeoutMs);
    Role listen();
    void acceptConnections();
    bool makeRoom();
    void readMessage(Peer &peer);
    void drop(Peer &peer, const char *reason);

    QString m_socketPath;
    QString m_errorString;
    QLocalServer *m_server = nullptr;
    // The socket this instance listens at, and one at which nothing took the message.
    std::optional<FileId> m_ownSocket;
    std::optional<FileId> m_unansweredSocket;
    // The connections being served, oldest first.
    std::vector<std::shared_ptr<Peer>> m_peers;
    int m_peerTimeoutMs = kPeerTimeoutMs;
    int m_quittingWaitMs = kQuittingWaitMs;
    LaunchHold *m_hold = nullptr;
    std::unique_ptr<QuittingAnswerer> m_quittingAnswerer;
    // A process that keeps connecting must not fill the log.
    ThrottledLog m_log;
};

} // namespace tanvill

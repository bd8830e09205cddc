#pragma once

// One running Tanvill per user: the launch's side of it. A launch either becomes the running
// instance (it listens at a per-user local socket through an InstanceServer) or hands its
// message to the one already running (a "tanvill:" link from its arguments, or "reopen" when
// it has none), waits for the answer and ends. The messages and answers are those of
// InstanceProtocol.h. app/main.cpp makes it before anything else.
//
// A launch that finds the running instance busy with other connections tries again for a few
// seconds; one that meets an instance that is quitting waits for it to end (that wait is not
// counted as busy time) and then takes its place, or hands its message to the launch that got
// there first. Launches take turns through a lock file beside the socket. The running instance
// holds a second lock beside it until it is gone: whatever became of its socket, no launch
// takes its place while it still ends. A launch asked to end while it waits gives up at once.

#include "platform/FileLock.h"
#include "platform/InstanceProtocol.h"
#include "platform/InstanceServer.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QLocalSocket;

namespace tanvill {

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Primary, // this process listens; later launches reach it
        Forwarded, // the running instance took the message; this process should end
        Refused, // the running instance did not take the message, and said why
        NotAnswered, // an instance runs but did not take the message in time
        Alone, // none runs but listening failed: this process runs without forwarding
    };
    // Why a start ended NotAnswered.
    enum class Failure { None, NoAnswer, StillQuitting, Busy, AskedToEnd };

    static constexpr int kMaxMessageBytes = instance::kMaxMessageBytes;
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
    // at most about timeoutMs (connecting and waiting for the answer each), up to busyRetryMs
    // more while the running one closes connections for being busy, and while it quits.
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

    // The running instance (Primary): how later launches' messages are answered, on the thread
    // that called start(); messages that come before there is a handler wait for it.
    void setMessageHandler(InstanceServer::MessageHandler handler);
    // The running instance begins to quit: from now until it ends, every launch is answered
    // "quitting" from a thread of its own, and no message is taken any more.
    void beginQuitting();

    // Whether the launch has been asked to end (a signal came): start() asks through every
    // wait, and once it is, gives up within a moment with NotAnswered and AskedToEnd, unless
    // the running instance has taken the message already.
    void setAskedToEnd(std::function<bool()> askedToEnd) { m_askedToEnd = std::move(askedToEnd); }

    // For tests: how long the running instance waits for a peer's message.
    void setPeerTimeoutMs(int milliseconds) { m_peerTimeoutMs = milliseconds; }
    // For tests: how long a launch waits for an instance that is quitting.
    void setQuittingWaitMs(int milliseconds) { m_quittingWaitMs = milliseconds; }

    // Why the last start() did not give Primary or Forwarded: for Refused the running
    // instance's words, otherwise words for the log.
    QString errorString() const { return m_errorString; }
    Failure failure() const { return m_failure; }
    // Whether the last start() met a running instance (one that answered, did not, or was still
    // ending): a launch asked to end before it did waited for nobody.
    bool metRunningInstance() const { return m_metRunningInstance; }

private:
    // How the running instance answered, when it did not take the message.
    enum class Refusal { None, Busy, Quitting };

    Role attempt(const QString &message, int timeoutMs, Refusal &refusal);
    Role forward(QLocalSocket &socket, const QString &message, int timeoutMs, Refusal &refusal);
    // Listens in the place of what did not answer; none when another launch took it first.
    std::optional<Role> takeOver(int timeoutMs, Refusal &refusal);
    // Listens, once the instance that had the place is gone: while it is not, NotAnswered with
    // the refusal Quitting.
    Role listen(Refusal &refusal);
    // The launches' lock, tried until it is had, timeoutMs have passed or the launch is asked
    // to end.
    FileLock::Result takeTurn(FileLock &lock, int timeoutMs, QString *error) const;
    bool askedToEnd() const { return m_askedToEnd && m_askedToEnd(); }
    // Waits that long, or less when the launch is asked to end meanwhile: false then.
    bool pause(int milliseconds) const;
    Role giveUpAsked();
    // Holds the place again once the socket was made again in a folder made anew.
    void retakePlace();

    QString m_socketPath;
    QString m_errorString;
    Failure m_failure = Failure::None;
    bool m_metRunningInstance = false;
    InstanceServer *m_server = nullptr;
    // A socket at which nothing took the message.
    std::optional<instance::FileId> m_unansweredSocket;
    int m_peerTimeoutMs = InstanceServer::kPeerTimeoutMs;
    int m_quittingWaitMs = kQuittingWaitMs;
    LaunchHold *m_hold = nullptr;
    std::function<bool()> m_askedToEnd;
    // Held by the running instance until it is gone.
    std::unique_ptr<FileLock> m_place;
};

} // namespace tanvill

#pragma once

// What a launch and the running Tanvill say to each other over the per-user local socket, and
// the one reader of it that both sides use. A message is a 4-byte big-endian length and that
// many bytes of UTF-8. A launch sends one message (a "tanvill:" link, or "reopen"); the running
// instance answers with one: "ok" when it took the message, "quitting" once it has begun to
// quit and takes nothing more, or "refused:" followed by why it did not take the message.
// SingleInstance (the launch's side), InstanceServer (the running instance's) and the
// QuittingAnswerer share it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

#include <sys/types.h>

namespace tanvill::instance {

constexpr int kHeaderBytes = 4;
constexpr int kMaxMessageBytes = 16 * 1024;
// An answer is short: a word, or a sentence saying why a message was not taken.
constexpr int kMaxAnswerBytes = 2048;
// The lock launches take in turn to find the running instance or become it, beside the
// socket. Its file stays when the lock is let go.
constexpr mode_t kLockMode = 0600;

QString lockPath(const QString &socketPath);
// The lock the running instance holds from the moment it listens until it is gone, beside the
// socket: its place is free only once that lock is.
QString placePath(const QString &socketPath);

QByteArray frame(const QByteArray &payload);

// The running instance's answer to a launch's message.
struct Answer
{
    enum class Kind { Taken, Quitting, Refused };

    Kind kind = Kind::Taken;
    // Why a refused message was not taken, in the words the user is shown.
    QString why;

    static Answer taken() { return {}; }
    static Answer refused(QString why) { return { Kind::Refused, std::move(why) }; }

    QByteArray toFrame() const;
    // The answer a frame's payload gives; none for anything else.
    static std::optional<Answer> fromPayload(const QByteArray &payload);
};

// Gathers the bytes of one framed message as they arrive. Read at most missing() bytes and one
// more at a time: a byte past the frame shows that the peer sent more than one message.
class FrameReader
{
public:
    enum class State {
        Incomplete,
        Complete,
        // A length of 0 or over the limit, or bytes past the frame.
        Malformed,
    };

    explicit FrameReader(qsizetype maxPayloadBytes) : m_maxPayloadBytes(maxPayloadBytes) { }

    State append(QByteArrayView bytes);
    State state() const { return m_state; }
    // The bytes the frame still lacks (its header's first).
    qsizetype missing() const;
    // The message, once Complete.
    QByteArray payload() const { return m_buffer.mid(kHeaderBytes); }

private:
    qsizetype m_maxPayloadBytes;
    QByteArray m_buffer;
    State m_state = State::Incomplete;
};

// Which file stands at a path (device and inode), so that a socket can be told from another
// that took its place.
struct FileId
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileId &) const = default;
};
std::optional<FileId> fileIdAt(const QString &path);

} // namespace tanvill::instance

#include "platform/InstanceProtocol.h"

#include <QFile>
#include <QtEndian>

#include <sys/stat.h>

namespace tanvill::instance {

namespace {

const QByteArray kTakenWord = QByteArrayLiteral("ok");
const QByteArray kQuittingWord = QByteArrayLiteral("quitting");
const QByteArray kRefusedPrefix = QByteArrayLiteral("refused:");

} // namespace

QString lockPath(const QString &socketPath)
{
    return socketPath + QStringLiteral(".lock");
}

QString placePath(const QString &socketPath)
{
    return socketPath + QStringLiteral(".place");
}

QByteArray frame(const QByteArray &payload)
{
    QByteArray bytes(kHeaderBytes, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), bytes.data());
    return bytes + payload;
}

QByteArray Answer::toFrame() const
{
    switch (kind) {
    case Kind::Taken:
        return frame(kTakenWord);
    case Kind::Quitting:
        return frame(kQuittingWord);
    case Kind::Refused:
        break;
    }
    QByteArray payload = kRefusedPrefix + why.toUtf8();
    // Cut at a character's start, so that what is sent stays UTF-8.
    if (payload.size() > kMaxAnswerBytes) {
        qsizetype end = kMaxAnswerBytes;
        while (end > kRefusedPrefix.size() && (quint8(payload[end]) & 0xC0) == 0x80)
            --end;
        payload.truncate(end);
    }
    return frame(payload);
}

std::optional<Answer> Answer::fromPayload(const QByteArray &payload)
{
    if (payload == kTakenWord)
        return Answer::taken();
    if (payload == kQuittingWord)
        return Answer { Kind::Quitting, {} };
    if (payload.startsWith(kRefusedPrefix))
        return Answer::refused(QString::fromUtf8(payload.mid(kRefusedPrefix.size())));
    return std::nullopt;
}

qsizetype FrameReader::missing() const
{
    if (m_state != State::Incomplete)
        return 0;
    if (m_buffer.size() < kHeaderBytes)
        return kHeaderBytes - m_buffer.size();
    return kHeaderBytes + qsizetype(qFromBigEndian<quint32>(m_buffer.constData()))
        - m_buffer.size();
}

FrameReader::State FrameReader::append(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && m_state != State::Malformed) {
        if (m_state == State::Complete) {
            m_state = State::Malformed; // a second message
            break;
        }
        const bool hadHeader = m_buffer.size() >= kHeaderBytes;
        const qsizetype taken = std::min(missing(), bytes.size());
        m_buffer.append(bytes.first(taken));
        bytes = bytes.sliced(taken);
        if (!hadHeader && m_buffer.size() == kHeaderBytes) {
            const quint32 length = qFromBigEndian<quint32>(m_buffer.constData());
            if (length == 0 || length > quint32(m_maxPayloadBytes)) {
                m_state = State::Malformed;
                break;
            }
        }
        if (m_buffer.size() >= kHeaderBytes && missing() == 0)
            m_state = State::Complete;
    }
    return m_state;
}

std::optional<FileId> fileIdAt(const QString &path)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileId { quint64(status.st_dev), quint64(status.st_ino) };
}

} // namespace tanvill::instance

#include "platform/RegularFile.h"

#include <QFile>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill {

namespace {

// A descriptor of the regular file at path, opened without waiting; -1 for anything else.
int openRegular(const QString &path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Regular files never block; the flag only mattered for opening.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxBytes)
{
    const int fd = openRegular(path, O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    QByteArray bytes;
    char buffer[16384];
    bool failed = false;
    while (bytes.size() < maxBytes) {
        const qint64 wanted = std::min<qint64>(qint64(sizeof buffer), maxBytes - bytes.size());
        const ssize_t count = ::read(fd, buffer, size_t(wanted));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            failed = count < 0;
            break;
        }
        bytes.append(buffer, qsizetype(count));
    }
    ::close(fd);
    if (failed)
        return std::nullopt;
    return bytes;
}

bool appendToRegularFile(const QString &path, const QByteArray &bytes)
{
    const int fd = openRegular(path, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0)
        return false;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count
            = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        written += count;
    }
    ::close(fd);
    return written == bytes.size();
}

bool isRegularFileOrAbsent(const QString &path)
{
    struct stat status
    {
    };
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &status) != 0)
        return errno == ENOENT && ::lstat(name.constData(), &status) != 0;
    return S_ISREG(status.st_mode);
}

} // namespace tanvill

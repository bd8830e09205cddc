#include "core/StoreLock.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill {

namespace {

constexpr qsizetype kMaxLockInfoBytes = 256;

// The process the first line names; 0 when it names none.
qint64 holderIn(int fd)
{
    char bytes[kMaxLockInfoBytes];
    const ssize_t count = ::pread(fd, bytes, sizeof bytes, 0);
    if (count <= 0)
        return 0;
    const QByteArray line = QByteArray(bytes, qsizetype(count)).split('\n').constFirst();
    bool ok = false;
    const qint64 pid = line.toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool sameFile(int fd, const QByteArray &name)
{
    struct stat opened
    {
    };
    struct stat atPath
    {
    };
    return ::fstat(fd, &opened) == 0 && ::lstat(name.constData(), &atPath) == 0
        && opened.st_dev == atPath.st_dev && opened.st_ino == atPath.st_ino;
}

} // namespace

StoreLock::~StoreLock()
{
    unlock();
}

StoreLock::Result StoreLock::tryLock(const QString &path, qint64 *holderPid, QString *error)
{
    unlock();
    *holderPid = 0;
    const QByteArray name = QFile::encodeName(path);
    // A holder that lets go removes the file: a lock taken on a file that has just left its
    // path is no lock, so the path is checked again once the lock is held.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.constData(),
                              O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return Result::Failed;
        }
        struct stat status
        {
        };
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(fd);
            *error = QStringLiteral("not a regular file");
            return Result::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int lockError = errno;
            *holderPid = holderIn(fd);
            ::close(fd);
            if (lockError == EWOULDBLOCK)
                return Result::Held;
            *error = QString::fromLocal8Bit(std::strerror(lockError));
            return Result::Failed;
        }
        if (!sameFile(fd, name)) {
            ::close(fd);
            continue;
        }
        // The format of Qt's lock files: process, application, host.
        const QByteArray info = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
            + QByteArrayLiteral("tanvill\n") + QSysInfo::machineHostName().toUtf8() + '\n';
        // The lock is what counts; the text only names its holder, so a failure to write it
        // is no failure.
        [[maybe_unused]] const bool named = ::ftruncate(fd, 0) == 0
            && ::pwrite(fd, info.constData(), size_t(info.size()), 0) == ssize_t(info.size());
        m_fd = fd;
        m_path = path;
        return Result::Locked;
    }
    *error = QStringLiteral("the lock file keeps changing");
    return Result::Failed;
}

bool StoreLock::isInPlace() const
{
    return m_fd >= 0 && sameFile(m_fd, QFile::encodeName(m_path));
}

void StoreLock::unlock()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so that nobody takes a lock on a file about to go.
    if (sameFile(m_fd, QFile::encodeName(m_path)))
        ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

} // namespace tanvill

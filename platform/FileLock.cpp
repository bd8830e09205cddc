#include "platform/FileLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace tanvill {

namespace {

constexpr int kPollMs = 10;
// How often one try looks again when the file at the path keeps changing under it.
constexpr int kAttempts = 10;

QString tr(const char *text)
{
    return QCoreApplication::translate("tanvill::FileLock", text);
}

QString native(const QByteArray &name)
{
    return QDir::toNativeSeparators(QFile::decodeName(name));
}

int retryingOnSignal(const auto &call)
{
    int result;
    do {
        result = call();
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

// What flock(2) says: 0, or its errno.
int tryFlock(int fd, LockSupport support)
{
    switch (support) {
    case LockSupport::System:
        break;
    case LockSupport::NoFlock:
        return EOPNOTSUPP;
    case LockSupport::NoLocks:
        return ENOLCK;
    }
    return retryingOnSignal([fd] { return ::flock(fd, LOCK_EX | LOCK_NB); });
}

int tryDescriptionLock(int fd, LockSupport support, int command, struct flock *whole)
{
    if (support == LockSupport::NoLocks)
        return ENOLCK;
    whole->l_whence = SEEK_SET;
    return retryingOnSignal([fd, command, whole] { return ::fcntl(fd, command, whole); });
}

// Network file systems may have record locks but no flock, or flock only on files open for
// writing (EBADF).
bool flockMissing(int error)
{
    return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL || error == EBADF;
}

QString lockingFailed(const QByteArray &name, int error)
{
    if (error == ENOLCK || error == EOPNOTSUPP)
        return tr("The file system of %1 cannot lock files, so Tanvill cannot keep a second copy "
                  "of itself away from your lists (%2).")
            .arg(native(name), describeError(error));
    return tr("The lock file %1 cannot be locked (%2).").arg(native(name), describeError(error));
}

bool isRegularAt(const QByteArray &name)
{
    struct stat status
    {
    };
    return ::lstat(name.constData(), &status) == 0 && S_ISREG(status.st_mode);
}

// A descriptor that only reads the file at name, and holds its lock when nobody else does;
// -1 with *held when somebody does. A holder of a file this user may not write locks it that
// way, and held like this it lets nobody in while a fresh file takes its place.
int holdReadOnly(const QByteArray &name, LockSupport support, bool *held)
{
    *held = false;
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int flockError = tryFlock(fd, support);
    if (flockError == EWOULDBLOCK) {
        *held = true;
    } else if (flockError != 0 && flockMissing(flockError)) {
        // A write lock needs a descriptor that writes, but anybody may ask whether one is held.
        struct flock whole
        {
        };
        whole.l_type = F_WRLCK;
        *held
            = tryDescriptionLock(fd, support, F_OFD_GETLK, &whole) == 0 && whole.l_type != F_UNLCK;
    }
    if (*held) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QString describeError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

bool makeWay(const QByteArray &name)
{
    struct stat status
    {
    };
    if (::lstat(name.constData(), &status) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(status.st_mode))
        return ::unlink(name.constData()) == 0;
    if (::rmdir(name.constData()) == 0)
        return true;
    const QByteArray aside
        = name + ".unused-" + QByteArray::number(QDateTime::currentMSecsSinceEpoch());
    return ::rename(name.constData(), aside.constData()) == 0;
}

FileLock::Result FileLock::lockDescriptor(int fd, LockSupport support, int *error, off_t from)
{
    const int flockError = tryFlock(fd, support);
    if (flockError == 0)
        return Result::Locked;
    if (flockError == EWOULDBLOCK)
        return Result::Held;
    *error = flockError;
    if (!flockMissing(flockError))
        return Result::Failed;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
        return Result::Failed;
    struct flock whole
    {
    };
    whole.l_type = F_WRLCK;
    whole.l_start = from;
    const int recordError = tryDescriptionLock(fd, support, F_OFD_SETLK, &whole);
    if (recordError == 0)
        return Result::Locked;
    if (recordError == EAGAIN || recordError == EACCES)
        return Result::Held;
    *error = recordError;
    return Result::Failed;
}

FileLock::Result FileLock::tryLock(const QString &path, mode_t mode, bool clearOthers,
                                   QString *error)
{
    unlock();
    const QByteArray name = QFile::encodeName(path);
    int waysMade = 0;
    bool replaced = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = ::open(name.constData(),
                              O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
        const int openError = fd < 0 ? errno : 0;
        struct stat status
        {
        };
        if (fd >= 0 && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
            bool retry = false;
            const Result result = lockOpened(fd, name, &retry, error);
            if (!retry)
                return result;
            continue;
        }
        if (fd >= 0)
            ::close(fd);
        if ((openError == EACCES || openError == EPERM) && !replaced && isRegularAt(name)) {
            replaced = true;
            bool retry = false;
            const Result result = replaceUnwritable(name, mode, &retry, error);
            if (!retry)
                return result;
            continue;
        }
        if (clearOthers && openError != ENOENT && waysMade++ < 3 && makeWay(name))
            continue;
        *error = openError != 0 ? tr("The lock file %1 cannot be opened (%2).")
                                      .arg(native(name), describeError(openError))
                                : tr("The lock file %1 is not a regular file.").arg(native(name));
        return Result::Failed;
    }
    *error = tr("The lock file %1 keeps changing.").arg(native(name));
    return Result::Failed;
}

FileLock::Result FileLock::lockOpened(int fd, const QByteArray &name, bool *retry, QString *error)
{
    int lockError = 0;
    switch (lockDescriptor(fd, m_support, &lockError)) {
    case Result::Locked:
        break;
    case Result::Held:
        ::close(fd);
        return Result::Held;
    case Result::Failed:
        ::close(fd);
        *error = lockingFailed(name, lockError);
        return Result::Failed;
    }
    // A holder that let go removed the file meanwhile: what was locked is no lock.
    if (!sameFile(fd, name)) {
        ::close(fd);
        *retry = true;
        return Result::Failed;
    }
    m_fd = fd;
    m_path = QFile::decodeName(name);
    return Result::Locked;
}

FileLock::Result FileLock::replaceUnwritable(const QByteArray &name, mode_t mode, bool *retry,
                                             QString *error)
{
    bool held = false;
    const int stale = holdReadOnly(name, m_support, &held);
    if (held)
        return Result::Held;
    const auto done = [stale](Result result) {
        if (stale >= 0)
            ::close(stale);
        return result;
    };
    if (whileReplacing)
        whileReplacing(false);
    // Launches that find it stale at the same moment take turns: the one holding the turn's
    // file puts it in place, still locked, and the others then find it held.
    const QByteArray turnName = name + ".new";
    FileLock turn(m_support);
    QString turnError;
    switch (turn.tryLock(QFile::decodeName(turnName), mode, true, &turnError)) {
    case Result::Locked:
        break;
    case Result::Held:
        return done(Result::Held);
    case Result::Failed:
        *error = tr("The lock file %1 cannot be written, nor replaced (%2).")
                     .arg(native(name), turnError);
        return done(Result::Failed);
    }
    if (whileReplacing)
        whileReplacing(true);
    // Another launch may have had its turn already: what it put there, this user can write.
    const int writable = ::open(name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    const int openError = writable < 0 ? errno : 0;
    if (writable >= 0 || (openError != EACCES && openError != EPERM)) {
        if (writable >= 0)
            ::close(writable);
        turn.unlock(true);
        *retry = true;
        return done(Result::Failed);
    }
    if (::rename(turnName.constData(), name.constData()) != 0) {
        const int renameError = errno;
        turn.unlock(true);
        *error = tr("The lock file %1 cannot be written, nor replaced (%2).")
                     .arg(native(name), describeError(renameError));
        return done(Result::Failed);
    }
    const int fd = std::exchange(turn.m_fd, -1);
    bool moved = false;
    const Result result = lockOpened(fd, name, &moved, error);
    *retry = moved;
    return done(result);
}

FileLock::Result FileLock::lock(const QString &path, mode_t mode, bool clearOthers, int timeoutMs,
                                QString *error)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const Result result = tryLock(path, mode, clearOthers, error);
        if (result != Result::Held || deadline.hasExpired())
            return result;
        QThread::msleep(kPollMs);
    }
}

bool FileLock::isInPlace() const
{
    return m_fd >= 0 && sameFile(m_fd, QFile::encodeName(m_path));
}

void FileLock::unlock(bool removeFile)
{
    if (m_fd < 0)
        return;
    if (removeFile && isInPlace())
        ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

} // namespace tanvill

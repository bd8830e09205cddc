#include "core/store/StoreLock.h"

#include "platform/FileLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill {

namespace {

constexpr qsizetype kMaxLockInfoBytes = 256;

QString tr(const char *text)
{
    return QCoreApplication::translate("tanvill::StoreLock", text);
}

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString native(const QByteArray &name)
{
    return QDir::toNativeSeparators(QFile::decodeName(name));
}

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

qint64 holderAt(const QByteArray &name)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat status
    {
    };
    const qint64 pid = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? holderIn(fd) : 0;
    ::close(fd);
    return pid;
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

QString lockingFailed(const QByteArray &name, int error)
{
    if (error == ENOLCK || error == EOPNOTSUPP)
        return tr("The file system of %1 cannot lock files, so Tanvill cannot keep a second copy "
                  "of itself away from your lists (%2).")
            .arg(native(name), describe(error));
    return tr("The lock file %1 cannot be locked (%2).").arg(native(name), describe(error));
}

QByteArray folderOf(const QString &path)
{
    return QFile::encodeName(QFileInfo(path).absolutePath());
}

} // namespace

StoreLock::~StoreLock()
{
    unlock();
}

bool StoreLock::folderInPlace() const
{
    return m_folderFd >= 0 && sameFile(m_folderFd, folderOf(m_path));
}

void StoreLock::closeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

StoreLock::Result StoreLock::tryLock(const QString &path, qint64 *holderPid, QString *error)
{
    *holderPid = 0;
    const QByteArray name = QFile::encodeName(path);
    if (m_path != path || (m_folderFd >= 0 && !folderInPlace())) {
        unlock();
    } else if (isInPlace()) {
        return Result::Locked;
    } else {
        // The file went while the folder stays locked: nobody gets in while it is made anew.
        closeFile();
    }
    m_path = path;
    const auto fail = [this](Result result) {
        unlock();
        return result;
    };

    if (m_folderFd < 0) {
        const QByteArray folder = folderOf(path);
        const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            const int openError = errno;
            *error = tr("The folder %1 cannot be opened (%2).")
                         .arg(native(folder), describe(openError));
            return fail(Result::Failed);
        }
        int lockError = 0;
        switch (FileLock::lockExclusive(fd, &lockError)) {
        case FileLock::Result::Locked:
            m_folderFd = fd;
            break;
        case FileLock::Result::Held:
            ::close(fd);
            *holderPid = holderAt(name);
            return fail(Result::Held);
        case FileLock::Result::Failed:
            // A file system that cannot lock folders: the file's lock alone keeps the store.
            ::close(fd);
            break;
        }
    }

    // A holder that lets go removes the file: a lock taken on a file that has just left its
    // path is no lock, so the path is checked again once the lock is held.
    bool replaced = false;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.constData(),
                              O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int openError = errno;
            if ((openError == EACCES || openError == EPERM) && !replaced) {
                replaced = true;
                const Result result = replaceUnwritable(name, holderPid, error);
                if (result != Result::Locked)
                    return fail(result);
                continue;
            }
            *error = tr("The lock file %1 cannot be opened (%2).")
                         .arg(native(name), describe(openError));
            return fail(Result::Failed);
        }
        struct stat status
        {
        };
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(fd);
            *error = tr("The lock file %1 is not a regular file.").arg(native(name));
            return fail(Result::Failed);
        }
        int lockError = 0;
        switch (FileLock::lockExclusive(fd, &lockError)) {
        case FileLock::Result::Locked:
            break;
        case FileLock::Result::Held:
            *holderPid = holderIn(fd);
            ::close(fd);
            return fail(Result::Held);
        case FileLock::Result::Failed:
            ::close(fd);
            *error = lockingFailed(name, lockError);
            return fail(Result::Failed);
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
        return Result::Locked;
    }
    *error = tr("The lock file %1 keeps changing.").arg(native(name));
    return fail(Result::Failed);
}

StoreLock::Result StoreLock::replaceUnwritable(const QByteArray &name, qint64 *holderPid,
                                               QString *error)
{
    // Left read-only, or by another user: a holder would lock it through a descriptor it may
    // only read, so that is asked first. Held that way while a fresh file takes its place, it
    // lets no older version in meanwhile.
    const int readOnly = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (readOnly >= 0) {
        int lockError = 0;
        if (FileLock::lockExclusive(readOnly, &lockError) == FileLock::Result::Held) {
            *holderPid = holderIn(readOnly);
            ::close(readOnly);
            return Result::Held;
        }
    }
    const QByteArray fresh
        = name + ".new-" + QByteArray::number(QCoreApplication::applicationPid());
    ::unlink(fresh.constData());
    const int fd
        = ::open(fresh.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    int replaceError = fd < 0 ? errno : 0;
    if (fd >= 0) {
        ::close(fd);
        if (::rename(fresh.constData(), name.constData()) != 0) {
            replaceError = errno;
            ::unlink(fresh.constData());
        }
    }
    if (readOnly >= 0)
        ::close(readOnly);
    if (replaceError == 0)
        return Result::Locked;
    *error = tr("The lock file %1 cannot be written, nor replaced (%2).")
                 .arg(native(name), describe(replaceError));
    return Result::Failed;
}

bool StoreLock::isInPlace() const
{
    return m_fd >= 0 && sameFile(m_fd, QFile::encodeName(m_path))
        && (m_folderFd < 0 || folderInPlace());
}

void StoreLock::unlock()
{
    if (m_fd >= 0) {
        // Removed while still held, so that nobody takes a lock on a file about to go.
        if (sameFile(m_fd, QFile::encodeName(m_path)))
            ::unlink(QFile::encodeName(m_path).constData());
        closeFile();
    }
    if (m_folderFd >= 0) {
        ::close(m_folderFd);
        m_folderFd = -1;
    }
    m_path.clear();
}

} // namespace tanvill

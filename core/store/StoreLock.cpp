#include "core/store/StoreLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill {

namespace {

constexpr qsizetype kMaxLockInfoBytes = 256;

QString tr(const char *text)
{
    return QCoreApplication::translate("tanvill::StoreLock", text);
}

// The lines of the open lock file: process, application and host, as in Qt's lock files, then
// the identity of the store.
QList<QByteArray> recordIn(int fd)
{
    struct stat status
    {
    };
    char bytes[kMaxLockInfoBytes];
    const ssize_t count = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
        ? ::pread(fd, bytes, sizeof bytes, 0)
        : -1;
    return count > 0 ? QByteArray(bytes, qsizetype(count)).split('\n') : QList<QByteArray>();
}

// The executable a process runs, by its link in /proc: the file and its name, without the mark
// the system adds once the file was replaced (an update installed while it runs).
struct Executable
{
    dev_t device = 0;
    ino_t inode = 0;
    QByteArray name;
};

std::optional<Executable> executableOf(const QByteArray &process)
{
    const QByteArray link = "/proc/" + process + "/exe";
    char target[4096];
    struct stat file
    {
    };
    const ssize_t length = ::readlink(link.constData(), target, sizeof target);
    if (length <= 0 || ::stat(link.constData(), &file) != 0)
        return std::nullopt;
    QByteArray path(target, qsizetype(length));
    if (path.endsWith(" (deleted)"))
        path.chop(10);
    return Executable { file.st_dev, file.st_ino, path.mid(path.lastIndexOf('/') + 1) };
}

// Whether the process runs this program: alive, and running our executable or one of its name.
// A number whose process ended may have gone to another program since.
bool runsThisProgram(qint64 pid)
{
    if (pid == QCoreApplication::applicationPid())
        return true;
    const std::optional<Executable> ours = executableOf("self");
    // Without /proc to look in, a live process is the best there is to go by.
    if (!ours)
        return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
    const std::optional<Executable> theirs = executableOf(QByteArray::number(pid));
    return theirs
        && ((theirs->device == ours->device && theirs->inode == ours->inode)
            || theirs->name == ours->name);
}

// The running copy of this program the first line of the lock file names; 0 when it names
// none, or a process that has ended or runs another program.
qint64 holderAt(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const QList<QByteArray> record = recordIn(fd);
    ::close(fd);
    bool ok = false;
    const qint64 pid = record.isEmpty() ? 0 : record.constFirst().toLongLong(&ok);
    return ok && pid > 0 && pid <= std::numeric_limits<pid_t>::max() && runsThisProgram(pid) ? pid
                                                                                             : 0;
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

StoreLock::Result StoreLock::tryLock(const QString &path, qint64 *holderPid, QString *error)
{
    *holderPid = 0;
    if (m_path != path || (m_folderFd >= 0 && !folderInPlace()))
        unlock();
    else if (isInPlace())
        return Result::Locked;
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
                         .arg(QDir::toNativeSeparators(QFile::decodeName(folder)),
                              describeError(openError));
            return fail(Result::Failed);
        }
        int lockError = 0;
        if (FileLock::lockDescriptor(fd, m_support, &lockError) == FileLock::Result::Held) {
            ::close(fd);
            *holderPid = holderAt(path);
            return fail(Result::Held);
        }
        // Kept also where the file system cannot lock folders: files go in place through it.
        m_folderFd = fd;
    }

    // The lock file is made, cleared of what stands in its way and replaced by its path, not
    // through the folder held: FileLock serves the launches' lock as well, and counts a lock
    // only on the file it finds at the path, in the folder just found at its place.
    switch (m_file.tryLock(path, 0644, true, error)) {
    case FileLock::Result::Locked:
        break;
    case FileLock::Result::Held:
        *holderPid = holderAt(path);
        return fail(Result::Held);
    case FileLock::Result::Failed:
        return fail(Result::Failed);
    }
    // The identity the last holder recorded stays until this one records its own. The lock is
    // what counts; the text only names its holder and the store, so a failure to write it is
    // no failure.
    if (const QList<QByteArray> record = recordIn(m_file.descriptor());
        m_identity == 0 && record.size() > 3)
        m_identity = record.at(3).toUInt();
    writeRecord();
    return Result::Locked;
}

bool StoreLock::writeRecord()
{
    const QByteArray record = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
        + QByteArrayLiteral("tanvill\n") + QSysInfo::machineHostName().toUtf8() + '\n'
        + (m_identity != 0 ? QByteArray::number(m_identity) + '\n' : QByteArray());
    // Written over what was there before it is cut to its length: a power cut in between leaves
    // no empty file.
    const int fd = m_file.descriptor();
    return ::pwrite(fd, record.constData(), size_t(record.size()), 0) == ssize_t(record.size())
        && ::ftruncate(fd, record.size()) == 0;
}

void StoreLock::recordIdentity(quint32 identity)
{
    // A store without one yet says nothing against what the last holder recorded.
    if (identity == 0 || identity == m_identity || !isLocked())
        return;
    m_identity = identity;
    // Once for a store: its next keeper may need it after a power cut.
    if (writeRecord())
        ::fsync(m_file.descriptor());
}

bool StoreLock::isInPlace() const
{
    return m_file.isInPlace() && folderInPlace();
}

void StoreLock::unlock()
{
    m_file.unlock();
    if (m_folderFd >= 0) {
        ::close(m_folderFd);
        m_folderFd = -1;
    }
    m_path.clear();
    m_identity = 0;
}

} // namespace tanvill

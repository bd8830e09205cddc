#include "core/store/StoreFiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill::StoreFiles {

namespace {

constexpr int kFreeNameAttempts = 100;
// Where the lock of a half-written file begins when only fcntl locks are had: past the bytes
// SQLite locks as it writes the file (a few hundred, from 1 GiB on).
constexpr off_t kPartialLockFrom = off_t(1) << 40;

QString tr(const char *text)
{
    return QCoreApplication::translate("tanvill::StoreFiles", text);
}

const char *reasonName(Reason why)
{
    switch (why) {
    case Reason::Unreadable:
        return "unreadable";
    case Reason::Damaged:
        return "damaged";
    case Reason::Replaced:
        return "replaced";
    case Reason::Superseded:
        return "superseded";
    case Reason::Leftover:
        return "leftover";
    case Reason::OtherFilesJournal:
        return "unfinished";
    }
    return "set-aside";
}

QString numbered(const QString &stem, int attempt)
{
    return stem + (attempt == 0 ? QString() : QStringLiteral("-%1").arg(attempt))
        + QStringLiteral(".sqlite");
}

QByteArray nameOf(const QString &path)
{
    return QFile::encodeName(QFileInfo(path).fileName());
}

bool existsAt(int folderFd, const QByteArray &name)
{
    struct stat status
    {
    };
    return ::fstatat(folderFd, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

// True when the open file fd is what stands at name in the folder.
bool isAt(int folderFd, const QByteArray &name, int fd)
{
    struct stat atName
    {
    };
    struct stat opened
    {
    };
    return ::fstatat(folderFd, name.constData(), &atName, AT_SYMLINK_NOFOLLOW) == 0
        && ::fstat(fd, &opened) == 0 && atName.st_dev == opened.st_dev
        && atName.st_ino == opened.st_ino;
}

// The names of the half-written files "<stem>*.partial" in the folder.
QList<QByteArray> partialsIn(int folderFd, const QByteArray &stem)
{
    QList<QByteArray> names;
    // A description of its own, so that reading the entries moves no shared offset.
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *folder = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!folder) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (const dirent *entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith(stem) && name.endsWith(".partial"))
            names << name;
    }
    ::closedir(folder);
    return names;
}

// Calls visit with each folder where half-written files may be, its path and their stems.
template<typename Visit>
void forEachPartialFolder(int storeFolderFd, const QString &storePath,
                          const QStringList &keptFolders, const Visit &visit)
{
    const QFileInfo store(storePath);
    visit(storeFolderFd, store.absolutePath(),
          QList<QByteArray> { QFile::encodeName(store.fileName()), kKeptStem });
    // The other folders are no store's, and nobody holds them: a half-written file there is
    // found through a folder opened now, and removed only once its lock says its writer is gone.
    for (const QString &folder : keptFolders) {
        if (QFileInfo(folder) == QFileInfo(store.absolutePath()))
            continue;
        const int fd
            = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            continue;
        visit(fd, folder, QList<QByteArray> { kKeptStem });
        ::close(fd);
    }
}

int renameNoReplace(int folderFd, const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(folderFd, from.constData(), folderFd, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    // A file system that cannot rename without replacing: a plain rename, once it is free.
    if (existsAt(folderFd, to))
        return EEXIST;
    return ::renameat(folderFd, from.constData(), folderFd, to.constData()) == 0 ? 0 : errno;
}

// Moves `name` in the folder to the first free name of stem (followed by `suffix`), never
// replacing a file; the new name, or none.
QByteArray moveToFreeName(int folderFd, const QByteArray &name, const QString &stem,
                          const QByteArray &suffix = {})
{
    for (int attempt = 0; attempt < kFreeNameAttempts; ++attempt) {
        const QByteArray target = nameOf(numbered(stem, attempt)) + suffix;
        const int error = renameNoReplace(folderFd, name, target);
        if (error == 0)
            return target;
        if (error != EEXIST)
            break;
    }
    return {};
}

} // namespace

QString freshPath(const QString &storePath)
{
    return storePath + QStringLiteral(".new");
}

PartialFile::PartialFile(int folderFd, QByteArray name, QString path, int fd)
    : m_folderFd(folderFd), m_name(std::move(name)), m_path(std::move(path)), m_fd(fd)
{ }

std::unique_ptr<PartialFile> PartialFile::create(int folderFd, const QString &folderPath,
                                                 const QString &stem, LockSupport support,
                                                 QString *error)
{
    for (int attempt = 0; attempt < kFreeNameAttempts; ++attempt) {
        const QByteArray name = QFile::encodeName(stem) + '.' + QByteArray::number(::getpid()) + '-'
            + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".partial";
        const int fd = ::openat(folderFd, name.constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            const int openError = errno;
            *error = tr("No file can be made in %1 (%2).")
                         .arg(QDir::toNativeSeparators(folderPath), describeError(openError));
            return nullptr;
        }
        // A file system without locks gives none: such a file is never removed by a start. A
        // start that removed this one before it was locked leaves its name to another.
        int lockError = 0;
        if (FileLock::lockDescriptor(fd, support, &lockError, kPartialLockFrom)
                != FileLock::Result::Held
            && isAt(folderFd, name, fd))
            return std::unique_ptr<PartialFile>(new PartialFile(
                folderFd, name, folderPath + QLatin1Char('/') + QFile::decodeName(name), fd));
        ::close(fd);
    }
    *error = tr("No file can be made in %1.").arg(QDir::toNativeSeparators(folderPath));
    return nullptr;
}

bool PartialFile::write(const QByteArray &bytes, QString *error)
{
    qsizetype written = 0;
    int failure = 0;
    while (written < bytes.size() && failure == 0) {
        const ssize_t step = ::pwrite(m_fd, bytes.constData() + written,
                                      size_t(bytes.size() - written), off_t(written));
        if (step > 0)
            written += step;
        else if (step == 0 || errno != EINTR)
            failure = step == 0 ? EIO : errno;
    }
    if (failure == 0 && ::fsync(m_fd) != 0)
        failure = errno;
    if (failure == 0)
        return true;
    *error = tr("%1 cannot be written (%2).")
                 .arg(QDir::toNativeSeparators(m_path), describeError(failure));
    return false;
}

PartialFile::~PartialFile()
{
    // Removed while still locked, so that nobody takes it for one whose writer is gone.
    if (!m_named && isAt(m_folderFd, m_name, m_fd)) {
        ::unlinkat(m_folderFd, (m_name + "-journal").constData(), 0);
        ::unlinkat(m_folderFd, m_name.constData(), 0);
    }
    ::close(m_fd);
}

bool hasPartials(int storeFolderFd, const QString &storePath, const QStringList &keptFolders)
{
    bool found = false;
    forEachPartialFolder(storeFolderFd, storePath, keptFolders,
                         [&](int folderFd, const QString &, const QList<QByteArray> &stems) {
                             for (const QByteArray &stem : stems)
                                 found = found || !partialsIn(folderFd, stem).isEmpty();
                         });
    return found;
}

void removeIfAbandoned(int folderFd, const QString &folderPath, const QByteArray &name,
                       LockSupport support)
{
    const int fd
        = ::openat(folderFd, name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat status
    {
    };
    int lockError = 0;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
        && FileLock::lockDescriptor(fd, support, &lockError, kPartialLockFrom)
            == FileLock::Result::Locked
        && isAt(folderFd, name, fd)) {
        qWarning().noquote() << "A file left half-written when Tanvill was stopped is removed:"
                             << folderPath + QLatin1Char('/') + QFile::decodeName(name);
        ::unlinkat(folderFd, (name + "-journal").constData(), 0);
        ::unlinkat(folderFd, name.constData(), 0);
    }
    ::close(fd);
}

void removeAbandonedPartials(int storeFolderFd, const QString &storePath,
                             const QStringList &keptFolders, LockSupport support)
{
    const auto removeIn
        = [support](int folderFd, const QString &folderPath, const QList<QByteArray> &stems) {
              for (const QByteArray &stem : stems) {
                  for (const QByteArray &name : partialsIn(folderFd, stem))
                      removeIfAbandoned(folderFd, folderPath, name, support);
              }
          };
    forEachPartialFolder(storeFolderFd, storePath, keptFolders, removeIn);
}

QString asideStem(const QString &path, Reason why)
{
    const QFileInfo info(path);
    return info.absolutePath() + QLatin1Char('/') + info.baseName() + QLatin1Char('.')
        + QLatin1String(reasonName(why)) + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

QString setAside(int folderFd, const QString &path, Reason why)
{
    const QByteArray name = nameOf(path);
    const QByteArray target = moveToFreeName(folderFd, name, asideStem(path, why));
    if (target.isEmpty())
        return {};
    // A rollback journal belongs with its database.
    ::renameat(folderFd, (name + "-journal").constData(), folderFd,
               (target + "-journal").constData());
    return QFileInfo(path).absolutePath() + QLatin1Char('/') + QFile::decodeName(target);
}

QString setAsideJournal(int folderFd, const QString &storePath, Reason why)
{
    const QByteArray target = moveToFreeName(folderFd, nameOf(storePath) + "-journal",
                                             asideStem(storePath, why), "-journal");
    if (target.isEmpty())
        return {};
    return QFileInfo(storePath).absolutePath() + QLatin1Char('/') + QFile::decodeName(target);
}

QString setAsideNameOf(const QString &storePath)
{
    const QFileInfo store(storePath);
    struct stat atPath
    {
    };
    if (::lstat(QFile::encodeName(storePath).constData(), &atPath) != 0 || !S_ISREG(atPath.st_mode)
        || atPath.st_nlink < 2)
        return {};
    const QString prefix = store.baseName() + QLatin1Char('.');
    const QDir folder(store.absolutePath());
    for (const QString &entry : folder.entryList({ prefix + QStringLiteral("*-*.sqlite") },
                                                 QDir::Files | QDir::Hidden | QDir::System)) {
        struct stat other
        {
        };
        const QString candidate = folder.filePath(entry);
        if (::lstat(QFile::encodeName(candidate).constData(), &other) == 0
            && other.st_dev == atPath.st_dev && other.st_ino == atPath.st_ino)
            return candidate;
    }
    return {};
}

void removeStoreFile(int folderFd, const QString &path)
{
    const QByteArray name = nameOf(path);
    ::unlinkat(folderFd, name.constData(), 0);
    ::unlinkat(folderFd, (name + "-journal").constData(), 0);
}

int renameWithoutReplacing(int folderFd, const QString &from, const QString &to)
{
    return renameNoReplace(folderFd, nameOf(from), nameOf(to));
}

int renameWithoutReplacing(int folderFd, const QByteArray &from, const QByteArray &to)
{
    return renameNoReplace(folderFd, from, to);
}

int syncFolder(int folderFd)
{
    if (folderFd < 0)
        return EBADF;
    return ::fsync(folderFd) == 0 ? 0 : errno;
}

QString giveFreeName(int folderFd, const QString &from, const QString &stem)
{
    const QByteArray source = nameOf(from);
    for (int attempt = 0; attempt < kFreeNameAttempts; ++attempt) {
        const QString to = numbered(stem, attempt);
        const QByteArray target = nameOf(to);
        if (::linkat(folderFd, source.constData(), folderFd, target.constData(), 0) == 0) {
            ::unlinkat(folderFd, source.constData(), 0);
            return to;
        }
        if (errno == EEXIST)
            continue;
        // A file system without links: a rename, once the name is free.
        if (existsAt(folderFd, target))
            continue;
        return ::renameat(folderFd, source.constData(), folderFd, target.constData()) == 0
            ? to
            : QString();
    }
    return {};
}

bool putInPlace(int folderFd, const QString &storePath, const QString &fresh, Reason why,
                QString *setAsidePath, QString *error, const StepHook &hook)
{
    const QString folder = QFileInfo(storePath).absolutePath() + QLatin1Char('/');
    const QByteArray name = nameOf(storePath);
    const QByteArray journal = name + "-journal";
    const QByteArray freshName = nameOf(fresh);
    struct stat current
    {
    };
    const bool present = ::fstatat(folderFd, name.constData(), &current, AT_SYMLINK_NOFOLLOW) == 0;
    QByteArray aside;
    bool linked = false;
    setAsidePath->clear();
    if (present && !(S_ISREG(current.st_mode) && current.st_size == 0)) {
        // Already under a set-aside name when a kill came between the two steps below.
        if (const QString kept = setAsideNameOf(storePath); !kept.isEmpty()) {
            aside = nameOf(kept);
            linked = true;
        }
        // A link keeps what is there under its set-aside name while it stays at the store's
        // path, until the rename below replaces it there in one step. Where no link can be
        // made (a folder, a file system without links), it is moved aside.
        const QString stem = asideStem(storePath, why);
        for (int attempt = 0; attempt < kFreeNameAttempts && !linked; ++attempt) {
            aside = nameOf(numbered(stem, attempt));
            linked = ::linkat(folderFd, name.constData(), folderFd, aside.constData(), 0) == 0;
            if (!linked && errno != EEXIST)
                break;
        }
        if (!linked)
            aside = moveToFreeName(folderFd, name, stem);
        if (aside.isEmpty()) {
            *error
                = tr("The file %1 cannot be moved aside.").arg(QDir::toNativeSeparators(storePath));
            return false;
        }
        // A rollback journal belongs with its database, and must not be taken for the fresh
        // file's.
        ::renameat(folderFd, journal.constData(), folderFd, (aside + "-journal").constData());
        *setAsidePath = folder + QFile::decodeName(aside);
    } else {
        // An emptied file holds nothing to keep, and a journal next to it would be taken for
        // the fresh file's.
        ::unlinkat(folderFd, journal.constData(), 0);
    }
    if (hook)
        hook(Step::OldKept);
    if (::renameat(folderFd, freshName.constData(), folderFd, name.constData()) != 0) {
        const int renameError = errno;
        *error = tr("The new file cannot take the place of %1 (%2).")
                     .arg(QDir::toNativeSeparators(storePath), describeError(renameError));
        if (!aside.isEmpty()) {
            if (linked)
                ::unlinkat(folderFd, aside.constData(), 0);
            else
                ::renameat(folderFd, aside.constData(), folderFd, name.constData());
            ::renameat(folderFd, (aside + "-journal").constData(), folderFd, journal.constData());
        }
        setAsidePath->clear();
        return false;
    }
    // In place for this run either way; only a crash before the disk has the name could undo it.
    if (const int syncFailure = syncFolder(folderFd))
        qWarning().noquote() << "The folder of" << QDir::toNativeSeparators(storePath)
                             << "could not be synced:" << describeError(syncFailure);
    return true;
}

} // namespace tanvill::StoreFiles

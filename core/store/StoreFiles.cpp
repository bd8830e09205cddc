#include "core/store/StoreFiles.h"

#include "platform/FileLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill::StoreFiles {

namespace {

constexpr int kFreeNameAttempts = 100;

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

// Moves `name` in the folder to the first free name of stem, never replacing a file; the new
// name, or none.
QByteArray moveToFreeName(int folderFd, const QByteArray &name, const QString &stem)
{
    for (int attempt = 0; attempt < kFreeNameAttempts; ++attempt) {
        const QByteArray target = nameOf(numbered(stem, attempt));
        const int error = renameNoReplace(folderFd, name, target);
        if (error == 0)
            return target;
        if (error != EEXIST)
            break;
    }
    return {};
}

} // namespace

QString partialPath(const QString &storePath)
{
    return storePath + QStringLiteral(".partial");
}

QString freshPath(const QString &storePath)
{
    return storePath + QStringLiteral(".new");
}

QString keptPartialPath(const QString &folder)
{
    return folder + QStringLiteral("/Tanvill.unsaved.sqlite.partial");
}

QString asideStem(const QString &path, Reason why)
{
    const QFileInfo info(path);
    return info.absolutePath() + QLatin1Char('/') + info.baseName() + QLatin1Char('.')
        + QLatin1String(reasonName(why)) + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

QString setAside(const QString &path, Reason why)
{
    const QFileInfo info(path);
    const int folderFd = ::open(QFile::encodeName(info.absolutePath()).constData(),
                                O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return {};
    const QByteArray target = moveToFreeName(folderFd, nameOf(path), asideStem(path, why));
    ::close(folderFd);
    if (target.isEmpty())
        return {};
    const QString aside = info.absolutePath() + QLatin1Char('/') + QFile::decodeName(target);
    // A rollback journal belongs with its database.
    const QString journal = path + QStringLiteral("-journal");
    if (QFileInfo::exists(journal))
        QFile::rename(journal, aside + QStringLiteral("-journal"));
    return aside;
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

void removeStoreFile(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

void removeStalePartials(const QString &storePath, const QStringList &keptFolders)
{
    QStringList partials { partialPath(storePath) };
    for (const QString &folder : keptFolders)
        partials << keptPartialPath(folder);
    for (const QString &partial : partials) {
        const QFileInfo info(partial);
        if (info.isSymLink() || !info.isFile())
            continue;
        qWarning().noquote() << "A file left half-written when Tanvill was stopped is removed:"
                             << partial;
        removeStoreFile(partial);
    }
}

int renameWithoutReplacing(int folderFd, const QString &from, const QString &to)
{
    return renameNoReplace(folderFd, nameOf(from), nameOf(to));
}

void syncFolder(int folderFd)
{
    if (folderFd >= 0)
        ::fsync(folderFd);
}

void syncFolder(const QString &folder)
{
    const int fd
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    syncFolder(fd);
    if (fd >= 0)
        ::close(fd);
}

QString giveFreeName(const QString &from, const QString &stem)
{
    const QByteArray source = QFile::encodeName(from);
    for (int attempt = 0; attempt < kFreeNameAttempts; ++attempt) {
        const QString to = numbered(stem, attempt);
        const QByteArray target = QFile::encodeName(to);
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return to;
        }
        if (errno == EEXIST)
            continue;
        // A file system without links: a rename, once the name is free.
        if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
            continue;
        return std::rename(source.constData(), target.constData()) == 0 ? to : QString();
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
    syncFolder(folderFd);
    return true;
}

} // namespace tanvill::StoreFiles

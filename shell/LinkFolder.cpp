#include "shell/LinkFolder.h"

#include "core/store/StoreFiles.h"
#include "platform/FileLock.h"
#include "platform/InstanceProtocol.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill {

namespace {

constexpr char kSuffix[] = ".link";
// What a file that can never be read as a link ends with once it is set aside.
constexpr char kSetAsideSuffix[] = ".unreadable";
constexpr int kSetAsideAttempts = 100;
// The files being written, "link.<process>-<random>.partial".
constexpr char kPartialStem[] = "link";
// What an earlier version left of a link it was writing, "<name>.link.XXXXXX": removed once
// nobody can still be writing it.
constexpr qint64 kStaleWriteSeconds = 600;
const QRegularExpression kEarlierWrite(QStringLiteral(R"(^\d{13}-\d+-\d+\.link\.[A-Za-z0-9]{6}$)"));
// The name of a kept link, "<time>-<process>-<n>.link", its numbers padded or not.
const QRegularExpression kLinkName(QStringLiteral(R"(^(\d{1,13})-(\d{1,10})-(\d{1,10})\.link$)"));
// The widths newName() pads the process and the counter to.
constexpr int kProcessDigits = 10;
constexpr int kCounterDigits = 10;

enum class Content {
    Link,
    Unreadable, // a regular file that can never be read as a link
    Skipped, // anything else, or a file that cannot be read now
};

// What the file `name` holds: a link when it is a regular file of at most a link's worth of
// UTF-8, read as its text without the white space around it (a line end written with it).
Content readLink(int folderFd, const QByteArray &name, QString *link)
{
    const int fd
        = ::openat(folderFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Content::Skipped;
    struct stat status
    {
    };
    Content content = Content::Skipped;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        content = Content::Unreadable;
        if (status.st_size > 0 && status.st_size <= instance::kMaxMessageBytes) {
            QByteArray bytes(qsizetype(status.st_size), Qt::Uninitialized);
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            if (::read(fd, bytes.data(), size_t(bytes.size())) == ssize_t(bytes.size())) {
                *link = QString(decoder(bytes)).trimmed();
                if (!decoder.hasError() && !link->isEmpty())
                    content = Content::Link;
            } else {
                content = Content::Skipped;
            }
        }
    }
    ::close(fd);
    return content;
}

// The path of `name` in the folder, for telling the user (a name that is not UTF-8 is shown as
// near as it can be).
QString filePath(const QString &folder, const QByteArray &name)
{
    return folder + QLatin1Char('/') + QFile::decodeName(name);
}

// Gives the file `name` a name that no longer reads as a link, never replacing a file; its new
// path, or none.
QString setAside(int folderFd, const QString &folder, const QByteArray &name)
{
    const QByteArray stem = name.chopped(qsizetype(sizeof kSuffix - 1));
    for (int attempt = 0; attempt < kSetAsideAttempts; ++attempt) {
        const QByteArray to = stem
            + (attempt == 0 ? QByteArray() : '-' + QByteArray::number(attempt)) + kSetAsideSuffix;
        const int error = StoreFiles::renameWithoutReplacing(folderFd, name, to);
        if (error == 0)
            return filePath(folder, to);
        if (error != EEXIST)
            break;
    }
    return {};
}

bool isStale(int folderFd, const QByteArray &name)
{
    struct stat status
    {
    };
    return ::fstatat(folderFd, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISREG(status.st_mode)
        && status.st_mtime < QDateTime::currentSecsSinceEpoch() - kStaleWriteSeconds;
}

} // namespace

LinkFolder::LinkFolder(QString path, StepHook hook)
    : m_path(std::move(path)), m_hook(std::move(hook))
{ }

QByteArray LinkFolder::newName()
{
    // Names sort in the order the links were taken, and no two writers share one.
    static std::atomic<quint64> written = 0;
    return QStringLiteral("%1-%2-%3")
               .arg(QDateTime::currentMSecsSinceEpoch(), 13, 10, QLatin1Char('0'))
               .arg(QCoreApplication::applicationPid(), kProcessDigits, 10, QLatin1Char('0'))
               .arg(++written, kCounterDigits, 10, QLatin1Char('0'))
               .toLatin1()
        + kSuffix;
}

QByteArray LinkFolder::orderOf(const QByteArray &name)
{
    const QRegularExpressionMatch parts = kLinkName.match(QString::fromLatin1(name));
    if (!parts.hasMatch())
        return name;
    return QStringLiteral("%1-%2-%3")
               .arg(parts.captured(1), 13, QLatin1Char('0'))
               .arg(parts.captured(2), kProcessDigits, QLatin1Char('0'))
               .arg(parts.captured(3), kCounterDigits, QLatin1Char('0'))
               .toLatin1()
        + kSuffix;
}

int LinkFolder::syncFolder(int folderFd) const
{
    if (const int failure = m_hook ? m_hook(Step::SyncFolder, folderFd) : 0)
        return failure;
    return StoreFiles::syncFolder(folderFd);
}

bool LinkFolder::write(const QByteArray &name, const QString &link, QString *error)
{
    const QString folder = QDir::toNativeSeparators(m_path);
    const bool existed = QFileInfo(m_path).isDir();
    if (!existed && !QDir().mkpath(m_path)) {
        *error = QStringLiteral("%1 cannot be made").arg(folder);
        return false;
    }
    const int folderFd
        = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        *error = QStringLiteral("%1: %2").arg(folder, describeError(errno));
        return false;
    }
    const auto failed = [&](const QString &path, int errorNumber) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path),
                                              describeError(errorNumber));
    };
    int failure = 0;
    if (!existed) {
        // The folder's own name, in the folder above it.
        const int parentFd = ::openat(folderFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        failure = parentFd >= 0 ? syncFolder(parentFd) : errno;
        if (parentFd >= 0)
            ::close(parentFd);
        if (failure)
            failed(QFileInfo(m_path).path(), failure);
    }
    if (!failure && m_hook && (failure = m_hook(Step::Write, folderFd)))
        failed(m_path, failure);
    bool kept = false;
    if (!failure) {
        const std::unique_ptr<StoreFiles::PartialFile> partial = StoreFiles::PartialFile::create(
            folderFd, m_path, QLatin1String(kPartialStem), LockSupport::System, error);
        if (partial && partial->write(link.toUtf8(), error)) {
            const QByteArray partialName = QFile::encodeName(QFileInfo(partial->path()).fileName());
            if (const int renameError
                = StoreFiles::renameWithoutReplacing(folderFd, partialName, name)) {
                failed(filePath(m_path, name), renameError);
            } else if (const int syncFailure = syncFolder(folderFd)) {
                // Its name may not outlive a crash: the launch hears it was not kept, and a
                // later start does not add it behind the user's back.
                ::unlinkat(folderFd, name.constData(), 0);
                failed(m_path, syncFailure);
            } else {
                partial->named();
                kept = true;
            }
        }
    }
    ::close(folderFd);
    return kept;
}

LinkFolder::Listing LinkFolder::list()
{
    Listing listing;
    const int folderFd
        = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return listing;
    // Each name with what it sorts by.
    std::vector<std::pair<QByteArray, QByteArray>> names;
    // A description of its own for reading, so that the folder's stays where it is.
    const int readFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (DIR *entries = readFd >= 0 ? ::fdopendir(readFd) : nullptr) {
        while (const dirent *entry = ::readdir(entries)) {
            const QByteArray name(entry->d_name);
            names.emplace_back(orderOf(name), name);
        }
        ::closedir(entries);
    } else if (readFd >= 0) {
        ::close(readFd);
    }
    std::sort(names.begin(), names.end());
    for (const auto &[order, name] : names) {
        if (name.startsWith(kPartialStem) && name.endsWith(".partial")) {
            StoreFiles::removeIfAbandoned(folderFd, m_path, name, LockSupport::System);
        } else if (!name.endsWith(kSuffix)) {
            if (kEarlierWrite.match(QString::fromLatin1(name)).hasMatch()
                && isStale(folderFd, name))
                ::unlinkat(folderFd, name.constData(), 0);
        } else {
            QString link;
            switch (readLink(folderFd, name, &link)) {
            case Content::Link:
                listing.links.emplace_back(name, link);
                break;
            case Content::Unreadable:
                if (const QString aside = setAside(folderFd, m_path, name); !aside.isEmpty())
                    listing.setAside << aside;
                else
                    qWarning().noquote() << "A kept link that cannot be read cannot be set aside:"
                                         << filePath(m_path, name);
                break;
            case Content::Skipped:
                break;
            }
        }
    }
    ::close(folderFd);
    return listing;
}

void LinkFolder::remove(const QByteArray &name)
{
    ::unlink((QFile::encodeName(m_path) + '/' + name).constData());
}

} // namespace tanvill

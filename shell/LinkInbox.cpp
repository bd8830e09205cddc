#include "shell/LinkInbox.h"

#include "core/SettingsKeys.h"
#include "platform/InstanceProtocol.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill {

namespace {

const QString kSuffix = QStringLiteral(".link");
// A file being written is renamed into place whole; one left by a writer that died is removed
// once nobody can still be writing it.
constexpr qint64 kStaleWriteSeconds = 600;

// The text of a file of the folder, when it is a regular file holding a link's worth of UTF-8.
std::optional<QString> readLink(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status
    {
    };
    QByteArray bytes;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
        && status.st_size <= instance::kMaxMessageBytes) {
        bytes.resize(qsizetype(status.st_size));
        if (::read(fd, bytes.data(), size_t(bytes.size())) != ssize_t(bytes.size()))
            bytes.clear();
    }
    ::close(fd);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString link = decoder(bytes);
    if (link.isEmpty() || decoder.hasError())
        return std::nullopt;
    return link;
}

} // namespace

QString LinkInbox::defaultFolder()
{
    return QFileInfo(UserDefaults::defaultFilePath()).path() + QStringLiteral("/PendingLinks");
}

LinkInbox::LinkInbox(QString folder) : m_folder(std::move(folder)) { }

LinkInbox::Entry *LinkInbox::find(const QString &link)
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const Entry &entry) { return entry.link == link; });
    return found == m_entries.end() ? nullptr : &*found;
}

const LinkInbox::Entry *LinkInbox::find(const QString &link) const
{
    return const_cast<LinkInbox *>(this)->find(link);
}

void LinkInbox::insert(Entry entry)
{
    const auto place = std::upper_bound(
        m_entries.begin(), m_entries.end(), entry.order,
        [](const QString &order, const Entry &other) { return order < other.order; });
    m_entries.insert(place, std::move(entry));
}

bool LinkInbox::isWaiting(const QString &link) const
{
    return find(link) != nullptr;
}

bool LinkInbox::isKept(const QString &link) const
{
    const Entry *entry = find(link);
    return entry && entry->kept;
}

bool LinkInbox::wasKeptBefore(const QString &link) const
{
    const Entry *entry = find(link);
    return entry && entry->keptBefore;
}

QString LinkInbox::newName()
{
    // Names sort in the order the links were taken, and no two writers share one.
    static std::atomic<quint64> written = 0;
    return QStringLiteral("%1-%2-%3")
               .arg(QDateTime::currentMSecsSinceEpoch(), 13, 10, QLatin1Char('0'))
               .arg(QCoreApplication::applicationPid())
               .arg(++written)
        + kSuffix;
}

bool LinkInbox::write(const QString &name, const QString &link, QString *error)
{
    QString reason;
    if (!QDir().mkpath(m_folder)) {
        reason = QStringLiteral("%1 cannot be made").arg(QDir::toNativeSeparators(m_folder));
    } else {
        // Written whole under another name and renamed into place, synced on the way.
        QSaveFile file(m_folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly) && file.write(link.toUtf8()) >= 0 && file.commit())
            return true;
        reason = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file.fileName()),
                                              file.errorString());
    }
    if (error)
        *error = reason;
    return false;
}

bool LinkInbox::take(const QString &link, QString *error)
{
    if (const Entry *entry = find(link))
        return entry->kept;
    Entry entry { link, newName() };
    entry.kept = write(entry.order, link, error);
    insert(entry);
    return entry.kept;
}

std::vector<std::pair<QString, QString>> LinkInbox::readFolder() const
{
    std::vector<std::pair<QString, QString>> links;
    const QDir folder(m_folder);
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-kStaleWriteSeconds);
    for (const QFileInfo &file :
         folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (!file.fileName().endsWith(kSuffix)) {
            // What a writer that died left of a link it was writing.
            if (file.fileName().contains(kSuffix + QLatin1Char('.')) && file.lastModified() < stale)
                QFile::remove(file.filePath());
            continue;
        }
        if (const std::optional<QString> link = readLink(file.filePath()))
            links.emplace_back(file.fileName(), *link);
    }
    return links;
}

void LinkInbox::gather(UserDefaults *settings)
{
    for (const auto &[name, link] : readFolder()) {
        if (Entry *entry = find(link))
            entry->kept = true;
        else
            insert({ link, name, true, true });
    }
    if (!settings || !settings->hasStoredValue(SettingsKeys::PendingLinks))
        return;
    bool allKept = true;
    for (const QString &link : settings->value(SettingsKeys::PendingLinks).toStringList()) {
        if (link.isEmpty() || find(link))
            continue;
        Entry entry { link, newName() };
        entry.keptBefore = true;
        entry.kept = write(entry.order, link, nullptr);
        allKept = allKept && entry.kept;
        insert(entry);
    }
    if (allKept) {
        settings->remove(SettingsKeys::PendingLinks);
        settings->sync();
    }
}

bool LinkInbox::hasNext() const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [](const Entry &entry) { return entry.state == State::Waiting; });
}

std::optional<QString> LinkInbox::next()
{
    for (Entry &entry : m_entries) {
        if (entry.state == State::Waiting) {
            entry.state = State::UnderWay;
            return entry.link;
        }
    }
    return std::nullopt;
}

void LinkInbox::finish(const QString &link, Ending ending)
{
    Entry *entry = find(link);
    if (!entry)
        return;
    if (ending == Ending::PutAside) {
        // Only what is under way: one already put aside may be waiting again for a refresh.
        if (entry->state == State::UnderWay)
            entry->state = State::PutAside;
        return;
    }
    // Every file of it, those a launch that could not hand it over added meanwhile included.
    for (const auto &[name, kept] : readFolder()) {
        if (kept == link)
            QFile::remove(m_folder + QLatin1Char('/') + name);
    }
    m_entries.erase(m_entries.begin() + (entry - m_entries.data()));
}

void LinkInbox::retryPutAside()
{
    for (Entry &entry : m_entries) {
        if (entry.state == State::PutAside)
            entry.state = State::Waiting;
    }
}

QStringList LinkInbox::keepUnkept(QString *error)
{
    QStringList unkept;
    for (Entry &entry : m_entries) {
        if (!entry.kept)
            entry.kept = write(entry.order, entry.link, error);
        if (!entry.kept)
            unkept << entry.link;
    }
    return unkept;
}

} // namespace tanvill

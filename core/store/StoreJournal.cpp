#include "core/store/StoreJournal.h"

#include "core/store/StoreFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <sqlite3.h>

#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace tanvill::StoreJournal {

namespace {

// The journal's header: its form's name, the records of its first segment, the seed of their
// checksums, the file's size in pages before the write, the sector and the page size.
constexpr unsigned char kJournalMagic[8] = { 0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7 };
constexpr qint64 kJournalHeaderBytes = 28;
// A store's header, and where it keeps the count of its writes and its identity.
constexpr qint64 kStoreHeaderBytes = 100;
constexpr int kChangeCounterAt = 24;
constexpr int kIdentityAt = 68;
constexpr char kStoreMagic[] = "SQLite format 3";

QString tr(const char *text)
{
    return QCoreApplication::translate("tanvill::StoreJournal", text);
}

quint32 numberAt(const QByteArray &bytes, qsizetype offset)
{
    return qFromBigEndian<quint32>(bytes.constData() + offset);
}

bool isPowerOfTwoIn(quint32 value, quint32 least, quint32 most)
{
    return value >= least && value <= most && (value & (value - 1)) == 0;
}

// The image a journal keeps of the first page of the file it was written for: the records of
// each segment in turn, each a page's number, its bytes and a checksum the journal's seed
// begins, up to the first one that is not whole. None when it keeps none; false when the file
// is no journal SQLite would roll back.
bool readFirstPageImage(const QString &path, std::optional<QByteArray> *image)
{
    QFile journal(path);
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = journal.size();
    quint32 sectorSize = 0;
    quint32 pageSize = 0;
    qint64 segment = 0;
    while (segment + kJournalHeaderBytes <= size && journal.seek(segment)) {
        const QByteArray header = journal.read(kJournalHeaderBytes);
        if (header.size() < kJournalHeaderBytes
            || std::memcmp(header.constData(), kJournalMagic, sizeof kJournalMagic) != 0)
            break;
        if (segment == 0) {
            sectorSize = numberAt(header, 20);
            pageSize = numberAt(header, 24);
            if (!isPowerOfTwoIn(sectorSize, 32, 65536) || !isPowerOfTwoIn(pageSize, 512, 65536))
                return false;
        }
        const quint32 seed = numberAt(header, 12);
        const qint64 recordBytes = qint64(pageSize) + 8;
        qint64 record = segment + sectorSize;
        // A count not written yet (0) or never written (all ones): as many as the file holds.
        const quint32 count = numberAt(header, 8);
        for (quint32 left = count == 0 ? ~quint32(0) : count;
             left > 0 && record + recordBytes <= size; --left, record += recordBytes) {
            journal.seek(record);
            const QByteArray bytes = journal.read(recordBytes);
            if (bytes.size() < recordBytes)
                return true;
            quint32 checksum = seed;
            for (qint64 at = qint64(pageSize) - 200; at > 0; at -= 200)
                checksum += quint8(bytes.at(4 + at));
            if (checksum != numberAt(bytes, 4 + pageSize))
                return true;
            if (numberAt(bytes, 0) == 1) {
                *image = bytes.mid(4, kStoreHeaderBytes);
                return true;
            }
        }
        // The next segment begins at the first sector boundary after this one's records.
        segment = (record + sectorSize - 1) / sectorSize * sectorSize;
    }
    return segment > 0;
}

// The store's file opened through SQLite's own layer with a shared lock, as a reader holds it:
// no program begins to write it or rolls its journal back while this is held, and closing it
// keeps the locks of this process's other connections to the file.
class SharedHold
{
public:
    explicit SharedHold(const QString &path)
        : m_vfs(sqlite3_vfs_find(nullptr)),
          m_name(sqlite3_create_filename(QFile::encodeName(path).constData(), "", "", 0, nullptr))
    {
        if (!m_vfs || !m_name)
            return;
        m_file = static_cast<sqlite3_file *>(sqlite3_malloc64(sqlite3_uint64(m_vfs->szOsFile)));
        if (!m_file)
            return;
        std::memset(static_cast<void *>(m_file), 0, size_t(m_vfs->szOsFile));
        int flags = 0;
        m_open = m_vfs->xOpen(m_vfs, m_name, m_file, SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_READONLY,
                              &flags)
                == SQLITE_OK
            && m_file->pMethods;
        m_locked = m_open && m_file->pMethods->xLock(m_file, SQLITE_LOCK_SHARED) == SQLITE_OK;
    }

    ~SharedHold()
    {
        // A file the layer set up is closed through it, even when opening failed.
        if (m_file && m_file->pMethods) {
            if (m_locked)
                m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_NONE);
            m_file->pMethods->xClose(m_file);
        }
        sqlite3_free(m_file);
        sqlite3_free_filename(m_name);
    }

    SharedHold(const SharedHold &) = delete;
    SharedHold &operator=(const SharedHold &) = delete;

    bool isOpen() const { return m_open; }
    // Held, and nobody writes the file: a journal beside it is hot.
    bool isQuiet() const
    {
        int reserved = 1;
        return m_locked && m_file->pMethods->xCheckReservedLock(m_file, &reserved) == SQLITE_OK
            && reserved == 0;
    }
    // The file's header; none when it has none (an empty file, or one of another form).
    std::optional<QByteArray> header() const
    {
        QByteArray bytes(kStoreHeaderBytes, '\0');
        if (m_file->pMethods->xRead(m_file, bytes.data(), int(kStoreHeaderBytes), 0) != SQLITE_OK
            || !bytes.startsWith(QByteArray(kStoreMagic, sizeof kStoreMagic)))
            return std::nullopt;
        return bytes;
    }

private:
    sqlite3_vfs *m_vfs;
    sqlite3_filename m_name;
    sqlite3_file *m_file = nullptr;
    bool m_open = false;
    bool m_locked = false;
};

bool isRegularFile(const QString &path, bool *absent = nullptr)
{
    struct stat status
    {
    };
    const bool exists = ::lstat(QFile::encodeName(path).constData(), &status) == 0;
    if (absent)
        *absent = !exists;
    return exists && S_ISREG(status.st_mode);
}

// Judges the journal beside the store with `hold` on the store (none when there is no store).
Finding judge(const QString &storePath, const SharedHold *hold, quint32 recordedIdentity)
{
    const QString journal = storePath + QStringLiteral("-journal");
    std::optional<QByteArray> image;
    if (!isRegularFile(journal) || !readFirstPageImage(journal, &image))
        return Finding::None;
    if (hold && !hold->isQuiet())
        return Finding::Live;
    const std::optional<QByteArray> header = hold ? hold->header() : std::nullopt;
    if (!header) {
        // A file without a header of its own may be the store the journal was written for,
        // its first page cut short: the journal's image then says whose it is. Where nothing
        // stands, or an empty file, SQLite would only remove the journal.
        const bool recorded = image && recordedIdentity != 0
            && numberAt(*image, kIdentityAt) == recordedIdentity && QFileInfo(storePath).size() > 0;
        return recorded ? Finding::Own : Finding::OtherFiles;
    }
    const quint32 identity = numberAt(*header, kIdentityAt);
    // Nothing in the journal ties it to a file: it is the store's when this is the store its
    // lock recorded.
    if (!image)
        return recordedIdentity == 0 || identity == recordedIdentity ? Finding::Own
                                                                     : Finding::OtherFiles;
    const quint32 imageIdentity = numberAt(*image, kIdentityAt);
    const quint32 counter = numberAt(*header, kChangeCounterAt);
    const quint32 imageCounter = numberAt(*image, kChangeCounterAt);
    // One transaction counts one write at most, and gives an identity only to a file without.
    const bool sameFile = (imageIdentity == identity || imageIdentity == 0)
        && (counter == imageCounter || counter == imageCounter + 1);
    return sameFile ? Finding::Own : Finding::OtherFiles;
}

// Calls `look` with a hold on the store, or none when there is no store file; None when what
// stands at the path is no regular file, or the store cannot be held.
template<typename Look> Finding withHold(const QString &storePath, const Look &look)
{
    bool absent = false;
    if (!isRegularFile(storePath, &absent))
        return absent ? look(nullptr) : Finding::None;
    const SharedHold hold(storePath);
    if (!hold.isOpen())
        return Finding::None;
    return look(&hold);
}

} // namespace

Finding inspect(const QString &storePath, quint32 recordedIdentity)
{
    if (!isRegularFile(storePath + QStringLiteral("-journal")))
        return Finding::None;
    return withHold(storePath, [&](const SharedHold *hold) {
        return judge(storePath, hold, recordedIdentity);
    });
}

QString setAsideOtherFilesJournal(int folderFd, const QString &storePath, quint32 recordedIdentity,
                                  QString *error)
{
    QString aside;
    withHold(storePath, [&](const SharedHold *hold) {
        const Finding finding = judge(storePath, hold, recordedIdentity);
        if (finding != Finding::OtherFiles)
            return finding;
        aside = StoreFiles::setAsideJournal(folderFd, storePath,
                                            StoreFiles::Reason::OtherFilesJournal);
        if (aside.isEmpty())
            *error = tr("The journal %1, left by a program that was writing another file, cannot "
                        "be moved aside.")
                         .arg(QDir::toNativeSeparators(storePath + QStringLiteral("-journal")));
        return finding;
    });
    return aside;
}

} // namespace tanvill::StoreJournal

#include "core/store/StoreRewrite.h"

#include "core/store/Database.h"
#include "core/store/ObjectStore.h"
#include "core/store/StoreLock.h"
#include "core/store/StoreSchema.h"
#include "core/store/StoreWriter.h"
#include "platform/FileLock.h"
#include "platform/QuitSignals.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tanvill {

namespace {

// How long the UI thread reads for a rewrite at a time before it lets the program go on.
constexpr int kReadSliceMs = 15;

QString tr(const char *text)
{
    return QCoreApplication::translate("tanvill::StoreRewrite", text);
}

bool modifiedLater(const struct stat &file, const struct stat &than)
{
    return file.st_mtim.tv_sec != than.st_mtim.tv_sec ? file.st_mtim.tv_sec > than.st_mtim.tv_sec
                                                      : file.st_mtim.tv_nsec > than.st_mtim.tv_nsec;
}

// Whether the whole store `fresh`, of the given identity, is the unfinished rewrite of the store
// at storePath. A store of ours there must carry the same identity and be older. Where none
// stands there (nothing, an empty file, a file whose first bytes say it is no SQLite file), only
// the identity the store's lock recorded for it can say whose the rewrite is.
bool isOwnRewrite(const QString &storePath, const QString &fresh, quint32 identity,
                  quint32 recorded)
{
    struct stat store
    {
    };
    struct stat written
    {
    };
    if (::stat(QFile::encodeName(fresh).constData(), &written) != 0)
        return false;
    const bool recordedAsOwn = recorded != 0 && identity == recorded;
    if (::lstat(QFile::encodeName(storePath).constData(), &store) != 0)
        return errno == ENOENT && recordedAsOwn;
    if (!S_ISREG(store.st_mode) || store.st_size == 0)
        return recordedAsOwn;
    // A store this user may not read stays the user's store: opening says so.
    if (!QFileInfo(storePath).isReadable())
        return false;
    const std::optional<quint32> atPath = StoreSchema::identityInFile(storePath);
    if (!atPath)
        return recordedAsOwn;
    return *atPath == identity && modifiedLater(written, store);
}

} // namespace

StoreRewrite::StoreRewrite(Store &store) : m_store(store) { }

StoreRewrite::~StoreRewrite()
{
    if (m_job && m_job->writing.valid())
        m_job->writing.wait();
}

void StoreRewrite::setDue(Why why)
{
    // The first reason stays: it says what the user is told about in the end.
    if (m_due == Why::None)
        m_due = why;
}

bool StoreRewrite::writeSnapshot(const QString &path, const ChangeSet &everything, quint32 identity,
                                 QString *error, const StoreFiles::StepHook &hook)
{
    Database database;
    if (!database.open(path, true) || !StoreSchema::configure(database, error)
        || !StoreSchema::migrate(database, error)
        || !StoreSchema::setIdentity(database, identity)) {
        if (error->isEmpty())
            *error = database.lastError();
        return false;
    }
    StoreWriter writer;
    database.close();
    if (!writer.start(path, error))
        return false;
    if (hook)
        hook(StoreFiles::Step::Writing);
    const StoreWriter::Outcome outcome = writer.submitAndWait(everything);
    if (!outcome.committed)
        *error = outcome.error;
    return outcome.committed;
}

StoreRewrite::Written StoreRewrite::writeFresh(const Target &target, StoreLock &lock,
                                               const ChangeSet &everything)
{
    Written written;
    const QString folder = QFileInfo(target.storePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        written.error
            = tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return written;
    }
    // The folder now at the store's path is held before anything goes into it: the one this
    // process held may have been moved, and another copy may hold the one there now.
    qint64 holder = 0;
    switch (lock.tryLock(ObjectStore::lockPath(target.storePath), &holder, &written.error)) {
    case StoreLock::Result::Locked:
        break;
    case StoreLock::Result::Held:
        written.error.clear();
        if (const std::optional<QString> kept = keep(target, everything, &written.error))
            written.keptPath = *kept;
        return written;
    case StoreLock::Result::Failed:
        return written;
    }
    // Before a file whose place a crash may keep it from is written there.
    lock.recordIdentity(target.identity);
    const int folderFd = lock.folderDescriptor();
    // Written under a name of its own and renamed once whole: a file under the fresh name is
    // always whole, and may take the store's place after a crash.
    const QString fresh = StoreFiles::freshPath(target.storePath);
    {
        const std::unique_ptr<StoreFiles::PartialFile> partial = StoreFiles::PartialFile::create(
            folderFd, folder, QFileInfo(target.storePath).fileName(), target.locks, &written.error);
        if (!partial
            || !writeSnapshot(partial->path(), everything, target.identity, &written.error,
                              target.hook))
            return written;
        int renameError = StoreFiles::renameWithoutReplacing(folderFd, partial->path(), fresh);
        if (renameError == EEXIST) {
            // Not this rewrite's: it is kept, never replaced.
            const QString aside
                = StoreFiles::setAside(folderFd, fresh, StoreFiles::Reason::Leftover);
            qWarning().noquote() << fresh << "was not written by this rewrite; it was moved to"
                                 << aside;
            renameError = aside.isEmpty()
                ? EEXIST
                : StoreFiles::renameWithoutReplacing(folderFd, partial->path(), fresh);
        }
        if (renameError != 0) {
            written.error
                = tr("The new file cannot be put beside %1 (%2).")
                      .arg(QDir::toNativeSeparators(target.storePath), describeError(renameError));
            return written;
        }
        partial->named();
    }
    if (target.hook)
        target.hook(StoreFiles::Step::Whole);
    if (!StoreFiles::putInPlace(folderFd, target.storePath, fresh, target.why,
                                &written.setAsidePath, &written.error, target.hook)) {
        StoreFiles::removeStoreFile(folderFd, fresh);
        return written;
    }
    written.inPlace = true;
    return written;
}

std::optional<QString> StoreRewrite::keep(const Target &target, const ChangeSet &everything,
                                          QString *error)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const QString &folder : ObjectStore::keptChangesFolders(target.storePath)) {
        if (!QDir().mkpath(folder))
            continue;
        // Through a folder opened now, held or not: a kept file never takes a name the store or
        // its rewrite uses, and its half-written file is its writer's own, locked.
        const int folderFd
            = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd < 0)
            continue;
        const auto closeFolder = qScopeGuard([folderFd] { ::close(folderFd); });
        // Named only once whole: a quit cut short leaves no file that opens empty. It carries an
        // identity of its own: put in the store's place, it takes nothing the store left beside
        // it (an unfinished rewrite, the journal of a write cut short) for its own.
        const std::unique_ptr<StoreFiles::PartialFile> partial = StoreFiles::PartialFile::create(
            folderFd, folder, QLatin1String(StoreFiles::kKeptStem), target.locks, error);
        if (!partial
            || !writeSnapshot(partial->path(), everything, StoreSchema::newIdentity(), error,
                              target.hook))
            continue;
        // Kept again while another copy holds the store: the earlier file is brought up to date.
        QString kept;
        const QFileInfo earlier(target.keptPath);
        if (!target.keptPath.isEmpty() && earlier.absolutePath() == folder && earlier.isFile()
            && ::renameat(folderFd,
                          QFile::encodeName(QFileInfo(partial->path()).fileName()).constData(),
                          folderFd, QFile::encodeName(earlier.fileName()).constData())
                == 0)
            kept = target.keptPath;
        else
            kept = StoreFiles::giveFreeName(folderFd, partial->path(),
                                            folder + QStringLiteral("/Tanvill.unsaved-") + stamp);
        if (kept.isEmpty()) {
            *error = tr("The file %1 cannot be named (%2).")
                         .arg(QDir::toNativeSeparators(partial->path()), describeError(errno));
            continue;
        }
        partial->named();
        if (const int syncFailure = StoreFiles::syncFolder(folderFd))
            qWarning().noquote() << "The folder of" << kept
                                 << "could not be synced:" << describeError(syncFailure);
        qWarning().noquote() << "Everything Tanvill held was kept in" << kept;
        return kept;
    }
    if (error->isEmpty())
        *error = tr("No folder could be written.");
    return std::nullopt;
}

bool StoreRewrite::takeUpLeftover(const QString &storePath, const StoreLock &lock,
                                  QString *setAsidePath, QString *leftover)
{
    const QString fresh = StoreFiles::freshPath(storePath);
    const QFileInfo info(fresh);
    if (!info.exists() && !info.isSymLink())
        return false;
    *leftover = fresh;
    // Only a whole file is ever given the fresh name; one an older version left half-written
    // has a journal beside it, or no lists.
    if (info.isSymLink() || !isRegularFileOrAbsent(fresh)
        || QFileInfo::exists(fresh + QStringLiteral("-journal")))
        return false;
    {
        // Whose it is is asked first: the check of every page is for a file about to be used.
        Database database;
        const bool own = database.open(fresh, false)
            && database.queryInteger(QStringLiteral("PRAGMA user_version"))
                == StoreSchema::currentVersion()
            && database.queryInteger(QStringLiteral("SELECT count(*) FROM lists")).value_or(0) > 0
            && StoreSchema::identity(database) != 0
            && isOwnRewrite(storePath, fresh, StoreSchema::identity(database),
                            lock.recordedIdentity());
        if (!own) {
            qWarning().noquote()
                << fresh << "is not an unfinished rewrite of the store; it is left as it is.";
            return false;
        }
        if (!StoreSchema::passesQuickCheck(database))
            return false;
    }
    QString error;
    if (!StoreFiles::putInPlace(lock.folderDescriptor(), storePath, fresh,
                                StoreFiles::Reason::Superseded, setAsidePath, &error, {})) {
        qWarning().noquote() << "A store written anew before Tanvill was stopped cannot take its"
                                " place:"
                             << error;
        return false;
    }
    leftover->clear();
    qWarning().noquote() << "A store written anew before Tanvill was stopped took its place; the"
                            " file that was there is"
                         << (setAsidePath->isEmpty() ? QStringLiteral("gone") : *setAsidePath);
    return true;
}

std::optional<QString> StoreRewrite::writeAnew(QString *error, Why why)
{
    const QuitSignals::DeadlineHold writing;
    if (!m_job) {
        m_job = std::make_unique<Job>();
        m_job->why = why;
        m_job->generation = ++m_generation;
    }
    if (!m_job->writing.valid()) {
        // What the file still holds is read before it goes. What it cannot give just now
        // (another process holds it, memory is short) is never written as empty: the rewrite
        // waits.
        const ObjectContext::UnreadContent unread
            = m_store.readAllContent(QDeadlineTimer::Forever, nullptr);
        m_job->lost += unread.lost;
        if (unread.notNow > 0) {
            m_job.reset();
            *error = tr("The file of your lists cannot be read just now.");
            return std::nullopt;
        }
        startWriting();
    }
    return finish(m_job->writing.get(), error);
}

void StoreRewrite::continueReading(quint64 generation)
{
    if (!m_job || m_job->generation != generation || m_job->writing.valid())
        return;
    bool complete = false;
    const ObjectContext::UnreadContent unread
        = m_store.readAllContent(QDeadlineTimer(kReadSliceMs), &complete);
    m_job->lost += unread.lost;
    QString error;
    if (unread.notNow > 0) {
        error = tr("The file of your lists cannot be read just now.");
    } else if (!complete) {
        QMetaObject::invokeMethod(
            &m_calls, [this, generation] { continueReading(generation); }, Qt::QueuedConnection);
        return;
    } else {
        startWriting();
        return;
    }
    const Why why = m_job->why;
    m_job.reset();
    if (const std::optional<QString> failure = conclude(why, std::nullopt, error))
        m_store.tell(Store::News::SaveFailed, *failure);
}

void StoreRewrite::startWriting()
{
    // The writer finishes what is queued; those outcomes concern the old file only, so what
    // they carried is pending again and goes into the fresh file. The copy carries every change
    // made so far; later ones wait for the fresh file.
    m_store.closeFile();
    const Store::Snapshot snapshot = m_store.snapshot(true);
    m_job->ticket = snapshot.ticket;
    m_job->edits = snapshot.edits;
    const quint64 generation = m_job->generation;
    const Target target { m_store.path(),
                          m_store.identity(),
                          m_job->why == Why::Moved ? StoreFiles::Reason::Replaced
                                                   : StoreFiles::Reason::Damaged,
                          m_takenKeptPath,
                          m_store.stepHook(),
                          m_store.heldFolder().support() };
    const auto write = [this, generation, everything = snapshot.everything, target,
                        lock = &m_store.heldFolder()] {
        Written written = writeFresh(target, *lock, *everything);
        QMetaObject::invokeMethod(
            &m_calls, [this, generation] { this->written(generation); }, Qt::QueuedConnection);
        return written;
    };
    try {
        m_job->writing = std::async(std::launch::async, write);
    } catch (const std::system_error &) {
        // No thread to be had: it is written on this one when its outcome is first asked for.
        m_job->writing = std::async(std::launch::deferred, write);
        QMetaObject::invokeMethod(
            &m_calls, [this, generation] { written(generation); }, Qt::QueuedConnection);
    }
}

void StoreRewrite::written(quint64 generation)
{
    // Finished meanwhile by somebody who waited for it.
    if (!m_job || m_job->generation != generation || !m_job->writing.valid())
        return;
    const Why why = m_job->why;
    const Written written = m_job->writing.get();
    QString error;
    const std::optional<QString> aside = finish(written, &error);
    const std::optional<QString> failure = conclude(why, aside, error);
    // Another copy holding the store was told of as such.
    if (failure && written.keptPath.isEmpty())
        m_store.tell(Store::News::SaveFailed, *failure);
    // Changes made while the fresh file was written; with none, whoever waits for every change
    // to be in the file hears so now.
    if (aside)
        m_store.saveChanges();
}

std::optional<QString> StoreRewrite::finish(const Written &written, QString *error)
{
    const std::unique_ptr<Job> job = std::move(m_job);
    if (!written.inPlace) {
        m_store.changesFailed(job->ticket);
        *error = written.error;
        if (!written.keptPath.isEmpty()) {
            // Asked to keep the changes at quitting with nothing changed since, it gives this.
            m_keptPath = written.keptPath;
            m_keptAtEdit = job->edits;
            *error = tr("Another copy of Tanvill is using the folder of your lists; everything "
                        "was kept in %1.")
                         .arg(QDir::toNativeSeparators(written.keptPath));
            if (std::exchange(m_takenKeptPath, written.keptPath) != written.keptPath)
                m_store.tell(Store::News::Taken, written.keptPath);
        }
        return std::nullopt;
    }
    m_takenKeptPath.clear();
    m_store.changesCommitted(job->ticket);
    if (job->lost > 0)
        qWarning().noquote() << job->lost
                             << "descriptions or screenshot lists could no longer be read from the"
                                " file; they are fetched from the store again.";
    if (!m_store.reopenFile(error)) {
        // The file is whole, but nothing could be written to it from now on: everything is
        // written anew with the next save.
        return std::nullopt;
    }
    qWarning().noquote() << "The store was written anew from memory; the file that was at its"
                            " place is"
                         << (written.setAsidePath.isEmpty() ? QStringLiteral("gone")
                                                            : written.setAsidePath);
    return written.setAsidePath;
}

std::optional<QString> StoreRewrite::conclude(Why why, const std::optional<QString> &aside,
                                              const QString &error)
{
    if (!aside) {
        setDue(why);
        qWarning().noquote() << "The store could not be written anew:" << error;
        const QString reason = why == Why::Moved
            ? tr("The store file was removed, replaced or emptied.")
            : tr("The store file is damaged.");
        return reason + QLatin1Char(' ') + error;
    }
    const Why told = m_due == Why::None ? why : m_due;
    m_due = Why::None;
    m_store.tell(told == Why::Moved ? Store::News::Replaced : Store::News::Repaired, *aside);
    return std::nullopt;
}

std::optional<QString> StoreRewrite::recover(Why why)
{
    if (m_job)
        why = m_job->why;
    QString error;
    const std::optional<QString> aside = writeAnew(&error, why);
    return conclude(why, aside, error);
}

void StoreRewrite::recoverInBackground(Why why)
{
    // One under way writes everything the context holds.
    if (m_job)
        return;
    m_job = std::make_unique<Job>();
    m_job->why = why;
    m_job->generation = ++m_generation;
    continueReading(m_job->generation);
}

std::optional<QString> StoreRewrite::keepUnsavedChanges(QString *error)
{
    const QuitSignals::DeadlineHold writing;
    // Asked again at the end of the same quit: the file kept then holds it all.
    if (!m_keptPath.isEmpty() && m_keptAtEdit == m_store.editCount()
        && QFileInfo(m_keptPath).isFile())
        return m_keptPath;
    // A rescue copy takes what there is to take.
    m_store.readAllContent(QDeadlineTimer::Forever, nullptr);
    const Target target { m_store.path(),
                          m_store.identity(),
                          StoreFiles::Reason::Damaged,
                          {},
                          m_store.stepHook(),
                          m_store.heldFolder().support() };
    const Store::Snapshot snapshot = m_store.snapshot(false);
    const std::optional<QString> kept = keep(target, *snapshot.everything, error);
    if (kept) {
        m_keptPath = *kept;
        m_keptAtEdit = snapshot.edits;
    }
    return kept;
}

} // namespace tanvill

// Opening the store: on a worker thread while the application starts, or at once; and the check
// of the whole file a moment after.
#include "core/store/ObjectStore.h"

#include "core/store/Database.h"
#include "core/store/StoreJournal.h"
#include "core/store/StoreRewrite.h"
#include "core/store/StoreSchema.h"
#include "platform/RegularFile.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <chrono>
#include <thread>

#include <sqlite3.h>

namespace tanvill {

namespace {

constexpr int kLockRetryMs = 20;
// How long opening waits for another program that holds the store's file.
constexpr int kOpeningBusyWaitMs = 2000;

ObjectStore::OpenResult cancelled()
{
    return { ObjectStore::OpenOutcome::Failed, {}, QStringLiteral("Opening was cancelled."), {} };
}

} // namespace

bool ObjectStore::lock(const QString &path, OpenResult *result)
{
    const QString lockFile = lockPath(path);
    if (m_lock.isLocked() && m_lock.path() == lockFile)
        return true;
    qint64 holder = 0;
    QString error;
    switch (m_lock.tryLock(lockFile, &holder, &error)) {
    case StoreLock::Result::Locked:
        return true;
    case StoreLock::Result::Held:
        result->outcome = OpenOutcome::InUse;
        result->runningCopy = holder;
        // A copy is named only while it runs: the lock file stays, with the number of the last
        // copy that held it, after that copy quit.
        result->error = holder > 0
            ? tr("Another Tanvill (process %1) is using your lists.").arg(holder)
            : tr("Another program holds the folder %1.")
                  .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
        return false;
    case StoreLock::Result::Failed:
        break;
    }
    result->error = error;
    return false;
}

bool ObjectStore::isInUse(const QString &storePath, LockSupport support)
{
    if (!QFileInfo(QFileInfo(storePath).absolutePath()).isDir())
        return false;
    // A lock that cannot be had at all says nothing about who holds the store: only one
    // that is had says it is free.
    StoreLock probe(support);
    qint64 holder = 0;
    QString error;
    return probe.tryLock(lockPath(storePath), &holder, &error) != StoreLock::Result::Locked;
}

void ObjectStore::allowFileChanges()
{
    {
        std::lock_guard lock(m_permissionMutex);
        m_fileChangesAllowed = true;
    }
    m_permissionChanged.notify_all();
}

bool ObjectStore::fileChangesAllowed()
{
    std::lock_guard lock(m_permissionMutex);
    return m_fileChangesAllowed;
}

bool ObjectStore::mayChangeFiles()
{
    if (m_awaitingFileChanges && !fileChangesAllowed())
        m_awaitingFileChanges();
    std::unique_lock lock(m_permissionMutex);
    m_permissionChanged.wait(lock, [this] { return m_fileChangesAllowed || m_cancelOpening; });
    return !m_cancelOpening;
}

ObjectStore::OpenResult ObjectStore::openNow(const QString &path, int lockWaitMs)
{
    OpenResult result;
    if (m_cancelOpening)
        return cancelled();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        if (!mayChangeFiles())
            return cancelled();
        if (!QDir().mkpath(folder)) {
            result.error
                = tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
            return result;
        }
    }
    if (!QFileInfo(folder).isWritable()) {
        result.error = tr("The folder %1 is read-only.").arg(QDir::toNativeSeparators(folder));
        return result;
    }

    // A launch that may still hand its link over waits for as long as it does not know: the
    // holder may be a launch of its session that hands over and lets go, however slowly a busy
    // desktop lets the two get there. The wait counts from when this process may change files,
    // that is from when it knows it runs on.
    std::optional<std::chrono::steady_clock::time_point> lockWaitStart;
    while (!lock(path, &result)) {
        if (result.outcome != OpenOutcome::InUse || m_cancelOpening)
            return result;
        const auto now = std::chrono::steady_clock::now();
        if (fileChangesAllowed() && !lockWaitStart)
            lockWaitStart = now;
        if (lockWaitStart && now - *lockWaitStart >= std::chrono::milliseconds(lockWaitMs))
            return result;
        std::unique_lock permission(m_permissionMutex);
        m_permissionChanged.wait_for(permission, std::chrono::milliseconds(kLockRetryMs),
                                     [this] { return m_cancelOpening.load(); });
        result = {};
    }

    // Files a crash left beside the store: half-written ones go, unless a running copy writes
    // them; a whole store written anew, when it is this store's own, holds the latest of
    // everything and takes its place now.
    const int folderFd = m_lock.folderDescriptor();
    const QFileInfo fresh(StoreFiles::freshPath(path));
    bool finishedRewrite = false;
    if (fresh.exists() || fresh.isSymLink()
        || StoreFiles::hasPartials(folderFd, path, keptChangesFolders(path))) {
        if (!mayChangeFiles())
            return cancelled();
        StoreFiles::removeAbandonedPartials(folderFd, path, keptChangesFolders(path),
                                            m_lock.support());
        finishedRewrite = StoreRewrite::takeUpLeftover(path, m_lock, &result.setAsidePath,
                                                       &result.leftoverPath);
    }

    // A journal that a program writing another file left beside the store would be rolled
    // back into it by the first read: it is moved out of the way first.
    if (isRegularFileOrAbsent(path)
        && StoreJournal::inspect(path, m_lock.recordedIdentity())
            == StoreJournal::Finding::OtherFiles) {
        if (!mayChangeFiles())
            return cancelled();
        result.journalSetAsidePath = StoreJournal::setAsideOtherFilesJournal(
            folderFd, path, m_lock.recordedIdentity(), &result.error);
        if (!result.error.isEmpty())
            return result;
    }

    const QFileInfo info(path);
    const bool existed = info.exists();
    // A FIFO or a device would keep SQLite waiting for ever, and a folder never opens: they
    // are set aside like an unreadable file.
    const bool regular = existed && isRegularFileOrAbsent(path);
    // A store we may not read or write is still the user's store: moving it aside would
    // hide every list behind a fresh, empty one over a matter of permissions.
    if (regular && (!info.isReadable() || !info.isWritable())) {
        result.error = tr("The file %1 cannot be read or written with your permissions.")
                           .arg(QDir::toNativeSeparators(path));
        return result;
    }
    if (regular && !awaitFile(path, &result))
        return result;
    if (regular && StoreSchema::isNewerStore(path)) {
        result.outcome = OpenOutcome::Newer;
        result.error = tr("The store %1 was written by a newer version of Tanvill.")
                           .arg(QDir::toNativeSeparators(path));
        return result;
    }
    int code = 0;
    if (!existed && !mayChangeFiles())
        return cancelled();
    // Loading reads the tables but not every page: a damaged page elsewhere (a description,
    // an index) would otherwise show only when a save touches it. An existing file is
    // therefore checked whole, once it is loaded, while it is in use.
    if (existed && !regular) {
        result.error = tr("%1 is not a file.").arg(QDir::toNativeSeparators(path));
    } else if (tryOpen(path, &result.error, &code, existed)) {
        result.outcome = finishedRewrite ? OpenOutcome::RewriteFinished
            : existed                    ? OpenOutcome::Opened
                                         : OpenOutcome::Created;
        result.error.clear();
        return result;
    }
    if (!existed || StoreSchema::isTransient(code) || m_cancelOpening)
        return m_cancelOpening ? cancelled() : result;
    if (!mayChangeFiles())
        return cancelled();

    qWarning().noquote() << "The store" << path << "cannot be read:" << result.error;
    result.setAsidePath = StoreFiles::setAside(folderFd, path, StoreFiles::Reason::Unreadable);
    if (result.setAsidePath.isEmpty()) {
        result.error = tr("The unreadable file %1 cannot be moved aside.")
                           .arg(QDir::toNativeSeparators(path));
        return result;
    }
    QString freshError;
    if (!tryOpen(path, &freshError, &code)) {
        result.error = freshError;
        return result;
    }
    result.outcome = OpenOutcome::ReplacedUnreadable;
    return result;
}

bool ObjectStore::awaitFile(const QString &path, OpenResult *result)
{
    // Another program that holds the file (one in the middle of writing it) may keep it for as
    // long as it likes: the user hears of it after a moment, rather than once every statement
    // of opening has waited its turn.
    Database probe;
    if (!probe.open(path, false))
        return true; // opening proper says what is wrong
    struct Waiting
    {
        std::chrono::steady_clock::time_point deadline;
        const std::atomic<bool> *cancel;
    } waiting { std::chrono::steady_clock::now() + std::chrono::milliseconds(kOpeningBusyWaitMs),
                &m_cancelOpening };
    sqlite3_busy_handler(
        probe.handle(),
        [](void *context, int) -> int {
            const auto *wait = static_cast<const Waiting *>(context);
            if (*wait->cancel || std::chrono::steady_clock::now() >= wait->deadline)
                return 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(kLockRetryMs));
            return 1;
        },
        &waiting);
    if (probe.queryInteger(QStringLiteral("PRAGMA schema_version"))
        || probe.lastErrorCode() != SQLITE_BUSY)
        return true;
    result->error = tr("Another program is using the file %1 (%2).")
                        .arg(QDir::toNativeSeparators(path), probe.lastError());
    return false;
}

bool ObjectStore::tryOpen(const QString &path, QString *error, int *code, bool check)
{
    m_reader.close();
    Database &db = m_reader.connection();
    auto fail = [&](const QString &reason, int failureCode = -1) {
        *error = reason.isEmpty() ? db.lastError() : reason;
        *code = failureCode >= 0 ? failureCode : db.lastErrorCode();
        closeStore();
        m_context = std::make_unique<ObjectContext>();
        return false;
    };
    if (!db.open(path, true))
        return fail({});
    if (sqlite3_db_readonly(db.handle(), "main") == 1) {
        *error = tr("The file is read-only.");
        *code = SQLITE_READONLY;
        closeStore();
        return false;
    }
    QString reason;
    if (!StoreSchema::configure(db, &reason))
        return fail(reason);
    // Only the process that keeps the store brings it up to date.
    const std::optional<qint64> version = db.queryInteger(QStringLiteral("PRAGMA user_version"));
    if ((!version || *version != StoreSchema::currentVersion()) && !mayChangeFiles())
        return fail(cancelled().error, SQLITE_INTERRUPT);
    if (!StoreSchema::migrate(db, &reason))
        return fail(reason);
    // The identity that files written anew from the store carry: the keeper gives one to a
    // store that has none yet.
    m_identity = StoreSchema::identity(db);
    if (m_identity == 0 && mayChangeFiles())
        m_identity = StoreSchema::ensureIdentity(db);
    // For the next keeper, which may find no readable store beside an unfinished rewrite.
    m_lock.recordIdentity(m_identity);
    if (!m_context->load(db, &reason, &m_cancelOpening))
        return fail(reason, m_cancelOpening ? SQLITE_INTERRUPT : -1);
    m_checkDue = check;
    // openConnections closes the reader when it fails: db is gone then. Its failure says
    // nothing about the file, which therefore stays where it is.
    if (!openConnections(path, &reason)) {
        *error = reason;
        *code = SQLITE_IOERR;
        m_context = std::make_unique<ObjectContext>();
        return false;
    }
    return true;
}

void ObjectStore::scheduleCheck(int delayMs)
{
    if (!m_lockWaits.isEnding())
        m_checkTimer.start(delayMs);
}

void ObjectStore::startCheck()
{
    if (!m_writer || m_check)
        return;
    const quint64 generation = ++m_checkGeneration;
    // The check reads every page of the file through the page cache of its own connection,
    // which keeps the memory of a large store low; nothing waits for it. Its verdict travels
    // with the call that announces it.
    m_check = std::make_unique<StoreCheck>(m_path, [this, generation](StoreCheck::Verdict verdict) {
        QMetaObject::invokeMethod(
            this, [this, generation, verdict] { checkFinished(generation, verdict); },
            Qt::QueuedConnection);
    });
    if (!m_check->isRunning()) {
        m_check.reset();
        scheduleCheck(m_checkRetryMs);
    }
}

void ObjectStore::checkFinished(quint64 generation, StoreCheck::Verdict verdict)
{
    // A check stopped meanwhile left no result for this store.
    if (generation != m_checkGeneration)
        return;
    m_check.reset();
    applyCheck(verdict, false);
    emit checked(verdict);
}

void ObjectStore::applyCheck(StoreCheck::Verdict verdict, bool atOpening)
{
    switch (verdict) {
    case StoreCheck::Verdict::Sound:
        return;
    case StoreCheck::Verdict::NotRun:
        // Busy with another process, short of memory or stopped: nothing is known about the
        // file, so nothing is done to it but to check it again later.
        if (m_writer)
            scheduleCheck(m_checkRetryMs);
        return;
    case StoreCheck::Verdict::Damaged:
        break;
    }
    if (!m_writer)
        return;
    qWarning().noquote() << "The store" << m_path << "is damaged.";
    if (!atOpening) {
        m_rewrite->recoverInBackground(StoreRewrite::Why::Damaged);
        return;
    }
    QString error;
    if (const std::optional<QString> aside = m_rewrite->writeAnew(&error)) {
        m_openResult.outcome = OpenOutcome::Repaired;
        m_openResult.setAsidePath = *aside;
    } else {
        qWarning().noquote() << "The store could not be written anew:" << error;
        m_rewrite->setDue(StoreRewrite::Why::Damaged);
    }
}

void ObjectStore::stopCheck()
{
    ++m_checkGeneration;
    // A timer stops on its own thread only. The worker of a background open never finds it
    // running: opening stopped it first.
    if (m_checkTimer.thread() == QThread::currentThread())
        m_checkTimer.stop();
    m_check.reset();
}

} // namespace tanvill

#include "core/store/ObjectStore.h"

#include "core/TextLimits.h"
#include "core/store/Database.h"
#include "core/store/StoreSchema.h"
#include "core/store/StoreWriter.h"
#include "platform/Allocator.h"
#include "platform/QuitSignals.h"
#include "platform/RegularFile.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <chrono>
#include <system_error>
#include <thread>

#include <sqlite3.h>

namespace tanvill {

namespace {

// Failures that say nothing about the file itself: it stays where it is.
bool isTransient(int code)
{
    return code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_NOMEM
        || code == SQLITE_FULL || code == SQLITE_IOERR || code == SQLITE_INTERRUPT;
}

constexpr int kLockRetryMs = 20;
// How long opening waits for another program that holds the store's file.
constexpr int kOpeningBusyWaitMs = 2000;
// The UI thread reads descriptions and screenshots on demand: it waits out a commit of the
// writer, but not a lock another process keeps on the file.
constexpr int kReaderBusyTimeoutMs = 100;

ObjectStore::OpenResult cancelled()
{
    return { ObjectStore::OpenOutcome::Failed, {}, QStringLiteral("Opening was cancelled.") };
}

} // namespace

ObjectStore::ObjectStore(LockSupport locks, QObject *parent)
    : QObject(parent), m_context(std::make_unique<ObjectContext>()), m_lock(locks)
{
    m_checkTimer.setSingleShot(true);
    connect(&m_checkTimer, &QTimer::timeout, this, &ObjectStore::startCheck);
}

ObjectStore::~ObjectStore()
{
    // Nobody takes the store over any more.
    m_openedHandlers.clear();
    {
        std::lock_guard lock(m_permissionMutex);
        m_cancelOpening = true;
    }
    m_permissionChanged.notify_all();
    if (m_opening.valid())
        m_opening.get();
    // A fresh file being written is put in its place; nothing is left to tell.
    if (m_rewrite && m_rewrite->writing.valid())
        m_rewrite->writing.wait();
    m_rewrite.reset();
    closeStore();
    m_lock.unlock();
    // What the records held goes back to the system with them, not into the heaps.
    m_context.reset();
    giveBackFreedMemory();
}

QString ObjectStore::lockPath(const QString &storePath)
{
    const QFileInfo info(storePath);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
        + QStringLiteral(".lock");
}

void ObjectStore::setCheckTimes(int delayMs, int retryMs)
{
    m_checkDelayMs = delayMs;
    m_checkRetryMs = retryMs;
}

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
        result->error = holder > 0
            ? tr("Another Tanvill (process %1) is using your lists.").arg(holder)
            : tr("Another Tanvill is using your lists.");
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

void ObjectStore::closeStore()
{
    stopCheck();
    // The writer commits what is queued before it stops.
    m_writer.reset();
    m_descriptionQuery.reset();
    m_screenshotQuery.reset();
    m_reader.reset();
    m_context->setDescriptionLoader({});
    m_context->setScreenshotLoader({});
}

ObjectStore::OpenResult ObjectStore::open(const QString &path)
{
    openInBackground(path, 0);
    takeOver(true);
    return m_openResult;
}

void ObjectStore::openInBackground(const QString &path, int lockWaitMs, FileChanges changes)
{
    takeOver();
    closeStore();
    m_path = path;
    m_openResult = {};
    m_cancelOpening = false;
    m_fileChangesAllowed = changes == FileChanges::Allowed;
    const auto work = [this, path, lockWaitMs] {
        OpenResult result = openNow(path, lockWaitMs);
        // Taken over once the event loop runs at the latest, so that the outcome is told even
        // when nothing reads the store.
        QMetaObject::invokeMethod(
            this, [this] { takeOver(); }, Qt::QueuedConnection);
        return result;
    };
    try {
        m_opening = std::async(std::launch::async, work);
    } catch (const std::system_error &) {
        // No thread to be had: the store opens when it is first needed, on that thread.
        m_opening = std::async(std::launch::deferred, work);
    }
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
    std::unique_lock lock(m_permissionMutex);
    m_permissionChanged.wait(lock, [this] { return m_fileChangesAllowed || m_cancelOpening; });
    return !m_cancelOpening;
}

void ObjectStore::takeOver(bool waitForCheck)
{
    if (!m_opening.valid())
        return;
    // Whoever needs the store keeps it.
    allowFileChanges();
    m_openResult = m_opening.get();
    if (std::exchange(m_checkDue, false)) {
        if (waitForCheck) {
            applyCheck(StoreCheck::checkAndWait(m_path), true);
        } else {
            // A moment later, so that it takes nothing from the first paint of the windows.
            scheduleCheck(m_checkDelayMs);
        }
    }
    const auto handlers = std::exchange(m_openedHandlers, {});
    for (const auto &handler : handlers)
        handler(m_openResult);
}

const ObjectStore::OpenResult &ObjectStore::openResult()
{
    takeOver();
    return m_openResult;
}

void ObjectStore::whenOpened(std::function<void(const OpenResult &result)> handler)
{
    if (m_opening.valid())
        m_openedHandlers.push_back(std::move(handler));
    else
        handler(m_openResult);
}

bool ObjectStore::isOpen()
{
    takeOver();
    return m_writer != nullptr;
}

ObjectContext &ObjectStore::context()
{
    takeOver();
    return *m_context;
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

    // A store written anew that a crash kept from taking its place holds the latest of
    // everything: it takes that place now.
    bool finishedRewrite = false;
    if (QFileInfo::exists(freshPath(path))) {
        if (!mayChangeFiles())
            return cancelled();
        finishedRewrite = finishCutShortRewrite(path, &result);
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
    if (!existed || isTransient(code) || m_cancelOpening)
        return m_cancelOpening ? cancelled() : result;
    if (!mayChangeFiles())
        return cancelled();

    qWarning().noquote() << "The store" << path << "cannot be read:" << result.error;
    result.setAsidePath = setAside(path);
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
    m_reader = std::make_unique<Database>();
    Database &db = *m_reader;
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
    if (!m_quitting)
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
        recoverAndReport(Rewrite::Damaged);
        return;
    }
    QString error;
    if (const std::optional<QString> aside = writeAnewFromMemory(&error)) {
        m_openResult.outcome = OpenOutcome::Repaired;
        m_openResult.setAsidePath = *aside;
    } else {
        qWarning().noquote() << "The store could not be written anew:" << error;
        m_rewriteDue = Rewrite::Damaged;
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

void ObjectStore::prepareToQuit()
{
    const auto until
        = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQuitLockWaitMs);
    m_lockWaitsEndBy = until.time_since_epoch().count();
    m_quitting = true;
    // While a background open runs, its worker owns the writer; it is bounded when taken over.
    if (m_opening.valid())
        return;
    // The check reads the whole file under a shared lock, which the last commits would wait for.
    stopCheck();
    if (m_writer)
        m_writer->endLockWaitsBy(until);
}

bool ObjectStore::openConnections(const QString &path, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error->isEmpty())
            *error = reason;
        closeStore();
        return false;
    };
    if (!m_reader || !m_reader->isOpen()) {
        m_reader = std::make_unique<Database>();
        if (!m_reader->open(path, false) || !StoreSchema::configure(*m_reader, error)
            || !StoreSchema::migrate(*m_reader, error))
            return fail(m_reader->lastError());
    }
    sqlite3_busy_timeout(m_reader->handle(), kReaderBusyTimeoutMs);
    m_descriptionQuery = std::make_unique<Statement>(
        m_reader->prepare(QStringLiteral("SELECT text FROM descriptions WHERE app_id = ?1")));
    m_screenshotQuery = std::make_unique<Statement>(m_reader->prepare(QStringLiteral(
        "SELECT id, position, url FROM screenshots WHERE app_id = ?1 ORDER BY position, id")));
    if (!m_descriptionQuery->isValid() || !m_screenshotQuery->isValid())
        return fail(m_reader->lastError());
    ++m_connections;
    m_writer = std::make_unique<StoreWriter>();
    if (!m_writer->start(path, error))
        return fail(tr("The store cannot be written."));
    if (m_quitting)
        m_writer->endLockWaitsBy(std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(m_lockWaitsEndBy.load())));
    m_context->setDescriptionLoader([this](qint64 appId, ObjectContext::ReadFailure *failure) {
        return readDescription(appId, failure);
    });
    m_context->setScreenshotLoader([this](qint64 appId, ObjectContext::ReadFailure *failure) {
        return readScreenshots(appId, failure);
    });
    return true;
}

std::optional<QByteArray> ObjectStore::readDescription(qint64 appId,
                                                       ObjectContext::ReadFailure *failure)
{
    if (!m_descriptionQuery)
        return std::nullopt;
    Statement &query = *m_descriptionQuery;
    query.bind(1, appId);
    std::optional<QByteArray> description;
    switch (query.step()) {
    case Statement::Step::Row:
        description = query.text(0, TextLimits::kLongText).toUtf8();
        break;
    case Statement::Step::Done:
        description = QByteArray();
        break;
    case Statement::Step::Error:
        *failure = readFailed("a description");
        break;
    }
    // Resetting releases the read lock, so the writer is never kept waiting.
    query.reset();
    return description;
}

std::optional<std::vector<ScreenshotRow>>
ObjectStore::readScreenshots(qint64 appId, ObjectContext::ReadFailure *failure)
{
    if (!m_screenshotQuery)
        return std::nullopt;
    Statement &query = *m_screenshotQuery;
    query.bind(1, appId);
    std::vector<ScreenshotRow> rows;
    Statement::Step step;
    while ((step = query.step()) == Statement::Step::Row)
        rows.push_back(
            { query.integer(0), appId, query.integer(1), query.text(2, TextLimits::kLink) });
    if (step == Statement::Step::Error)
        *failure = readFailed("screenshots");
    query.reset();
    if (step == Statement::Step::Error)
        return std::nullopt;
    return rows;
}

ObjectContext::ReadFailure ObjectStore::readFailed(const char *what)
{
    const int code = m_reader->lastErrorCode();
    const QString kind = QStringLiteral("Cannot read %1 from the store").arg(QLatin1String(what));
    m_log.warn(kind, kind + QStringLiteral(": ") + m_reader->lastError());
    if (isTransient(code))
        return ObjectContext::ReadFailure::Retry;
    if (m_rewrite || m_recoveryQueued || !m_writer)
        return ObjectContext::ReadFailure::Lost;
    // Once for a run of failing reads, and not from inside a getter: the repair closes the
    // connection this read uses. A repair that happened meanwhile makes it needless.
    m_recoveryQueued = true;
    const quint64 connections = m_connections;
    const auto recoverUnlessDone = [this, connections](Rewrite why) {
        m_recoveryQueued = false;
        if (connections == m_connections && m_writer)
            recoverAndReport(why);
    };
    if (StoreSchema::isDamage(code)) {
        QMetaObject::invokeMethod(
            this, [recoverUnlessDone] { recoverUnlessDone(Rewrite::Damaged); },
            Qt::QueuedConnection);
    } else {
        // Tables gone: the file left its path or was emptied, which the writer tells.
        m_writer->submit({}, [this, recoverUnlessDone](const StoreWriter::Outcome &outcome) {
            const bool moved = outcome.moved;
            QMetaObject::invokeMethod(
                this,
                [this, moved, recoverUnlessDone] {
                    if (moved)
                        recoverUnlessDone(Rewrite::Moved);
                    else
                        m_recoveryQueued = false;
                },
                Qt::QueuedConnection);
        });
    }
    return ObjectContext::ReadFailure::Lost;
}

QString ObjectStore::setAside(const QString &path)
{
    const QFileInfo info(path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target;
    for (int attempt = 0;; ++attempt) {
        const QString suffix = attempt == 0 ? QString() : QStringLiteral("-%1").arg(attempt);
        target = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
            + QStringLiteral(".unreadable-") + stamp + suffix + QLatin1Char('.') + info.suffix();
        if (!QFileInfo::exists(target) && !QFileInfo(target).isSymLink())
            break;
    }
    if (!QFile::rename(path, target))
        return {};
    // A rollback journal belongs with its database.
    const QString journal = path + QStringLiteral("-journal");
    if (QFileInfo::exists(journal))
        QFile::rename(journal, target + QStringLiteral("-journal"));
    return target;
}

std::optional<QString> ObjectStore::save(bool async)
{
    // Quitting waits for this save: what it writes may be all there is of it.
    std::optional<QuitSignals::DeadlineHold> writing;
    if (!async)
        writing.emplace();
    takeOver();
    if (m_rewrite) {
        // Changes made while the store is written anew are saved once it is in place.
        if (async)
            return std::nullopt;
        const std::optional<QString> error = recover(m_rewrite->why);
        if (error || !m_writer)
            return error;
    }
    if (m_rewriteDue != Rewrite::None) {
        // Everything the context holds goes into the fresh file, pending changes with it.
        if (async) {
            recoverAndReport(m_rewriteDue);
            return std::nullopt;
        }
        const std::optional<QString> error = recover(m_rewriteDue);
        if (!error || !m_writer)
            return error;
    }
    if (!async && m_writer && m_context->hasChangesInFlight()) {
        // A synchronous save covers everything before it: wait for the earlier saves and
        // take back what failed, so that it is written now.
        m_writer->submitAndWait({});
    }
    deliverOutcomes();
    if (!m_context->hasChanges())
        return async ? std::nullopt : writeAnewIfMoved();
    if (!m_writer)
        return tr("No store is open.");
    ChangeSet changes;
    const quint64 ticket = m_context->takeChanges(changes);
    if (async) {
        m_writer->submit(std::move(changes), [this, ticket](const StoreWriter::Outcome &outcome) {
            {
                std::lock_guard lock(m_outcomesMutex);
                m_outcomes.push_back({ ticket, outcome });
            }
            // The writer thread stops before this object goes, so the call always lands.
            QMetaObject::invokeMethod(this, &ObjectStore::deliverOutcomes, Qt::QueuedConnection);
        });
        return std::nullopt;
    }
    const StoreWriter::Outcome outcome = m_writer->submitAndWait(std::move(changes));
    if (outcome.damaged || outcome.moved) {
        m_context->changesFailed(ticket);
        return recover(outcome.moved ? Rewrite::Moved : Rewrite::Damaged);
    }
    finishSave(ticket, outcome);
    return outcome.committed ? std::nullopt : std::optional<QString>(outcome.error);
}

bool ObjectStore::hasUnsavedChanges()
{
    takeOver();
    deliverOutcomes();
    return m_rewriteDue != Rewrite::None || m_rewrite || m_context->hasChanges()
        || m_context->hasChangesInFlight();
}

std::optional<QString> ObjectStore::writeAnewIfMoved()
{
    // Nothing to write, but a store file removed or emptied meanwhile would take every list
    // with it when the program quits.
    if (!m_writer || !m_writer->submitAndWait({}).moved)
        return std::nullopt;
    qWarning().noquote() << "The store file was removed, replaced or emptied.";
    return recover(Rewrite::Moved);
}

void ObjectStore::deliverOutcomes()
{
    std::vector<Outcome> outcomes;
    {
        std::lock_guard lock(m_outcomesMutex);
        outcomes.swap(m_outcomes);
    }
    for (const Outcome &outcome : outcomes)
        finishSave(outcome.ticket, outcome.outcome);
}

void ObjectStore::finishSave(quint64 ticket, const StoreWriter::Outcome &outcome)
{
    // A repair wrote everything anew: what became of earlier saves no longer matters.
    if (!m_context->isInFlight(ticket))
        return;
    if (outcome.committed) {
        m_context->changesCommitted(ticket);
        if (saveSucceeded)
            saveSucceeded();
        return;
    }
    qWarning().noquote() << "Saving the store failed:" << outcome.error;
    m_context->changesFailed(ticket);
    if (outcome.damaged || outcome.moved) {
        recoverAndReport(outcome.moved ? Rewrite::Moved : Rewrite::Damaged);
        return;
    }
    if (saveFailed)
        saveFailed(outcome.error);
}

} // namespace tanvill

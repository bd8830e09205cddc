#include "core/ObjectStore.h"

#include "core/Database.h"
#include "core/StoreSchema.h"
#include "core/StoreWriter.h"
#include "core/TextLimits.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <chrono>
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
constexpr int kCheckDelayMs = 1000;

} // namespace

// The check of the whole file, shared with the thread that runs it.
struct ObjectStore::Check
{
    std::mutex mutex;
    // While the check runs; interrupting it stops it.
    sqlite3 *connection = nullptr;
    bool stopped = false;
};

ObjectStore::ObjectStore(QObject *parent)
    : QObject(parent), m_context(std::make_unique<ObjectContext>())
{ }

ObjectStore::~ObjectStore()
{
    // Nobody takes the store over any more.
    m_openedHandlers.clear();
    m_cancelOpening = true;
    if (m_opening.valid())
        m_opening.get();
    closeStore();
    m_lock.reset();
}

QString ObjectStore::lockPath(const QString &storePath)
{
    const QFileInfo info(storePath);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
        + QStringLiteral(".lock");
}

bool ObjectStore::lock(const QString &path, OpenResult *result)
{
    const QString lockFile = lockPath(path);
    if (m_lock && m_lock->fileName() == lockFile)
        return true;
    if (!clearLockPath(lockFile, &result->error))
        return false;
    m_lock = std::make_unique<QLockFile>(lockFile);
    // Held for the life of the process; a lock left by a process that died is taken over.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host;
        QString application;
        m_lock->getLockInfo(&pid, &host, &application);
        result->outcome = OpenOutcome::InUse;
        result->error = tr("Another Tanvill (process %1) is using your lists.").arg(pid);
    } else {
        result->error
            = tr("The lock file %1 cannot be written.").arg(QDir::toNativeSeparators(lockFile));
    }
    m_lock.reset();
    return false;
}

bool ObjectStore::clearLockPath(const QString &lockFile, QString *error)
{
    // A lock file is a small regular file. Anything else at its path (a folder, a dangling
    // link) would stop every start; like a stale lock it makes way, and nothing in it is lost:
    // a link or an empty folder goes, anything else is set aside.
    const QFileInfo info(lockFile);
    if (info.isFile() || (!info.exists() && !info.isSymLink()))
        return true;
    bool cleared = info.isSymLink() ? QFile::remove(lockFile) : QDir().rmdir(lockFile);
    const QString aside = cleared ? QString() : setAside(lockFile);
    cleared = cleared || !aside.isEmpty();
    if (!cleared) {
        *error = tr("%1 stands where the lock file belongs and cannot be moved: remove it, then "
                    "start Tanvill again.")
                     .arg(QDir::toNativeSeparators(lockFile));
        return false;
    }
    qWarning().noquote() << lockFile << "was no lock file;"
                         << (aside.isEmpty() ? QStringLiteral("it was removed.")
                                             : QStringLiteral("it was moved to ") + aside);
    return true;
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

void ObjectStore::openInBackground(const QString &path, int lockWaitMs)
{
    takeOver();
    closeStore();
    m_path = path;
    m_openResult = {};
    m_cancelOpening = false;
    m_opening = std::async(std::launch::async, [this, path, lockWaitMs] {
        OpenResult result = openNow(path, lockWaitMs);
        // Taken over once the event loop runs at the latest, so that the outcome is told even
        // when nothing reads the store.
        QMetaObject::invokeMethod(
            this, [this] { takeOver(); }, Qt::QueuedConnection);
        return result;
    });
}

void ObjectStore::takeOver(bool waitForCheck)
{
    if (!m_opening.valid())
        return;
    m_openResult = m_opening.get();
    if (std::exchange(m_checkDue, false)) {
        if (waitForCheck) {
            startCheck(m_path);
            applyCheck(m_checkResult.get(), true);
        } else {
            // A moment later, so that it takes nothing from the first paint of the windows.
            QTimer::singleShot(kCheckDelayMs, this, [this, generation = m_checkGeneration] {
                if (generation == m_checkGeneration && m_writer)
                    startCheck(m_path);
            });
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
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder)) {
        result.error = tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return result;
    }
    if (!QFileInfo(folder).isWritable()) {
        result.error = tr("The folder %1 is read-only.").arg(QDir::toNativeSeparators(folder));
        return result;
    }

    const auto lockWaitEnd
        = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockWaitMs);
    while (!lock(path, &result)) {
        if (result.outcome != OpenOutcome::InUse || m_cancelOpening
            || std::chrono::steady_clock::now() >= lockWaitEnd)
            return result;
        std::this_thread::sleep_for(std::chrono::milliseconds(kLockRetryMs));
        result = {};
    }

    const bool existed = info.exists();
    // A store we may not read or write is still the user's store: moving it aside would
    // hide every list behind a fresh, empty one over a matter of permissions.
    if (existed && info.isFile() && (!info.isReadable() || !info.isWritable())) {
        result.error = tr("The file %1 cannot be read or written with your permissions.")
                           .arg(QDir::toNativeSeparators(path));
        return result;
    }
    if (existed && info.isFile() && StoreSchema::isNewerStore(path)) {
        result.outcome = OpenOutcome::Newer;
        result.error = tr("The store %1 was written by a newer version of Tanvill.")
                           .arg(QDir::toNativeSeparators(path));
        return result;
    }
    int code = 0;
    // Loading reads the tables but not every page: a damaged page elsewhere (a description,
    // an index) would otherwise show only when a save touches it. An existing file is
    // therefore checked whole, once it is loaded, while it is in use.
    if (tryOpen(path, &result.error, &code, existed)) {
        result.outcome = existed ? OpenOutcome::Opened : OpenOutcome::Created;
        result.error.clear();
        return result;
    }
    if (!existed || isTransient(code))
        return result;

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

bool ObjectStore::tryOpen(const QString &path, QString *error, int *code, bool check)
{
    m_reader = std::make_unique<Database>();
    Database &db = *m_reader;
    auto fail = [&](const QString &reason) {
        *error = reason.isEmpty() ? db.lastError() : reason;
        *code = db.lastErrorCode();
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
    if (!StoreSchema::configure(db, &reason) || !StoreSchema::migrate(db, &reason))
        return fail(reason);
    if (!m_context->load(db, &reason))
        return fail(reason);
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

void ObjectStore::startCheck(const QString &path)
{
    auto check = std::make_shared<Check>();
    m_check = check;
    // The check reads every page of the file through the page cache of its own connection,
    // which keeps the memory of a large store low; nothing waits for it.
    m_checkResult = std::async(std::launch::async, [this, check, path]() -> std::optional<bool> {
        Database checker;
        if (!checker.open(path, false))
            return std::nullopt;
        {
            std::lock_guard lock(check->mutex);
            if (check->stopped)
                return std::nullopt;
            check->connection = checker.handle();
        }
        const bool passed = StoreSchema::passesQuickCheck(checker);
        std::lock_guard lock(check->mutex);
        check->connection = nullptr;
        if (check->stopped)
            return std::nullopt;
        QMetaObject::invokeMethod(this, &ObjectStore::checkFinished, Qt::QueuedConnection);
        return passed;
    });
}

void ObjectStore::checkFinished()
{
    takeOver();
    // A check stopped meanwhile left no result; a newer one sends its own call.
    if (!m_checkResult.valid()
        || m_checkResult.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    applyCheck(m_checkResult.get(), false);
}

void ObjectStore::applyCheck(std::optional<bool> passed, bool atOpening)
{
    // Without a connection of its own the check runs on the reader, while nothing else does.
    if (!passed && atOpening && m_reader && m_writer)
        passed = StoreSchema::passesQuickCheck(*m_reader);
    if (!passed || *passed || !m_writer)
        return;
    qWarning().noquote() << "The store" << m_path << "is damaged.";
    if (!atOpening) {
        recoverAndReport(false);
        return;
    }
    if (const std::optional<QString> aside = writeAnewFromMemory()) {
        m_openResult.outcome = OpenOutcome::Repaired;
        m_openResult.setAsidePath = *aside;
    }
}

void ObjectStore::stopCheck()
{
    ++m_checkGeneration;
    if (m_check) {
        std::lock_guard lock(m_check->mutex);
        m_check->stopped = true;
        if (m_check->connection)
            sqlite3_interrupt(m_check->connection);
    }
    if (m_checkResult.valid())
        m_checkResult.wait();
    m_checkResult = {};
    m_check.reset();
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
        if (!m_reader->open(path, true) || !StoreSchema::configure(*m_reader, error)
            || !StoreSchema::migrate(*m_reader, error))
            return fail(m_reader->lastError());
    }
    m_descriptionQuery = std::make_unique<Statement>(
        m_reader->prepare(QStringLiteral("SELECT text FROM descriptions WHERE app_id = ?1")));
    m_screenshotQuery = std::make_unique<Statement>(m_reader->prepare(QStringLiteral(
        "SELECT id, position, url FROM screenshots WHERE app_id = ?1 ORDER BY position, id")));
    if (!m_descriptionQuery->isValid() || !m_screenshotQuery->isValid())
        return fail(m_reader->lastError());
    m_writer = std::make_unique<StoreWriter>();
    if (!m_writer->start(path, error))
        return fail(tr("The store cannot be written."));
    m_context->setDescriptionLoader([this](qint64 appId) { return readDescription(appId); });
    m_context->setScreenshotLoader([this](qint64 appId) { return readScreenshots(appId); });
    return true;
}

std::optional<QString> ObjectStore::writeAnewFromMemory()
{
    if (m_repairing)
        return std::nullopt;
    m_repairing = true;
    // Read what can still be read of the damaged file before it goes, then take every
    // record as changed: the next save writes them all.
    m_context->markEverythingChanged();
    // The writer finishes what is queued; those outcomes concern the damaged file only.
    closeStore();
    {
        std::lock_guard lock(m_outcomesMutex);
        m_outcomes.clear();
    }
    // A file removed from under the store leaves nothing to set aside; a damaged one, or one
    // that took the store's place, is kept.
    const bool present = QFileInfo::exists(m_path);
    const QString aside = present ? setAside(m_path) : QString();
    QString error;
    std::optional<QString> repaired;
    if (present && aside.isEmpty()) {
        error = tr("The file %1 cannot be moved aside.").arg(QDir::toNativeSeparators(m_path));
    } else if (QDir().mkpath(QFileInfo(m_path).absolutePath()) && openConnections(m_path, &error)) {
        ChangeSet everything;
        const quint64 ticket = m_context->takeChanges(everything);
        const StoreWriter::Outcome outcome = m_writer->submitAndWait(std::move(everything));
        if (outcome.committed) {
            m_context->changesCommitted(ticket);
            repaired = aside;
        } else {
            m_context->changesFailed(ticket);
            error = outcome.error;
        }
    }
    if (!repaired) {
        qWarning().noquote() << "The store could not be written anew:" << error;
        // Without a fresh file saves go on against the old one, which may still take them.
        if (!m_writer && !aside.isEmpty() && !QFileInfo::exists(m_path))
            QFile::rename(aside, m_path);
        if (!m_writer)
            openConnections(m_path, &error);
    } else {
        qWarning().noquote() << "The store was written anew from memory; the file that was at its"
                                " place is"
                             << (aside.isEmpty() ? QStringLiteral("gone") : aside);
    }
    m_repairing = false;
    return repaired;
}

std::optional<QString> ObjectStore::recover(bool moved)
{
    const std::optional<QString> aside = writeAnewFromMemory();
    if (!aside)
        return moved ? tr("The store file was removed or replaced.")
                     : tr("The store file is damaged.");
    if (const auto &tell = moved ? storeReplaced : storeRepaired)
        tell(*aside);
    return std::nullopt;
}

void ObjectStore::recoverAndReport(bool moved)
{
    if (const std::optional<QString> error = recover(moved); error && saveFailed)
        saveFailed(*error);
}

std::optional<QByteArray> ObjectStore::readDescription(qint64 appId)
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
        readFailed("a description");
        break;
    }
    // Resetting releases the read lock, so the writer is never kept waiting.
    query.reset();
    return description;
}

std::optional<std::vector<ScreenshotRow>> ObjectStore::readScreenshots(qint64 appId)
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
        readFailed("screenshots");
    query.reset();
    if (step == Statement::Step::Error)
        return std::nullopt;
    return rows;
}

void ObjectStore::readFailed(const char *what)
{
    qWarning().noquote() << "Cannot read" << what << "from the store:" << m_reader->lastError();
    // Not from inside a getter: the repair closes the connection this read uses.
    if (StoreSchema::isDamage(m_reader->lastErrorCode()) && !m_repairing)
        QMetaObject::invokeMethod(
            this, [this] { recoverAndReport(false); }, Qt::QueuedConnection);
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
        if (!QFileInfo::exists(target))
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
    takeOver();
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
    if (outcome.damaged || outcome.moved)
        return recover(outcome.moved);
    finishSave(ticket, outcome);
    return outcome.committed ? std::nullopt : std::optional<QString>(outcome.error);
}

std::optional<QString> ObjectStore::writeAnewIfMoved()
{
    // Nothing to write, but a store file removed meanwhile would take every list with it when
    // the program quits.
    if (!m_writer || !m_writer->submitAndWait({}).moved)
        return std::nullopt;
    qWarning().noquote() << "The store file was removed or replaced.";
    return recover(true);
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
    if (outcome.damaged || outcome.moved) {
        qWarning().noquote() << "Saving the store failed:" << outcome.error;
        recoverAndReport(outcome.moved);
        return;
    }
    qWarning().noquote() << "Saving the store failed:" << outcome.error;
    m_context->changesFailed(ticket);
    if (saveFailed)
        saveFailed(outcome.error);
}

} // namespace tanvill

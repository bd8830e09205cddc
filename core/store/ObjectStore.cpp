#include "core/store/ObjectStore.h"

#include "core/store/Database.h"
#include "core/store/StoreRewrite.h"
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
#include <QScopeGuard>
#include <QThread>

#include <chrono>
#include <system_error>

namespace tanvill {

ObjectStore::ObjectStore(LockSupport locks, QObject *parent)
    : QObject(parent), m_context(std::make_unique<ObjectContext>()),
      m_reader([this] { return m_writer && m_writer->isCommitting(); }), m_lock(locks),
      m_rewrite(std::make_unique<StoreRewrite>(static_cast<StoreRewrite::Store &>(*this)))
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

QStringList ObjectStore::keptChangesFolders(const QString &storePath)
{
    const QString storeFolder = QFileInfo(storePath).absolutePath();
    return { storeFolder, QFileInfo(storeFolder).absolutePath(), QDir::homePath() };
}

void ObjectStore::setCheckTimes(int delayMs, int retryMs)
{
    m_checkDelayMs = delayMs;
    m_checkRetryMs = retryMs;
}

void ObjectStore::closeStore()
{
    stopCheck();
    // The writer commits what is queued before it stops.
    m_writer.reset();
    m_reader.close();
    m_context->setDescriptionLoader({});
    m_context->setScreenshotLoader({});
}

void ObjectStore::closeFile()
{
    closeStore();
    {
        std::lock_guard lock(m_outcomesMutex);
        m_outcomes.clear();
    }
    m_context->requeueChangesInFlight();
}

StoreRewrite::Store::Snapshot ObjectStore::snapshot(bool takeChanges)
{
    Snapshot snapshot;
    if (takeChanges) {
        ChangeSet carried;
        snapshot.ticket = m_context->takeChanges(carried);
    }
    snapshot.everything = std::make_shared<const ChangeSet>(m_context->snapshot());
    snapshot.edits = m_context->editCount();
    return snapshot;
}

ObjectContext::UnreadContent ObjectStore::readAllContent(const QDeadlineTimer &until,
                                                         bool *complete)
{
    return m_context->readAllContent(until, complete);
}

void ObjectStore::tell(News news, const QString &detail)
{
    const std::function<void(const QString &)> *handler = nullptr;
    switch (news) {
    case News::SaveFailed:
        handler = &saveFailed;
        break;
    case News::Repaired:
        handler = &storeRepaired;
        break;
    case News::Replaced:
        handler = &storeReplaced;
        break;
    case News::Taken:
        handler = &storeTaken;
        break;
    }
    if (handler && *handler)
        (*handler)(detail);
}

bool ObjectStore::reopenFile(QString *error)
{
    return openConnections(m_path, error);
}

ObjectStore::OpenResult ObjectStore::open(const QString &path)
{
    openInBackground(path, 0);
    finishOpening(true);
    return m_openResult;
}

void ObjectStore::openInBackground(const QString &path, int lockWaitMs, FileChanges changes)
{
    finishOpening(false);
    closeStore();
    m_path = path;
    m_openResult = { OpenOutcome::Opening, {}, {}, {} };
    m_cancelOpening = false;
    m_fileChangesAllowed = changes == FileChanges::Allowed;
    const auto work = [this, path, lockWaitMs] {
        OpenResult result = openNow(path, lockWaitMs);
        // Taken over once the event loop runs at the latest, so that the outcome is told even
        // when nothing reads the store.
        QMetaObject::invokeMethod(this, &ObjectStore::takeOver, Qt::QueuedConnection);
        return result;
    };
    try {
        m_opening = std::async(std::launch::async, work);
    } catch (const std::system_error &) {
        // No thread to be had: the store opens when it is first needed, on that thread.
        m_opening = std::async(std::launch::deferred, work);
    }
}

void ObjectStore::takeOver()
{
    finishOpening(false);
}

void ObjectStore::finishOpening(bool waitForCheck)
{
    if (!m_opening.valid())
        return;
    // Whoever takes the store over keeps it.
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

void ObjectStore::expectTakenOver() const
{
    Q_ASSERT_X(!m_opening.valid(), "ObjectStore", "the store is used before it was taken over");
}

const ObjectStore::OpenResult &ObjectStore::openResult() const
{
    return m_openResult;
}

void ObjectStore::whenOpened(std::function<void(const OpenResult &result)> handler)
{
    if (m_opening.valid())
        m_openedHandlers.push_back(std::move(handler));
    else
        handler(m_openResult);
}

bool ObjectStore::isOpen() const
{
    expectTakenOver();
    return m_writer != nullptr;
}

ObjectContext &ObjectStore::context()
{
    expectTakenOver();
    return *m_context;
}

void ObjectStore::prepareToQuit(int lockWaitMs)
{
    // The writers, the one of a background open included, ask the limit as they wait.
    m_lockWaits.endAllBy(LockWaitLimit::Clock::now() + std::chrono::milliseconds(lockWaitMs));
    // While a background open runs, its worker owns the check.
    if (m_opening.valid())
        return;
    // The check reads the whole file under a shared lock, which the last commits would wait for.
    stopCheck();
}

bool ObjectStore::openConnections(const QString &path, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error->isEmpty())
            *error = reason;
        closeStore();
        return false;
    };
    if (!m_reader.isOpen()) {
        Database &reader = m_reader.connection();
        if (!reader.open(path, false) || !StoreSchema::configure(reader, error)
            || !StoreSchema::migrate(reader, error))
            return fail(reader.lastError());
    }
    if (!m_reader.startReading(error))
        return fail({});
    ++m_connections;
    m_writer = std::make_unique<StoreWriter>(&m_lockWaits);
    if (!m_writer->start(path, error))
        return fail(tr("The store cannot be written."));
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
    int code = 0;
    std::optional<QByteArray> description = m_reader.description(appId, &code);
    if (code != 0)
        *failure = readFailed(code);
    return description;
}

std::optional<std::vector<ScreenshotRow>>
ObjectStore::readScreenshots(qint64 appId, ObjectContext::ReadFailure *failure)
{
    int code = 0;
    std::optional<std::vector<ScreenshotRow>> rows = m_reader.screenshots(appId, &code);
    if (code != 0)
        *failure = readFailed(code);
    return rows;
}

ObjectContext::ReadFailure ObjectStore::readFailed(int code)
{
    if (StoreSchema::isTransient(code))
        return ObjectContext::ReadFailure::Retry;
    if (m_rewrite->isUnderWay() || m_recoveryQueued || !m_writer)
        return ObjectContext::ReadFailure::Lost;
    // Once for a run of failing reads, and not from inside a getter: the repair closes the
    // connection this read uses. A repair that happened meanwhile makes it needless.
    m_recoveryQueued = true;
    const quint64 connections = m_connections;
    const auto recoverUnlessDone = [this, connections](StoreRewrite::Why why) {
        m_recoveryQueued = false;
        if (connections == m_connections && m_writer)
            m_rewrite->recoverInBackground(why);
    };
    if (StoreSchema::isDamage(code)) {
        QMetaObject::invokeMethod(
            this, [recoverUnlessDone] { recoverUnlessDone(StoreRewrite::Why::Damaged); },
            Qt::QueuedConnection);
    } else {
        // Tables gone: the file left its path or was emptied, which the writer tells.
        m_writer->submit({}, [this, recoverUnlessDone](const StoreWriter::Outcome &outcome) {
            const bool moved = outcome.moved;
            QMetaObject::invokeMethod(
                this,
                [this, moved, recoverUnlessDone] {
                    if (moved)
                        recoverUnlessDone(StoreRewrite::Why::Moved);
                    else
                        m_recoveryQueued = false;
                },
                Qt::QueuedConnection);
        });
    }
    return ObjectContext::ReadFailure::Lost;
}

std::optional<QString> ObjectStore::save(bool async)
{
    // Quitting waits for this save: what it writes may be all there is of it.
    std::optional<QuitSignals::DeadlineHold> writing;
    if (!async)
        writing.emplace();
    takeOver();
    const auto tellCommitted = qScopeGuard([this] { runCommittedHandlers(); });
    if (m_rewrite->isUnderWay()) {
        // Changes made while the store is written anew are saved once it is in place.
        if (async)
            return std::nullopt;
        const std::optional<QString> error = m_rewrite->recover(StoreRewrite::Why::None);
        if (error || !m_writer)
            return error;
    }
    if (const StoreRewrite::Why due = m_rewrite->due(); due != StoreRewrite::Why::None) {
        // Everything the context holds goes into the fresh file, pending changes with it.
        if (async) {
            m_rewrite->recoverInBackground(due);
            return std::nullopt;
        }
        const std::optional<QString> error = m_rewrite->recover(due);
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
    return concludeSave(ticket, m_writer->submitAndWait(std::move(changes)));
}

std::optional<QString> ObjectStore::concludeSave(quint64 ticket,
                                                 const StoreWriter::Outcome &outcome)
{
    if (outcome.damaged || outcome.moved) {
        if (ticket != 0)
            m_context->changesFailed(ticket);
        else
            qWarning().noquote() << "The store file was removed, replaced or emptied.";
        return m_rewrite->recover(outcome.moved ? StoreRewrite::Why::Moved
                                                : StoreRewrite::Why::Damaged);
    }
    if (ticket == 0)
        return std::nullopt;
    finishSave(ticket, outcome);
    return outcome.committed ? std::nullopt : std::optional<QString>(outcome.error);
}

void ObjectStore::saveForQuitting(int lockWaitMs, QuitSaveHandler done)
{
    saveForQuittingBy(LockWaitLimit::Clock::now() + std::chrono::milliseconds(lockWaitMs),
                      std::move(done));
}

void ObjectStore::saveForQuittingBy(LockWaitLimit::Clock::time_point waitsEndBy,
                                    QuitSaveHandler done)
{
    takeOver();
    m_quitSaveAsks = true;
    const auto tellCommitted = qScopeGuard([this] { runCommittedHandlers(); });
    deliverOutcomes();
    if (!m_writer || m_rewrite->isUnderWay() || m_rewrite->due() != StoreRewrite::Why::None) {
        // Writing anew puts a fresh file in place: it waits for nobody's lock on this one, only
        // for the commits under way.
        m_lockWaits.endAllBy(waitsEndBy);
        done(save(false));
        return;
    }
    if (!m_context->hasChangesInFlight()) {
        // Nothing is queued before it: the file takes the changes at once, or another process
        // holds it.
        ChangeSet changes;
        const quint64 ticket = m_context->hasChanges() ? m_context->takeChanges(changes) : 0;
        const StoreWriter::Outcome outcome
            = m_writer->submitAndWait(std::move(changes), StoreWriter::LockWait::None);
        if (!outcome.busy) {
            done(concludeSave(ticket, outcome));
            return;
        }
        if (ticket != 0)
            m_context->changesFailed(ticket);
    }
    // The writer waits for the file, the saves before this one included, and tells the UI
    // thread how it went.
    m_lockWaits.endAllBy(waitsEndBy);
    ChangeSet changes;
    const quint64 ticket = m_context->hasChanges() ? m_context->takeChanges(changes) : 0;
    m_writer->submit(
        std::move(changes),
        [this, ticket, waitsEndBy, done = std::move(done)](const StoreWriter::Outcome &outcome) {
            if (ticket != 0) {
                std::lock_guard lock(m_outcomesMutex);
                m_outcomes.push_back({ ticket, outcome });
            }
            QMetaObject::invokeMethod(
                this,
                [this, outcome, waitsEndBy, done] {
                    deliverOutcomes();
                    // Changes made meanwhile, a save before this one that failed, a file to write
                    // anew: another round.
                    if (outcome.committed || outcome.moved || outcome.damaged) {
                        if (outcome.committed && !hasUnsavedChanges()) {
                            runCommittedHandlers();
                            done(std::nullopt);
                        } else {
                            saveForQuittingBy(waitsEndBy, done);
                        }
                        return;
                    }
                    done(outcome.error);
                },
                Qt::QueuedConnection);
        });
}

std::optional<QString> ObjectStore::keepUnsavedChanges(QString *error)
{
    // Only what was read from the store, or entered for it, is worth keeping; a store in
    // another process's hands or of a later version never had anything of this one's.
    takeOver();
    deliverOutcomes();
    if (!isUsable(openResult().outcome) || !hasUnsavedChanges())
        return std::nullopt;
    return m_rewrite->keepUnsavedChanges(error);
}

void ObjectStore::whenCommitted(std::function<void()> handler)
{
    m_committedHandlers.push_back(std::move(handler));
    runCommittedHandlers();
}

void ObjectStore::runCommittedHandlers()
{
    // Nothing unsaved: every change made before any of them asked is in the file.
    if (m_committedHandlers.empty() || m_opening.valid() || hasUnsavedChanges())
        return;
    const auto handlers = std::exchange(m_committedHandlers, {});
    for (const auto &handler : handlers)
        handler();
}

bool ObjectStore::hasUnsavedChanges() const
{
    expectTakenOver();
    return m_rewrite->due() != StoreRewrite::Why::None || m_rewrite->isUnderWay()
        || m_context->hasChanges() || m_context->hasChangesInFlight();
}

std::optional<QString> ObjectStore::writeAnewIfMoved()
{
    // Nothing to write, but a store file removed or emptied meanwhile would take every list
    // with it when the program quits.
    if (!m_writer)
        return std::nullopt;
    return concludeSave(0, m_writer->submitAndWait({}));
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
        runCommittedHandlers();
        return;
    }
    qWarning().noquote() << "Saving the store failed:" << outcome.error;
    m_context->changesFailed(ticket);
    if (outcome.damaged || outcome.moved) {
        m_rewrite->recoverInBackground(outcome.moved ? StoreRewrite::Why::Moved
                                                     : StoreRewrite::Why::Damaged);
        return;
    }
    // A quit's save asks the user itself what to do (Retry, Quit Anyway): a notice of its own
    // would stand behind that question and say the changes are tried again later.
    if (saveFailed && !m_quitSaveAsks)
        saveFailed(outcome.error);
}

} // namespace tanvill

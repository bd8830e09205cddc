#pragma once

// The object store: opens (or creates) the SQLite file, loads the graph into an ObjectContext
// (on a worker thread while the application starts, if asked), reads what loading left in the
// file when it is first asked for, saves the context's changes through a writer thread with its
// own connection, one transaction per save, and hands the store over to a later launch's owner
// by letting it go. A file that cannot be opened or is not a store of ours is renamed aside
// (never deleted) and a fresh store takes its place. The file is locked for as long as a store
// is open (StoreLock), so that two processes never write one store; when it is damaged, or
// removed, replaced or emptied while the program runs, StoreRewrite writes it anew from memory.
// Descriptions and screenshots stay in the file until an application's are first read, which
// keeps opening quick and memory low for large stores; such a read on the UI thread never waits
// for another process's lock on the file, only for this process's writer. ListsController owns
// the one instance of the application.

#include "core/ObjectContext.h"
#include "core/store/LockWaitLimit.h"
#include "core/store/StoreCheck.h"
#include "core/store/StoreFiles.h"
#include "core/store/StoreLock.h"
#include "core/store/StoreReader.h"
#include "core/store/StoreRewrite.h"
#include "core/store/StoreWriter.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tanvill {

class ObjectStore : public QObject, private StoreRewrite::Store
{
    Q_OBJECT
public:
    enum class OpenOutcome {
        Opened, // an existing store
        Created, // a new, empty store
        ReplacedUnreadable, // the old file was set aside and a new store created
        Repaired, // the damaged file was set aside and what it held written anew
        // A store written anew that a crash kept from its place took it now; what stood there
        // was set aside (none when nothing, or an empty file, did).
        RewriteFinished,
        InUse, // another process has the store open: nothing is read or saved
        Newer, // a later version wrote the store: it is left untouched, nothing read or saved
        Failed, // no store: nothing can be saved
        Opening, // opening in the background, not taken over yet: nothing is known
    };
    struct OpenResult
    {
        OpenOutcome outcome = OpenOutcome::Failed;
        // Where the unreadable or damaged file went (ReplacedUnreadable, Repaired,
        // RewriteFinished).
        QString setAsidePath;
        // Why the old file was set aside, or why no store could be opened.
        QString error;
        // A file at the name a rewrite uses that was not this store's own unfinished rewrite:
        // it was left where it is, and the user is told of it.
        QString leftoverPath;
        // A rollback journal of another file's unfinished write that stood beside the store,
        // and where it went: it was never rolled back into the store.
        QString journalSetAsidePath;
        // With InUse: the process of the running copy of Tanvill that holds the store; 0 when
        // another program holds it, or a holder that cannot be told from one.
        qint64 runningCopy = 0;
    };
    static bool isUsable(OpenOutcome outcome)
    {
        return outcome != OpenOutcome::InUse && outcome != OpenOutcome::Newer
            && outcome != OpenOutcome::Failed && outcome != OpenOutcome::Opening;
    }

    // Whether a store opened in the background may change files (create the folder or the
    // store, migrate, set an unreadable file aside, repair) before allowFileChanges().
    enum class FileChanges { Allowed, AwaitPermission };

    // How long a store opened in the background waits for another process to let it go,
    // counted from when it may change files: a launch that only hands its link over holds it
    // for a moment.
    static constexpr int kBackgroundLockWaitMs = 1000;
    // How long the launch that runs on waits: one of its session that is about to hand its link
    // over may be slower to get there than it.
    static constexpr int kKeeperLockWaitMs = 3000;
    // When the check of the whole file runs after opening, and again after it could not run.
    static constexpr int kCheckDelayMs = 1000;
    static constexpr int kCheckRetryMs = 60000;
    // How long all waits for another process's lock together last once the program quits.
    static constexpr int kQuitLockWaitMs = 2000;

    // Tests take the store's lock as on file systems with fewer locks.
    explicit ObjectStore(LockSupport locks = LockSupport::System, QObject *parent = nullptr);
    ~ObjectStore() override;

    // Opens the store and loads it before returning; a damaged file is repaired first.
    OpenResult open(const QString &path);
    // Opens and loads the store on a worker thread and returns at once; takeOver() ends the
    // opening. The check of the whole file runs a moment after; a damaged file it finds is
    // written anew from memory, as when damage shows while running (storeRepaired). A launch
    // that may still hand over to another one asks the worker to await permission before it
    // changes anything; takeOver() gives it. Such a worker also waits for a store another
    // process holds until it has permission, and then lockWaitMs more.
    void openInBackground(const QString &path, int lockWaitMs = kBackgroundLockWaitMs,
                          FileChanges changes = FileChanges::Allowed);
    // This process keeps the store: the worker may change files.
    void allowFileChanges();
    // Ends a background open, on the UI thread, in one step: waits for the worker, gives it
    // permission to change files first, takes the loaded graph over, schedules the check of the
    // whole file and runs the whenOpened handlers. Nothing is touched by two threads at once.
    // Nothing happens when no open is under way; it also happens by itself once the event loop
    // runs after the worker ended. The owner calls it before it asks the store anything but
    // path(), openResult() and isOpening(); save() and keepUnsavedChanges() take it first
    // themselves.
    void takeOver();
    // True from openInBackground() until the opening is taken over.
    bool isOpening() const { return m_opening.valid(); }
    // Runs the handler on the UI thread once the store is taken over; at once when it was.
    void whenOpened(std::function<void(const OpenResult &result)> handler);

    // How opening went; Opening until the opening is taken over.
    const OpenResult &openResult() const;
    bool isOpen() const;
    QString path() const override { return m_path; }

    ObjectContext &context();

    // Writes the pending changes in one transaction; nothing when nothing changed. A store
    // that must be written anew is tried first. async returns at once and reports a failure
    // through saveFailed later; otherwise the call returns after the commit (and every earlier
    // one) with the error, if any. Failed changes stay pending.
    std::optional<QString> save(bool async);
    // Saves what is pending as the user quits, without this thread ever waiting for another
    // process's lock on the file: `done` runs with none once nothing is unsaved, or with the
    // error of a save that failed; a file another process holds fails it about lockWaitMs from
    // now (every wait for the lock ends by then, those under way included). It runs before the
    // call returns when that is known at once (nothing unsaved, or the file took the changes or
    // refused them for another reason), else on a later pass of the event loop.
    using QuitSaveHandler = std::function<void(const std::optional<QString> &error)>;
    void saveForQuitting(int lockWaitMs, QuitSaveHandler done);
    // True while something the context holds is not known to have reached the store: the
    // outcome of an asynchronous save is known once the event loop delivered it.
    bool hasUnsavedChanges() const;
    // Runs the handler on the UI thread once every change made before this call has been
    // committed: at once when nothing is unsaved, else as the first save that leaves nothing
    // unsaved ends. A save that fails leaves it waiting for the next one; at quitting the last
    // save decides. Handlers still waiting when the store goes are dropped.
    void whenCommitted(std::function<void()> handler);
    // For changes that cannot reach the store when the program ends: writes everything the
    // context holds into a new store file beside the store (or, when its folder cannot be
    // written, in the folder above or the home folder) and returns its path; none, with the
    // reason, when nothing could be written. Nothing pending changes. The file is only given
    // its name once it is whole; asked again with nothing changed since, it gives that file.
    std::optional<QString> keepUnsavedChanges(QString *error);

    // The program is quitting: the check of the whole file stops, and from now on the waits
    // for another process's lock on the store end lockWaitMs from now, all of them together,
    // so that what cannot be written by then goes to keepUnsavedChanges.
    void prepareToQuit(int lockWaitMs = kQuitLockWaitMs);

    // For tests: the steps of writing a file beside the store (the store written anew, or the
    // changes kept at quitting), run on the thread that writes it.
    using WriteStep = StoreFiles::Step;
    StoreFiles::StepHook writeStepHook;

    // Called on the UI thread with the outcome of every save that wrote something.
    std::function<void(const QString &error)> saveFailed;
    std::function<void()> saveSucceeded;
    // Called on the UI thread when a store found damaged while running was written anew;
    // the damaged file was set aside at the given path.
    std::function<void(const QString &setAsidePath)> storeRepaired;
    // Called on the UI thread when the store file was found removed, replaced or emptied and
    // written anew from memory; a file that had taken its place was set aside at the given
    // path (none when the file was removed or emptied).
    std::function<void(const QString &setAsidePath)> storeReplaced;
    // Called on the UI thread when the store's folder left its path while the program ran and
    // another copy of Tanvill holds the folder now there: nothing is written into it, and
    // everything the context holds was kept at the given path instead (and is kept there again
    // with every later save).
    std::function<void(const QString &keptPath)> storeTaken;

    // The file next to the store that marks it in use.
    static QString lockPath(const QString &storePath);
    // True while another process holds the store at storePath, or when nobody can tell.
    static bool isInUse(const QString &storePath, LockSupport locks = LockSupport::System);
    // Where changes that cannot reach the store at storePath are kept, first to last.
    static QStringList keptChangesFolders(const QString &storePath);

    // For tests: when the check of the whole file runs.
    void setCheckTimes(int delayMs, int retryMs);

signals:
    // The check of the whole file ended, with its verdict (also when it could not run).
    void checked(tanvill::StoreCheck::Verdict verdict);

private:
    // Tests see the worker of a background open stop to await permission (awaitingFileChanges).
    friend struct ObjectStoreTestAccess;

    // What the rewrite needs of the store.
    quint32 identity() const override { return m_identity; }
    StoreLock &heldFolder() override { return m_lock; }
    StoreFiles::StepHook stepHook() const override { return writeStepHook; }
    ObjectContext::UnreadContent readAllContent(const QDeadlineTimer &until,
                                                bool *complete) override;
    bool hasChanges() const override { return m_context->hasChanges(); }
    quint64 editCount() const override { return m_context->editCount(); }
    Snapshot snapshot(bool takeChanges) override;
    void changesCommitted(quint64 ticket) override { m_context->changesCommitted(ticket); }
    void changesFailed(quint64 ticket) override { m_context->changesFailed(ticket); }
    void closeFile() override;
    bool reopenFile(QString *error) override;
    void tell(News news, const QString &detail) override;
    void saveChanges() override { save(true); }

    // The worker's part of opening.
    OpenResult openNow(const QString &path, int lockWaitMs);
    // On the worker: waits until this process may change files; false when it may not.
    bool mayChangeFiles();
    bool fileChangesAllowed();
    // takeOver(); with `waitForCheck` also waits for the check of the whole file, so that a
    // damaged file is repaired first.
    void finishOpening(bool waitForCheck);
    // Stops a debug build that uses the store before it was taken over.
    void expectTakenOver() const;
    void scheduleCheck(int delayMs);
    // Starts the check of the whole file on a connection and a thread of its own.
    void startCheck();
    void checkFinished(quint64 generation, StoreCheck::Verdict verdict);
    // Repairs a file the check found damaged; `atOpening` while the outcome can still say so.
    void applyCheck(StoreCheck::Verdict verdict, bool atOpening);
    void stopCheck();
    bool lock(const QString &path, OpenResult *result);
    // False, with the reason, when another program keeps the file locked for long.
    bool awaitFile(const QString &path, OpenResult *result);
    // With `check`, also has the check of every page of the file run.
    bool tryOpen(const QString &path, QString *error, int *code, bool check = false);
    // Opens the connections and the writer on a migrated store, without loading records.
    bool openConnections(const QString &path, QString *error);
    void closeStore();

    // For a save with nothing to write: the file is written anew when it left its path.
    std::optional<QString> writeAnewIfMoved();
    // saveForQuitting(), with every wait for another process's lock ending by waitsEndBy.
    void saveForQuittingBy(LockWaitLimit::Clock::time_point waitsEndBy, QuitSaveHandler done);
    // What a synchronous save of the changes of ticket (none: nothing to write) comes to.
    std::optional<QString> concludeSave(quint64 ticket, const StoreWriter::Outcome &outcome);
    void finishSave(quint64 ticket, const StoreWriter::Outcome &outcome);
    // Runs the whenCommitted handlers when nothing is unsaved.
    void runCommittedHandlers();
    // Applies the outcomes of asynchronous saves that the writer reported.
    void deliverOutcomes();
    std::optional<QByteArray> readDescription(qint64 appId, ObjectContext::ReadFailure *failure);
    std::optional<std::vector<ScreenshotRow>> readScreenshots(qint64 appId,
                                                              ObjectContext::ReadFailure *failure);
    // A read on the UI thread failed with SQLite's code: repairs the file later when SQLite
    // found it damaged, or when it left its path or was emptied.
    ObjectContext::ReadFailure readFailed(int code);

    QString m_path;
    // The identity the store's file carries, and every file written anew from it.
    quint32 m_identity = 0;
    std::unique_ptr<ObjectContext> m_context;
    std::unique_ptr<StoreWriter> m_writer;
    StoreReader m_reader;
    LockWaitLimit m_lockWaits;
    StoreLock m_lock;
    std::unique_ptr<StoreRewrite> m_rewrite;
    // Counts the connections opened, so that a repair asked for on older ones is let go.
    quint64 m_connections = 0;
    bool m_recoveryQueued = false;

    // While a background open runs, its worker owns everything above.
    std::future<OpenResult> m_opening;
    std::atomic<bool> m_cancelOpening = false;
    std::mutex m_permissionMutex;
    std::condition_variable m_permissionChanged;
    bool m_fileChangesAllowed = true;
    // Run on the worker of a background open each time it stops to await permission to change
    // files; tests alone set it.
    std::function<void()> m_awaitingFileChanges;
    OpenResult m_openResult;
    std::vector<std::function<void(const OpenResult &)>> m_openedHandlers;
    // Waiting for nothing to be unsaved.
    std::vector<std::function<void()>> m_committedHandlers;
    // A save for quitting was asked for: its failures are the quit's to tell.
    bool m_quitSaveAsks = false;

    // The check of the whole file: due once a store is opened.
    bool m_checkDue = false;
    quint64 m_checkGeneration = 0;
    std::unique_ptr<StoreCheck> m_check;
    QTimer m_checkTimer;
    int m_checkDelayMs = kCheckDelayMs;
    int m_checkRetryMs = kCheckRetryMs;

    struct Outcome
    {
        quint64 ticket = 0;
        StoreWriter::Outcome outcome;
    };
    std::mutex m_outcomesMutex;
    std::vector<Outcome> m_outcomes;
};

} // namespace tanvill

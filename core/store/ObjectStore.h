#pragma once

// The object store: opens (or creates) the SQLite file, loads the graph into an
// ObjectContext (on a worker thread while the application starts, if asked), and saves the
// context's changes through a writer thread with its own connection, one transaction per save. A
// file that cannot be opened or is not a store of ours is renamed aside (never deleted) and a fresh
// store takes its place. A file that SQLite finds damaged, at opening, in the check of the whole
// file a moment later, or on any later save, is repaired from memory: everything the context holds
// goes into a fresh file and the damaged one is set aside. So is a store file removed, replaced or
// emptied while the program runs, as its next save finds. A fresh file is written beside the store,
// from a copy of the graph and off the UI thread, and takes its place only once it is whole, in
// one rename: the store's path always holds a file. A whole one that a crash kept from its place
// takes it at the next opening. When that cannot be done, every later save tries again.
// Descriptions and screenshots stay in the file until an application's are first read, which keeps
// opening quick and memory low for large stores. The store's folder is locked for as long as a
// store is open, so that two processes never write one store. ListsController owns the one instance
// of the application.

#include "core/ObjectContext.h"
#include "core/store/StoreCheck.h"
#include "core/store/StoreLock.h"
#include "core/store/StoreWriter.h"
#include "platform/ThrottledLog.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tanvill {

class Database;
class Statement;

class ObjectStore : public QObject
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
    };
    struct OpenResult
    {
        OpenOutcome outcome = OpenOutcome::Failed;
        // Where the unreadable or damaged file went (ReplacedUnreadable, Repaired,
        // RewriteFinished).
        QString setAsidePath;
        // Why the old file was set aside, or why no store could be opened.
        QString error;
    };

    // Whether a store opened in the background may change files (create the folder or the
    // store, migrate, set an unreadable file aside, repair) before allowFileChanges().
    enum class FileChanges { Allowed, AwaitPermission };

    // How long a store opened in the background waits for another process to let it go,
    // counted from when it may change files: a launch that only hands its link to the running
    // one holds it for a moment.
    static constexpr int kBackgroundLockWaitMs = 1000;
    // How long the launch that runs on waits: one of its session that is about to hand its link
    // over may be slower to get there than it.
    static constexpr int kKeeperLockWaitMs = 3000;
    // When the check of the whole file runs after opening, and again after it could not run.
    static constexpr int kCheckDelayMs = 1000;
    static constexpr int kCheckRetryMs = 60000;

    // Tests take the store's lock as on file systems with fewer locks.
    explicit ObjectStore(LockSupport locks = LockSupport::System, QObject *parent = nullptr);
    ~ObjectStore() override;

    // Opens the store and loads it before returning; a damaged file is repaired first.
    OpenResult open(const QString &path);
    // Opens and loads the store on a worker thread and returns at once. The first call that
    // needs the store (any but path()) waits for the worker and then takes the loaded graph
    // over on its own thread, the UI thread, in one step: nothing is touched by two threads at
    // once. The check of the whole file runs a moment later; a damaged file it finds is written
    // anew from memory, as when damage shows while running (storeRepaired). A launch that may
    // still hand over to another one asks the worker to await permission before it changes
    // anything; the first call that needs the store gives it. Such a worker also waits for a
    // store another process holds until it has permission, and then lockWaitMs more.
    void openInBackground(const QString &path, int lockWaitMs = kBackgroundLockWaitMs,
                          FileChanges changes = FileChanges::Allowed);
    // This process keeps the store: the worker may change files.
    void allowFileChanges();
    // How opening went.
    const OpenResult &openResult();
    // Runs the handler on the UI thread once the store is taken over; at once when it was.
    void whenOpened(std::function<void(const OpenResult &result)> handler);

    bool isOpen();
    QString path() const { return m_path; }

    ObjectContext &context();

    // Writes the pending changes in one transaction; nothing when nothing changed. A store
    // that must be written anew is tried first. async returns at once and reports a failure
    // through saveFailed later; otherwise the call returns after the commit (and every earlier
    // one) with the error, if any. Failed changes stay pending.
    std::optional<QString> save(bool async);
    // True while something the context holds has not reached the store.
    bool hasUnsavedChanges();
    // For changes that cannot reach the store when the program ends: writes everything the
    // context holds into a new store file beside the store (or, when its folder cannot be
    // written, in the folder above or the home folder) and returns its path; none, with the
    // reason, when nothing could be written. Nothing pending changes. The file is only given
    // its name once it is whole; asked again with nothing changed since, it gives that file.
    std::optional<QString> keepUnsavedChanges(QString *error);

    // The program is quitting: the check of the whole file stops, and from now on the waits
    // for another process's lock on the store end kQuitLockWaitMs from now, all of them
    // together, so that what cannot be written by then goes to keepUnsavedChanges.
    void prepareToQuit();
    static constexpr int kQuitLockWaitMs = 2000;

    // For tests: the steps of writing a file beside the store (the store written anew, or the
    // changes kept at quitting), run on the thread that writes it.
    enum class WriteStep {
        Writing, // begun under a name of its own, not whole yet
        Whole, // whole, under the name that says so (the store's only)
        OldKept, // the file at the store's path is also under its set-aside name (store's only)
    };
    std::function<void(WriteStep step)> writeStepHook;

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

    // The file next to the store that marks it in use.
    static QString lockPath(const QString &storePath);
    // True while another process holds the store at storePath, or when nobody can tell.
    static bool isInUse(const QString &storePath, LockSupport locks = LockSupport::System);

    // For tests: when the check of the whole file runs.
    void setCheckTimes(int delayMs, int retryMs);

signals:
    // The check of the whole file ended, with its verdict (also when it could not run).
    void checked(tanvill::StoreCheck::Verdict verdict);

private:
    // Why the store must be written anew.
    enum class Rewrite { None, Damaged, Moved };

    // The worker's part of opening.
    OpenResult openNow(const QString &path, int lockWaitMs);
    // On the worker: waits until this process may change files; false when it may not.
    bool mayChangeFiles();
    bool fileChangesAllowed();
    // Waits for a background open and takes its outcome over; with `waitForCheck` also for
    // the check of the whole file, so that a damaged file is repaired first.
    void takeOver(bool waitForCheck = false);
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
    static QString setAside(const QString &path);

    // What writing a fresh file gave.
    struct Written
    {
        bool whole = false;
        // Where what stood at the store's path went (empty when nothing, or an empty file, did).
        QString setAsidePath;
        QString error;
    };
    // A store being written anew: first what the file still holds is read into the context, a
    // slice at a time on the UI thread; then the whole graph is copied and written beside the
    // store on a thread of its own, while the program goes on (its changes wait for the fresh
    // file); last the fresh file takes the store's place.
    struct RewriteJob
    {
        Rewrite why = Rewrite::None;
        quint64 generation = 0;
        int lost = 0;
        // The changes the copy carries.
        quint64 ticket = 0;
        std::future<Written> writing;
    };

    // Writes the whole context to a fresh file that then takes the store's place, setting
    // aside what is there now (a damaged file, or one that took the store's place); the path
    // that went to (empty when nothing, or an empty file, was there), or none with the reason.
    // Nothing is set aside or left half-written when it fails, and pending changes stay pending.
    // Goes on with a rewrite under way, and waits for it.
    std::optional<QString> writeAnewFromMemory(QString *error);
    // Reads a slice of what the file still holds for the rewrite under way, then starts
    // writing once everything is read.
    void continueRewrite(quint64 generation);
    // Closes the store and writes a copy of the graph beside it on a thread of its own.
    bool startWriting(QString *error);
    // The thread of the rewrite under way finished.
    void rewriteWritten(quint64 generation);
    // The fresh file is in place (or not): the store opens on it.
    std::optional<QString> finishRewrite(const Written &written, QString *error);
    // Tells the owner of a store written anew; the reason when it could not be, after which
    // every save tries again.
    std::optional<QString> concludeRewrite(Rewrite why, const std::optional<QString> &aside,
                                           const QString &error);
    // Writes every record of the copy into a new store file at path.
    static bool writeSnapshot(const QString &path, const ChangeSet &everything, QString *error,
                              const std::function<void(WriteStep)> &hook);
    // On the rewrite's thread: writes the copy beside the store and puts it in its place.
    static Written writeFresh(const QString &storePath, const ChangeSet &everything,
                              const std::function<void(WriteStep)> &hook);
    // Puts the whole fresh file at the store's path, keeping what was there aside: the store's
    // path holds one or the other at every moment.
    static bool putInPlace(const QString &storePath, const QString &fresh, QString *setAsidePath,
                           QString *error, const std::function<void(WriteStep)> &hook);
    // Where a fresh file waits for the store's place, and where it is written until whole.
    static QString freshPath(const QString &storePath);
    static QString partialPath(const QString &storePath);
    // A whole fresh file left by a crash takes the store's place; false when there is none.
    bool finishCutShortRewrite(const QString &path, OpenResult *result);
    // Writes the store anew now and tells the owner; the error when that failed, after which
    // every save tries again.
    std::optional<QString> recover(Rewrite why);
    // The same in the background: the owner hears of a failure through saveFailed.
    void recoverAndReport(Rewrite why);
    // For a save with nothing to write: the file is written anew when it left its path.
    std::optional<QString> writeAnewIfMoved();
    void finishSave(quint64 ticket, const StoreWriter::Outcome &outcome);
    // Applies the outcomes of asynchronous saves that the writer reported.
    void deliverOutcomes();
    std::optional<QByteArray> readDescription(qint64 appId, ObjectContext::ReadFailure *failure);
    std::optional<std::vector<ScreenshotRow>> readScreenshots(qint64 appId,
                                                              ObjectContext::ReadFailure *failure);
    // A read on the UI thread failed: repairs the file later when SQLite found it damaged,
    // or when it left its path or was emptied.
    ObjectContext::ReadFailure readFailed(const char *what);

    QString m_path;
    std::unique_ptr<ObjectContext> m_context;
    std::unique_ptr<Database> m_reader;
    std::unique_ptr<Statement> m_descriptionQuery;
    std::unique_ptr<Statement> m_screenshotQuery;
    std::unique_ptr<StoreWriter> m_writer;
    StoreLock m_lock;
    std::unique_ptr<RewriteJob> m_rewrite;
    quint64 m_rewriteGeneration = 0;
    // Counts the connections opened, so that a repair asked for on older ones is let go.
    quint64 m_connections = 0;
    bool m_recoveryQueued = false;
    Rewrite m_rewriteDue = Rewrite::None;

    // While a background open runs, its worker owns everything above.
    std::future<OpenResult> m_opening;
    std::atomic<bool> m_cancelOpening = false;
    std::mutex m_permissionMutex;
    std::condition_variable m_permissionChanged;
    bool m_fileChangesAllowed = true;
    OpenResult m_openResult;
    std::vector<std::function<void(const OpenResult &)>> m_openedHandlers;

    // The check of the whole file: due once a store is opened.
    bool m_checkDue = false;
    quint64 m_checkGeneration = 0;
    std::unique_ptr<StoreCheck> m_check;
    QTimer m_checkTimer;
    int m_checkDelayMs = kCheckDelayMs;
    int m_checkRetryMs = kCheckRetryMs;

    // Quitting: no check, and every wait for another process's lock ends by then.
    std::atomic<bool> m_quitting = false;
    std::atomic<std::chrono::steady_clock::rep> m_lockWaitsEndBy = 0;
    // The file keepUnsavedChanges wrote last, and the context's edit count then.
    QString m_keptPath;
    quint64 m_keptAtEdit = 0;

    // Reads that fail may fail by the thousand.
    ThrottledLog m_log;

    struct Outcome
    {
        quint64 ticket = 0;
        StoreWriter::Outcome outcome;
    };
    std::mutex m_outcomesMutex;
    std::vector<Outcome> m_outcomes;
};

} // namespace tanvill

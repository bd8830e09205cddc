#pragma once

// The object store: opens (or creates) the SQLite file, loads the graph into an
// ObjectContext (on a worker thread while the application starts, if asked), and saves the
// context's changes through a writer thread with its own connection, one transaction per save. A
// file that cannot be opened or is not a store of ours is renamed aside (never deleted) and a fresh
// store takes its place. A file that opens but that SQLite finds damaged, at opening or on any
// later save, is repaired from memory: everything the context holds goes into a fresh file and the
// damaged one is set aside. So is a store file removed or replaced while the program runs, as its
// next save finds. Descriptions and screenshots stay in the file until an application's are first
// read, which keeps opening quick and memory low for large stores. The store's folder is locked for
// as long as a store is open, so that two processes never write one store. ListsController owns the
// one instance of the application.

#include "core/ObjectContext.h"
#include "core/StoreWriter.h"

#include <QLockFile>
#include <QObject>
#include <QString>

#include <atomic>
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
        InUse, // another process has the store open: nothing is read or saved
        Newer, // a later version wrote the store: it is left untouched, nothing read or saved
        Failed, // no store: nothing can be saved
    };
    struct OpenResult
    {
        OpenOutcome outcome = OpenOutcome::Failed;
        // Where the unreadable or damaged file went (ReplacedUnreadable, Repaired).
        QString setAsidePath;
        // Why the old file was set aside, or why no store could be opened.
        QString error;
    };

    // How long a store opened in the background waits for another process to let it go: a
    // later launch that only hands its link to the running one holds it for a moment.
    static constexpr int kBackgroundLockWaitMs = 1000;

    explicit ObjectStore(QObject *parent = nullptr);
    ~ObjectStore() override;

    // Opens the store and loads it before returning; a damaged file is repaired first.
    OpenResult open(const QString &path);
    // Opens and loads the store on a worker thread and returns at once. The first call that
    // needs the store (any but path()) waits for the worker and then takes the loaded graph
    // over on its own thread, the UI thread, in one step: nothing is touched by two threads at
    // once. The check of the whole file runs a moment later; a damaged file it finds is written
    // anew from memory, as when damage shows while running (storeRepaired).
    void openInBackground(const QString &path, int lockWaitMs = kBackgroundLockWaitMs);
    // How opening went.
    const OpenResult &openResult();
    // Runs the handler on the UI thread once the store is taken over; at once when it was.
    void whenOpened(std::function<void(const OpenResult &result)> handler);

    bool isOpen();
    QString path() const { return m_path; }

    ObjectContext &context();

    // Writes the pending changes in one transaction; nothing when nothing changed. async
    // returns at once and reports a failure through saveFailed later; otherwise the call
    // returns after the commit (and every earlier one) with the error, if any. Failed
    // changes stay pending.
    std::optional<QString> save(bool async);

    // Called on the UI thread with the outcome of every save that wrote something.
    std::function<void(const QString &error)> saveFailed;
    std::function<void()> saveSucceeded;
    // Called on the UI thread when a store found damaged while running was written anew;
    // the damaged file was set aside at the given path.
    std::function<void(const QString &setAsidePath)> storeRepaired;
    // Called on the UI thread when the store file was found removed or replaced and written
    // anew from memory; a file that had taken its place was set aside at the given path (none
    // when the file was removed).
    std::function<void(const QString &setAsidePath)> storeReplaced;

    // The file next to the store that marks it in use.
    static QString lockPath(const QString &storePath);

private:
    // The worker's part of opening.
    OpenResult openNow(const QString &path, int lockWaitMs);
    // Waits for a background open and takes its outcome over; with `waitForCheck` also for
    // the check of the whole file, so that a damaged file is repaired first.
    void takeOver(bool waitForCheck = false);
    // Starts the check of the whole file on a connection and a thread of its own.
    void startCheck(const QString &path);
    void checkFinished();
    // Repairs a file the check found damaged; `atOpening` while the outcome can still say so.
    void applyCheck(std::optional<bool> passed, bool atOpening);
    void stopCheck();
    bool lock(const QString &path, OpenResult *result);
    // Clears the way for the lock file when something else stands at its path.
    bool clearLockPath(const QString &lockFile, QString *error);
    // With `check`, also starts the check of every page of the file.
    bool tryOpen(const QString &path, QString *error, int *code, bool check = false);
    // Opens the connections and the writer on a migrated store, without loading records.
    bool openConnections(const QString &path, QString *error);
    void closeStore();
    QString setAside(const QString &path);
    // Writes the whole context to a fresh file at the store's path, setting aside what is
    // there now (a damaged file, or one that took the store's place); the path that went to
    // (empty when nothing was there), or none (with the changes pending again) on failure.
    std::optional<QString> writeAnewFromMemory();
    // After the writer found the file damaged (or moved from its path): writes it anew and
    // tells the owner; the error when that failed.
    std::optional<QString> recover(bool moved);
    void recoverAndReport(bool moved);
    // For a save with nothing to write: the file is written anew when it left its path.
    std::optional<QString> writeAnewIfMoved();
    void finishSave(quint64 ticket, const StoreWriter::Outcome &outcome);
    // Applies the outcomes of asynchronous saves that the writer reported.
    void deliverOutcomes();
    std::optional<QByteArray> readDescription(qint64 appId);
    std::optional<std::vector<ScreenshotRow>> readScreenshots(qint64 appId);
    // A read on the UI thread failed: repairs the file later when SQLite found it damaged.
    void readFailed(const char *what);

    QString m_path;
    std::unique_ptr<ObjectContext> m_context;
    std::unique_ptr<Database> m_reader;
    std::unique_ptr<Statement> m_descriptionQuery;
    std::unique_ptr<Statement> m_screenshotQuery;
    std::unique_ptr<StoreWriter> m_writer;
    std::unique_ptr<QLockFile> m_lock;
    bool m_repairing = false;

    // While a background open runs, its worker owns everything above.
    std::future<OpenResult> m_opening;
    std::atomic<bool> m_cancelOpening = false;
    OpenResult m_openResult;
    std::vector<std::function<void(const OpenResult &)>> m_openedHandlers;
    // The check of the whole file: due once a store is opened; true when sound, none when it
    // could not run.
    bool m_checkDue = false;
    quint64 m_checkGeneration = 0;
    struct Check;
    std::shared_ptr<Check> m_check;
    std::future<std::optional<bool>> m_checkResult;

    struct Outcome
    {
        quint64 ticket = 0;
        StoreWriter::Outcome outcome;
    };
    std::mutex m_outcomesMutex;
    std::vector<Outcome> m_outcomes;
};

} // namespace tanvill

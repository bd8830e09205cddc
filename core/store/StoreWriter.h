#pragma once

// The writer thread of the object store: its own SQLite connection and a FIFO of change
// sets, each committed in one transaction. ObjectStore hands it the change set of every
// save; a synchronous save waits for its own commit (and so for every earlier one). A commit
// waits a while for another process that holds the file, unless told not to; a look whether
// the file moved never waits: a file somebody holds is there.

#include "core/ChangeSet.h"
#include "core/store/LockWaitLimit.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tanvill {

class Database;

class StoreWriter
{
public:
    struct Outcome
    {
        bool committed = false;
        // Empty on success.
        QString error;
        // SQLite found the file damaged.
        bool damaged = false;
        // The store's path no longer leads to the file this writer has open: it was removed
        // or another file took its place; or the file was emptied where it is. Nothing written
        // to it would last.
        bool moved = false;
        // Another process held the file for longer than the commit waited.
        bool busy = false;
    };
    // Runs on the writer thread with the outcome.
    using Completion = std::function<void(const Outcome &outcome)>;

    // Its waits for another process's lock end by the limit's end as well, when one is given.
    explicit StoreWriter(const LockWaitLimit *lockWaits = nullptr);
    // Commits what is queued, then stops the thread.
    ~StoreWriter();
    StoreWriter(const StoreWriter &) = delete;
    StoreWriter &operator=(const StoreWriter &) = delete;

    // Opens the writer's connection to an existing, migrated store and starts the thread.
    bool start(const QString &path, QString *error);

    // Whether a commit waits for another process to let go of the file.
    enum class LockWait { Limited, None };

    // An empty change set writes nothing but still finds out whether the file has moved.
    void submit(ChangeSet changes, Completion completion, LockWait wait = LockWait::Limited);
    Outcome submitAndWait(ChangeSet changes, LockWait wait = LockWait::Limited);

    // How long one commit waits for another process to let go of the file.
    static constexpr int kLockWaitMs = 5000;
    // True while a commit holds the file's lock: a reader of this process that meets the lock
    // waits for this writer, not for another process.
    bool isCommitting() const { return m_committing.load(); }

private:
    struct Job
    {
        ChangeSet changes;
        Completion completion;
        LockWait wait = LockWait::Limited;
    };
    struct Statements;

    void run();
    Outcome commit(const ChangeSet &changes);
    bool fileHasMoved() const;
    bool fileWasEmptied() const;
    // SQLite's busy handler: whether to wait a little more for another process's lock.
    static int waitForLock(void *writer, int attempts);

    std::unique_ptr<Database> m_database;
    std::unique_ptr<Statements> m_statements;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    const LockWaitLimit *m_lockWaits;
    // Written by the writer thread only, as it commits and while it waits.
    LockWaitLimit::Clock::time_point m_lockWaitStart;
    bool m_waitsForLock = true;
    std::atomic<bool> m_committing = false;
};

} // namespace tanvill

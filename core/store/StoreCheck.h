#pragma once

// The check of every page of a store file (SQLite's quick check), on a connection and a thread
// of its own, so that a large store is checked while it is in use. Only SQLite's verdict that
// the file is damaged counts as damage: a check that could not run (the file locked by another
// process, an I/O error, too little memory, stopped) says nothing about the file. Stopping
// takes effect at once, also before the check's first statement and while it waits for a lock.

#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace tanvill {

class Database;

class StoreCheck
{
public:
    enum class Verdict { Sound, Damaged, NotRun };

    // How long the check waits for another process's lock before it gives up for now.
    static constexpr int kLockWaitMs = 2000;

    // Checks the file at path on a thread of its own and calls `finished` there with the
    // verdict, unless the check was stopped first.
    StoreCheck(const QString &path, std::function<void(Verdict)> finished);
    // Stops the check and waits for its thread.
    ~StoreCheck();
    StoreCheck(const StoreCheck &) = delete;
    StoreCheck &operator=(const StoreCheck &) = delete;

    // False when no thread could be started: the check did not run and `finished` is not called.
    bool isRunning() const { return m_thread.joinable(); }

    // Checks an open connection on this thread; a set `stop` ends the check as NotRun.
    static Verdict check(Database &database, const std::atomic<bool> *stop = nullptr);
    // Checks the file at path and waits for the verdict. The check runs on a thread of its
    // own all the same: what its connection allocates then stays off this thread's heap, where
    // it would sit among the records loaded after it and keep memory that they free from being
    // given back. Without a thread to be had, it runs here.
    static Verdict checkAndWait(const QString &path);

private:
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

} // namespace tanvill

#pragma once

// The lock that keeps one process at a time on a store: a small file next to it, locked with
// flock(2) for as long as the store is open. The system lets go of the lock when its process
// ends however it ends, so a lock file left by a crash or a power cut (empty, cut short, full
// of noise) never stands in the way: only a live lock counts. The file names its holder's
// process in the first line, as Qt's lock files do, for the message to the user; at most a
// few hundred bytes of it are read.

#include <QString>

namespace tanvill {

class StoreLock
{
public:
    enum class Result {
        Locked, // this object holds the lock
        Held, // another holder has it
        Failed, // the lock file cannot be made or opened
    };

    StoreLock() = default;
    ~StoreLock();
    StoreLock(const StoreLock &) = delete;
    StoreLock &operator=(const StoreLock &) = delete;

    // Takes the lock at path without waiting. With Held, holderPid is the holder's process
    // when the file names it (0 when not); with Failed, error says why.
    Result tryLock(const QString &path, qint64 *holderPid, QString *error);
    // Removes the file and lets go.
    void unlock();

    bool isLocked() const { return m_fd >= 0; }
    // True while the file at the lock's path is the one this object holds: a lock file removed
    // with its folder marks nothing any more.
    bool isInPlace() const;
    QString path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace tanvill

#pragma once

// Exclusive locks that the system lets go of when their holder ends, however it ends: flock(2)
// on a file or a folder, and where a file system has no flock (ENOLCK, EOPNOTSUPP), a lock of
// the open file description (fcntl) over the whole file, which needs the file open for
// writing. Taken without waiting, or by polling for a while.
//
// A lock file is a regular file opened without waiting (a FIFO there would block for ever),
// never through a link, and it counts only while it is the file at its path: a lock taken on
// a file that its holder removed as it let go is no lock, so the path is checked again once
// the lock is held. A stale lock file this user cannot open for writing (left read-only, or by
// another user) makes way for a fresh one, once a read-only look shows nobody holds it; those
// who replace it take turns through a lock of their own beside it, so that a replacement never
// displaces a lock another process has just taken. The store's lock and the lock the launches
// of one session share both stand on this.

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <functional>

namespace tanvill {

// Which locks the file system offers: all of the system's, or, as tests make it, none but the
// fcntl ones (flock fails with EOPNOTSUPP) or none at all (every lock fails with ENOLCK).
enum class LockSupport { System, NoFlock, NoLocks };

// The system's text for an errno value.
QString describeError(int error);
// True when the open file or folder fd is what stands at name (a link there is not followed).
bool sameFile(int fd, const QByteArray &name);
// Clears name of what stands there, in a folder of the program's own: nothing of a file, a
// link, a FIFO or a socket is kept; a folder with something in it is moved aside. False when
// something is still there.
bool makeWay(const QByteArray &name);

class FileLock
{
public:
    enum class Result {
        Locked, // this object holds the lock
        Held, // another holder has it
        Failed, // no lock can be had there: error says why
    };

    explicit FileLock(LockSupport support = LockSupport::System) : m_support(support) { }
    // Lets go without removing the file: a process waiting on it would otherwise lock a file
    // nobody else sees.
    ~FileLock() { unlock(); }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Locks the regular file at path, made with `mode` when missing. With clearOthers, whatever
    // else stands at the path (a link, a FIFO, a socket, a folder) makes way: a folder with
    // something in it is moved aside, anything else removed.
    Result tryLock(const QString &path, mode_t mode, bool clearOthers, QString *error);
    // The same, trying again until it is had or timeoutMs have passed.
    Result lock(const QString &path, mode_t mode, bool clearOthers, int timeoutMs, QString *error);

    bool isLocked() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    QString path() const { return m_path; }
    // True while what this object holds is still at its path.
    bool isInPlace() const;
    // Lets go; with removeFile the file goes first, while still held, so that nobody takes a
    // lock on a file about to go.
    void unlock(bool removeFile = false);

    // For tests: called as a stale lock file is replaced, before this object takes its turn
    // and while it holds it, so that another process's replacement can be made to meet it.
    std::function<void(bool holdingTurn)> whileReplacing;

    // Locks the open file or folder fd; the errno of a failure in *error. The store's lock
    // locks its folder this way. Where only fcntl locks are had, they cover the file from byte
    // `from` on: a file SQLite writes is locked past the bytes SQLite locks.
    static Result lockDescriptor(int fd, LockSupport support, int *error, off_t from = 0);

private:
    // Replaces a lock file this user cannot open for writing when nobody holds it. Locked:
    // this object holds the fresh file at the path; Failed with *retry: the path changed
    // meanwhile, and the caller looks again.
    Result replaceUnwritable(const QByteArray &name, mode_t mode, bool *retry, QString *error);
    Result lockOpened(int fd, const QByteArray &name, bool *retry, QString *error);

    LockSupport m_support;
    QString m_path;
    int m_fd = -1;
};

} // namespace tanvill

#pragma once

// The lock that keeps one process at a time on a store, held for as long as the store is open.
// The store's folder is locked: nothing can delete that from under a running program while the
// store is in it, and every file put at the store's path goes in through the folder held. A
// small file next to the store is locked as well, for older versions, which lock only that
// file, and to name its holder's process in the first line, as Qt's lock files do, for the
// message to the user; at most a few hundred bytes of it are read. Its fourth line records the
// identity of the store it keeps, and the file stays when its holder lets go, so that the next
// keeper knows whose an unfinished rewrite is when no readable store stands at the path. The
// system lets go of both locks when their process ends however it ends, so a lock file left by
// a crash or a power cut (empty, cut short, full of noise, one this user may not write) never
// stands in the way: only a live lock counts. Where the file system cannot lock folders, the
// file's lock alone keeps the store. ObjectStore and StoreRewrite hold it.

#include "platform/FileLock.h"

#include <QString>

namespace tanvill {

class StoreLock
{
public:
    enum class Result {
        Locked, // this object holds the lock
        Held, // another holder has it
        Failed, // the lock cannot be taken: error says why
    };

    explicit StoreLock(LockSupport support = LockSupport::System)
        : m_support(support), m_file(support)
    { }
    ~StoreLock();
    StoreLock(const StoreLock &) = delete;
    StoreLock &operator=(const StoreLock &) = delete;

    // Takes the lock for the lock file at path without waiting. With Held, holderPid is the
    // holder's process when the file names a running copy of this program (0 when it names
    // none, a process that has ended or one of another program); with Failed, error is a sentence
    // for the user. Called again while it holds the folder at the path (its lock file went),
    // it keeps the folder and takes the file anew; when the folder it holds left the path, it
    // lets go of that one and locks the folder now there.
    Result tryLock(const QString &path, qint64 *holderPid, QString *error);
    // Lets go; the file stays.
    void unlock();

    // The identity of the store kept, as the lock file records it: the one its last holder
    // recorded, until this one records its own. 0 when none is known.
    quint32 recordedIdentity() const { return m_identity; }
    // Records the identity in the lock file held; 0 records nothing.
    void recordIdentity(quint32 identity);

    bool isLocked() const { return m_file.isLocked(); }
    // True while the file at the lock's path is the one this object holds, in the folder it
    // holds: a lock file removed, or removed with its folder, marks nothing any more.
    bool isInPlace() const;
    QString path() const { return m_path; }
    // The folder held, wherever it is now (-1 when none is).
    int folderDescriptor() const { return m_folderFd; }
    LockSupport support() const { return m_support; }

private:
    bool folderInPlace() const;
    // Writes the holder's process, application and host, and the identity, into the file.
    bool writeRecord();

    LockSupport m_support;
    QString m_path;
    FileLock m_file;
    int m_folderFd = -1;
    quint32 m_identity = 0;
};

} // namespace tanvill

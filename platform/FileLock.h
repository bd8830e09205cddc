#pragma once

// Exclusive locks that the system lets go of when their holder ends, however it ends: flock(2)
// on a file or a folder, and where a file system has no flock (ENOLCK, EOPNOTSUPP), a lock of
// the open file description (fcntl) over the whole file, which needs the file open for
// writing. Taken without waiting. The store's lock and the lock the launches of one session
// share take theirs through here.

namespace tanvill::FileLock {

enum class Result {
    Locked, // the descriptor holds the lock
    Held, // another holder has it
    Failed, // the file system lets nobody lock it: *error says why
};

// Locks the open file or folder fd.
Result lockExclusive(int fd, int *error);

// For tests: as on a file system without flock (flock fails with EOPNOTSUPP), or with no locks
// at all (every lock fails with ENOLCK).
enum class Support { System, NoFlock, NoLocks };
void setSupportForTests(Support support);

} // namespace tanvill::FileLock

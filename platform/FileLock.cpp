#include "platform/FileLock.h"

#include <atomic>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace tanvill::FileLock {

namespace {

std::atomic<Support> g_support = Support::System;

// What flock(2) says: 0, or its errno.
int tryFlock(int fd)
{
    switch (g_support.load()) {
    case Support::System:
        break;
    case Support::NoFlock:
        return EOPNOTSUPP;
    case Support::NoLocks:
        return ENOLCK;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

int tryDescriptionLock(int fd)
{
    if (g_support.load() == Support::NoLocks)
        return ENOLCK;
    struct flock whole
    {
    };
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    int result;
    do {
        result = ::fcntl(fd, F_OFD_SETLK, &whole);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

} // namespace

Result lockExclusive(int fd, int *error)
{
    const int flockError = tryFlock(fd);
    if (flockError == 0)
        return Result::Locked;
    if (flockError == EWOULDBLOCK)
        return Result::Held;
    *error = flockError;
    // Network file systems may have record locks but no flock, or flock only on files open
    // for writing (EBADF).
    if (flockError != ENOLCK && flockError != EOPNOTSUPP && flockError != EINVAL
        && flockError != EBADF)
        return Result::Failed;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
        return Result::Failed;
    const int recordError = tryDescriptionLock(fd);
    if (recordError == 0)
        return Result::Locked;
    if (recordError == EAGAIN || recordError == EACCES)
        return Result::Held;
    *error = recordError;
    return Result::Failed;
}

void setSupportForTests(Support support)
{
    g_support = support;
}

} // namespace tanvill::FileLock

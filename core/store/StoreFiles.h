#pragma once

// The files beside the store and the steps that move them, shared by opening and by writing
// the store anew. Every file Tanvill moves out of the store's way is kept under a name that says
// why ("Tanvill.damaged-<time>.sqlite"), never deleted; a file is only given a name once it is
// whole, and is written until then under a name of its own, locked by its writer. Every rename,
// link and removal goes through a folder descriptor: in the store's folder, the one its lock
// holds, wherever that folder is now. SQLite alone makes and removes its journals by the path it
// was given: the writer finds a file that left its path before it commits (StoreWriter).

#include "platform/FileLock.h"

#include <QString>

#include <functional>
#include <memory>

namespace tanvill::StoreFiles {

// Why a file went out of the store's way; it names the file it went to.
enum class Reason {
    Unreadable, // not a store Tanvill can read
    Damaged, // SQLite found it damaged
    Replaced, // another file had taken the store's place while Tanvill ran
    Superseded, // the store before a rewrite that a crash kept from its place took it
    Leftover, // a file at a name the rewrite uses that it had not written
    OtherFilesJournal, // the journal of an unfinished write of a file no longer at the path
};

// Where a store written anew waits, whole, for the store's place.
QString freshPath(const QString &storePath);
// What the half-written files of the changes kept at quitting are named for.
inline constexpr char kKeptStem[] = "Tanvill.unsaved.sqlite";

// A file being written under a name of its own, "<stem>.<process>-<random>.partial", locked
// (FileLock) for as long as it is written, so that nobody removes it while its writer runs.
// Removed with its journal when it goes without having been given its name.
class PartialFile
{
public:
    // Makes one in the folder fd holds (folderPath); none, with the reason, when it cannot.
    static std::unique_ptr<PartialFile> create(int folderFd, const QString &folderPath,
                                               const QString &stem, LockSupport support,
                                               QString *error);
    ~PartialFile();
    PartialFile(const PartialFile &) = delete;
    PartialFile &operator=(const PartialFile &) = delete;

    QString path() const { return m_path; }
    // Writes `bytes` at its start and syncs them to the disk; false, with the reason, when that
    // failed.
    bool write(const QByteArray &bytes, QString *error);
    // It was given its name, and stays.
    void named() { m_named = true; }

private:
    PartialFile(int folderFd, QByteArray name, QString path, int fd);

    int m_folderFd;
    QByteArray m_name;
    QString m_path;
    int m_fd;
    bool m_named = false;
};

// Half-written files that stopped copies left beside the store (its own and kept changes') and
// in the other folders where changes are kept: nobody finishes them, and they may be large.
// Those a running copy writes, which hold their lock, stay; so do those no lock can be had on.
// storeFolderFd holds the store's folder.
bool hasPartials(int storeFolderFd, const QString &storePath, const QStringList &keptFolders);
void removeAbandonedPartials(int storeFolderFd, const QString &storePath,
                             const QStringList &keptFolders, LockSupport support);
// Removes the half-written file `name` in the folder fd holds (folderPath) when its writer is
// gone: it is a regular file nobody holds the lock of.
void removeIfAbandoned(int folderFd, const QString &folderPath, const QByteArray &name,
                       LockSupport support);

// Moves the file at path, and its journal, in the folder fd holds, to a free name beside it
// that says why; the new path, or none when it could not be moved.
QString setAside(int folderFd, const QString &path, Reason why);
// Moves the store's rollback journal alone, in the folder fd holds, to a free name beside it
// that says why ("<stem>.sqlite-journal", the journal of a file of that stem); the new path, or
// none when it could not be moved.
QString setAsideJournal(int folderFd, const QString &storePath, Reason why);
// A file at the store's path that is also under a set-aside name (a kill came between the two
// steps of putting a file in place): that name; none otherwise.
QString setAsideNameOf(const QString &storePath);
// The stem of a set-aside name: "<folder>/Tanvill.<why>-<time>".
QString asideStem(const QString &path, Reason why);

// Removes a file SQLite wrote in the folder fd holds, and its journal.
void removeStoreFile(int folderFd, const QString &path);
// A renamed file is there for good only once its folder is written: 0, or the errno the sync
// failed with.
int syncFolder(int folderFd);

// Renames `from` to `to` in the folder fd holds unless something is at `to` already; 0, or the
// errno (EEXIST when something is).
int renameWithoutReplacing(int folderFd, const QString &from, const QString &to);
// The same by names in the folder, as its bytes.
int renameWithoutReplacing(int folderFd, const QByteArray &from, const QByteArray &to);

// Gives the whole file at `from` the first free name `stem`.sqlite, `stem`-1.sqlite, ..., in
// the folder fd holds, never replacing a file; its new path, or none.
QString giveFreeName(int folderFd, const QString &from, const QString &stem);

// The steps of putting a file in place, for tests that stop the program between them.
enum class Step {
    Writing, // begun under a name of its own, not whole yet
    Whole, // whole, under the name that says so (the store's only)
    OldKept, // the file at the store's path is also under its set-aside name (store's only)
};
using StepHook = std::function<void(Step step)>;

// Puts the whole file `fresh` at the store's path in the folder `folderFd` holds, keeping what
// was there aside for the given reason (into *setAsidePath; empty when nothing, or an empty
// file, was there): the store's path holds one or the other at every moment. False, with the
// reason, when it could not; nothing is moved then.
bool putInPlace(int folderFd, const QString &storePath, const QString &fresh, Reason why,
                QString *setAsidePath, QString *error, const StepHook &hook);

} // namespace tanvill::StoreFiles

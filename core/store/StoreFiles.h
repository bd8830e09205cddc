#pragma once

// The files beside the store and the steps that move them, shared by opening and by writing
// the store anew. Every file Tanvill moves out of the store's way is kept under a name that says
// why ("Tanvill.damaged-<time>.sqlite"), never deleted; a file is only given a name once it is
// whole, and a step that puts a file at the store's path goes through the store's folder as its
// lock holds it, wherever that folder is now.

#include <QString>

#include <functional>

namespace tanvill::StoreFiles {

// Why a file went out of the store's way; it names the file it went to.
enum class Reason {
    Unreadable, // not a store Tanvill can read
    Damaged, // SQLite found it damaged
    Replaced, // another file had taken the store's place while Tanvill ran
    Superseded, // the store before a rewrite that a crash kept from its place took it
    Leftover, // a file at a name the rewrite uses that it had not written
};

// Where a store written anew is written until whole, and where it waits for the store's place.
QString partialPath(const QString &storePath);
QString freshPath(const QString &storePath);
// Where the changes kept at quitting are written in `folder` until whole.
QString keptPartialPath(const QString &folder);

// Moves the file at path, and its journal, to a free name beside it that says why; the new
// path, or none when it could not be moved.
QString setAside(const QString &path, Reason why);
// A file at the store's path that is also under a set-aside name (a kill came between the two
// steps of putting a file in place): that name; none otherwise.
QString setAsideNameOf(const QString &storePath);
// The stem of a set-aside name: "<folder>/Tanvill.<why>-<time>".
QString asideStem(const QString &path, Reason why);

// Removes a file SQLite wrote, and its journal.
void removeStoreFile(const QString &path);
// Half-written files that a crash left beside the store, or where changes are kept: nobody
// finishes them, and they may be large.
void removeStalePartials(const QString &storePath, const QStringList &keptFolders);
// A renamed file is there for good only once its folder is written.
void syncFolder(int folderFd);
void syncFolder(const QString &folder);

// Renames `from` to `to` in the folder fd holds unless something is at `to` already; 0, or the
// errno (EEXIST when something is).
int renameWithoutReplacing(int folderFd, const QString &from, const QString &to);

// Gives the whole file at `from` the first free name `stem`.sqlite, `stem`-1.sqlite, ...,
// never replacing a file; its new path, or none.
QString giveFreeName(const QString &from, const QString &stem);

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

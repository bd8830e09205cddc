#pragma once

// The rollback journal beside the store, as opening finds it. A program stopped while it wrote
// the store leaves its journal, which SQLite rolls back into whatever file stands at the store's
// path when that is next read: a journal names no file. When another file took the store's place
// meanwhile (a file of kept changes put there, as the alert about it says to), the rollback would
// write the pages of the file that was there into it. Opening therefore looks at a hot journal
// (one no live writer holds) before anything reads the store: the image it keeps of the first
// page of the file it was written for must be that of the file at the path before one
// transaction, with the same identity and a change counter this file's equals or is one past.
// A journal that holds no such image belongs to the file at the path when that is the store the
// store's lock recorded last. One of another file is moved aside, never removed. ObjectStore's
// opening asks it, with the store's lock held and through SQLite's own locks on the file, so that
// no program rolls the journal back meanwhile.

#include <QString>

namespace tanvill::StoreJournal {

// What stands beside the store at storePath.
enum class Finding {
    None, // no journal a reader would roll back (none, empty, or of no form SQLite reads)
    Live, // a program writes the store now, or holds it so that nothing can be told
    Own, // a hot journal of the file at the path: SQLite rolls it back
    OtherFiles, // a hot journal written for another file
};

// `recordedIdentity` is the store's identity the store's lock recorded (0 for none).
Finding inspect(const QString &storePath, quint32 recordedIdentity);

// Moves a hot journal of another file aside, in the folder folderFd holds, after looking again
// with SQLite's lock on the store held; the path it went to, or none when nothing was moved
// (with the reason in *error when something should have been).
QString setAsideOtherFilesJournal(int folderFd, const QString &storePath, quint32 recordedIdentity,
                                  QString *error);

} // namespace tanvill::StoreJournal

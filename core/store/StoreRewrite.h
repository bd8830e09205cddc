#pragma once

// Writing the store anew from memory: after damage, after its file left its path or was
// emptied, and, into a file of its own, for changes that cannot reach the store when the
// program ends. What the file still holds is read into the context first, a slice at a time on
// the UI thread; then the whole graph is copied and written beside the store on a thread of its
// own while the program goes on (its changes wait for the fresh file); last the fresh file
// takes the store's place in one rename, so that the store's path holds a file at every moment.
// Every step that puts a file in place holds the lock of the store's folder now at the store's
// path, and goes through that folder: when another copy of Tanvill holds it (the folder was
// moved while this one ran and the other made a fresh one), nothing is put there, and
// everything is kept in a file of its own instead, as at quitting, and the owner told.
//
// A file is given the name that says it is whole only once it is, and then carries the store's
// identity; after a crash it takes the store's place at the next opening only when it is this
// store's own unfinished rewrite: it carries the identity of the store at the path and is newer
// than it, or, where no readable store stands there (none, or one whose first bytes are
// damaged), the identity the store's lock recorded for it. Anything else at that name is left
// where it is, whatever stands at the path, and the opening tells of it. ObjectStore owns one,
// gives it what it needs of the store (StoreRewrite::Store) and opens on what it puts in place.

#include "core/ChangeSet.h"
#include "core/ObjectContext.h"
#include "core/store/StoreFiles.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <future>
#include <memory>
#include <optional>

namespace tanvill {

class LockWaitLimit;
class StoreLock;

class StoreRewrite
{
public:
    // Why the store must be written anew.
    enum class Why { None, Damaged, Moved };

    // What a rewrite needs of the store it writes anew, and all it reaches of it: the store's
    // file, its context's records and changes, and the owner's ears.
    class Store
    {
    public:
        // A copy of the whole graph, which carries the changes of `ticket` (none when it took
        // none); the context had made `edits` edits then.
        struct Snapshot
        {
            std::shared_ptr<const ChangeSet> everything;
            quint64 ticket = 0;
            quint64 edits = 0;
        };
        // What the owner is told of, each with a path: a save that failed (the reason instead),
        // a store repaired or replaced (where what stood at its path went, empty when nothing
        // did), a folder another copy holds (where everything was kept).
        enum class News { SaveFailed, Repaired, Replaced, Taken };

        // The store's path.
        virtual QString path() const = 0;
        // The identity the store's file carries, and every file written anew from it.
        virtual quint32 identity() const = 0;
        // The lock of the store's folder, which a rewrite takes for the folder now at its path.
        virtual StoreLock &heldFolder() = 0;
        // For tests: run at each step of writing a file beside the store.
        virtual StoreFiles::StepHook stepHook() const = 0;

        // Reads into the context what the file still holds and it has not read yet, until
        // `until` (ObjectContext::readAllContent).
        virtual ObjectContext::UnreadContent readAllContent(const QDeadlineTimer &until,
                                                            bool *complete)
            = 0;
        // True while the context holds changes no save took yet.
        virtual bool hasChanges() const = 0;
        // How many edits the context has made.
        virtual quint64 editCount() const = 0;
        // Copies the whole graph; with `takeChanges`, takes every pending change with it.
        virtual Snapshot snapshot(bool takeChanges) = 0;
        // The changes of a snapshot reached a file in the store's place, or are pending again.
        virtual void changesCommitted(quint64 ticket) = 0;
        virtual void changesFailed(quint64 ticket) = 0;

        // Closes the file: the writer commits what is queued, and what it has not reported on
        // is pending again.
        virtual void closeFile() = 0;
        // Opens the file now at the store's path; false, with the reason, when it cannot.
        virtual bool reopenFile(QString *error) = 0;

        // Tells the owner (see News).
        virtual void tell(News news, const QString &detail) = 0;
        // Saves, in the background, the changes made while the store was written anew; with
        // none, those waiting for every change to be committed are told it is.
        virtual void saveChanges() = 0;

    protected:
        ~Store() = default;
    };

    explicit StoreRewrite(Store &store);
    // Waits for a fresh file being written: it is put in its place, and nothing is told.
    ~StoreRewrite();
    StoreRewrite(const StoreRewrite &) = delete;
    StoreRewrite &operator=(const StoreRewrite &) = delete;

    bool isUnderWay() const { return m_job != nullptr; }
    // A rewrite that failed is due until one succeeds: every save tries again.
    Why due() const { return m_due; }
    void setDue(Why why);

    // Writes the store anew now and tells the owner; the error when that failed, after which
    // every save tries again. Goes on with a rewrite under way, and waits for it.
    std::optional<QString> recover(Why why);
    // The same in the background: the owner hears of a failure through saveFailed.
    void recoverInBackground(Why why);
    // Writes anew at opening, where the outcome tells of it: the path the damaged file went
    // to (empty when none), or none with the reason.
    std::optional<QString> writeAnew(QString *error, Why why = Why::Damaged);

    // Writes everything the context holds into a file of its own beside the store, or in the
    // folder above or the home folder; see ObjectStore::keepUnsavedChanges.
    std::optional<QString> keepUnsavedChanges(QString *error);

    // At opening, on the opening thread and with the store's lock held: a whole file that a
    // crash kept from its place takes it when it is this store's own unfinished rewrite, and
    // what stood there is set aside (into *setAsidePath). False when there is none; one that is
    // not the store's own stays where it is, named in *leftover.
    static bool takeUpLeftover(const QString &storePath, const StoreLock &lock,
                               QString *setAsidePath, QString *leftover);

private:
    // Writes every record of `everything` into the new, empty store file at path, marked with
    // the store's identity.
    static bool writeSnapshot(const QString &path, const ChangeSet &everything, quint32 identity,
                              QString *error, const StoreFiles::StepHook &hook);

    // What writing a fresh file gave.
    struct Written
    {
        bool inPlace = false;
        // Where what stood at the store's path went (empty when nothing, or an empty file, did).
        QString setAsidePath;
        // Another copy holds the store's folder: where everything was kept instead.
        QString keptPath;
        QString error;
    };
    struct Job
    {
        Why why = Why::None;
        quint64 generation = 0;
        int lost = 0;
        // The changes the copy carries, and the context's edit count then.
        quint64 ticket = 0;
        quint64 edits = 0;
        std::future<Written> writing;
    };
    // What the writing thread needs, copied from the store.
    struct Target
    {
        QString storePath;
        quint32 identity = 0;
        StoreFiles::Reason why = StoreFiles::Reason::Damaged;
        // A file of changes kept earlier, which changes kept again replace.
        QString keptPath;
        StoreFiles::StepHook hook;
        // The locks the file system offers, as the store's lock takes them.
        LockSupport locks = LockSupport::System;
    };

    // Reads a slice of what the file still holds, then starts writing once everything is read.
    void continueReading(quint64 generation);
    // Closes the store and writes a copy of the graph beside it on a thread of its own.
    void startWriting();
    // The thread of the rewrite under way finished.
    void written(quint64 generation);
    // The fresh file is in place (or not): the store opens on it; the path what was there went
    // to, or none with the reason.
    std::optional<QString> finish(const Written &written, QString *error);
    // Tells the owner of a store written anew; the reason when it could not be.
    std::optional<QString> conclude(Why why, const std::optional<QString> &aside,
                                    const QString &error);

    // On the rewrite's thread: takes the lock of the folder at the store's path, writes the
    // copy beside the store and puts it in place; keeps it elsewhere when another copy holds
    // the folder.
    static Written writeFresh(const Target &target, StoreLock &lock, const ChangeSet &everything);
    // Writes the copy into a file of changes kept in the first folder that takes it.
    static std::optional<QString> keep(const Target &target, const ChangeSet &everything,
                                       QString *error);

    Store &m_store;
    // The context of the calls a rewrite makes to itself on the UI thread: none is left once it
    // is gone.
    QObject m_calls;
    std::unique_ptr<Job> m_job;
    quint64 m_generation = 0;
    Why m_due = Why::None;
    // The file keepUnsavedChanges wrote last, and the context's edit count then.
    QString m_keptPath;
    quint64 m_keptAtEdit = 0;
    // The file everything was kept in while another copy holds the folder, told of once.
    QString m_takenKeptPath;
};

} // namespace tanvill

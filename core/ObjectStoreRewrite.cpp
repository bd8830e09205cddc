// Writing a store anew from memory: after damage, after the file left its path or was emptied,
// and for changes that cannot reach the store when the program ends.
#include "core/ObjectStore.h"

#include "core/Database.h"
#include "core/StoreSchema.h"
#include "core/StoreWriter.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tanvill {

namespace {

void removeStoreFile(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

// A renamed file is only there for good once its folder is written.
void syncFolder(const QString &folder)
{
    const int fd
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool ObjectStore::writeSnapshot(const QString &path, QString *error)
{
    removeStoreFile(path);
    bool written = false;
    {
        Database database;
        if (!database.open(path, true) || !StoreSchema::configure(database, error)
            || !StoreSchema::migrate(database, error)) {
            if (error->isEmpty())
                *error = database.lastError();
        } else {
            StoreWriter writer;
            database.close();
            if (writer.start(path, error)) {
                const StoreWriter::Outcome outcome = writer.submitAndWait(m_context->snapshot());
                written = outcome.committed;
                if (!written)
                    *error = outcome.error;
            }
        }
    }
    if (!written)
        removeStoreFile(path);
    return written;
}

bool ObjectStore::putInPlace(const QString &fresh, QString *setAsidePath, QString *error)
{
    const QFileInfo current(m_path);
    if ((current.exists() || current.isSymLink()) && !(current.isFile() && current.size() == 0)) {
        *setAsidePath = setAside(m_path);
        if (setAsidePath->isEmpty()) {
            *error = tr("The file %1 cannot be moved aside.").arg(QDir::toNativeSeparators(m_path));
            return false;
        }
    } else {
        // An emptied file holds nothing to keep, and a journal next to it would be taken for
        // the fresh file's.
        QFile::remove(m_path + QStringLiteral("-journal"));
    }
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(m_path).constData())
        != 0) {
        *error = tr("The new file cannot take the place of %1 (%2).")
                     .arg(QDir::toNativeSeparators(m_path),
                          QString::fromLocal8Bit(std::strerror(errno)));
        if (!setAsidePath->isEmpty() && QFile::rename(*setAsidePath, m_path)) {
            QFile::rename(*setAsidePath + QStringLiteral("-journal"),
                          m_path + QStringLiteral("-journal"));
            setAsidePath->clear();
        }
        return false;
    }
    syncFolder(QFileInfo(m_path).absolutePath());
    return true;
}

std::optional<QString> ObjectStore::writeAnewFromMemory(QString *error)
{
    if (m_repairing) {
        *error = tr("The store is being written anew already.");
        return std::nullopt;
    }
    m_repairing = true;
    const auto done = qScopeGuard([this] { m_repairing = false; });

    // What the file still holds is read before it goes. What it cannot give just now (another
    // process holds it, memory is short) is never written as empty: the rewrite waits.
    const ObjectContext::UnreadContent unread = m_context->readAllContent();
    if (unread.notNow > 0) {
        *error = tr("The file of your lists cannot be read just now.");
        return std::nullopt;
    }
    if (unread.lost > 0)
        qWarning().noquote() << unread.lost
                             << "descriptions or screenshot lists could no longer be read from the"
                                " file; they are left empty until the store gives them again.";

    // The writer finishes what is queued; those outcomes concern the old file only, so what
    // they carried is pending again and goes into the fresh file.
    closeStore();
    {
        std::lock_guard lock(m_outcomesMutex);
        m_outcomes.clear();
    }
    m_context->requeueChangesInFlight();

    // Written beside the store and put in its place only once whole: a failure (a full disk,
    // a folder that cannot be written) never leaves an empty or partial file where the store
    // belongs, and a later save tries again.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return std::nullopt;
    }
    const QString fresh = m_path + QStringLiteral(".new");
    QString aside;
    if (!writeSnapshot(fresh, error) || !putInPlace(fresh, &aside, error)) {
        removeStoreFile(fresh);
        return std::nullopt;
    }
    m_context->forgetChanges();
    if (!m_lock.isInPlace()) {
        // The lock went with the folder: the fresh store is marked in use again.
        const QString lockFile = lockPath(m_path);
        qint64 holder = 0;
        QString lockError;
        if (m_lock.tryLock(lockFile, &holder, &lockError) != StoreLock::Result::Locked)
            qWarning().noquote() << "The store cannot be locked again:" << lockFile << lockError;
    }
    if (!openConnections(m_path, error)) {
        // The file is whole, but nothing could be written to it from now on: everything is
        // written anew with the next save.
        return std::nullopt;
    }
    qWarning().noquote() << "The store was written anew from memory; the file that was at its"
                            " place is"
                         << (aside.isEmpty() ? QStringLiteral("gone") : aside);
    return aside;
}

std::optional<QString> ObjectStore::recover(Rewrite why)
{
    QString error;
    const std::optional<QString> aside = writeAnewFromMemory(&error);
    if (!aside) {
        // The first reason stays: it says what the user is told about in the end.
        if (m_rewriteDue == Rewrite::None)
            m_rewriteDue = why;
        qWarning().noquote() << "The store could not be written anew:" << error;
        const QString reason = why == Rewrite::Moved
            ? tr("The store file was removed, replaced or emptied.")
            : tr("The store file is damaged.");
        return reason + QLatin1Char(' ') + error;
    }
    const Rewrite told = m_rewriteDue == Rewrite::None ? why : m_rewriteDue;
    m_rewriteDue = Rewrite::None;
    if (const auto &tell = told == Rewrite::Moved ? storeReplaced : storeRepaired)
        tell(*aside);
    return std::nullopt;
}

void ObjectStore::recoverAndReport(Rewrite why)
{
    if (const std::optional<QString> error = recover(why); error && saveFailed)
        saveFailed(*error);
}

std::optional<QString> ObjectStore::keepUnsavedChanges(QString *error)
{
    // Only what was read from the store, or entered for it, is worth keeping; a store in
    // another process's hands or of a later version never had anything of this one's.
    const OpenOutcome outcome = openResult().outcome;
    if ((outcome != OpenOutcome::Opened && outcome != OpenOutcome::Created
         && outcome != OpenOutcome::ReplacedUnreadable && outcome != OpenOutcome::Repaired)
        || !hasUnsavedChanges())
        return std::nullopt;
    // A rescue copy takes what there is to take.
    m_context->readAllContent();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString storeFolder = QFileInfo(m_path).absolutePath();
    const QStringList folders
        = { storeFolder, QFileInfo(storeFolder).absolutePath(), QDir::homePath() };
    for (const QString &folder : folders) {
        if (!QDir().mkpath(folder))
            continue;
        const QString kept
            = folder + QStringLiteral("/Tanvill.unsaved-") + stamp + QStringLiteral(".sqlite");
        if (writeSnapshot(kept, error)) {
            syncFolder(folder);
            qWarning().noquote() << "Everything Tanvill held was kept in" << kept;
            return kept;
        }
    }
    if (error->isEmpty())
        *error = tr("No folder could be written.");
    return std::nullopt;
}

} // namespace tanvill

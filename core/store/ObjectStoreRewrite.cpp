// Writing a store anew from memory: after damage, after the file left its path or was emptied,
// and for changes that cannot reach the store when the program ends.
#include "core/store/ObjectStore.h"

#include "core/store/Database.h"
#include "core/store/StoreSchema.h"
#include "core/store/StoreWriter.h"
#include "platform/QuitSignals.h"
#include "platform/RegularFile.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace tanvill {

namespace {

// How long the UI thread reads for a rewrite at a time before it lets the program go on.
constexpr int kReadSliceMs = 15;

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

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Gives the whole file at `from` the first free name `stem`.sqlite, `stem`-1.sqlite, ...,
// never replacing a file; its new path, or none.
QString giveFreeName(const QString &from, const QString &stem)
{
    const QByteArray source = QFile::encodeName(from);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString to = stem + (attempt == 0 ? QString() : QStringLiteral("-%1").arg(attempt))
            + QStringLiteral(".sqlite");
        const QByteArray target = QFile::encodeName(to);
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return to;
        }
        if (errno == EEXIST)
            continue;
        // A file system without links: a rename, once the name is free.
        if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
            continue;
        return std::rename(source.constData(), target.constData()) == 0 ? to : QString();
    }
    return {};
}

} // namespace

QString ObjectStore::freshPath(const QString &storePath)
{
    return storePath + QStringLiteral(".new");
}

QString ObjectStore::partialPath(const QString &storePath)
{
    return storePath + QStringLiteral(".partial");
}

bool ObjectStore::writeSnapshot(const QString &path, const ChangeSet &everything, QString *error,
                                const std::function<void(WriteStep)> &hook)
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
                if (hook)
                    hook(WriteStep::Writing);
                const StoreWriter::Outcome outcome = writer.submitAndWait(everything);
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

ObjectStore::Written ObjectStore::writeFresh(const QString &storePath, const ChangeSet &everything,
                                             const std::function<void(WriteStep)> &hook)
{
    // Written under a name of its own and renamed once whole: a file under the fresh name is
    // always whole, and may take the store's place after a crash.
    Written written;
    const QString partial = partialPath(storePath);
    const QString fresh = freshPath(storePath);
    if (!writeSnapshot(partial, everything, &written.error, hook))
        return written;
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(fresh).constData())
        != 0) {
        written.error = tr("The new file cannot be put beside %1 (%2).")
                            .arg(QDir::toNativeSeparators(storePath), systemError());
        removeStoreFile(partial);
        return written;
    }
    if (hook)
        hook(WriteStep::Whole);
    if (!putInPlace(storePath, fresh, &written.setAsidePath, &written.error, hook)) {
        removeStoreFile(fresh);
        return written;
    }
    written.whole = true;
    return written;
}

bool ObjectStore::putInPlace(const QString &storePath, const QString &fresh, QString *setAsidePath,
                             QString *error, const std::function<void(WriteStep)> &hook)
{
    const QFileInfo current(storePath);
    const QString journal = storePath + QStringLiteral("-journal");
    bool linked = false;
    if ((current.exists() || current.isSymLink()) && !(current.isFile() && current.size() == 0)) {
        // A link keeps what is there under its set-aside name while it stays at the store's
        // path, until the rename below replaces it there in one step. Where no link can be
        // made (a folder, a file system without links), it is moved aside.
        const QString stamp
            = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const QString stem = current.absolutePath() + QLatin1Char('/') + current.completeBaseName()
            + QStringLiteral(".unreadable-") + stamp;
        for (int attempt = 0; attempt < 100 && !linked; ++attempt) {
            *setAsidePath = stem + (attempt == 0 ? QString() : QStringLiteral("-%1").arg(attempt))
                + QLatin1Char('.') + current.suffix();
            linked = ::link(QFile::encodeName(storePath).constData(),
                            QFile::encodeName(*setAsidePath).constData())
                == 0;
            if (!linked && errno != EEXIST)
                break;
        }
        if (linked) {
            // A rollback journal belongs with its database, and must not be taken for the
            // fresh file's.
            if (QFileInfo::exists(journal))
                QFile::rename(journal, *setAsidePath + QStringLiteral("-journal"));
        } else {
            *setAsidePath = setAside(storePath);
            if (setAsidePath->isEmpty()) {
                *error = tr("The file %1 cannot be moved aside.")
                             .arg(QDir::toNativeSeparators(storePath));
                return false;
            }
        }
    } else {
        // An emptied file holds nothing to keep, and a journal next to it would be taken for
        // the fresh file's.
        setAsidePath->clear();
        QFile::remove(journal);
    }
    if (hook)
        hook(WriteStep::OldKept);
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(storePath).constData())
        != 0) {
        *error = tr("The new file cannot take the place of %1 (%2).")
                     .arg(QDir::toNativeSeparators(storePath), systemError());
        if (linked) {
            QFile::rename(*setAsidePath + QStringLiteral("-journal"), journal);
            QFile::remove(*setAsidePath);
            setAsidePath->clear();
        } else if (!setAsidePath->isEmpty() && QFile::rename(*setAsidePath, storePath)) {
            QFile::rename(*setAsidePath + QStringLiteral("-journal"), journal);
            setAsidePath->clear();
        }
        return false;
    }
    syncFolder(current.absolutePath());
    return true;
}

bool ObjectStore::finishCutShortRewrite(const QString &path, OpenResult *result)
{
    // Only a whole file is ever given the fresh name; one an older version left half-written
    // has a journal beside it, or no lists, and stays where it is until the next rewrite.
    const QString fresh = freshPath(path);
    const QFileInfo info(fresh);
    if (!info.exists() || info.isSymLink() || !isRegularFileOrAbsent(fresh)
        || QFileInfo::exists(fresh + QStringLiteral("-journal")))
        return false;
    {
        Database database;
        if (!database.open(fresh, false)
            || database.queryInteger(QStringLiteral("PRAGMA user_version"))
                != StoreSchema::currentVersion()
            || database.queryInteger(QStringLiteral("SELECT count(*) FROM lists")).value_or(0) == 0
            || !StoreSchema::passesQuickCheck(database))
            return false;
    }
    QString error;
    if (!putInPlace(path, fresh, &result->setAsidePath, &error, {})) {
        qWarning().noquote() << "A store written anew before Tanvill was stopped cannot take its"
                                " place:"
                             << error;
        return false;
    }
    qWarning().noquote() << "A store written anew before Tanvill was stopped took its place; the"
                            " file that was there is"
                         << (result->setAsidePath.isEmpty() ? QStringLiteral("gone")
                                                            : result->setAsidePath);
    return true;
}

std::optional<QString> ObjectStore::writeAnewFromMemory(QString *error)
{
    const QuitSignals::DeadlineHold writing;
    if (!m_rewrite) {
        m_rewrite = std::make_unique<RewriteJob>();
        m_rewrite->generation = ++m_rewriteGeneration;
    }
    if (!m_rewrite->writing.valid()) {
        // What the file still holds is read before it goes. What it cannot give just now
        // (another process holds it, memory is short) is never written as empty: the rewrite
        // waits.
        const ObjectContext::UnreadContent unread = m_context->readAllContent();
        m_rewrite->lost += unread.lost;
        if (unread.notNow > 0) {
            m_rewrite.reset();
            *error = tr("The file of your lists cannot be read just now.");
            return std::nullopt;
        }
        if (!startWriting(error)) {
            m_rewrite.reset();
            return std::nullopt;
        }
    }
    return finishRewrite(m_rewrite->writing.get(), error);
}

void ObjectStore::continueRewrite(quint64 generation)
{
    if (!m_rewrite || m_rewrite->generation != generation || m_rewrite->writing.valid())
        return;
    bool complete = false;
    const ObjectContext::UnreadContent unread
        = m_context->readAllContent(QDeadlineTimer(kReadSliceMs), &complete);
    m_rewrite->lost += unread.lost;
    QString error;
    if (unread.notNow > 0) {
        error = tr("The file of your lists cannot be read just now.");
    } else if (!complete) {
        QMetaObject::invokeMethod(
            this, [this, generation] { continueRewrite(generation); }, Qt::QueuedConnection);
        return;
    } else if (startWriting(&error)) {
        return;
    }
    const Rewrite why = m_rewrite->why;
    m_rewrite.reset();
    if (const std::optional<QString> failure = concludeRewrite(why, std::nullopt, error);
        failure && saveFailed)
        saveFailed(*failure);
}

bool ObjectStore::startWriting(QString *error)
{
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
        return false;
    }
    // The copy carries every change made so far; later ones wait for the fresh file.
    ChangeSet carried;
    m_rewrite->ticket = m_context->takeChanges(carried);
    const auto everything = std::make_shared<const ChangeSet>(m_context->snapshot());
    const quint64 generation = m_rewrite->generation;
    const auto write = [this, generation, everything, path = m_path, hook = writeStepHook] {
        Written written = writeFresh(path, *everything, hook);
        QMetaObject::invokeMethod(
            this, [this, generation] { rewriteWritten(generation); }, Qt::QueuedConnection);
        return written;
    };
    try {
        m_rewrite->writing = std::async(std::launch::async, write);
    } catch (const std::system_error &) {
        // No thread to be had: it is written on this one when its outcome is first asked for.
        m_rewrite->writing = std::async(std::launch::deferred, write);
        QMetaObject::invokeMethod(
            this, [this, generation] { rewriteWritten(generation); }, Qt::QueuedConnection);
    }
    return true;
}

void ObjectStore::rewriteWritten(quint64 generation)
{
    // Finished meanwhile by somebody who waited for it.
    if (!m_rewrite || m_rewrite->generation != generation || !m_rewrite->writing.valid())
        return;
    const Rewrite why = m_rewrite->why;
    QString error;
    const std::optional<QString> aside = finishRewrite(m_rewrite->writing.get(), &error);
    if (const std::optional<QString> failure = concludeRewrite(why, aside, error);
        failure && saveFailed)
        saveFailed(*failure);
    // Changes made while the fresh file was written.
    if (aside && m_context->hasChanges())
        save(true);
}

std::optional<QString> ObjectStore::finishRewrite(const Written &written, QString *error)
{
    const std::unique_ptr<RewriteJob> job = std::move(m_rewrite);
    if (!written.whole) {
        m_context->changesFailed(job->ticket);
        *error = written.error;
        return std::nullopt;
    }
    m_context->changesCommitted(job->ticket);
    if (job->lost > 0)
        qWarning().noquote() << job->lost
                             << "descriptions or screenshot lists could no longer be read from the"
                                " file; they are left empty until the store gives them again.";
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
                         << (written.setAsidePath.isEmpty() ? QStringLiteral("gone")
                                                            : written.setAsidePath);
    return written.setAsidePath;
}

std::optional<QString>
ObjectStore::concludeRewrite(Rewrite why, const std::optional<QString> &aside, const QString &error)
{
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

std::optional<QString> ObjectStore::recover(Rewrite why)
{
    QString error;
    const std::optional<QString> aside = writeAnewFromMemory(&error);
    return concludeRewrite(why, aside, error);
}

void ObjectStore::recoverAndReport(Rewrite why)
{
    // One under way writes everything the context holds.
    if (m_rewrite)
        return;
    m_rewrite = std::make_unique<RewriteJob>();
    m_rewrite->why = why;
    m_rewrite->generation = ++m_rewriteGeneration;
    continueRewrite(m_rewrite->generation);
}

std::optional<QString> ObjectStore::keepUnsavedChanges(QString *error)
{
    const QuitSignals::DeadlineHold writing;
    // Only what was read from the store, or entered for it, is worth keeping; a store in
    // another process's hands or of a later version never had anything of this one's.
    const OpenOutcome outcome = openResult().outcome;
    if ((outcome != OpenOutcome::Opened && outcome != OpenOutcome::Created
         && outcome != OpenOutcome::ReplacedUnreadable && outcome != OpenOutcome::Repaired
         && outcome != OpenOutcome::RewriteFinished)
        || !hasUnsavedChanges())
        return std::nullopt;
    // Asked again at the end of the same quit: the file kept then holds it all.
    if (!m_keptPath.isEmpty() && m_keptAtEdit == m_context->editCount()
        && QFileInfo(m_keptPath).isFile())
        return m_keptPath;
    // A rescue copy takes what there is to take.
    m_context->readAllContent();
    const ChangeSet everything = m_context->snapshot();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString storeFolder = QFileInfo(m_path).absolutePath();
    const QStringList folders
        = { storeFolder, QFileInfo(storeFolder).absolutePath(), QDir::homePath() };
    for (const QString &folder : folders) {
        if (!QDir().mkpath(folder))
            continue;
        // Named only once whole: a quit cut short leaves no file that opens empty.
        const QString partial = folder + QStringLiteral("/Tanvill.unsaved.sqlite.partial");
        if (!writeSnapshot(partial, everything, error, writeStepHook))
            continue;
        const QString kept
            = giveFreeName(partial, folder + QStringLiteral("/Tanvill.unsaved-") + stamp);
        if (kept.isEmpty()) {
            *error = tr("The file %1 cannot be named (%2).")
                         .arg(QDir::toNativeSeparators(partial), systemError());
            removeStoreFile(partial);
            continue;
        }
        syncFolder(folder);
        qWarning().noquote() << "Everything Tanvill held was kept in" << kept;
        m_keptPath = kept;
        m_keptAtEdit = m_context->editCount();
        return kept;
    }
    if (error->isEmpty())
        *error = tr("No folder could be written.");
    return std::nullopt;
}

} // namespace tanvill

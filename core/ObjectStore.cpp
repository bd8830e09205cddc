#include "core/ObjectStore.h"

#include "core/Database.h"
#include "core/StoreSchema.h"
#include "core/StoreWriter.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace tanvill {

namespace {

// Failures that say nothing about the file itself: it stays where it is.
bool isTransient(int code)
{
    return code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_NOMEM
        || code == SQLITE_FULL || code == SQLITE_IOERR || code == SQLITE_INTERRUPT;
}

} // namespace

ObjectStore::ObjectStore(QObject *parent)
    : QObject(parent), m_context(std::make_unique<ObjectContext>())
{ }

ObjectStore::~ObjectStore()
{
    closeStore();
}

void ObjectStore::closeStore()
{
    // The writer commits what is queued before it stops.
    m_writer.reset();
    m_descriptionQuery.reset();
    m_reader.reset();
    m_context->setDescriptionLoader({});
}

ObjectStore::OpenResult ObjectStore::open(const QString &path)
{
    closeStore();
    m_path = path;
    OpenResult result;
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder)) {
        result.error = tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return result;
    }
    if (!QFileInfo(folder).isWritable()) {
        result.error = tr("The folder %1 is read-only.").arg(QDir::toNativeSeparators(folder));
        return result;
    }

    const bool existed = info.exists();
    // A store we may not read or write is still the user's store: moving it aside would
    // hide every list behind a fresh, empty one over a matter of permissions.
    if (existed && info.isFile() && (!info.isReadable() || !info.isWritable())) {
        result.error = tr("The file %1 cannot be read or written with your permissions.")
                           .arg(QDir::toNativeSeparators(path));
        return result;
    }
    int code = 0;
    if (tryOpen(path, &result.error, &code)) {
        result.outcome = existed ? OpenOutcome::Opened : OpenOutcome::Created;
        result.error.clear();
        return result;
    }
    if (!existed || isTransient(code))
        return result;

    qWarning().noquote() << "The store" << path << "cannot be read:" << result.error;
    result.setAsidePath = setAside(path);
    if (result.setAsidePath.isEmpty()) {
        result.error = tr("The unreadable file %1 cannot be moved aside.")
                           .arg(QDir::toNativeSeparators(path));
        return result;
    }
    QString freshError;
    if (!tryOpen(path, &freshError, &code)) {
        result.error = freshError;
        return result;
    }
    result.outcome = OpenOutcome::ReplacedUnreadable;
    return result;
}

bool ObjectStore::tryOpen(const QString &path, QString *error, int *code)
{
    m_reader = std::make_unique<Database>();
    Database &db = *m_reader;
    auto fail = [&](const QString &reason) {
        *error = reason.isEmpty() ? db.lastError() : reason;
        *code = db.lastErrorCode();
        closeStore();
        m_context = std::make_unique<ObjectContext>();
        return false;
    };
    if (!db.open(path, true))
        return fail({});
    if (sqlite3_db_readonly(db.handle(), "main") == 1) {
        *error = tr("The file is read-only.");
        *code = SQLITE_READONLY;
        closeStore();
        return false;
    }
    QString reason;
    if (!StoreSchema::configure(db, &reason) || !StoreSchema::migrate(db, &reason))
        return fail(reason);
    if (!m_context->load(db, &reason))
        return fail(reason);

    m_descriptionQuery = std::make_unique<Statement>(
        db.prepare(QStringLiteral("SELECT text FROM descriptions WHERE app_id = ?1")));
    if (!m_descriptionQuery->isValid())
        return fail({});
    m_writer = std::make_unique<StoreWriter>();
    if (!m_writer->start(path, &reason))
        return fail(reason);
    m_context->setDescriptionLoader([this](qint64 appId) { return readDescription(appId); });
    return true;
}

std::optional<QByteArray> ObjectStore::readDescription(qint64 appId)
{
    if (!m_descriptionQuery)
        return std::nullopt;
    Statement &query = *m_descriptionQuery;
    query.bind(1, appId);
    std::optional<QByteArray> description;
    switch (query.step()) {
    case Statement::Step::Row:
        description = query.utf8(0);
        break;
    case Statement::Step::Done:
        description = QByteArray();
        break;
    case Statement::Step::Error:
        qWarning().noquote() << "Cannot read a description from the store:"
                             << m_reader->lastError();
        break;
    }
    // Resetting releases the read lock, so the writer is never kept waiting.
    query.reset();
    return description;
}

QString ObjectStore::setAside(const QString &path)
{
    const QFileInfo info(path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target;
    for (int attempt = 0;; ++attempt) {
        const QString suffix = attempt == 0 ? QString() : QStringLiteral("-%1").arg(attempt);
        target = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
            + QStringLiteral(".unreadable-") + stamp + suffix + QLatin1Char('.') + info.suffix();
        if (!QFileInfo::exists(target))
            break;
    }
    if (!QFile::rename(path, target))
        return {};
    // A rollback journal belongs with its database.
    const QString journal = path + QStringLiteral("-journal");
    if (QFileInfo::exists(journal))
        QFile::rename(journal, target + QStringLiteral("-journal"));
    return target;
}

std::optional<QString> ObjectStore::save(bool async)
{
    if (!async && m_writer && m_context->hasChangesInFlight()) {
        // A synchronous save covers everything before it: wait for the earlier saves and
        // take back what failed, so that it is written now.
        m_writer->submitAndWait({}, nullptr);
    }
    deliverOutcomes();
    if (!m_context->hasChanges())
        return std::nullopt;
    if (!m_writer)
        return tr("No store is open.");
    ChangeSet changes;
    const quint64 ticket = m_context->takeChanges(changes);
    if (async) {
        m_writer->submit(std::move(changes), [this, ticket](bool committed, const QString &error) {
            {
                std::lock_guard lock(m_outcomesMutex);
                m_outcomes.push_back({ ticket, committed, error });
            }
            // The writer thread stops before this object goes, so the call always lands.
            QMetaObject::invokeMethod(this, &ObjectStore::deliverOutcomes, Qt::QueuedConnection);
        });
        return std::nullopt;
    }
    QString error;
    const bool committed = m_writer->submitAndWait(std::move(changes), &error);
    finishSave(ticket, committed, error);
    if (committed)
        return std::nullopt;
    return error;
}

void ObjectStore::deliverOutcomes()
{
    std::vector<Outcome> outcomes;
    {
        std::lock_guard lock(m_outcomesMutex);
        outcomes.swap(m_outcomes);
    }
    for (const Outcome &outcome : outcomes)
        finishSave(outcome.ticket, outcome.committed, outcome.error);
}

void ObjectStore::finishSave(quint64 ticket, bool committed, const QString &error)
{
    if (committed) {
        m_context->changesCommitted(ticket);
        if (saveSucceeded)
            saveSucceeded();
        return;
    }
    qWarning().noquote() << "Saving the store failed:" << error;
    m_context->changesFailed(ticket);
    if (saveFailed)
        saveFailed(error);
}

} // namespace tanvill

#include "core/store/StoreWriter.h"

#include "core/store/Database.h"
#include "core/store/StoreSchema.h"

#include <QScopeGuard>

#include <future>
#include <system_error>

#include <sqlite3.h>

namespace tanvill {

struct StoreWriter::Statements
{
    Statement upsertList;
    Statement upsertApp;
    Statement upsertDescription;
    Statement upsertScreenshot;
    Statement deleteList;
    Statement deleteApp;
    Statement deleteScreenshot;
    Statement markContentToFetch;
    Statement contentFetched;

    bool isValid() const
    {
        return upsertList.isValid() && upsertApp.isValid() && upsertDescription.isValid()
            && upsertScreenshot.isValid() && deleteList.isValid() && deleteApp.isValid()
            && deleteScreenshot.isValid() && markContentToFetch.isValid()
            && contentFetched.isValid();
    }
};

namespace {

constexpr int kLockPollMs = 10;

const char kAppColumns[] = "id, list_id, position, identifier, name, developer, price, last_price,"
                           " rating, last_rating, icon_url, kind, app_store_url, version,"
                           " last_version, notes, currency_code, store_country";
const char kAppUpdates[]
    = "list_id = excluded.list_id, position = excluded.position,"
      " identifier = excluded.identifier, name = excluded.name, developer = excluded.developer,"
      " price = excluded.price, last_price = excluded.last_price, rating = excluded.rating,"
      " last_rating = excluded.last_rating, icon_url = excluded.icon_url, kind = excluded.kind,"
      " app_store_url = excluded.app_store_url, version = excluded.version,"
      " last_version = excluded.last_version, notes = excluded.notes,"
      " currency_code = excluded.currency_code, store_country = excluded.store_country";

void bindApp(Statement &statement, const AppRow &row)
{
    statement.bind(1, row.id);
    if (row.listId)
        statement.bind(2, *row.listId);
    else
        statement.bindNull(2);
    statement.bind(3, row.position);
    statement.bind(4, row.identifier);
    statement.bind(5, row.name);
    statement.bind(6, row.developer);
    statement.bind(7, row.price);
    statement.bind(8, row.lastPrice);
    statement.bind(9, row.rating);
    statement.bind(10, row.lastRating);
    statement.bind(11, row.iconUrl);
    statement.bind(12, row.kind);
    statement.bind(13, row.appStoreUrl);
    statement.bind(14, row.version);
    statement.bind(15, row.lastVersion);
    statement.bind(16, row.notes);
    statement.bind(17, row.currencyCode);
    statement.bind(18, row.storeCountry);
}

// Binds the values to ?1, ?2, ... in order and runs the statement.
template<typename... Values> bool runWith(Statement &statement, const Values &...values)
{
    int index = 0;
    (statement.bind(++index, values), ...);
    return statement.run();
}

// Runs a statement on ?1 for each identifier; false at the first failure.
bool deleteEach(Statement &statement, const std::vector<qint64> &ids)
{
    for (const qint64 id : ids) {
        if (!runWith(statement, id))
            return false;
    }
    return true;
}

} // namespace

StoreWriter::StoreWriter(const LockWaitLimit *lockWaits) : m_lockWaits(lockWaits) { }

StoreWriter::~StoreWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_statements.reset();
}

bool StoreWriter::start(const QString &path, QString *error)
{
    m_database = std::make_unique<Database>();
    if (!m_database->open(path, false) || !StoreSchema::configure(*m_database, error)) {
        if (error && error->isEmpty())
            *error = m_database->lastError();
        return false;
    }
    Database &db = *m_database;
    sqlite3_busy_handler(db.handle(), &StoreWriter::waitForLock, this);
    m_statements = std::make_unique<Statements>(Statements {
        db.prepare(QStringLiteral("INSERT INTO lists (id, idx, name, color) VALUES (?1, ?2, "
                                  "?3, ?4) ON CONFLICT(id) DO UPDATE SET idx = excluded.idx,"
                                  " name = excluded.name, color = excluded.color")),
        db.prepare(QStringLiteral("INSERT INTO apps (%1) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
                                  "?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)"
                                  " ON CONFLICT(id) DO UPDATE SET %2")
                       .arg(QLatin1String(kAppColumns), QLatin1String(kAppUpdates))),
        db.prepare(QStringLiteral("INSERT INTO descriptions (app_id, text) VALUES (?1, ?2)"
                                  " ON CONFLICT(app_id) DO UPDATE SET text = excluded.text")),
        db.prepare(QStringLiteral("INSERT INTO screenshots (id, app_id, position, url) VALUES "
                                  "(?1, ?2, ?3, ?4) ON CONFLICT(id) DO UPDATE SET"
                                  " app_id = excluded.app_id, position = excluded.position,"
                                  " url = excluded.url")),
        db.prepare(QStringLiteral("DELETE FROM lists WHERE id = ?1")),
        db.prepare(QStringLiteral("DELETE FROM apps WHERE id = ?1")),
        db.prepare(QStringLiteral("DELETE FROM screenshots WHERE id = ?1")),
        db.prepare(QStringLiteral("INSERT OR IGNORE INTO content_to_fetch (app_id) VALUES (?1)")),
        db.prepare(QStringLiteral("DELETE FROM content_to_fetch WHERE app_id = ?1")),
    });
    if (!m_statements->isValid()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error &failure) {
        if (error)
            *error = QString::fromLocal8Bit(failure.what());
        return false;
    }
    return true;
}

void StoreWriter::submit(ChangeSet changes, Completion completion, LockWait wait)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({ std::move(changes), std::move(completion), wait });
    }
    m_wake.notify_one();
}

StoreWriter::Outcome StoreWriter::submitAndWait(ChangeSet changes, LockWait wait)
{
    auto promise = std::make_shared<std::promise<Outcome>>();
    std::future<Outcome> result = promise->get_future();
    submit(
        std::move(changes), [promise](const Outcome &outcome) { promise->set_value(outcome); },
        wait);
    return result.get();
}

int StoreWriter::waitForLock(void *context, int attempts)
{
    auto *writer = static_cast<StoreWriter *>(context);
    if (!writer->m_waitsForLock)
        return 0;
    if (attempts == 0)
        writer->m_lockWaitStart = LockWaitLimit::Clock::now();
    static const LockWaitLimit unlimited;
    const LockWaitLimit &limit = writer->m_lockWaits ? *writer->m_lockWaits : unlimited;
    if (limit.isOver(writer->m_lockWaitStart, std::chrono::milliseconds(kLockWaitMs)))
        return 0;
    sqlite3_sleep(kLockPollMs);
    return 1;
}

void StoreWriter::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        m_waitsForLock = job.wait == LockWait::Limited && !job.changes.isEmpty();
        const Outcome outcome = commit(job.changes);
        // Let go of the rows before the caller hears: its records share their texts, which it
        // may change as soon as it knows.
        job.changes = {};
        if (job.completion)
            job.completion(outcome);
    }
}

bool StoreWriter::fileHasMoved() const
{
    int moved = 0;
    return sqlite3_file_control(m_database->handle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved)
        == SQLITE_OK
        && moved != 0;
}

bool StoreWriter::fileWasEmptied() const
{
    // Only a clear answer counts: a file that cannot be read just now is not gone.
    const std::optional<qint64> tables = m_database->queryInteger(QStringLiteral(
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'apps'"));
    return tables && *tables == 0;
}

StoreWriter::Outcome StoreWriter::commit(const ChangeSet &changes)
{
    // SQLite refuses to write a file that left its path, and would refuse for ever; checked
    // first, so that the removal is found even when a save has nothing to write. A file cut
    // to nothing in place is an empty database to SQLite, without a table of ours.
    if (fileHasMoved() || (changes.isEmpty() && fileWasEmptied()))
        return { false, QStringLiteral("The store file was removed, replaced or emptied."), false,
                 true };
    if (changes.isEmpty())
        return { true };
    Database &db = *m_database;
    Statements &statements = *m_statements;
    auto fail = [&] {
        const QString error = db.lastError();
        const bool damaged = StoreSchema::isDamage(db.lastErrorCode());
        const bool busy = db.lastErrorCode() == SQLITE_BUSY || db.lastErrorCode() == SQLITE_LOCKED;
        // A file another process holds cannot be read either, nor is it gone.
        return Outcome { false, error, damaged,
                         !damaged && (fileHasMoved() || (!busy && fileWasEmptied())), busy };
    };
    Transaction transaction(db);
    if (!transaction.isActive())
        return fail();
    m_committing = true;
    const auto committed = qScopeGuard([this] { m_committing = false; });
    for (const ListRow &row : changes.lists) {
        if (!runWith(statements.upsertList, row.id, row.index, row.name, row.color))
            return fail();
    }
    for (const AppRow &row : changes.apps) {
        bindApp(statements.upsertApp, row);
        if (!statements.upsertApp.run())
            return fail();
        if (row.description) {
            statements.upsertDescription.bind(1, row.id);
            statements.upsertDescription.bindUtf8(2, *row.description);
            if (!statements.upsertDescription.run())
                return fail();
            // A description is written as the store gave it, its screenshots alongside: the
            // file no longer lacks them.
            if (!runWith(statements.contentFetched, row.id))
                return fail();
        }
    }
    for (const ScreenshotRow &row : changes.screenshots) {
        if (!runWith(statements.upsertScreenshot, row.id, row.appId, row.position, row.url))
            return fail();
    }
    if (!deleteEach(statements.deleteScreenshot, changes.deletedScreenshots)
        || !deleteEach(statements.deleteApp, changes.deletedApps)
        || !deleteEach(statements.deleteList, changes.deletedLists)
        || !deleteEach(statements.markContentToFetch, changes.contentToFetch))
        return fail();
    if (!transaction.commit())
        return fail();
    return { true };
}

} // namespace tanvill

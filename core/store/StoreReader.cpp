#include "core/store/StoreReader.h"

#include "core/TextLimits.h"
#include "core/store/Database.h"
#include "core/store/StoreSchema.h"

#include <sqlite3.h>

#include <algorithm>

namespace tanvill {

namespace {

// How long a read waits for this process's writer to finish a commit.
constexpr int kWriterWaitMs = 100;
constexpr int kWriterPollMs = 2;

} // namespace

StoreReader::StoreReader(std::function<bool()> writerCommitting)
    : m_writerCommitting(std::move(writerCommitting))
{ }

StoreReader::~StoreReader() = default;

Database &StoreReader::connection()
{
    if (!m_connection)
        m_connection = std::make_unique<Database>();
    return *m_connection;
}

bool StoreReader::isOpen() const
{
    return m_connection && m_connection->isOpen();
}

bool StoreReader::startReading(QString *error)
{
    Database &reader = connection();
    sqlite3_busy_handler(reader.handle(), &StoreReader::waitForWriter, this);
    m_descriptionQuery = std::make_unique<Statement>(
        reader.prepare(QStringLiteral("SELECT text FROM descriptions WHERE app_id = ?1")));
    m_screenshotQuery = std::make_unique<Statement>(reader.prepare(QStringLiteral(
        "SELECT id, position, url FROM screenshots WHERE app_id = ?1 ORDER BY position, id")));
    if (m_descriptionQuery->isValid() && m_screenshotQuery->isValid())
        return true;
    if (error->isEmpty())
        *error = reader.lastError();
    return false;
}

void StoreReader::close()
{
    m_scannedScreenshots.reset();
    m_descriptionQuery.reset();
    m_screenshotQuery.reset();
    m_connection.reset();
}

std::optional<QByteArray> StoreReader::description(qint64 appId, int *errorCode)
{
    *errorCode = 0;
    if (!m_descriptionQuery)
        return std::nullopt;
    Statement &query = *m_descriptionQuery;
    query.bind(1, appId);
    std::optional<QByteArray> description;
    switch (query.step()) {
    case Statement::Step::Row:
        description = query.text(0, TextLimits::kLongText).toUtf8();
        break;
    case Statement::Step::Done:
        description = QByteArray();
        break;
    case Statement::Step::Error:
        *errorCode = failed("a description");
        break;
    }
    // Resetting releases the read lock, so the writer is never kept waiting.
    query.reset();
    return description;
}

std::optional<std::vector<ScreenshotRow>> StoreReader::screenshots(qint64 appId, int *errorCode)
{
    *errorCode = 0;
    if (!m_screenshotQuery)
        return std::nullopt;
    Statement &query = *m_screenshotQuery;
    query.bind(1, appId);
    std::vector<ScreenshotRow> rows;
    Statement::Step step;
    while ((step = query.step()) == Statement::Step::Row)
        rows.push_back(
            { query.integer(0), appId, query.integer(1), query.text(2, TextLimits::kLink) });
    if (step == Statement::Step::Error)
        *errorCode = failed("screenshots");
    query.reset();
    if (step != Statement::Step::Error)
        return rows;
    // A damaged index leaves the table it orders as it was: what it holds is read without it.
    if (!StoreSchema::isDamage(*errorCode))
        return std::nullopt;
    if (const int scanError = scanScreenshots()) {
        *errorCode = scanError;
        return std::nullopt;
    }
    const auto scanned = m_scannedScreenshots->find(appId);
    return scanned == m_scannedScreenshots->end() ? std::vector<ScreenshotRow>() : scanned->second;
}

int StoreReader::scanScreenshots()
{
    if (m_scannedScreenshots)
        return 0;
    Statement scan = m_connection->prepare(QStringLiteral(
        "SELECT id, app_id, position, url FROM screenshots NOT INDEXED ORDER BY id"));
    std::unordered_map<qint64, std::vector<ScreenshotRow>> byApp;
    Statement::Step step = Statement::Step::Error;
    while (scan.isValid() && (step = scan.step()) == Statement::Step::Row) {
        const qint64 appId = scan.integer(1);
        byApp[appId].push_back(
            { scan.integer(0), appId, scan.integer(2), scan.text(3, TextLimits::kLink) });
    }
    if (step == Statement::Step::Error)
        return failed("screenshots without their index");
    for (auto &[appId, rows] : byApp)
        std::stable_sort(rows.begin(), rows.end(),
                         [](const auto &a, const auto &b) { return a.position < b.position; });
    m_scannedScreenshots = std::move(byApp);
    return 0;
}

int StoreReader::failed(const char *what)
{
    const QString kind = QStringLiteral("Cannot read %1 from the store").arg(QLatin1String(what));
    m_log.warn(kind, kind + QStringLiteral(": ") + m_connection->lastError());
    return m_connection->lastErrorCode();
}

int StoreReader::waitForWriter(void *context, int attempts)
{
    // Another process's lock is never waited for on the UI thread: the read is tried again
    // later, or done by whoever needs it off that thread.
    const auto *reader = static_cast<const StoreReader *>(context);
    if (!reader->m_writerCommitting() || attempts * kWriterPollMs >= kWriterWaitMs)
        return 0;
    sqlite3_sleep(kWriterPollMs);
    return 1;
}

} // namespace tanvill

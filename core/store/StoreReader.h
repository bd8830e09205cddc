#pragma once

// The store's connection on the UI thread: opening loads the graph through it, and afterwards it
// reads what loading left in the file (an application's description and screenshots) when they
// are first asked for. Such a read never waits for another process's lock on the file, only a
// moment for this process's writer to finish a commit; what it cannot read fails with SQLite's
// code, which says whether the file may give it later. Screenshots whose index is damaged are
// read by a scan of their whole table, once, which still gives what the table holds; the damage
// is told all the same. ObjectStore owns one and decides what a failed read means for the file.

#include "core/ChangeSet.h"
#include "platform/ThrottledLog.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tanvill {

class Database;
class Statement;

class StoreReader
{
public:
    // `writerCommitting` tells whether this process's writer is committing just now.
    explicit StoreReader(std::function<bool()> writerCommitting);
    ~StoreReader();
    StoreReader(const StoreReader &) = delete;
    StoreReader &operator=(const StoreReader &) = delete;

    // The connection, made closed when there is none; opening opens, configures and migrates
    // it.
    Database &connection();
    bool isOpen() const;
    // On the open connection: gets ready to read descriptions and screenshots; false, with the
    // reason, when it cannot.
    bool startReading(QString *error);
    void close();

    // An application's description (empty when it has none) or its screenshots in order; none
    // when the read failed, with SQLite's code (0 when nothing is open to read from). Screenshots
    // a scan of their table gave come with the code of the damage that made it needed.
    std::optional<QByteArray> description(qint64 appId, int *errorCode);
    std::optional<std::vector<ScreenshotRow>> screenshots(qint64 appId, int *errorCode);

private:
    // Logs a read that failed and gives its code.
    int failed(const char *what);
    // Reads the screenshots of every application once, by a scan of their table that uses no
    // index; 0, or SQLite's code when the table cannot be read whole.
    int scanScreenshots();
    // SQLite's busy handler: waits a moment for this process's writer only.
    static int waitForWriter(void *reader, int attempts);

    std::function<bool()> m_writerCommitting;
    std::unique_ptr<Database> m_connection;
    std::unique_ptr<Statement> m_descriptionQuery;
    std::unique_ptr<Statement> m_screenshotQuery;
    // What the scan of the screenshots' table gave, by application, until the connection closes.
    std::optional<std::unordered_map<qint64, std::vector<ScreenshotRow>>> m_scannedScreenshots;
    // Reads that fail may fail by the thousand.
    ThrottledLog m_log;
};

} // namespace tanvill

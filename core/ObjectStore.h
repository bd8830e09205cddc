#pragma once

// The object store: opens (or creates) the SQLite file, loads the whole graph into an
// ObjectContext, and saves the context's changes through a writer thread with its own
// connection, one transaction per save. A file that cannot be opened or is not a store of
// ours is renamed aside (never deleted) and a fresh store takes its place. Descriptions
// stay in the file until an application's description is first read, which keeps memory
// low for large stores. ListsController owns the one instance of the application.

#include "core/ObjectContext.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tanvill {

class Database;
class Statement;
class StoreWriter;

class ObjectStore : public QObject
{
    Q_OBJECT
public:
    enum class OpenOutcome {
        Opened, // an existing store
        Created, // a new, empty store
        ReplacedUnreadable, // the old file was set aside and a new store created
        Failed, // no store: nothing can be saved
    };
    struct OpenResult
    {
        OpenOutcome outcome = OpenOutcome::Failed;
        // Where the unreadable file went (ReplacedUnreadable).
        QString setAsidePath;
        // Why the old file was set aside, or why no store could be opened.
        QString error;
    };

    explicit ObjectStore(QObject *parent = nullptr);
    ~ObjectStore() override;

    OpenResult open(const QString &path);
    bool isOpen() const { return m_writer != nullptr; }
    QString path() const { return m_path; }

    ObjectContext &context() { return *m_context; }
    const ObjectContext &context() const { return *m_context; }

    // Writes the pending changes in one transaction; nothing when nothing changed. async
    // returns at once and reports a failure through saveFailed later; otherwise the call
    // returns after the commit (and every earlier one) with the error, if any. Failed
    // changes stay pending.
    std::optional<QString> save(bool async);

    // Called on the UI thread with the outcome of every save that wrote something.
    std::function<void(const QString &error)> saveFailed;
    std::function<void()> saveSucceeded;

private:
    bool tryOpen(const QString &path, QString *error, int *code);
    void closeStore();
    QString setAside(const QString &path);
    void finishSave(quint64 ticket, bool committed, const QString &error);
    // Applies the outcomes of asynchronous saves that the writer reported.
    void deliverOutcomes();
    std::optional<QByteArray> readDescription(qint64 appId);

    QString m_path;
    std::unique_ptr<ObjectContext> m_context;
    std::unique_ptr<Database> m_reader;
    std::unique_ptr<Statement> m_descriptionQuery;
    std::unique_ptr<StoreWriter> m_writer;

    struct Outcome
    {
        quint64 ticket = 0;
        bool committed = false;
        QString error;
    };
    std::mutex m_outcomesMutex;
    std::vector<Outcome> m_outcomes;
};

} // namespace tanvill

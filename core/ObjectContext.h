#pragma once

// The whole graph of records in memory, on the UI thread: every list and application of the
// store, loaded at open, and the screenshots of an application from its first use. Records
// keep their identity for the life of the context; setters mark them changed, relationship setters
// keep both sides, and deleting cascades (a list takes its applications along, an application its
// screenshots). ObjectStore turns the changes into one change set per save; ListsController and the
// code that adds, moves and refreshes applications work through this class.

#include "core/App.h"
#include "core/ChangeSet.h"
#include "core/List.h"
#include "core/Screenshot.h"

#include <QDeadlineTimer>
#include <QString>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace tanvill {

class Database;

// The lowest and highest ids of one kind of record in the store and in memory; a new record
// takes the id after the highest, or, once that is the largest there is, the one before the
// lowest.
struct IdRange
{
    bool any = false;
    qint64 lowest = 0;
    qint64 highest = 0;

    void include(qint64 id)
    {
        lowest = any ? std::min(lowest, id) : id;
        highest = any ? std::max(highest, id) : id;
        any = true;
    }
};

class ObjectContext
{
public:
    ObjectContext();
    ~ObjectContext();
    ObjectContext(const ObjectContext &) = delete;
    ObjectContext &operator=(const ObjectContext &) = delete;

    // A new list (index 0, no name, no colour).
    List *insertList();
    // A new application at the end of list's stored order (no list when list is null).
    App *insertApp(List *list = nullptr);
    // A new screenshot at the end of the application's screenshots.
    Screenshot *insertScreenshot(App *app);

    void deleteObject(List *list);
    void deleteObject(App *app);
    void deleteObject(Screenshot *screenshot);

    // Records that are not deleted, in no particular order.
    const std::vector<List *> &lists() const { return m_liveLists; }
    const std::vector<App *> &apps() const { return m_liveApps; }

    bool hasChanges() const;
    // True while a change set taken from this context has not been reported back.
    bool hasChangesInFlight() const { return !m_inFlight.empty(); }

    // Loads every list and application from an open store; false (and an empty context) on
    // a read error, or once `cancel` is set. A large store is read in parts, each on a
    // connection and a thread of its own. The context is not used by anybody else meanwhile,
    // so this may run on any thread.
    bool load(Database &database, QString *error, const std::atomic<bool> *cancel = nullptr);

    // Why a read from the file gave nothing: the file may give it later (busy, short of
    // memory), or never will (damaged, emptied, gone).
    enum class ReadFailure { Retry, Lost };
    // Where descriptions of loaded applications are read from on first use; none, with the
    // reason, when the read failed.
    using DescriptionLoader
        = std::function<std::optional<QByteArray>(qint64 appId, ReadFailure *failure)>;
    void setDescriptionLoader(DescriptionLoader loader) { m_descriptionLoader = std::move(loader); }
    // Where the screenshots of loaded applications are read from on first use, in order
    // (appId of the rows unused); none, with the reason, when the read failed.
    using ScreenshotLoader = std::function<std::optional<std::vector<ScreenshotRow>>(
        qint64 appId, ReadFailure *failure)>;
    void setScreenshotLoader(ScreenshotLoader loader) { m_screenshotLoader = std::move(loader); }

    // Moves the pending changes into a change set and returns a ticket for its outcome.
    quint64 takeChanges(ChangeSet &changes);
    // The change set of the ticket reached the file; or it did not, and its changes are
    // pending again, so that the next save writes them.
    void changesCommitted(quint64 ticket);
    void changesFailed(quint64 ticket);
    bool isInFlight(quint64 ticket) const { return m_inFlight.contains(ticket); }

    // For a store that must be written anew from memory, before its file goes: reads every
    // description and every application's screenshots not read yet. What the file lost is taken
    // as empty, and its application is to fetch them from the store again (needsStoreContent);
    // what it cannot give just now is left unread and counted, and the reading stops.
    struct UnreadContent
    {
        int lost = 0;
        int notNow = 0;
    };
    // With `until`, only reads until then; `complete` says whether everything is read.
    UnreadContent readAllContent(const QDeadlineTimer &until = QDeadlineTimer::Forever,
                                 bool *complete = nullptr);
    // Every live record as rows, with the descriptions and screenshots read so far and the
    // applications whose are not, or were not in the file read (to be fetched from the store
    // again); the changes stay as they are.
    ChangeSet snapshot() const;
    // Change sets whose outcome will never be known become pending changes again.
    void requeueChangesInFlight();
    // The whole graph reached a fresh file: nothing is pending any more.
    void forgetChanges();
    // Grows with every change made to a record (inserting, setting, deleting): two equal
    // counts mean that nothing was changed in between.
    quint64 editCount() const { return m_edits; }

private:
    friend class App;
    friend class List;
    friend class Screenshot;

    // A record read from the file with the id of its list, before the lists take it.
    struct LoadedApp
    {
        std::unique_ptr<App> app;
        std::optional<qint64> listId;
    };
    bool readApps(Database &database, std::vector<LoadedApp> &apps,
                  const std::atomic<bool> *cancel);
    // The applications with ids from firstId to lastId, in id order.
    bool readApps(Database &database, qint64 firstId, qint64 lastId, std::vector<LoadedApp> &apps,
                  const std::atomic<bool> *cancel);

    struct InFlight
    {
        std::vector<List *> lists;
        std::vector<App *> apps;
        std::vector<App *> appsWithDescription;
        std::vector<Screenshot *> screenshots;
        std::vector<qint64> deletedLists;
        std::vector<qint64> deletedApps;
        std::vector<qint64> deletedScreenshots;
    };

    static ListRow rowOf(const List *list);
    static AppRow rowOf(const App *app, bool withDescription);
    static ScreenshotRow rowOf(const Screenshot *screenshot);
    void markChanged(List *list)
    {
        ++m_edits;
        m_changedLists.insert(list);
    }
    void markChanged(App *app)
    {
        ++m_edits;
        m_changedApps.insert(app);
    }
    void markChanged(Screenshot *screenshot)
    {
        ++m_edits;
        m_changedScreenshots.insert(screenshot);
    }
    // None when the read failed, so that the next request tries again.
    std::optional<QByteArray> loadDescription(const App *app, ReadFailure *failure = nullptr) const;
    // The application's stored screenshots; none when the read failed.
    std::optional<std::vector<ScreenshotRow>> readScreenshots(const App *app,
                                                              ReadFailure *failure = nullptr) const;
    // Makes the records of the application's stored screenshots; false when the read failed.
    // A failed read leaves them to the next request, unless the file lost them and
    // `emptyWhenLost`.
    bool loadScreenshots(const App *app, bool emptyWhenLost = false,
                         ReadFailure *failure = nullptr);
    void clear();
    void clearPendingChanges();
    // Ids for new records: none of them is, or was, the id of a row of the store.
    qint64 newId(IdRange &range, const std::function<bool(qint64)> &taken);

    std::vector<std::unique_ptr<List>> m_allLists;
    std::vector<std::unique_ptr<App>> m_allApps;
    std::vector<std::unique_ptr<Screenshot>> m_allScreenshots;
    std::vector<List *> m_liveLists;
    std::vector<App *> m_liveApps;

    std::unordered_set<List *> m_changedLists;
    std::unordered_set<App *> m_changedApps;
    std::unordered_set<Screenshot *> m_changedScreenshots;
    std::vector<qint64> m_deletedLists;
    std::vector<qint64> m_deletedApps;
    std::vector<qint64> m_deletedScreenshots;

    IdRange m_listIds;
    IdRange m_appIds;
    IdRange m_screenshotIds;
    quint64 m_nextTicket = 1;
    quint64 m_edits = 0;
    std::map<quint64, InFlight> m_inFlight;
    DescriptionLoader m_descriptionLoader;
    ScreenshotLoader m_screenshotLoader;
};

} // namespace tanvill

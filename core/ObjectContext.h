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

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace tanvill {

class Database;

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
    // a read error. A large store is read in parts, each on a connection and a thread of its
    // own. The context is not used by anybody else meanwhile, so this may run on any thread.
    bool load(Database &database, QString *error);
    // Where descriptions of loaded applications are read from on first use.
    using DescriptionLoader = std::function<std::optional<QByteArray>(qint64 appId)>;
    void setDescriptionLoader(DescriptionLoader loader) { m_descriptionLoader = std::move(loader); }
    // Where the screenshots of loaded applications are read from on first use, in order
    // (appId of the rows unused); none when the read failed.
    using ScreenshotLoader = std::function<std::optional<std::vector<ScreenshotRow>>(qint64 appId)>;
    void setScreenshotLoader(ScreenshotLoader loader) { m_screenshotLoader = std::move(loader); }

    // Moves the pending changes into a change set and returns a ticket for its outcome.
    quint64 takeChanges(ChangeSet &changes);
    // The change set of the ticket reached the file; or it did not, and its changes are
    // pending again, so that the next save writes them.
    void changesCommitted(quint64 ticket);
    void changesFailed(quint64 ticket);
    bool isInFlight(quint64 ticket) const { return m_inFlight.contains(ticket); }

    // For a store that must be written anew from memory: reads every description and every
    // application's screenshots not read yet (what cannot be read is left empty), then marks every
    // record changed and forgets deletions and change sets in flight, so that the next save writes
    // the whole graph.
    void markEverythingChanged();

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
    bool readApps(Database &database, std::vector<LoadedApp> &apps);
    // The applications with ids from firstId to lastId, in id order.
    bool readApps(Database &database, qint64 firstId, qint64 lastId, std::vector<LoadedApp> &apps);

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

    void markChanged(List *list) { m_changedLists.insert(list); }
    void markChanged(App *app) { m_changedApps.insert(app); }
    void markChanged(Screenshot *screenshot) { m_changedScreenshots.insert(screenshot); }
    // None when the read failed, so that the next request tries again.
    std::optional<QByteArray> loadDescription(const App *app) const;
    // The application's stored screenshots; none when the read failed.
    std::optional<std::vector<ScreenshotRow>> readScreenshots(const App *app) const;
    // Makes the records of the application's stored screenshots; a failed read leaves them
    // to the next request, unless `emptyOnFailure`.
    void loadScreenshots(const App *app, bool emptyOnFailure = false);
    void clear();

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

    qint64 m_nextListId = 1;
    qint64 m_nextAppId = 1;
    qint64 m_nextScreenshotId = 1;
    quint64 m_nextTicket = 1;
    std::map<quint64, InFlight> m_inFlight;
    DescriptionLoader m_descriptionLoader;
    ScreenshotLoader m_screenshotLoader;
};

} // namespace tanvill

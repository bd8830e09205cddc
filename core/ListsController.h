#pragma once

// The one data controller of the process: owns the object store and its context, the
// visible lists in order, the selected list, the archive list and the dock badge, and
// announces every change to lists and applications (ListsControllerNotifications.h).
// Every window, the updater and the import work through the application's instance, on the
// UI thread. The class is spread over files by job: lists and saving (ListsController.cpp),
// adding, moving and archiving applications (ListsControllerApps.cpp), search and refresh
// (ListsControllerRefresh.cpp); the rows of a list (ListRows.h), the copying of store results
// into records (StoreResultRecord.h) and the change rules of a refresh (RefreshChanges.h) stand
// on their own.

#include "core/ListGrouping.h"
#include "core/ListSorting.h"
#include "core/ObjectContext.h"
#include "core/TableRow.h"
#include "core/Theme.h"
#include "core/store/ObjectStore.h"
#include "platform/Error.h"
#include "platform/OperationQueue.h"
#include "platform/ThrottledLog.h"
#include "store/AppStoreOperation.h"
#include "store/AppUpdate.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tanvill {

// The results of one search, by platform; a platform whose search failed has no entry.
using SearchResults = std::map<AppStoreSearchOperationScope, std::vector<CachedApp>>;

class ListsController : public QObject
{
    Q_OBJECT
public:
    // The application's controller (see SharedInstance.h), on the store at defaultStorePath().
    static ListsController &sharedController();
    // $XDG_DATA_HOME/com.tanvill.Tanvill/Tanvill.sqlite
    static QString defaultStorePath();

    // Opens (or creates) the store at storePath. Problems with the store are reported to
    // the user once the event loop runs, never during construction.
    explicit ListsController(const QString &storePath = defaultStorePath(),
                             QObject *parent = nullptr);
    // Owns a store that is opening in the background (ObjectStore::openInBackground), so that
    // it loads while the application starts; takeOverStore() ends the opening.
    explicit ListsController(std::unique_ptr<ObjectStore> store, QObject *parent = nullptr);
    ~ListsController() override;

    // Ends the background opening of the store in one step (ObjectStore::takeOver): waits for
    // it, lets the store change its files, takes the records it loaded and reports how opening
    // went. The shell takes this step once, before anything asks for lists (app/main.cpp, before
    // it makes the application's delegate). A store the other constructor opened is taken over
    // already, and so is one whose opening ended by itself once the event loop ran.
    void takeOverStore() { m_store->takeOver(); }

    // Until the store is taken over, the questions below answer at once, as for a store without
    // records: the open result says Opening, and there is no context (null), no list, no
    // selected list, no application, no row and no application of any identifier. Asking for
    // records then is a mistake that stops a debug build; so is changing them, which other
    // builds do on the store taken over first, so that nothing the user entered is lost.
    ObjectContext *managedObjectContext() { return records(); }
    const ObjectContext *managedObjectContext() const { return records(); }
    // As it is: a quit prepared while it opens limits the opening's waits (prepareToQuit).
    ObjectStore &objectStore() { return *m_store; }
    // How opening the store went (tests, diagnostics).
    const ObjectStore::OpenResult &openResult() const { return m_store->openResult(); }

    // Visible lists ordered by index (a copy: list operations change the order).
    std::vector<List *> lists() const;
    // The list at the position "selectedList" (the first when out of range); none without
    // visible lists. The setting follows that list when lists move or go before it.
    List *selectedList() const;
    // Every application of a visible list, in no particular order.
    std::vector<App *> apps() const;
    // The archive list, created on first request.
    List *archive();

    // Writes the pending changes; with async false, returns after they reached the file.
    // A failure is reported to the user once; the changes stay pending for the next save.
    void saveWithAsync(bool async);
    // Runs `handler` on the UI thread once every change made before the call is in the file
    // (ObjectStore::whenCommitted).
    void whenCommitted(std::function<void()> handler)
    {
        m_store->whenCommitted(std::move(handler));
    }

    // A new visible list, selected; with store results, the list and its applications are
    // saved in one go, so that no empty list is left when that save does not go through.
    List *createList(const QString &name, ThemeName color = ThemeName::Yellow,
                     const std::vector<CachedApp> &apps = {});
    // Deletes a visible list with its applications, each announced first as one deleted alone
    // (ListsControllerWillDeleteApp); refuses the only list (OnlyList).
    std::optional<Error> deleteList(List *list);
    // Moves a visible list to another position; the selected list stays selected, its new
    // position written to "selectedList" before the rearrangement is announced.
    void moveList(List *list, int toIndex);

    // The rows (ListRows.h) of the list with that index (-1 is the archive); none, with the
    // error ListNotFound, when no list has it.
    std::optional<TableRows> rowsForListAtIndex(int index, ListGrouping grouping,
                                                ListSorting sorting, Error *error = nullptr) const;

    // Shows the number of watched applications on the launcher icon when the user asked
    // for it ("displayAppCountAsIconBadge"), else removes the badge.
    void updateDockTile();

    // What the alert about a store this start cannot use tells last, after a blank line: the
    // shell says there what it keeps for later. None by default.
    void setUnusableStoreNote(const QString &note) { m_unusableStoreNote = note; }

    // Adding and changing applications (ListsControllerApps.cpp). Positions are positions in
    // a list's displayed order, newest first.

    // Looks the identifier up and adds the result to the selected list; the completion runs
    // once on the UI thread, with the look-up's error or none. A second request for an
    // identifier whose look-up is under way waits for it and adds nothing more.
    void addAppWithIdentifier(const QString &identifier,
                              std::function<void(std::optional<Error>)> completion);
    // Stores the results as new applications of `list` (the selected list when none), with
    // one save and one pair of notifications for the batch; returns them in the given order.
    std::vector<App *> addApp(const std::vector<CachedApp> &results, List *list = nullptr);
    void deleteApp(App *app);
    // To the top of another list.
    void moveApp(App *app, List *list);
    // To another position within its own list.
    void moveApp(App *app, int toIndex);
    // The first archiving ever explains the archive, in a notice on `noticeWindow` (the window
    // the user archived in) when given.
    void archiveApp(App *app, QObject *noticeWindow = nullptr);
    // AlreadyInList, naming the list, when an application outside the archive has the
    // identifier.
    std::optional<Error> canAddAppWithIdentifier(const QString &identifier) const;
    // True when no stored application at all, archived ones included, has the identifier.
    bool hasAddedAppWithIdentifier(const QString &identifier) const;

    // Search and refresh (ListsControllerRefresh.cpp). Each completion runs once on the UI
    // thread with exactly one of its two values.

    // Searches the three platforms and gives what they found. When they found nothing: the
    // error of the first platform that did not answer (the store unreachable, failing or
    // sending what cannot be read), else, when every one answered that nothing matches,
    // NoSearchResults.
    void
    searchApps(const QString &term,
               std::function<void(std::optional<Error>, std::optional<SearchResults>)> completion);
    // Looks every application up once, stores what changed and reports the price, version
    // and rating changes; RefreshFailed when every look-up failed, and then nothing is written.
    // A reload the user asked for (High) goes ahead of every waiting refresh look-up and
    // looks its applications up even where a refresh is about to. A refresh leaves an
    // application to such a reload under way and ends after it; whichever of their look-ups
    // finds a change, the refresh reports it too. An answer of another store than the one
    // chosen when it comes is not applied, and a look-up sent to another store is no reason
    // to leave an application to it: the application is asked again of the chosen store.
    void reloadApps(
        const std::vector<App *> &apps,
        std::function<void(std::optional<Error>, std::optional<std::vector<AppUpdate>>)> completion,
        Operation::QueuePriority priority = Operation::QueuePriority::Normal);

    // Runs the store look-ups and searches, five at a time; additions, searches and reloads
    // the user asked for before refreshes.
    OperationQueue &appStoreOperationQueue() { return m_appStoreOperationQueue; }

    // True while a refresh is looking applications up.
    bool isReloadingApps() const { return !m_reloadingApps.isEmpty(); }
    // True when a watched application holds the answer of another store than the one chosen
    // now: the store country changed and its refresh did not reach every application (it
    // failed for some, or the program ended first).
    bool holdsAppsOfAnotherStore() const;

private:
    using AddCompletion = std::function<void(std::optional<Error>)>;
    using ReloadCompletion
        = std::function<void(std::optional<Error>, std::optional<std::vector<AppUpdate>>)>;

    std::vector<AddCompletion> takePendingAdditions(const QString &identifier);
    // Looks up the identifier being added (the key of its waiting completions) in the store
    // chosen now.
    void lookUpAddition(const QString &key);
    struct ReloadBatch;
    void applyReloadResults(const std::shared_ptr<ReloadBatch> &batch);
    // Tells of an applied and saved batch: the notice, then the batch's completion.
    void finishReload(const std::shared_ptr<ReloadBatch> &batch);
    // Tells the batches under way but `applying` of an answer applied.
    void shareReloadResult(const QString &identifier, const std::optional<AppUpdate> &update,
                           const ReloadBatch *applying);
    void endWaitsFor(const QSet<QString> &identifiers);
    // Looks up every application, archived ones included, whose description and screenshots
    // the store's file lacks (a file of kept changes, or one written anew after the old one
    // could no longer give them), and writes what the store gives.
    void fetchMissingStoreContent();
    // To standard output, where the refresh's lines have always gone.
    static void writeRefreshLine(const QString &line);

    // The records, once the store is taken over; none before (see takeOverStore).
    ObjectContext *records() const;
    // The store, to change its records and save them (see takeOverStore).
    ObjectStore &store() const;
    void setUpStore();
    void storeOpened(const ObjectStore::OpenResult &result);
    void reportOpening();
    void reportLeftover(const QString &path);
    void reportRepair(const QString &setAsidePath);
    // Tells the user once that the store no longer has these apps, whose description and
    // screenshots the file lacks: once told, they are asked for no more.
    void tellStoreContentGone(const std::vector<App *> &apps);
    void saveFailed(const QString &error);

    std::unique_ptr<ObjectStore> m_store;
    // The visible lists in order, worked out again after every change to them.
    mutable std::optional<std::vector<List *>> m_lists;
    // A refresh under way of one store identifier: whether the user asked for it, the batch
    // that ends it, and its look-up while that runs or its handler waits; then the store
    // country it asked.
    struct ReloadMark
    {
        bool userAsked = false;
        const ReloadBatch *batch = nullptr;
        std::weak_ptr<AppStoreLookUpOperation> lookUp;
        QString answeredCountryCode;
    };
    // Ends the mark of `identifier` when its look-up was sent to another store than the one
    // chosen now: the look-up is cancelled and the batch that marked it leaves the
    // application to the caller, which asks again.
    void endMarkOfAnotherStore(const QString &identifier);
    // Notes which store a batch's look-up of `identifier` asked, once it answered.
    void noteLookUpAnswered(const QString &identifier, const ReloadBatch *batch,
                            const QString &askedCountryCode);
    // Store identifiers whose refresh is under way.
    QHash<QString, ReloadMark> m_reloadingApps;
    // The refreshes and reloads not yet ended, oldest first.
    std::vector<std::shared_ptr<ReloadBatch>> m_reloadBatches;
    List *m_archive = nullptr;
    bool m_saveFailureReported = false;
    // Applications whose description and screenshots are being fetched, or whose loss is being
    // told: a repair right after the start that began fetching them asks for them no second time.
    QSet<const App *> m_fetchingContent;
    QString m_unusableStoreNote;
    // Completions waiting for the look-up of an identifier being added.
    std::map<QString, std::vector<AddCompletion>> m_pendingAdditions;
    // The lines of failed look-ups, which come by the thousand without a network.
    ThrottledLog m_refreshLog { &ListsController::writeRefreshLine };
    // Last, so that it cancels its operations before anything they use goes away.
    OperationQueue m_appStoreOperationQueue { 5 };
};

} // namespace tanvill

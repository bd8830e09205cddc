// The store work of ListsController that runs in batches: the search of the add field in
// the three platforms at once, and the refresh of watched applications that keeps their
// previous price, version and rating and reports what changed.

#include "core/ListsController.h"

#include "core/ListsControllerError.h"
#include "core/ListsControllerNotifications.h"
#include "core/RefreshChanges.h"
#include "core/SettingsKeys.h"
#include "core/StoreResultRecord.h"
#include "platform/Analytics.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QHash>
#include <QPointer>
#include <QTextStream>

namespace tanvill {

namespace {

// Puts a change into a list of changes, where an earlier change of the same application gives
// way: each kind of change then reads as the application's record now holds it.
void addChange(std::vector<AppUpdate> &changes, QStringList &identifiers, const QString &identifier,
               const AppUpdate &update)
{
    const qsizetype known = identifiers.indexOf(identifier);
    if (known < 0) {
        changes.push_back(update);
        identifiers << identifier;
        return;
    }
    AppUpdate &earlier = changes[size_t(known)];
    earlier.app = update.app;
    if (update.pricingChange)
        earlier.pricingChange = update.pricingChange;
    if (update.ratingChange)
        earlier.ratingChange = update.ratingChange;
    if (update.versionChange)
        earlier.versionChange = update.versionChange;
}

} // namespace

// One call of reloadApps, from its look-ups to its completion.
struct ListsController::ReloadBatch
{
    qsizetype givenCount = 0;
    ReloadCompletion completion;
    // The answers of its own look-ups, in the order they arrived.
    std::vector<CachedApp> results;
    // The identifiers it looks up itself, and those of them it marked as being refreshed.
    QSet<QString> lookedUp;
    QStringList marked;
    // Identifiers a reload the user asked for is looking up: this batch ends after it.
    QSet<QString> awaited;
    bool lookUpsFinished = false;
    // Its changes so far (other look-ups of its applications add theirs), by identifier.
    std::vector<AppUpdate> changes;
    QStringList changedIdentifiers;
    // Whether another look-up of one of its applications answered.
    bool answeredElsewhere = false;
};

void ListsController::searchApps(
    const QString &term,
    std::function<void(std::optional<Error>, std::optional<SearchResults>)> completion)
{
    auto results = std::make_shared<SearchResults>();
    // Why a scope failed when the store could not be reached at all.
    auto unreachable = std::make_shared<std::optional<Error>>();
    std::vector<std::shared_ptr<Operation>> batch;
    for (const auto scope :
         { AppStoreSearchOperationScope::Phone, AppStoreSearchOperationScope::Pad,
           AppStoreSearchOperationScope::Mac }) {
        auto operation = std::make_shared<AppStoreSearchOperation>(term, scope);
        operation->setQueuePriority(Operation::QueuePriority::High);
        // A scope that fails leaves no entry; only a search that fails everywhere is reported.
        operation->successHandler = [results, scope](const std::vector<CachedApp> &apps) {
            (*results)[scope] = apps;
        };
        operation->errorHandler = [unreachable](const Error &error, AppStoreOperation *) {
            if (!*unreachable && error.domain == Error::domainFor(QStringLiteral("HttpClient")))
                *unreachable = error;
        };
        batch.push_back(operation);
    }
    QPointer<ListsController> guard(this);
    m_appStoreOperationQueue.addOperations(
        batch, [guard, results, unreachable, completion = std::move(completion)] {
            if (!guard || !completion)
                return;
            // A store that could not be reached is not one where nothing matched.
            if (results->empty())
                completion(unreachable->value_or(
                               listsControllerError(ListsControllerErrorCode::NoSearchResults)),
                           std::nullopt);
            else
                completion(std::nullopt, std::move(*results));
        });
    Analytics::shared().track(QStringLiteral("Search App"));
}

void ListsController::reloadApps(
    const std::vector<App *> &apps,
    std::function<void(std::optional<Error>, std::optional<std::vector<AppUpdate>>)> completion,
    Operation::QueuePriority priority)
{
    const bool userAsked = priority == Operation::QueuePriority::High;
    auto batch = std::make_shared<ReloadBatch>();
    batch->givenCount = qsizetype(apps.size());
    batch->completion = std::move(completion);
    std::vector<std::shared_ptr<Operation>> operations;
    for (const App *app : apps) {
        if (!app || app->isDeleted())
            continue;
        // An identifier that stands twice in this call is looked up once.
        const QString identifier = app->identifier();
        if (batch->lookedUp.contains(identifier) || batch->awaited.contains(identifier))
            continue;
        // One another refresh looks up already is left to it, and its changes are that
        // refresh's to report. One the user is reloading is left to that reload, whose
        // changes this refresh takes over. The user never waits for a refresh's turn.
        const auto marked = m_reloadingApps.constFind(identifier);
        const bool refreshing = marked != m_reloadingApps.cend();
        if (refreshing && !userAsked) {
            if (*marked)
                batch->awaited.insert(identifier);
            continue;
        }
        auto operation = std::make_shared<AppStoreLookUpOperation>(identifier);
        operation->setQueuePriority(priority);
        // An answer about another application than the one asked for is not applied: it
        // would update a record nobody asked about and leave this one as it was.
        operation->successHandler = [batch, identifier, app](const CachedApp &answer) {
            if (answer.identifier == identifier) {
                batch->results.push_back(answer);
                // Records are kept while the context lives, deleted ones too.
                if (!app->isDeleted())
                    dropStoredDetails(batch->results.back(), *app);
            } else
                QTextStream(stdout) << "Refreshing " << identifier << " gave application "
                                    << answer.identifier << Qt::endl;
        };
        operation->errorHandler = [identifier](const Error &error, AppStoreOperation *) {
            QTextStream(stdout) << "Refreshing " << identifier << " failed: " << error.description
                                << Qt::endl;
        };
        operations.push_back(operation);
        batch->lookedUp.insert(identifier);
        // The refresh that marked it ends its mark itself.
        if (!refreshing) {
            m_reloadingApps.insert(identifier, userAsked);
            batch->marked << identifier;
        }
    }

    if (operations.empty() && batch->awaited.isEmpty()) {
        MainQueue::async([completion = std::move(batch->completion)] {
            if (completion)
                completion(std::nullopt, std::vector<AppUpdate>());
        });
        return;
    }
    m_reloadBatches.push_back(batch);
    if (operations.empty()) {
        batch->lookUpsFinished = true;
        return;
    }
    QPointer<ListsController> guard(this);
    m_appStoreOperationQueue.addOperations(operations, [guard, batch] {
        if (!guard)
            return;
        batch->lookUpsFinished = true;
        if (batch->awaited.isEmpty())
            guard->applyReloadResults(batch);
    });
}

void ListsController::applyReloadResults(const std::shared_ptr<ReloadBatch> &batch)
{
    std::erase(m_reloadBatches, batch);
    const auto endMarks = [this, &batch] {
        for (const QString &identifier : std::as_const(batch->marked))
            m_reloadingApps.remove(identifier);
        endWaitsFor(batch->marked);
    };
    if (batch->results.empty()) {
        endMarks();
        if (!batch->completion)
            return;
        // Failed only when no look-up of its applications answered, its own or another's.
        if (!batch->lookedUp.isEmpty() && !batch->answeredElsewhere)
            batch->completion(listsControllerError(ListsControllerErrorCode::RefreshFailed,
                                                   { qint64(batch->givenCount) }),
                              std::nullopt);
        else
            batch->completion(std::nullopt, std::move(batch->changes));
        return;
    }

    // The first watched record of each identifier, found once per batch.
    QHash<QString, App *> watched;
    for (App *app : apps()) {
        if (!watched.contains(app->identifier()))
            watched.insert(app->identifier(), app);
    }
    QSet<QString> reloaded;
    bool written = false;
    ObjectContext &context = *managedObjectContext();

    for (const CachedApp &result : batch->results) {
        App *app = watched.value(result.identifier);
        if (!app || app->isDeleted())
            continue;

        written |= copyStoreDetails(*app, result, context);
        const RefreshChanges found = detectRefreshChanges(TrackedValues::of(*app), result);
        const std::optional<AppUpdate> update = applyRefreshChanges(*app, found);
        if (update)
            addChange(batch->changes, batch->changedIdentifiers, result.identifier, *update);
        shareReloadResult(result.identifier, update);
        reloaded.insert(result.identifier);
    }
    endMarks();

    UserDefaults::standard().setValue(SettingsKeys::CurrencyCode,
                                      batch->results.front().currencyCode);
    if (written || !batch->changes.empty())
        saveWithAsync(true);
    NotificationCenter::defaultCenter().post(ListsControllerDidReloadApps, this,
                                             AppReload { reloaded }.userInfo());
    if (batch->completion)
        batch->completion(std::nullopt, std::move(batch->changes));
}

void ListsController::shareReloadResult(const QString &identifier,
                                        const std::optional<AppUpdate> &update)
{
    // Once applied, the answer leaves nothing to find for the other look-ups of the
    // application, so the batches that include it hear of it here.
    for (const std::shared_ptr<ReloadBatch> &other : m_reloadBatches) {
        if (!other->lookedUp.contains(identifier) && !other->awaited.contains(identifier))
            continue;
        other->answeredElsewhere = true;
        if (update)
            addChange(other->changes, other->changedIdentifiers, identifier, *update);
    }
}

void ListsController::endWaitsFor(const QStringList &identifiers)
{
    QPointer<ListsController> guard(this);
    for (const std::shared_ptr<ReloadBatch> &waiting : m_reloadBatches) {
        bool waited = false;
        for (const QString &identifier : identifiers)
            waited |= waiting->awaited.remove(identifier);
        if (!waited || !waiting->awaited.isEmpty() || !waiting->lookUpsFinished)
            continue;
        MainQueue::async([guard, waiting] {
            if (guard)
                guard->applyReloadResults(waiting);
        });
    }
}

} // namespace tanvill

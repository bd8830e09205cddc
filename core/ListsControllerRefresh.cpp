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

void ListsController::searchApps(
    const QString &term,
    std::function<void(std::optional<Error>, std::optional<SearchResults>)> completion)
{
    auto results = std::make_shared<SearchResults>();
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
        batch.push_back(operation);
    }
    QPointer<ListsController> guard(this);
    m_appStoreOperationQueue.addOperations(
        batch, [guard, results, completion = std::move(completion)] {
            if (!guard || !completion)
                return;
            if (results->empty())
                completion(listsControllerError(ListsControllerErrorCode::NoSearchResults),
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
    auto results = std::make_shared<std::vector<CachedApp>>();
    QStringList identifiers;
    QSet<QString> inBatch;
    std::vector<std::shared_ptr<Operation>> batch;
    for (const App *app : apps) {
        if (!app || app->isDeleted())
            continue;
        // An identifier another refresh is looking up already, or that stands twice in
        // this one, is looked up once; the user does not wait for a refresh's turn.
        const QString identifier = app->identifier();
        if (inBatch.contains(identifier))
            continue;
        const bool refreshing = m_reloadingApps.contains(identifier);
        if (refreshing && !userAsked)
            continue;
        inBatch.insert(identifier);
        auto operation = std::make_shared<AppStoreLookUpOperation>(identifier);
        operation->setQueuePriority(priority);
        // An answer about another application than the one asked for is not applied: it
        // would update a record nobody asked about and leave this one as it was.
        operation->successHandler = [results, identifier, app](const CachedApp &answer) {
            if (answer.identifier == identifier) {
                results->push_back(answer);
                // Records are kept while the context lives, deleted ones too.
                if (!app->isDeleted())
                    dropStoredDetails(results->back(), *app);
            } else
                QTextStream(stdout) << "Refreshing " << identifier << " gave application "
                                    << answer.identifier << Qt::endl;
        };
        operation->errorHandler = [identifier](const Error &error, AppStoreOperation *) {
            QTextStream(stdout) << "Refreshing " << identifier << " failed: " << error.description
                                << Qt::endl;
        };
        batch.push_back(operation);
        // The refresh that marked it ends its mark itself.
        if (!refreshing) {
            m_reloadingApps.insert(identifier);
            identifiers << identifier;
        }
    }

    if (batch.empty()) {
        MainQueue::async([completion = std::move(completion)] {
            if (completion)
                completion(std::nullopt, std::vector<AppUpdate>());
        });
        return;
    }
    const qsizetype givenCount = qsizetype(apps.size());
    QPointer<ListsController> guard(this);
    m_appStoreOperationQueue.addOperations(
        batch, [guard, results, identifiers, givenCount, completion = std::move(completion)] {
            if (guard)
                guard->applyReloadResults(*results, identifiers, givenCount, completion);
        });
}

void ListsController::applyReloadResults(const std::vector<CachedApp> &results,
                                         const QStringList &identifiers, qsizetype givenCount,
                                         const ReloadCompletion &completion)
{
    if (results.empty()) {
        for (const QString &identifier : identifiers)
            m_reloadingApps.remove(identifier);
        if (completion)
            completion(listsControllerError(ListsControllerErrorCode::RefreshFailed,
                                            { qint64(givenCount) }),
                       std::nullopt);
        return;
    }

    // The first watched record of each identifier, found once per batch.
    QHash<QString, App *> watched;
    for (App *app : apps()) {
        if (!watched.contains(app->identifier()))
            watched.insert(app->identifier(), app);
    }
    QSet<QString> reloaded;
    std::vector<AppUpdate> changes;
    bool written = false;
    ObjectContext &context = *managedObjectContext();

    for (const CachedApp &result : results) {
        App *app = watched.value(result.identifier);
        if (!app || app->isDeleted())
            continue;

        written |= copyStoreDetails(*app, result, context);
        const RefreshChanges found = detectRefreshChanges(TrackedValues::of(*app), result);
        if (std::optional<AppUpdate> update = applyRefreshChanges(*app, found))
            changes.push_back(std::move(*update));
        reloaded.insert(result.identifier);
    }
    for (const QString &identifier : identifiers)
        m_reloadingApps.remove(identifier);

    UserDefaults::standard().setValue(SettingsKeys::CurrencyCode, results.front().currencyCode);
    if (written || !changes.empty())
        saveWithAsync(true);
    NotificationCenter::defaultCenter().post(ListsControllerDidReloadApps, this,
                                             AppReload { reloaded }.userInfo());
    if (completion)
        completion(std::nullopt, std::move(changes));
}

} // namespace tanvill

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

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace tanvill {

namespace {

// How long one slice of applying a refresh's answers holds the UI thread.
constexpr qint64 kApplySliceMs = 20;
// A timer's shortest wait: work continued after it comes once the event loop has dispatched
// the events and timers already due, not straight after the posted call before it.
constexpr double kYieldSeconds = 0.001;

} // namespace

// One call of reloadApps, from its look-ups to its completion.
struct ListsController::ReloadBatch
{
    qsizetype givenCount = 0;
    ReloadCompletion completion;
    // The answers of its own look-ups, in the order they arrived, each with the store country
    // it was asked of.
    std::vector<CachedApp> results;
    // The identifiers it looks up itself, and those of them it marked as being refreshed.
    QSet<QString> lookedUp;
    QSet<QString> marked;
    // Identifiers a reload the user asked for is looking up: this batch ends after it.
    QSet<QString> awaited;
    bool lookUpsFinished = false;
    // Its changes so far (other look-ups of its applications add theirs).
    AppUpdateList changes;
    // Whether another look-up of one of its applications answered.
    bool answeredElsewhere = false;
    // Whether an answer was left out for the store country having changed since it was asked:
    // the store answered, so the batch did not fail.
    bool answeredByAnotherStore = false;

    // Where applying its answers stands, from one slice to the next.
    struct Applying
    {
        bool started = false;
        size_t next = 0;
        QHash<QString, App *> watched;
        QSet<QString> reloaded;
        bool written = false;
        // That of the first answer applied, if any.
        std::optional<QString> currencyCode;
    };
    Applying applying;
};

void ListsController::writeRefreshLine(const QString &line)
{
    QTextStream(stdout) << line << Qt::endl;
}

void ListsController::searchApps(
    const QString &term,
    std::function<void(std::optional<Error>, std::optional<SearchResults>)> completion)
{
    static constexpr AppStoreSearchOperationScope kScopes[]
        = { AppStoreSearchOperationScope::Phone, AppStoreSearchOperationScope::Pad,
            AppStoreSearchOperationScope::Mac };
    auto results = std::make_shared<SearchResults>();
    // Why each scope got no answer, in the order of kScopes.
    auto failures = std::make_shared<std::array<std::optional<Error>, std::size(kScopes)>>();
    std::vector<std::shared_ptr<Operation>> batch;
    for (size_t index = 0; index < std::size(kScopes); ++index) {
        const AppStoreSearchOperationScope scope = kScopes[index];
        auto operation = std::make_shared<AppStoreSearchOperation>(term, scope);
        operation->setQueuePriority(Operation::QueuePriority::High);
        // A scope where nothing matches leaves no entry.
        operation->successHandler = [results, scope](const std::vector<CachedApp> &apps) {
            if (!apps.empty())
                (*results)[scope] = apps;
        };
        operation->errorHandler = [failures, index](const Error &error, AppStoreOperation *) {
            (*failures)[index] = error;
        };
        batch.push_back(operation);
    }
    QPointer<ListsController> guard(this);
    m_appStoreOperationQueue.addOperations(
        batch, [guard, results, failures, completion = std::move(completion)] {
            if (!guard || !completion)
                return;
            // What was found is shown, though another platform did not answer. Nothing found
            // is "no match" only when every platform answered so: where one did not, its
            // matches are unknown, and the user is told why it failed (the first platform's
            // reason, Phone before Pad before Mac).
            if (!results->empty()) {
                completion(std::nullopt, std::move(*results));
                return;
            }
            for (const std::optional<Error> &failure : *failures) {
                if (failure) {
                    completion(*failure, std::nullopt);
                    return;
                }
            }
            completion(listsControllerError(ListsControllerErrorCode::NoSearchResults),
                       std::nullopt);
        });
    Analytics::shared().track(QStringLiteral("Search App"));
}

void ListsController::reloadApps(
    const std::vector<App *> &apps,
    std::function<void(std::optional<Error>, std::optional<std::vector<AppUpdate>>)> completion,
    Operation::QueuePriority priority)
{
    const bool userAsked = priority == Operation::QueuePriority::High;
    // The look-ups' handlers reach the UI thread later, when this controller may be gone.
    QPointer<ListsController> guard(this);
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
        // changes this refresh takes over. The user never waits for a refresh's turn. A
        // look-up sent to another store than the one chosen now is no look-up of this one:
        // it is cancelled and the application asked again here.
        endMarkOfAnotherStore(identifier);
        const auto marked = m_reloadingApps.constFind(identifier);
        const bool refreshing = marked != m_reloadingApps.cend();
        if (refreshing && !userAsked) {
            if (marked->userAsked)
                batch->awaited.insert(identifier);
            continue;
        }
        auto operation = std::make_shared<AppStoreLookUpOperation>(identifier);
        operation->setQueuePriority(priority);
        // An answer about another application than the one asked for is not applied: it
        // would update a record nobody asked about and leave this one as it was.
        operation->successHandler = [guard, batch, identifier, app](const CachedApp &answer) {
            if (!guard)
                return;
            guard->noteLookUpAnswered(identifier, batch.get(), answer.countryCode);
            if (answer.identifier == identifier) {
                batch->results.push_back(answer);
                // Records are kept while the context lives, deleted ones too.
                if (!app->isDeleted())
                    dropStoredDetails(batch->results.back(), *app);
            } else
                guard->m_refreshLog.warn(QStringLiteral("A look-up gave another application"),
                                         QStringLiteral("Refreshing %1 gave application %2")
                                             .arg(identifier, answer.identifier));
        };
        // Without a network every look-up fails: one line, and later their count.
        operation->errorHandler = [guard, batch, identifier](const Error &error,
                                                             AppStoreOperation *failed) {
            if (!guard)
                return;
            guard->noteLookUpAnswered(identifier, batch.get(), failed->askedCountryCode());
            guard->m_refreshLog.warn(
                QStringLiteral("Refreshing an application failed"),
                QStringLiteral("Refreshing %1 failed: %2").arg(identifier, error.description));
        };
        operations.push_back(operation);
        batch->lookedUp.insert(identifier);
        // The refresh that marked it ends its mark itself.
        if (!refreshing) {
            m_reloadingApps.insert(identifier, { userAsked, batch.get(), operation });
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
    const auto endMarks = [this, &batch] {
        std::erase(m_reloadBatches, batch);
        for (const QString &identifier : std::as_const(batch->marked))
            m_reloadingApps.remove(identifier);
        endWaitsFor(batch->marked);
    };
    if (batch->results.empty()) {
        endMarks();
        if (!batch->completion)
            return;
        // Failed only when no look-up of its applications answered, its own or another's.
        if (!batch->lookedUp.isEmpty() && !batch->answeredElsewhere
            && !batch->answeredByAnotherStore)
            batch->completion(listsControllerError(ListsControllerErrorCode::RefreshFailed,
                                                   { qint64(batch->givenCount) }),
                              std::nullopt);
        else
            batch->completion(std::nullopt, batch->changes.take());
        return;
    }

    ReloadBatch::Applying &applying = batch->applying;
    if (!std::exchange(applying.started, true)) {
        // The first watched record of each identifier, found once per batch.
        for (App *app : apps()) {
            if (!applying.watched.contains(app->identifier()))
                applying.watched.insert(app->identifier(), app);
        }
    }
    // Tens of thousands of answers are applied a slice at a time, so that the windows stay
    // responsive meanwhile. The batch stays among those under way until its last slice: a
    // reload that finds a change in between still reports it to this batch too.
    QElapsedTimer slice;
    slice.start();
    ObjectContext &context = store().context();
    const auto continueNextTurn = [this, &batch](bool afterPendingEvents) {
        QPointer<ListsController> guard(this);
        auto work = [guard, batch] {
            if (guard)
                guard->applyReloadResults(batch);
        };
        if (afterPendingEvents)
            delay(kYieldSeconds, std::move(work));
        else
            MainQueue::async(std::move(work));
    };
    const std::size_t firstThisTurn = applying.next;
    while (applying.next < batch->results.size()) {
        if (applying.next > 0 && slice.hasExpired(kApplySliceMs)) {
            continueNextTurn(false);
            return;
        }
        // Let go of each answer once applied: what is freed is spread over the slices too.
        const CachedApp result = std::move(batch->results[applying.next++]);
        // Another store was chosen since it was asked: the application is asked again of the
        // new one, by the refresh that follows the change. Prices, versions and ratings of two
        // stores never mix in the records.
        if (AppStoreOperation::isAnotherStore(result.countryCode)) {
            batch->answeredByAnotherStore = true;
            continue;
        }
        App *app = applying.watched.value(result.identifier);
        // Deleted or archived since the batch began, as when that happens during its look-up.
        if (!app || app->isDeleted() || !app->list() || app->list()->index() < 0)
            continue;
        if (!applying.currencyCode)
            applying.currencyCode = result.currencyCode;

        applying.written |= copyStoreDetails(*app, result, context);
        // Its values are the chosen store's now, whether or not they changed.
        if (app->storeCountry() != result.countryCode) {
            app->setStoreCountry(result.countryCode);
            applying.written = true;
        }
        const RefreshChanges found = detectRefreshChanges(TrackedValues::of(*app), result);
        // A price in a new currency is written though it is no change.
        applying.written |= !found.isEmpty();
        const std::optional<AppUpdate> update = applyRefreshChanges(*app, found);
        if (update)
            batch->changes.add(*update);
        shareReloadResult(result.identifier, update, batch.get());
        applying.reloaded.insert(result.identifier);
    }
    // The save of what a long slice applied waits until the event loop has taken the input
    // and timers due meanwhile, so that the two never hold the UI thread together.
    if (applying.next > firstThisTurn && slice.hasExpired(kApplySliceMs / 2)) {
        continueNextTurn(true);
        return;
    }
    endMarks();

    if (applying.currencyCode)
        UserDefaults::standard().setValue(SettingsKeys::CurrencyCode, *applying.currencyCode);
    if (applying.written || !batch->changes.empty())
        saveWithAsync(true);
    // What the notice sets off (every sorted table re-sorting its rows) waits in the same way
    // when this turn has held the UI thread for a slice already, as with a large refresh whose
    // save took long to hand over.
    if (!slice.hasExpired(kApplySliceMs)) {
        finishReload(batch);
        return;
    }
    QPointer<ListsController> guard(this);
    delay(kYieldSeconds, [guard, batch] {
        if (guard)
            guard->finishReload(batch);
    });
}

void ListsController::finishReload(const std::shared_ptr<ReloadBatch> &batch)
{
    NotificationCenter::defaultCenter().post(ListsControllerDidReloadApps, this,
                                             AppReload { batch->applying.reloaded }.userInfo());
    if (batch->completion)
        batch->completion(std::nullopt, batch->changes.take());
}

void ListsController::endMarkOfAnotherStore(const QString &identifier)
{
    const auto mark = m_reloadingApps.find(identifier);
    if (mark == m_reloadingApps.end())
        return;
    const std::shared_ptr<AppStoreLookUpOperation> lookUp = mark->lookUp.lock();
    const QString asked = lookUp ? lookUp->askedCountryCode() : mark->answeredCountryCode;
    // Not sent yet, it will ask the store chosen by then.
    if (!AppStoreOperation::isAnotherStore(asked))
        return;
    // The batch that marked it neither waits for it nor reports it any longer.
    for (const std::shared_ptr<ReloadBatch> &owner : m_reloadBatches) {
        if (owner.get() == mark->batch) {
            owner->lookedUp.remove(identifier);
            owner->marked.remove(identifier);
            break;
        }
    }
    m_reloadingApps.erase(mark);
    // Cancelled, it calls no handler, though its answer may have come already.
    if (lookUp)
        lookUp->cancel();
}

void ListsController::noteLookUpAnswered(const QString &identifier, const ReloadBatch *batch,
                                         const QString &askedCountryCode)
{
    const auto mark = m_reloadingApps.find(identifier);
    if (mark != m_reloadingApps.end() && mark->batch == batch)
        mark->answeredCountryCode = askedCountryCode;
}

void ListsController::shareReloadResult(const QString &identifier,
                                        const std::optional<AppUpdate> &update,
                                        const ReloadBatch *applying)
{
    // Once applied, the answer leaves nothing to find for the other look-ups of the
    // application, so the batches that include it hear of it here.
    for (const std::shared_ptr<ReloadBatch> &other : m_reloadBatches) {
        if (other.get() == applying
            || (!other->lookedUp.contains(identifier) && !other->awaited.contains(identifier)))
            continue;
        other->answeredElsewhere = true;
        if (update)
            other->changes.add(*update);
    }
}

void ListsController::endWaitsFor(const QSet<QString> &identifiers)
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

bool ListsController::holdsAppsOfAnotherStore() const
{
    const std::vector<App *> watched = apps();
    return std::any_of(watched.begin(), watched.end(), [](const App *app) {
        return AppStoreOperation::isAnotherStore(app->storeCountry());
    });
}

void ListsController::fetchMissingStoreContent()
{
    QPointer<ListsController> guard(this);
    std::vector<std::shared_ptr<Operation>> operations;
    auto fetched = std::make_shared<QSet<QString>>();
    auto gone = std::make_shared<std::vector<App *>>();
    auto asked = std::make_shared<std::vector<const App *>>();
    for (App *app : store().context().apps()) {
        if (!app->needsStoreContent() || m_fetchingContent.contains(app))
            continue;
        m_fetchingContent.insert(app);
        asked->push_back(app);
        const QString identifier = app->identifier();
        auto operation = std::make_shared<AppStoreLookUpOperation>(identifier);
        // Only what the file lacks, as it comes: an archived application is not refreshed.
        // Records are kept while the context lives, deleted ones too.
        operation->successHandler = [guard, fetched, app, identifier](const CachedApp &answer) {
            if (!guard || answer.identifier != identifier || app->isDeleted()
                || !app->needsStoreContent() || !app->loadContent(true, true))
                return;
            copyStoreContent(*app, answer, guard->store().context());
            app->storeContentFetched();
            fetched->insert(identifier);
        };
        // What is not fetched now is fetched by the next start.
        operation->errorHandler = [guard, identifier, app, gone](const Error &error,
                                                                 AppStoreOperation *) {
            if (!guard)
                return;
            if (isAppNotInStoreError(error))
                gone->push_back(app);
            guard->m_refreshLog.warn(QStringLiteral("Fetching a description failed"),
                                     QStringLiteral("Fetching the description of %1 failed: %2")
                                         .arg(identifier, error.description));
        };
        operations.push_back(operation);
    }
    if (operations.empty())
        return;
    m_appStoreOperationQueue.addOperations(operations, [guard, fetched, gone, asked] {
        if (!guard)
            return;
        // Those the store no longer has are let go of once the user has heard of them.
        for (const App *app : *asked) {
            if (std::find(gone->begin(), gone->end(), app) == gone->end())
                guard->m_fetchingContent.remove(app);
        }
        if (!gone->empty())
            guard->tellStoreContentGone(*gone);
        if (fetched->isEmpty())
            return;
        guard->saveWithAsync(true);
        NotificationCenter::defaultCenter().post(ListsControllerDidReloadApps, guard.data(),
                                                 AppReload { *fetched }.userInfo());
    });
}

} // namespace tanvill

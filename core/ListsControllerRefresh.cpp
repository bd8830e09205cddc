// The store work of ListsController that runs in batches: the search of the add field in
// the three platforms at once, and the refresh of watched applications that keeps their
// previous price, version and rating and reports what changed.

#include "core/ListsController.h"

#include "core/ListsControllerError.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "platform/Analytics.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QHash>
#include <QPointer>
#include <QTextStream>

#include <cmath>

namespace tanvill {

namespace {

// Texts that differ only in how their accented letters are composed are the same text.
bool sameText(const QString &a, const QString &b)
{
    return a == b
        || (a.size() != 0 && b.size() != 0
            && a.normalized(QString::NormalizationForm_C)
                == b.normalized(QString::NormalizationForm_C));
}

// Writes a text field only when the store says something else.
bool update(App *app, QString (App::*getter)() const, void (App::*setter)(const QString &),
            const QString &value)
{
    if (sameText((app->*getter)(), value))
        return false;
    (app->*setter)(value);
    return true;
}

bool sameScreenshots(const App *app, const QStringList &urls)
{
    const std::vector<Screenshot *> &screenshots = app->screenshots();
    if (qsizetype(screenshots.size()) != urls.size())
        return false;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        if (!sameText(screenshots[size_t(i)]->url(), urls[i]))
            return false;
    }
    return true;
}

} // namespace

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
                completion(listsControllerError(1), std::nullopt);
            else
                completion(std::nullopt, std::move(*results));
        });
    Analytics::shared().track(QStringLiteral("Search App"));
}

void ListsController::reloadApps(
    const std::vector<App *> &apps,
    std::function<void(std::optional<Error>, std::optional<std::vector<AppUpdate>>)> completion)
{
    auto results = std::make_shared<std::vector<CachedApp>>();
    QStringList identifiers;
    std::vector<std::shared_ptr<Operation>> batch;
    for (const App *app : apps) {
        if (!app || app->isDeleted())
            continue;
        // An identifier another refresh is looking up already, or that stands twice in
        // this one, is looked up once.
        const QString identifier = app->identifier();
        if (reloadingApps.contains(identifier))
            continue;
        auto operation = std::make_shared<AppStoreLookUpOperation>(identifier);
        // An answer about another application than the one asked for is not applied: it
        // would update a record nobody asked about and leave this one as it was.
        operation->successHandler = [results, identifier](const CachedApp &answer) {
            if (answer.identifier == identifier)
                results->push_back(answer);
            else
                QTextStream(stdout) << "Refreshing " << identifier << " gave application "
                                    << answer.identifier << Qt::endl;
        };
        operation->errorHandler = [identifier](const Error &error, AppStoreOperation *) {
            QTextStream(stdout) << "Refreshing " << identifier << " failed: " << error.description
                                << Qt::endl;
        };
        batch.push_back(operation);
        reloadingApps.insert(identifier);
        identifiers << identifier;
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
            reloadingApps.remove(identifier);
        if (completion)
            completion(listsControllerError(4, { qint64(givenCount) }), std::nullopt);
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
        reloadingApps.remove(result.identifier);
        App *app = watched.value(result.identifier);
        if (!app || app->isDeleted())
            continue;

        written |= update(app, &App::name, &App::setName, result.name);
        written |= update(app, &App::appStoreDescription, &App::setAppStoreDescription,
                          result.description);
        if (app->appKind() != result.kind) {
            app->setAppKind(result.kind);
            written = true;
        }
        written |= update(app, &App::developer, &App::setDeveloper, result.developer);
        written |= update(app, &App::iconUrl, &App::setIconUrl, result.iconUrl);
        written |= update(app, &App::appStoreUrl, &App::setAppStoreUrl, result.storeUrl);
        if (!sameScreenshots(app, result.screenshotUrls)) {
            const std::vector<Screenshot *> old = app->screenshots();
            for (Screenshot *screenshot : old)
                context.deleteObject(screenshot);
            for (const QString &url : result.screenshotUrls)
                context.insertScreenshot(app)->setUrl(url);
            written = true;
        }

        std::optional<AppUpdate> update;
        if (!sameText(app->version(), result.version)) {
            update.emplace(app->name());
            app->setLastVersion(app->version());
            app->setVersion(result.version);
            update->versionChange = Change<QString> { app->lastVersion(), app->version() };
        }
        if (std::fabs(app->rating() - result.rating) >= 0.05f) {
            if (!update)
                update.emplace(app->name());
            app->setLastRating(app->rating());
            app->setRating(result.rating);
            update->ratingChange = Change<float> { app->lastRating(), app->rating() };
        }
        if (std::fabs(app->price().toDouble() - result.price) >= 0.005) {
            if (!update)
                update.emplace(app->name());
            app->setLastPrice(app->price());
            app->setPrice(Decimal::fromDouble(result.price).value_or(Decimal()));
            update->pricingChange = Change<Decimal> { app->lastPrice(), app->price() };
        }
        if (update)
            changes.push_back(std::move(*update));
        reloaded.insert(result.identifier);
    }
    for (const QString &identifier : identifiers)
        reloadingApps.remove(identifier);

    UserDefaults::standard().setValue(SettingsKeys::CurrencyCode, results.front().currencyCode);
    if (written || !changes.empty())
        saveWithAsync(true);
    NotificationCenter::defaultCenter().post(ListsControllerDidReloadApps, this,
                                             AppReload { reloaded }.userInfo());
    if (completion)
        completion(std::nullopt, std::move(changes));
}

} // namespace tanvill

// Adding applications to lists, taking them out, moving and archiving them, and the two
// duplicate checks the windows ask before adding.

#include "core/ListsController.h"

#include "core/ListsControllerError.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "core/StoreResultRecord.h"
#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "store/AppStoreOperation.h"

#include <QPointer>

#include <algorithm>

namespace tanvill {

namespace {

// The value of a store identifier as text: pasted text may carry blanks or leading zeros
// ("00123" and " 123" name the same application as "123"). Text that is not digits is kept
// as it is, so that it matches nothing but itself.
QString identifierValue(const QString &identifier)
{
    const QString trimmed = identifier.trimmed();
    if (!isStoreIdentifier(trimmed))
        return identifier;
    qsizetype zeros = 0;
    while (zeros + 1 < trimmed.size() && trimmed.at(zeros) == QLatin1Char('0'))
        ++zeros;
    return trimmed.mid(zeros);
}

// The look-up of an identifier being added. When it goes without having answered (it was
// cancelled), `onAbandoned` releases the callers waiting for it, so that the identifier can
// be added again.
class AdditionLookUpOperation : public AppStoreLookUpOperation
{
public:
    using AppStoreLookUpOperation::AppStoreLookUpOperation;
    ~AdditionLookUpOperation() override
    {
        if (onAbandoned)
            onAbandoned();
    }

    std::function<void()> onAbandoned;
};

int displayedPosition(const App *app)
{
    const std::vector<App *> displayed = app->list()->displayedApps();
    const auto found = std::find(displayed.begin(), displayed.end(), app);
    return found == displayed.end() ? -1 : int(found - displayed.begin());
}

} // namespace

void ListsController::addAppWithIdentifier(const QString &identifier,
                                           std::function<void(std::optional<Error>)> completion)
{
    // A second request for an identifier whose look-up is under way waits for that look-up
    // instead of adding the application a second time.
    const QString key = identifierValue(identifier);
    auto pending = m_pendingAdditions.find(key);
    if (pending != m_pendingAdditions.end()) {
        pending->second.push_back(std::move(completion));
        return;
    }
    m_pendingAdditions[key].push_back(std::move(completion));
    lookUpAddition(key);
}

void ListsController::lookUpAddition(const QString &key)
{
    auto operation = std::make_shared<AdditionLookUpOperation>(key);
    operation->setQueuePriority(Operation::QueuePriority::High);
    // A handler already handed to the UI thread may run after this controller has gone.
    QPointer<ListsController> guard(this);
    auto answered = std::make_shared<bool>(false);
    operation->onAbandoned = [guard, key, answered] {
        if (guard && !*answered)
            guard->takePendingAdditions(key);
    };
    // An answer of the store chosen before the user chose another is no answer: that store's
    // price and currency would stand in the list of this one, or its "no such application"
    // would turn down one this store sells. The chosen store is asked again, the callers still
    // waiting.
    operation->errorHandler
        = [guard, key, answered](const Error &error, AppStoreOperation *failed) {
              *answered = true;
              if (!guard)
                  return;
              if (AppStoreOperation::isAnotherStore(failed->askedCountryCode())) {
                  guard->lookUpAddition(key);
                  return;
              }
              for (const auto &waiting : guard->takePendingAdditions(key)) {
                  if (waiting)
                      waiting(error);
              }
          };
    operation->successHandler = [guard, key, answered](const CachedApp &app) {
        *answered = true;
        if (!guard)
            return;
        if (AppStoreOperation::isAnotherStore(app.countryCode)) {
            guard->lookUpAddition(key);
            return;
        }
        // The application may have been kept while it was looked up (from search results,
        // say): it is not stored a second time, and the callers hear why.
        const std::optional<Error> kept = guard->canAddAppWithIdentifier(app.identifier);
        if (!kept)
            guard->addApp({ app });
        for (const auto &waiting : guard->takePendingAdditions(key)) {
            if (waiting)
                waiting(kept);
        }
    };
    m_appStoreOperationQueue.addOperation(operation);
}

std::vector<ListsController::AddCompletion>
ListsController::takePendingAdditions(const QString &identifier)
{
    auto node = m_pendingAdditions.extract(identifier);
    return node.empty() ? std::vector<AddCompletion>() : std::move(node.mapped());
}

std::vector<App *> ListsController::addApp(const std::vector<CachedApp> &results, List *list)
{
    List *target = list ? list : selectedList();
    if (results.empty() || !target || target->isDeleted())
        return {};

    // The notifications name the list that receives the applications, which need not be
    // the selected one.
    const int listIndex = target->index();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(ListsControllerWillUpdateList, this, ListUpdate { listIndex }.userInfo());

    ObjectContext &context = store().context();
    std::vector<App *> added;
    added.reserve(results.size());
    for (const CachedApp &result : results)
        added.push_back(insertAppFromStoreResult(context, target, result));
    saveWithAsync(true);
    // The store's currency, as the first answer of the store chosen now gives it.
    const auto ofTheChosenStore
        = std::find_if(results.begin(), results.end(), [](const auto &result) {
              return !AppStoreOperation::isAnotherStore(result.countryCode);
          });
    if (ofTheChosenStore != results.end())
        UserDefaults::standard().setValue(SettingsKeys::CurrencyCode,
                                          ofTheChosenStore->currencyCode);
    center.post(ListsControllerDidUpdateList, this, ListUpdate { listIndex, 0 }.userInfo());
    updateDockTile();
    Analytics::shared().track(QStringLiteral("Add App"));
    return added;
}

void ListsController::deleteApp(App *app)
{
    if (!app || app->isDeleted() || !app->list())
        return;
    List *list = app->list();
    const int listIndex = list->index();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(ListsControllerWillUpdateList, this, ListUpdate { listIndex }.userInfo());
    center.post(ListsControllerWillDeleteApp, this, AppDeletion { app->identifier() }.userInfo());
    const int position = displayedPosition(app);
    store().context().deleteObject(app);
    saveWithAsync(true);
    updateDockTile();
    center.post(ListsControllerDidUpdateList, this, ListUpdate { listIndex, position }.userInfo());
}

void ListsController::moveApp(App *app, List *list)
{
    if (!app || app->isDeleted() || !app->list() || !list || list->isDeleted()
        || list == app->list())
        return;
    List *source = app->list();
    const int sourceIndex = source->index();
    const int targetIndex = list->index();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(ListsControllerWillUpdateList, this, ListUpdate { sourceIndex }.userInfo());
    center.post(ListsControllerWillUpdateList, this, ListUpdate { targetIndex }.userInfo());
    const int position = displayedPosition(app);
    app->setList(list);
    saveWithAsync(true);
    center.post(ListsControllerDidUpdateList, this,
                ListUpdate { sourceIndex, position }.userInfo());
    center.post(ListsControllerDidUpdateList, this, ListUpdate { targetIndex, 0 }.userInfo());
    center.post(ListsControllerDidMoveApp, this, AppDeletion { app->identifier() }.userInfo());
}

void ListsController::moveApp(App *app, int toIndex)
{
    if (!app || app->isDeleted() || !app->list())
        return;
    List *list = app->list();
    std::vector<App *> displayed = list->displayedApps();
    const int position = displayedPosition(app);
    if (position < 0)
        return;
    const int newPosition = std::clamp(toIndex, 0, int(displayed.size()) - 1);
    if (newPosition == position)
        return;
    const int listIndex = list->index();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(ListsControllerWillUpdateList, this, ListUpdate { listIndex }.userInfo());
    displayed.erase(displayed.begin() + position);
    displayed.insert(displayed.begin() + newPosition, app);
    std::reverse(displayed.begin(), displayed.end());
    list->setApps(displayed);
    saveWithAsync(true);
    center.post(ListsControllerDidUpdateList, this,
                ListUpdate { listIndex, std::nullopt, position, newPosition }.userInfo());
}

void ListsController::archiveApp(App *app, QObject *noticeWindow)
{
    if (!app || app->isDeleted() || !app->list() || app->archived())
        return;
    moveApp(app, archive());
    updateDockTile();
    Analytics::shared().track(QStringLiteral("Archive App"));

    if (!UserDefaults::standard().boolean(SettingsKeys::HasSeenFirstArchiveNotice, false)) {
        Alert notice;
        notice.style = Alert::Style::Informational;
        notice.messageText = Strings::localized(QStringLiteral("FirstArchiveTitle"));
        notice.informativeText = Strings::localized(QStringLiteral("FirstArchiveMessage"));
        // On the window the user archived in, answered before anything else goes on.
        notice.window = noticeWindow;
        notice.blocksApplication = true;
        AlertPresenter::current().runModal(notice);
        UserDefaults::standard().setValue(SettingsKeys::HasSeenFirstArchiveNotice, true);
    }
}

std::optional<Error> ListsController::canAddAppWithIdentifier(const QString &identifier) const
{
    const QString value = identifierValue(identifier);
    for (const App *app : apps()) {
        if (identifierValue(app->identifier()) == value)
            return listsControllerError(ListsControllerErrorCode::AlreadyInList,
                                        { app->list()->name() });
    }
    return std::nullopt;
}

bool ListsController::hasAddedAppWithIdentifier(const QString &identifier) const
{
    const QString value = identifierValue(identifier);
    const ObjectContext *context = records();
    if (!context)
        return true;
    const auto &all = context->apps();
    return std::none_of(all.begin(), all.end(), [&value](const App *app) {
        return identifierValue(app->identifier()) == value;
    });
}

} // namespace tanvill

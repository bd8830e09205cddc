#include "core/ListsController.h"

#include "core/App.h"
#include "core/List.h"
#include "core/ListRows.h"
#include "core/ListsControllerError.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/DockBadge.h"
#include "platform/Identity.h"
#include "platform/NotificationCenter.h"
#include "platform/SharedInstance.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>

#include <algorithm>

namespace tanvill {

namespace {

Error storeError(int code, const QString &descriptionKey, const QString &suggestionKey,
                 const QString &detail)
{
    Error error;
    error.domain = Error::domainFor(QStringLiteral("ObjectStore"));
    error.code = code;
    error.description = Strings::localized(descriptionKey);
    error.recoverySuggestion = Strings::localizedFormat(suggestionKey, { detail });
    error.recoveryOptions = { Strings::localized(QStringLiteral("OK")) };
    return error;
}

// Prices an older version kept without their currency are in the store's currency of the day
// they are first opened here, and keep it from then on: a later change of store country must
// not read as a change of their prices. True when any was given one.
bool giveCurrencyToPricesWithout(ObjectContext &context)
{
    const QString currency
        = UserDefaults::standard().string(SettingsKeys::CurrencyCode, QStringLiteral("USD"));
    bool given = false;
    for (App *app : context.apps()) {
        if (app->currencyCode().isEmpty()) {
            app->setCurrencyCode(currency);
            given = true;
        }
    }
    return given;
}

} // namespace

ListsController &ListsController::sharedController()
{
    return SharedInstance<ListsController>::get("ListsController::sharedController");
}

QString ListsController::defaultStorePath()
{
    return applicationFolder(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Tanvill.sqlite");
}

ListsController::ListsController(const QString &storePath, QObject *parent)
    : QObject(parent), m_store(std::make_unique<ObjectStore>())
{
    m_store->open(storePath);
    setUpStore();
}

ListsController::ListsController(std::unique_ptr<ObjectStore> store, QObject *parent)
    : QObject(parent), m_store(std::move(store))
{
    setUpStore();
}

void ListsController::setUpStore()
{
    m_store->saveFailed = [this](const QString &error) {
        saveFailed(error);
    };
    m_store->saveSucceeded = [this] {
        m_saveFailureReported = false;
    };
    // What the file written anew lacks (a description or screenshots the old one could no
    // longer give) is fetched from the store again, for archived applications too.
    m_store->storeRepaired = [this](const QString &setAsidePath) {
        m_saveFailureReported = false;
        reportRepair(setAsidePath);
        fetchMissingStoreContent();
    };
    m_store->storeReplaced = [this](const QString &setAsidePath) {
        m_saveFailureReported = false;
        fetchMissingStoreContent();
        AlertPresenter::current().presentError(
            storeError(6, QStringLiteral("StoreReplacedNotice"),
                       setAsidePath.isEmpty() ? QStringLiteral("StoreRemovedSuggestion")
                                              : QStringLiteral("StoreReplacedSuggestion"),
                       QDir::toNativeSeparators(setAsidePath)));
    };
    m_store->storeTaken = [this](const QString &keptPath) {
        m_saveFailureReported = true; // every save keeps the changes in that file from now on
        AlertPresenter::current().presentError(storeError(10, QStringLiteral("StoreTakenNotice"),
                                                          QStringLiteral("StoreTakenSuggestion"),
                                                          QDir::toNativeSeparators(keptPath)));
    };
    UserDefaults::standard().observe(SettingsKeys::DisplayAppCountAsIconBadge, this,
                                     [this](const QVariant &) { updateDockTile(); });
    m_store->whenOpened([this](const ObjectStore::OpenResult &result) { storeOpened(result); });
}

void ListsController::storeOpened(const ObjectStore::OpenResult &result)
{
    const QString storePath = m_store->path();
    if (result.outcome == ObjectStore::OpenOutcome::InUse
        || result.outcome == ObjectStore::OpenOutcome::Newer) {
        m_saveFailureReported = true; // nothing is ever saved here
        qWarning().noquote() << result.error;
    } else if (result.outcome == ObjectStore::OpenOutcome::Failed) {
        m_saveFailureReported = true; // the user hears about the missing store instead
        const bool folderMissing = !QFileInfo(QFileInfo(storePath).absolutePath()).isDir();
        qWarning().noquote().nospace()
            << (folderMissing ? "Error creating documents directory: "
                              : "Error adding persistent store: ")
            << result.error << ", " << QDir::toNativeSeparators(storePath);
    } else if (result.outcome == ObjectStore::OpenOutcome::ReplacedUnreadable) {
        qWarning().noquote().nospace() << "Error adding persistent store: " << result.error << ", "
                                       << QDir::toNativeSeparators(storePath);
    }
    if ((result.outcome != ObjectStore::OpenOutcome::Opened
         && result.outcome != ObjectStore::OpenOutcome::Created)
        || !result.leftoverPath.isEmpty() || !result.journalSetAsidePath.isEmpty())
        QMetaObject::invokeMethod(this, &ListsController::reportOpening, Qt::QueuedConnection);
    if (ObjectStore::isUsable(result.outcome) && giveCurrencyToPricesWithout(m_store->context()))
        saveWithAsync(true);
    if (ObjectStore::isUsable(result.outcome))
        fetchMissingStoreContent();
    updateDockTile();
}

ListsController::~ListsController()
{
    // A last chance for changes nobody saved. The application is going away, so a failure
    // goes to the console only.
    m_store->saveFailed = {};
    m_store->saveSucceeded = {};
    m_store->storeRepaired = {};
    m_store->storeReplaced = {};
    // A store never taken over holds nothing anybody changed.
    if (!m_store->isOpening() && (m_store->isOpen() || m_store->hasUnsavedChanges()))
        m_store->save(false);
}

ObjectContext *ListsController::records() const
{
    Q_ASSERT_X(!m_store->isOpening(), "ListsController",
               "records are asked for before the store was taken over");
    // The opening owns them until then.
    return m_store->isOpening() ? nullptr : &m_store->context();
}

ObjectStore &ListsController::store() const
{
    Q_ASSERT_X(!m_store->isOpening(), "ListsController",
               "records are changed before the store was taken over");
    // Only a store taken over keeps a change.
    m_store->takeOver();
    return *m_store;
}

void ListsController::reportRepair(const QString &setAsidePath)
{
    AlertPresenter::current().presentError(storeError(4, QStringLiteral("StoreRepairedNotice"),
                                                      QStringLiteral("StoreRepairedSuggestion"),
                                                      QDir::toNativeSeparators(setAsidePath)));
}

void ListsController::tellStoreContentGone(const std::vector<App *> &apps)
{
    QStringList names;
    for (const App *app : apps) {
        if (!app->isDeleted())
            names << app->name();
    }
    const auto letGo = [this, apps] {
        for (const App *app : apps)
            m_fetchingContent.remove(app);
    };
    if (names.isEmpty()) {
        letGo();
        return;
    }
    Alert alert;
    alert.style = Alert::Style::Informational;
    alert.messageText
        = Strings::localizedFormat(QStringLiteral("StoreContentGoneTitle"), { names.size() });
    alert.informativeText = Strings::localizedFormat(QStringLiteral("StoreContentGoneMessage"),
                                                     { names.join(QStringLiteral(", ")) });
    // Asked for no more once the user has read it: a start that ends before asks and tells again.
    AlertPresenter::current().present(
        alert, [guard = QPointer<ListsController>(this), apps, letGo](const AlertAnswer &answer) {
            if (!guard)
                return;
            letGo();
            if (!answer.answered)
                return;
            for (App *app : apps) {
                if (!app->isDeleted() && app->needsStoreContent() && app->loadContent(true, false))
                    app->storeContentFetched();
            }
            guard->saveWithAsync(true);
        });
}

void ListsController::reportLeftover(const QString &path)
{
    // Told once for each such file: it may hold something the user wants, and stays there.
    const QFileInfo file(path);
    const QString seen = QStringLiteral("%1 %2 %3")
                             .arg(path)
                             .arg(file.size())
                             .arg(file.lastModified().toMSecsSinceEpoch());
    UserDefaults &defaults = UserDefaults::standard();
    if (!file.exists() || defaults.string(SettingsKeys::ToldStoreLeftover) == seen)
        return;
    defaults.setValue(SettingsKeys::ToldStoreLeftover, seen);
    AlertPresenter::current().presentError(storeError(9, QStringLiteral("StoreLeftoverNotice"),
                                                      QStringLiteral("StoreLeftoverSuggestion"),
                                                      QDir::toNativeSeparators(path)));
}

void ListsController::reportOpening()
{
    const ObjectStore::OpenResult &openResult = store().openResult();
    if (ObjectStore::isUsable(openResult.outcome) && !openResult.leftoverPath.isEmpty())
        reportLeftover(openResult.leftoverPath);
    if (ObjectStore::isUsable(openResult.outcome) && !openResult.journalSetAsidePath.isEmpty())
        AlertPresenter::current().presentError(
            storeError(11, QStringLiteral("StoreJournalSetAsideNotice"),
                       QStringLiteral("StoreJournalSetAsideSuggestion"),
                       QDir::toNativeSeparators(openResult.journalSetAsidePath)));
    switch (openResult.outcome) {
    case ObjectStore::OpenOutcome::Opened:
    case ObjectStore::OpenOutcome::Created:
        return;
    case ObjectStore::OpenOutcome::ReplacedUnreadable:
        AlertPresenter::current().presentError(storeError(
            2, QStringLiteral("StoreSetAsideNotice"), QStringLiteral("StoreSetAsideSuggestion"),
            QDir::toNativeSeparators(openResult.setAsidePath)));
        return;
    case ObjectStore::OpenOutcome::Repaired:
        reportRepair(openResult.setAsidePath);
        return;
    case ObjectStore::OpenOutcome::RewriteFinished:
        // Nothing to tell when no file of the user's was set aside.
        if (!openResult.setAsidePath.isEmpty())
            AlertPresenter::current().presentError(
                storeError(8, QStringLiteral("StoreRewriteFinishedNotice"),
                           QStringLiteral("StoreRewriteFinishedSuggestion"),
                           QDir::toNativeSeparators(openResult.setAsidePath)));
        return;
    default:
        break;
    }
    // Going on without a store would lose everything the user enters from now on; with
    // the store in another process's hands, everything the user enters would fight it; a
    // store of a later version must reach that version unchanged.
    using Outcome = ObjectStore::OpenOutcome;
    const Error error = openResult.outcome == Outcome::InUse && openResult.runningCopy > 0
        ? storeError(5, QStringLiteral("StoreInUseNotice"), QStringLiteral("StoreInUseSuggestion"),
                     openResult.error)
        : openResult.outcome == Outcome::InUse
        ? storeError(5, QStringLiteral("StoreHeldNotice"), QStringLiteral("StoreHeldSuggestion"),
                     openResult.error)
        : openResult.outcome == Outcome::Newer
        ? storeError(7, QStringLiteral("StoreNewerNotice"), QStringLiteral("StoreNewerSuggestion"),
                     openResult.error)
        : storeError(3, QStringLiteral("StoreUnavailableNotice"),
                     QStringLiteral("StoreUnavailableSuggestion"), openResult.error);
    Alert alert;
    alert.style = Alert::Style::Critical;
    alert.messageText = error.description;
    alert.informativeText = error.recoverySuggestion;
    if (!m_unusableStoreNote.isEmpty())
        alert.informativeText += QStringLiteral("\n\n") + m_unusableStoreNote;
    AlertPresenter::current().runModal(alert);
    QCoreApplication::exit(1);
}

void ListsController::saveFailed(const QString &error)
{
    if (m_saveFailureReported)
        return;
    m_saveFailureReported = true;
    AlertPresenter::current().presentError(storeError(1, QStringLiteral("StoreSaveFailedNotice"),
                                                      QStringLiteral("StoreSaveFailedSuggestion"),
                                                      error));
}

std::vector<List *> ListsController::lists() const
{
    const ObjectContext *context = records();
    if (!context)
        return {};
    if (!m_lists) {
        std::vector<List *> visible;
        for (List *list : context->lists()) {
            if (list->index() >= 0)
                visible.push_back(list);
        }
        std::stable_sort(visible.begin(), visible.end(),
                         [](const List *a, const List *b) { return a->index() < b->index(); });
        m_lists = std::move(visible);
    }
    return *m_lists;
}

List *ListsController::selectedList() const
{
    const std::vector<List *> visible = lists();
    if (visible.empty())
        return nullptr;
    qint64 position = UserDefaults::standard().integer(SettingsKeys::SelectedList, 0);
    if (position < 0 || position >= qint64(visible.size()))
        position = 0;
    return visible[std::size_t(position)];
}

std::vector<App *> ListsController::apps() const
{
    const ObjectContext *context = records();
    if (!context)
        return {};
    std::vector<App *> watched;
    for (App *app : context->apps()) {
        if (app->list() && app->list()->index() >= 0)
            watched.push_back(app);
    }
    return watched;
}

List *ListsController::archive()
{
    if (m_archive && !m_archive->isDeleted())
        return m_archive;
    for (List *list : store().context().lists()) {
        if (list->index() == -1) {
            m_archive = list;
            return m_archive;
        }
    }
    List *list = store().context().insertList();
    list->setName(bundleIdentifier() + QStringLiteral(".Archive"));
    list->setIndex(-1);
    saveWithAsync(true);
    m_archive = list;
    return m_archive;
}

void ListsController::saveWithAsync(bool async)
{
    if (const std::optional<QString> error = store().save(async))
        saveFailed(*error);
}

List *ListsController::createList(const QString &name, ThemeName color,
                                  const std::vector<CachedApp> &apps)
{
    const int index = int(lists().size());
    List *list = store().context().insertList();
    list->setName(name);
    list->setIndex(index);
    list->setColor(rawValue(color));
    // Adding the applications saves the list with them.
    if (apps.empty())
        saveWithAsync(true);
    m_lists.reset();
    NotificationCenter::defaultCenter().post(ListsControllerDidAddList, this);
    UserDefaults::standard().setValue(SettingsKeys::SelectedList, index);
    Analytics::shared().track(QStringLiteral("Create List"));
    addApp(apps, list);
    return list;
}

std::optional<Error> ListsController::deleteList(List *list)
{
    const std::vector<List *> visible = lists();
    if (visible.size() == 1)
        return listsControllerError(ListsControllerErrorCode::OnlyList);
    if (!list || std::find(visible.begin(), visible.end(), list) == visible.end())
        return listsControllerError(ListsControllerErrorCode::ListNotFound);

    UserDefaults &defaults = UserDefaults::standard();
    const qint64 stored = defaults.integer(SettingsKeys::SelectedList, 0);
    const bool storedIsValid = stored >= 0 && stored < qint64(visible.size());
    // The list that is to stay selected once the deleted one is gone.
    List *keep = storedIsValid ? visible[std::size_t(stored)] : nullptr;
    if (keep == list) {
        const qint64 neighbour = stored == 0 ? 1 : stored - 1;
        keep = visible[std::size_t(neighbour)];
        // Observers see the neighbour selected while the deleted list still exists.
        defaults.setValue(SettingsKeys::SelectedList, neighbour);
    }

    // The list's applications go with it: whatever shows one of them (its detail window, a note
    // being typed there) ends while the application still exists, as for one deleted alone.
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const std::vector<App *> apps = list->apps();
    for (const App *app : apps) {
        if (!app->isDeleted())
            center.post(ListsControllerWillDeleteApp, this,
                        AppDeletion { app->identifier() }.userInfo());
    }

    store().context().deleteObject(list);
    m_lists.reset();
    const std::vector<List *> remaining = lists();
    for (std::size_t position = 0; position < remaining.size(); ++position) {
        if (remaining[position]->index() != int(position))
            remaining[position]->setIndex(int(position));
    }
    // Renumbering moved the kept list when a list before it went away.
    if (keep && defaults.integer(SettingsKeys::SelectedList, 0) != keep->index())
        defaults.setValue(SettingsKeys::SelectedList, keep->index());

    saveWithAsync(true);
    center.post(ListsControllerDidDeleteList, this);
    updateDockTile();
    return std::nullopt;
}

void ListsController::moveList(List *list, int toIndex)
{
    if (!list)
        return;
    const int oldIndex = list->index();
    if (oldIndex == toIndex)
        return;
    const std::vector<List *> visible = lists();
    if (toIndex < 0 || toIndex >= int(visible.size()) || oldIndex < 0
        || oldIndex >= int(visible.size()))
        return;
    // The selection names a list; its position is only how the setting stores it.
    List *selected = selectedList();
    if (oldIndex < toIndex) {
        for (int position = oldIndex + 1; position <= toIndex; ++position)
            visible[std::size_t(position)]->setIndex(position - 1);
    } else {
        for (int position = toIndex; position < oldIndex; ++position)
            visible[std::size_t(position)]->setIndex(position + 1);
    }
    list->setIndex(toIndex);
    m_lists.reset();
    saveWithAsync(true);
    // Written before the notice, so that no window shows another list in between.
    UserDefaults &defaults = UserDefaults::standard();
    if (defaults.integer(SettingsKeys::SelectedList, 0) != selected->index())
        defaults.setValue(SettingsKeys::SelectedList, selected->index());
    NotificationCenter::defaultCenter().post(ListsControllerDidRearrangeLists, this,
                                             ListRearrangement { oldIndex, toIndex }.userInfo());
}

void ListsController::updateDockTile()
{
    if (!UserDefaults::standard().boolean(SettingsKeys::DisplayAppCountAsIconBadge, false)) {
        DockBadge::setLabel(std::nullopt);
        return;
    }
    const qint64 count = qint64(apps().size());
    DockBadge::setLabel(count > 0 ? std::optional<QString>(QString::number(count)) : std::nullopt);
}

std::optional<TableRows> ListsController::rowsForListAtIndex(int index, ListGrouping grouping,
                                                             ListSorting sorting,
                                                             Error *error) const
{
    if (const ObjectContext *context = records()) {
        for (const List *list : context->lists()) {
            if (list->index() == index)
                return rowsForList(list, grouping, sorting);
        }
    }
    if (error)
        *error = listsControllerError(ListsControllerErrorCode::ListNotFound);
    return std::nullopt;
}

} // namespace tanvill

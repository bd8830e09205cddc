#include "core/ObjectContext.h"

#include "core/Database.h"
#include "core/TextLimits.h"

#include <sqlite3.h>

#include <algorithm>
#include <future>
#include <unordered_map>

namespace tanvill {

namespace {

template<typename T> void eraseValue(std::vector<T *> &vector, T *value)
{
    vector.erase(std::remove(vector.begin(), vector.end(), value), vector.end());
}

} // namespace

ObjectContext::ObjectContext() = default;
ObjectContext::~ObjectContext() = default;

List *ObjectContext::insertList()
{
    m_allLists.push_back(std::unique_ptr<List>(new List(this, m_nextListId++)));
    List *list = m_allLists.back().get();
    m_liveLists.push_back(list);
    markChanged(list);
    return list;
}

App *ObjectContext::insertApp(List *list)
{
    m_allApps.push_back(std::unique_ptr<App>(new App(this, m_nextAppId++)));
    App *app = m_allApps.back().get();
    app->m_description = QByteArray();
    app->m_descriptionChanged = true;
    m_liveApps.push_back(app);
    markChanged(app);
    app->setList(list);
    return app;
}

Screenshot *ObjectContext::insertScreenshot(App *app)
{
    m_allScreenshots.push_back(
        std::unique_ptr<Screenshot>(new Screenshot(this, m_nextScreenshotId++)));
    Screenshot *screenshot = m_allScreenshots.back().get();
    if (app && !app->isDeleted()) {
        screenshot->m_app = app;
        screenshot->m_position
            = app->m_screenshots.empty() ? 0 : app->m_screenshots.back()->m_position + 1;
        app->m_screenshots.push_back(screenshot);
    }
    markChanged(screenshot);
    return screenshot;
}

void ObjectContext::deleteObject(Screenshot *screenshot)
{
    if (!screenshot || screenshot->isDeleted())
        return;
    if (screenshot->m_app)
        eraseValue(screenshot->m_app->m_screenshots, screenshot);
    screenshot->m_app = nullptr;
    screenshot->m_deleted = true;
    m_changedScreenshots.erase(screenshot);
    m_deletedScreenshots.push_back(screenshot->objectId());
}

void ObjectContext::deleteObject(App *app)
{
    if (!app || app->isDeleted())
        return;
    const std::vector<Screenshot *> screenshots = app->m_screenshots;
    for (Screenshot *screenshot : screenshots)
        deleteObject(screenshot);
    if (app->m_list)
        app->m_list->removeApp(app);
    app->m_list = nullptr;
    app->m_deleted = true;
    eraseValue(m_liveApps, app);
    m_changedApps.erase(app);
    m_deletedApps.push_back(app->objectId());
}

void ObjectContext::deleteObject(List *list)
{
    if (!list || list->isDeleted())
        return;
    const std::vector<App *> apps = list->m_apps;
    for (App *app : apps)
        deleteObject(app);
    list->m_deleted = true;
    eraseValue(m_liveLists, list);
    m_changedLists.erase(list);
    m_deletedLists.push_back(list->objectId());
}

bool ObjectContext::hasChanges() const
{
    return !m_changedLists.empty() || !m_changedApps.empty() || !m_changedScreenshots.empty()
        || !m_deletedLists.empty() || !m_deletedApps.empty() || !m_deletedScreenshots.empty();
}

std::optional<QByteArray> ObjectContext::loadDescription(const App *app) const
{
    if (!m_descriptionLoader)
        return QByteArray();
    return m_descriptionLoader(app->objectId());
}

quint64 ObjectContext::takeChanges(ChangeSet &changes)
{
    // A screenshot taken away from its application has nothing left to show.
    std::vector<Screenshot *> orphans;
    for (Screenshot *screenshot : m_changedScreenshots) {
        if (!screenshot->m_app)
            orphans.push_back(screenshot);
    }
    for (Screenshot *screenshot : orphans)
        deleteObject(screenshot);

    InFlight inFlight;
    for (List *list : m_changedLists) {
        changes.lists.push_back({ list->objectId(), list->m_index, list->m_name, list->m_color });
        inFlight.lists.push_back(list);
    }
    for (App *app : m_changedApps) {
        AppRow row;
        row.id = app->objectId();
        if (app->m_list)
            row.listId = app->m_list->objectId();
        row.position = app->m_position;
        row.identifier = app->m_identifier;
        row.name = app->m_name;
        row.developer = app->m_developer;
        if (app->m_descriptionChanged) {
            row.description = app->m_description.value_or(QByteArray());
            app->m_descriptionChanged = false;
            inFlight.appsWithDescription.push_back(app);
        }
        row.price = app->m_price.toString();
        row.lastPrice = app->m_lastPrice.toString();
        row.rating = app->m_rating;
        row.lastRating = app->m_lastRating;
        row.iconUrl = app->m_iconUrl;
        row.kind = app->m_kind;
        row.appStoreUrl = app->m_appStoreUrl;
        row.version = app->m_version;
        row.lastVersion = app->m_lastVersion;
        row.notes = app->m_notes;
        changes.apps.push_back(std::move(row));
        inFlight.apps.push_back(app);
    }
    for (Screenshot *screenshot : m_changedScreenshots) {
        changes.screenshots.push_back({ screenshot->objectId(), screenshot->m_app->objectId(),
                                        screenshot->m_position, screenshot->m_url });
        inFlight.screenshots.push_back(screenshot);
    }
    changes.deletedLists = m_deletedLists;
    changes.deletedApps = m_deletedApps;
    changes.deletedScreenshots = m_deletedScreenshots;
    inFlight.deletedLists = std::move(m_deletedLists);
    inFlight.deletedApps = std::move(m_deletedApps);
    inFlight.deletedScreenshots = std::move(m_deletedScreenshots);

    m_changedLists.clear();
    m_changedApps.clear();
    m_changedScreenshots.clear();
    m_deletedLists.clear();
    m_deletedApps.clear();
    m_deletedScreenshots.clear();

    const quint64 ticket = m_nextTicket++;
    m_inFlight.emplace(ticket, std::move(inFlight));
    return ticket;
}

void ObjectContext::changesCommitted(quint64 ticket)
{
    m_inFlight.erase(ticket);
}

void ObjectContext::changesFailed(quint64 ticket)
{
    auto found = m_inFlight.find(ticket);
    if (found == m_inFlight.end())
        return;
    InFlight &failed = found->second;
    // Every row is written whole, so marking the records changed again writes their
    // current state, whatever later saves did in between.
    for (List *list : failed.lists) {
        if (!list->isDeleted())
            markChanged(list);
    }
    for (App *app : failed.apps) {
        if (!app->isDeleted())
            markChanged(app);
    }
    for (App *app : failed.appsWithDescription) {
        if (!app->isDeleted())
            app->m_descriptionChanged = true;
    }
    for (Screenshot *screenshot : failed.screenshots) {
        if (!screenshot->isDeleted())
            markChanged(screenshot);
    }
    m_deletedLists.insert(m_deletedLists.end(), failed.deletedLists.begin(),
                          failed.deletedLists.end());
    m_deletedApps.insert(m_deletedApps.end(), failed.deletedApps.begin(), failed.deletedApps.end());
    m_deletedScreenshots.insert(m_deletedScreenshots.end(), failed.deletedScreenshots.begin(),
                                failed.deletedScreenshots.end());
    m_inFlight.erase(found);
}

void ObjectContext::markEverythingChanged()
{
    for (App *app : m_liveApps) {
        if (!app->m_description)
            app->m_description = loadDescription(app).value_or(QByteArray());
        app->m_descriptionChanged = true;
        markChanged(app);
    }
    for (List *list : m_liveLists)
        markChanged(list);
    for (const auto &screenshot : m_allScreenshots) {
        if (!screenshot->isDeleted() && screenshot->m_app)
            markChanged(screenshot.get());
    }
    m_deletedLists.clear();
    m_deletedApps.clear();
    m_deletedScreenshots.clear();
    m_inFlight.clear();
}

void ObjectContext::clear()
{
    m_liveLists.clear();
    m_liveApps.clear();
    m_changedLists.clear();
    m_changedApps.clear();
    m_changedScreenshots.clear();
    m_allScreenshots.clear();
    m_allApps.clear();
    m_allLists.clear();
    m_nextListId = m_nextAppId = m_nextScreenshotId = 1;
}

namespace {

struct StoredScreenshot
{
    qint64 id;
    qint64 appId;
    qint64 position;
    QString url;
};

bool readScreenshots(Database &database, std::vector<StoredScreenshot> &rows)
{
    Statement screenshots = database.prepare(
        QStringLiteral("SELECT id, app_id, position, url FROM screenshots ORDER BY id"));
    if (!screenshots.isValid())
        return false;
    Statement::Step step;
    while ((step = screenshots.step()) == Statement::Step::Row) {
        rows.push_back({ screenshots.integer(0), screenshots.integer(1), screenshots.integer(2),
                         screenshots.text(3, TextLimits::kLink) });
    }
    return step == Statement::Step::Done;
}

} // namespace

bool ObjectContext::load(Database &database, QString *error)
{
    clear();
    // Screenshots are many and not needed to show the lists: a connection of their own reads
    // them while the lists and applications load here. Failing that, this connection does.
    std::future<std::optional<std::vector<StoredScreenshot>>> pendingScreenshots;
    const char *file = database.handle() ? sqlite3_db_filename(database.handle(), "main") : nullptr;
    if (file && *file) {
        pendingScreenshots = std::async(
            std::launch::async,
            [path = QString::fromUtf8(file)]() -> std::optional<std::vector<StoredScreenshot>> {
                Database reader;
                std::vector<StoredScreenshot> rows;
                if (!reader.open(path, false) || !readScreenshots(reader, rows))
                    return std::nullopt;
                return rows;
            });
    }
    auto fail = [&] {
        if (error)
            *error = database.lastError();
        clear();
        return false;
    };

    std::unordered_map<qint64, List *> listsById;
    Statement lists
        = database.prepare(QStringLiteral("SELECT id, idx, name, color FROM lists ORDER BY id"));
    if (!lists.isValid())
        return fail();
    Statement::Step step;
    while ((step = lists.step()) == Statement::Step::Row) {
        const qint64 id = lists.integer(0);
        m_allLists.push_back(std::unique_ptr<List>(new List(this, id)));
        List *list = m_allLists.back().get();
        list->m_index = int(lists.integer(1));
        list->m_name = lists.text(2, TextLimits::kShortText);
        if (!lists.isNull(3))
            list->m_color = lists.text(3, TextLimits::kShortText);
        m_liveLists.push_back(list);
        listsById.emplace(id, list);
        m_nextListId = std::max(m_nextListId, id + 1);
    }
    if (step == Statement::Step::Error)
        return fail();

    // Rows come in the order of the table, which SQLite reads without a lookup per row; the
    // order of the indexes (list, position, id and application, position, id) is restored
    // here by stable sorts of what came in id order.
    struct LoadedApp
    {
        App *app;
        std::optional<qint64> listId;
    };
    std::vector<LoadedApp> loadedApps;
    std::unordered_map<qint64, App *> appsById;
    appsById.reserve(16384);
    Statement apps = database.prepare(QStringLiteral(
        "SELECT id, list_id, position, identifier, name, developer, price, last_price, rating,"
        " last_rating, icon_url, kind, app_store_url, version, last_version, notes"
        " FROM apps ORDER BY id"));
    if (!apps.isValid())
        return fail();
    while ((step = apps.step()) == Statement::Step::Row) {
        const qint64 id = apps.integer(0);
        m_allApps.push_back(std::unique_ptr<App>(new App(this, id)));
        App *app = m_allApps.back().get();
        loadedApps.push_back(
            { app, apps.isNull(1) ? std::nullopt : std::optional<qint64>(apps.integer(1)) });
        app->m_position = apps.integer(2);
        app->m_identifier = apps.text(3, TextLimits::kShortText);
        app->m_name = apps.text(4, TextLimits::kShortText);
        app->m_developer = apps.text(5, TextLimits::kShortText);
        app->m_price
            = Decimal::fromString(apps.text(6, TextLimits::kShortText)).value_or(Decimal());
        app->m_lastPrice
            = Decimal::fromString(apps.text(7, TextLimits::kShortText)).value_or(Decimal());
        app->m_rating = float(apps.real(8));
        app->m_lastRating = float(apps.real(9));
        app->m_iconUrl = apps.text(10, TextLimits::kLink);
        app->m_kind = int(apps.integer(11));
        app->m_appStoreUrl = apps.text(12, TextLimits::kLink);
        app->m_version = apps.text(13, TextLimits::kShortText);
        app->m_lastVersion = apps.text(14, TextLimits::kShortText);
        // The user's own words: kept whole.
        app->m_notes = apps.optionalText(15);
        appsById.emplace(id, app);
        m_nextAppId = std::max(m_nextAppId, id + 1);
    }
    if (step == Statement::Step::Error)
        return fail();
    // Applications without a list come first, as NULL sorts first.
    std::stable_sort(loadedApps.begin(), loadedApps.end(),
                     [](const LoadedApp &a, const LoadedApp &b) {
                         if (a.listId != b.listId)
                             return a.listId < b.listId;
                         return a.app->m_position < b.app->m_position;
                     });
    m_liveApps.reserve(loadedApps.size());
    for (const LoadedApp &loaded : loadedApps) {
        App *app = loaded.app;
        if (loaded.listId) {
            const auto list = listsById.find(*loaded.listId);
            if (list != listsById.end()) {
                app->m_list = list->second;
                list->second->m_apps.push_back(app);
            }
        }
        m_liveApps.push_back(app);
    }

    std::optional<std::vector<StoredScreenshot>> screenshotRows;
    if (pendingScreenshots.valid())
        screenshotRows = pendingScreenshots.get();
    if (!screenshotRows) {
        screenshotRows.emplace();
        if (!readScreenshots(database, *screenshotRows))
            return fail();
    }
    m_allScreenshots.reserve(screenshotRows->size());
    for (StoredScreenshot &row : *screenshotRows) {
        m_nextScreenshotId = std::max(m_nextScreenshotId, row.id + 1);
        const auto app = appsById.find(row.appId);
        if (app == appsById.end())
            continue;
        m_allScreenshots.push_back(std::unique_ptr<Screenshot>(new Screenshot(this, row.id)));
        Screenshot *screenshot = m_allScreenshots.back().get();
        screenshot->m_app = app->second;
        screenshot->m_position = row.position;
        screenshot->m_url = std::move(row.url);
        app->second->m_screenshots.push_back(screenshot);
    }
    const auto byPosition = [](const Screenshot *a, const Screenshot *b) {
        return a->m_position < b->m_position;
    };
    for (App *app : m_liveApps) {
        // Mostly in order already; sorting allocates.
        std::vector<Screenshot *> &shots = app->m_screenshots;
        if (!std::is_sorted(shots.begin(), shots.end(), byPosition))
            std::stable_sort(shots.begin(), shots.end(), byPosition);
    }
    return true;
}

} // namespace tanvill

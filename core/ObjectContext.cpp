#include "core/ObjectContext.h"

#include "core/Database.h"
#include "core/TextLimits.h"

#include <sqlite3.h>

#include <algorithm>
#include <future>
#include <iterator>
#include <thread>
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
        app->screenshots();
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
    // Screenshots never read go with the application's row in the file.
    app->m_screenshotsLoaded = true;
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

std::optional<std::vector<ScreenshotRow>> ObjectContext::readScreenshots(const App *app) const
{
    if (app->isDeleted() || !m_screenshotLoader)
        return std::vector<ScreenshotRow>();
    return m_screenshotLoader(app->objectId());
}

void ObjectContext::loadScreenshots(const App *app, bool emptyOnFailure)
{
    std::optional<std::vector<ScreenshotRow>> rows = readScreenshots(app);
    if (!rows && !emptyOnFailure)
        return;
    app->m_screenshotsLoaded = true;
    if (!rows)
        return;
    // Records are never made const; the getter that asks is const only to its callers.
    App *owner = const_cast<App *>(app);
    for (ScreenshotRow &row : *rows) {
        m_allScreenshots.push_back(std::unique_ptr<Screenshot>(new Screenshot(this, row.id)));
        Screenshot *screenshot = m_allScreenshots.back().get();
        screenshot->m_app = owner;
        screenshot->m_position = row.position;
        screenshot->m_url = std::move(row.url);
        owner->m_screenshots.push_back(screenshot);
    }
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
        if (!app->m_screenshotsLoaded)
            loadScreenshots(app, true);
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

// Below this many applications a store is read in one part: a connection and a thread of
// their own cost more than they save.
constexpr qint64 kAppsPerPart = 2500;
constexpr unsigned kMaxParts = 4;

// The lowest and highest application id, or none for an empty table.
std::optional<std::pair<qint64, qint64>> appIdRange(Database &database, bool *failed)
{
    // Apart, each is one lookup in the table's tree; together, SQLite reads the whole table.
    Statement range = database.prepare(
        QStringLiteral("SELECT (SELECT min(id) FROM apps), (SELECT max(id) FROM apps)"));
    if (!range.isValid() || range.step() != Statement::Step::Row) {
        *failed = true;
        return std::nullopt;
    }
    if (range.isNull(0))
        return std::nullopt;
    return std::pair { range.integer(0), range.integer(1) };
}

} // namespace

bool ObjectContext::readApps(Database &database, qint64 firstId, qint64 lastId,
                             std::vector<LoadedApp> &apps)
{
    Statement rows = database.prepare(QStringLiteral(
        "SELECT id, list_id, position, identifier, name, developer, price, last_price, rating,"
        " last_rating, icon_url, kind, app_store_url, version, last_version, notes"
        " FROM apps WHERE id BETWEEN ?1 AND ?2 ORDER BY id"));
    if (!rows.isValid())
        return false;
    rows.bind(1, firstId);
    rows.bind(2, lastId);
    Statement::Step step;
    while ((step = rows.step()) == Statement::Step::Row) {
        auto app = std::unique_ptr<App>(new App(this, rows.integer(0)));
        const std::optional<qint64> listId
            = rows.isNull(1) ? std::nullopt : std::optional<qint64>(rows.integer(1));
        app->m_position = rows.integer(2);
        app->m_identifier = rows.text(3, TextLimits::kShortText);
        app->m_name = rows.text(4, TextLimits::kShortText);
        app->m_developer = rows.text(5, TextLimits::kShortText);
        app->m_price
            = Decimal::fromString(rows.text(6, TextLimits::kShortText)).value_or(Decimal());
        app->m_lastPrice
            = Decimal::fromString(rows.text(7, TextLimits::kShortText)).value_or(Decimal());
        app->m_rating = float(rows.real(8));
        app->m_lastRating = float(rows.real(9));
        app->m_iconUrl = rows.text(10, TextLimits::kLink);
        app->m_kind = int(rows.integer(11));
        app->m_appStoreUrl = rows.text(12, TextLimits::kLink);
        app->m_version = rows.text(13, TextLimits::kShortText);
        app->m_lastVersion = rows.text(14, TextLimits::kShortText);
        // Mostly equal: one shared string then serves both.
        if (app->m_lastVersion == app->m_version)
            app->m_lastVersion = app->m_version;
        // The user's own words: kept whole.
        app->m_notes = rows.optionalText(15);
        app->m_screenshotsLoaded = false;
        apps.push_back({ std::move(app), listId });
    }
    return step == Statement::Step::Done;
}

bool ObjectContext::readApps(Database &database, std::vector<LoadedApp> &apps)
{
    bool failed = false;
    const std::optional<std::pair<qint64, qint64>> range = appIdRange(database, &failed);
    if (!range)
        return !failed;
    const qint64 firstId = range->first;
    const qint64 lastId = range->second;
    const char *file = database.handle() ? sqlite3_db_filename(database.handle(), "main") : nullptr;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const qint64 span = lastId - firstId + 1;
    const qint64 parts = (file && *file)
        ? std::clamp<qint64>(span / kAppsPerPart, 1, std::min(kMaxParts, cores))
        : 1;
    const qint64 partSpan = (span + parts - 1) / parts;
    const auto partRange = [&](qint64 part) {
        const qint64 first = firstId + part * partSpan;
        return std::pair { first, std::min(lastId, first + partSpan - 1) };
    };

    // Every part but the first on its own connection and thread; a part whose connection
    // cannot be had is read here afterwards.
    struct Part
    {
        std::vector<LoadedApp> apps;
        bool read = false;
    };
    std::vector<std::future<Part>> others;
    const QString path = QString::fromUtf8(file ? file : "");
    for (qint64 part = 1; part < parts; ++part) {
        others.push_back(std::async(std::launch::async, [this, path, range = partRange(part)] {
            Part result;
            Database reader;
            result.read = reader.open(path, false)
                && readApps(reader, range.first, range.second, result.apps);
            return result;
        }));
    }
    const auto [first, last] = partRange(0);
    bool ok = readApps(database, first, last, apps);
    for (qint64 part = 1; part < parts; ++part) {
        Part result = others[std::size_t(part - 1)].get();
        if (!result.read) {
            result.apps.clear();
            const auto [partFirst, partLast] = partRange(part);
            ok = ok && readApps(database, partFirst, partLast, result.apps);
        }
        std::move(result.apps.begin(), result.apps.end(), std::back_inserter(apps));
    }
    return ok;
}

bool ObjectContext::load(Database &database, QString *error)
{
    clear();
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

    // Rows come in id order; the order of the index (list, position, id) is restored here by
    // a stable sort. Applications without a list come first, as NULL sorts first.
    std::vector<LoadedApp> loadedApps;
    if (!readApps(database, loadedApps))
        return fail();
    std::stable_sort(loadedApps.begin(), loadedApps.end(),
                     [](const LoadedApp &a, const LoadedApp &b) {
                         if (a.listId != b.listId)
                             return a.listId < b.listId;
                         return a.app->m_position < b.app->m_position;
                     });
    m_allApps.reserve(loadedApps.size());
    m_liveApps.reserve(loadedApps.size());
    for (LoadedApp &loaded : loadedApps) {
        App *app = loaded.app.get();
        m_nextAppId = std::max(m_nextAppId, app->objectId() + 1);
        if (loaded.listId) {
            const auto list = listsById.find(*loaded.listId);
            if (list != listsById.end()) {
                app->m_list = list->second;
                list->second->m_apps.push_back(app);
            }
        }
        m_allApps.push_back(std::move(loaded.app));
        m_liveApps.push_back(app);
    }

    // Screenshots are read per application on first use; new ones take ids after the last.
    const std::optional<qint64> lastScreenshot
        = database.queryInteger(QStringLiteral("SELECT coalesce(max(id), 0) FROM screenshots"));
    if (!lastScreenshot)
        return fail();
    m_nextScreenshotId = *lastScreenshot + 1;
    return true;
}

} // namespace tanvill

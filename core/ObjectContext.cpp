#include "core/ObjectContext.h"

#include "core/TextLimits.h"
#include "core/store/Database.h"

#include <QRandomGenerator>

#include <sqlite3.h>

#include <algorithm>
#include <future>
#include <iterator>
#include <limits>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace tanvill {

namespace {

template<typename T> void eraseValue(std::vector<T *> &vector, T *value)
{
    vector.erase(std::remove(vector.begin(), vector.end(), value), vector.end());
}

} // namespace

ObjectContext::ObjectContext() = default;
ObjectContext::~ObjectContext() = default;

qint64 ObjectContext::newId(IdRange &range, const std::function<bool(qint64)> &taken)
{
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    constexpr qint64 kSmallest = std::numeric_limits<qint64>::min();
    qint64 id = 1;
    if (range.any && range.highest < kLargest) {
        id = range.highest + 1;
    } else if (range.any && range.lowest > kSmallest) {
        id = range.lowest - 1;
    } else if (range.any) {
        // Both ends are taken (only a file made by hand does that): any id nobody has.
        do {
            id = qint64(QRandomGenerator::global()->generate64() >> 1);
        } while (taken(id));
    }
    range.include(id);
    return id;
}

List *ObjectContext::insertList()
{
    const qint64 id = newId(m_listIds, [this](qint64 candidate) {
        return std::any_of(m_allLists.begin(), m_allLists.end(),
                           [candidate](const auto &list) { return list->objectId() == candidate; });
    });
    m_allLists.push_back(std::unique_ptr<List>(new List(this, id)));
    List *list = m_allLists.back().get();
    m_liveLists.push_back(list);
    markChanged(list);
    return list;
}

App *ObjectContext::insertApp(List *list)
{
    const qint64 id = newId(m_appIds, [this](qint64 candidate) {
        return std::any_of(m_allApps.begin(), m_allApps.end(),
                           [candidate](const auto &app) { return app->objectId() == candidate; });
    });
    m_allApps.push_back(std::unique_ptr<App>(new App(this, id)));
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
    // Screenshots not read yet are in the file only; a random id of 63 bits meets one of them
    // practically never.
    const qint64 id = newId(m_screenshotIds, [this](qint64 candidate) {
        return std::any_of(m_allScreenshots.begin(), m_allScreenshots.end(),
                           [candidate](const auto &shot) { return shot->objectId() == candidate; });
    });
    m_allScreenshots.push_back(std::unique_ptr<Screenshot>(new Screenshot(this, id)));
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
    ++m_edits;
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
    ++m_edits;
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
    ++m_edits;
}

bool ObjectContext::hasChanges() const
{
    return !m_changedLists.empty() || !m_changedApps.empty() || !m_changedScreenshots.empty()
        || !m_deletedLists.empty() || !m_deletedApps.empty() || !m_deletedScreenshots.empty();
}

std::optional<QByteArray> ObjectContext::loadDescription(const App *app, ReadFailure *failure) const
{
    if (!m_descriptionLoader)
        return QByteArray();
    ReadFailure why = ReadFailure::Retry;
    std::optional<QByteArray> description = m_descriptionLoader(app->objectId(), &why);
    if (!description && failure)
        *failure = why;
    return description;
}

std::optional<std::vector<ScreenshotRow>> ObjectContext::readScreenshots(const App *app,
                                                                         ReadFailure *failure) const
{
    if (app->isDeleted() || !m_screenshotLoader)
        return std::vector<ScreenshotRow>();
    ReadFailure why = ReadFailure::Retry;
    std::optional<std::vector<ScreenshotRow>> rows = m_screenshotLoader(app->objectId(), &why);
    if (!rows && failure)
        *failure = why;
    return rows;
}

bool ObjectContext::loadScreenshots(const App *app, bool emptyWhenLost, ReadFailure *failure)
{
    ReadFailure why = ReadFailure::Retry;
    std::optional<std::vector<ScreenshotRow>> rows = readScreenshots(app, &why);
    if (!rows && failure)
        *failure = why;
    if (!rows && !(emptyWhenLost && why == ReadFailure::Lost))
        return false;
    app->m_screenshotsLoaded = true;
    if (!rows)
        return false;
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
    return true;
}

ListRow ObjectContext::rowOf(const List *list)
{
    return { list->objectId(), list->m_index, list->m_name, list->m_color };
}

AppRow ObjectContext::rowOf(const App *app, bool withDescription)
{
    AppRow row;
    row.id = app->objectId();
    if (app->m_list)
        row.listId = app->m_list->objectId();
    row.position = app->m_position;
    row.identifier = app->m_identifier;
    row.name = app->m_name;
    row.developer = app->m_developer;
    if (withDescription)
        row.description = app->m_description.value_or(QByteArray());
    row.price = app->m_price.toString();
    row.lastPrice = app->m_lastPrice.toString();
    row.currencyCode = app->m_currencyCode;
    row.storeCountry = app->m_storeCountry;
    row.rating = app->m_rating;
    row.lastRating = app->m_lastRating;
    row.iconUrl = app->m_iconUrl;
    row.kind = app->m_kind;
    row.appStoreUrl = app->m_appStoreUrl;
    row.version = app->m_version;
    row.lastVersion = app->m_lastVersion;
    row.notes = app->m_notes;
    return row;
}

ScreenshotRow ObjectContext::rowOf(const Screenshot *screenshot)
{
    return { screenshot->objectId(), screenshot->m_app->objectId(), screenshot->m_position,
             screenshot->m_url };
}

ChangeSet ObjectContext::snapshot() const
{
    ChangeSet everything;
    for (const List *list : m_liveLists)
        everything.lists.push_back(rowOf(list));
    for (const App *app : m_liveApps) {
        everything.apps.push_back(rowOf(app, app->m_description.has_value()));
        // What the file could not give is fetched from the store by the next start on the copy.
        if (app->m_contentToFetch || !app->m_description || !app->m_screenshotsLoaded)
            everything.contentToFetch.push_back(app->objectId());
        if (!app->m_screenshotsLoaded)
            continue;
        for (const Screenshot *screenshot : app->m_screenshots)
            everything.screenshots.push_back(rowOf(screenshot));
    }
    return everything;
}

void ObjectContext::requeueChangesInFlight()
{
    while (!m_inFlight.empty())
        changesFailed(m_inFlight.begin()->first);
}

void ObjectContext::forgetChanges()
{
    for (App *app : m_liveApps)
        app->m_descriptionChanged = false;
    clearPendingChanges();
    m_inFlight.clear();
}

void ObjectContext::clearPendingChanges()
{
    m_changedLists.clear();
    m_changedApps.clear();
    m_changedScreenshots.clear();
    m_deletedLists.clear();
    m_deletedApps.clear();
    m_deletedScreenshots.clear();
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
        changes.lists.push_back(rowOf(list));
        inFlight.lists.push_back(list);
    }
    for (App *app : m_changedApps) {
        changes.apps.push_back(rowOf(app, app->m_descriptionChanged));
        if (app->m_descriptionChanged) {
            app->m_descriptionChanged = false;
            inFlight.appsWithDescription.push_back(app);
        }
        inFlight.apps.push_back(app);
    }
    for (Screenshot *screenshot : m_changedScreenshots) {
        changes.screenshots.push_back(rowOf(screenshot));
        inFlight.screenshots.push_back(screenshot);
    }
    changes.deletedLists = m_deletedLists;
    changes.deletedApps = m_deletedApps;
    changes.deletedScreenshots = m_deletedScreenshots;
    inFlight.deletedLists = std::move(m_deletedLists);
    inFlight.deletedApps = std::move(m_deletedApps);
    inFlight.deletedScreenshots = std::move(m_deletedScreenshots);
    clearPendingChanges();

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
    // current state, whatever later saves did in between. Nobody edited them now.
    for (List *list : failed.lists) {
        if (!list->isDeleted())
            m_changedLists.insert(list);
    }
    for (App *app : failed.apps) {
        if (!app->isDeleted())
            m_changedApps.insert(app);
    }
    for (App *app : failed.appsWithDescription) {
        if (!app->isDeleted())
            app->m_descriptionChanged = true;
    }
    for (Screenshot *screenshot : failed.screenshots) {
        if (!screenshot->isDeleted())
            m_changedScreenshots.insert(screenshot);
    }
    m_deletedLists.insert(m_deletedLists.end(), failed.deletedLists.begin(),
                          failed.deletedLists.end());
    m_deletedApps.insert(m_deletedApps.end(), failed.deletedApps.begin(), failed.deletedApps.end());
    m_deletedScreenshots.insert(m_deletedScreenshots.end(), failed.deletedScreenshots.begin(),
                                failed.deletedScreenshots.end());
    m_inFlight.erase(found);
}

ObjectContext::UnreadContent ObjectContext::readAllContent(const QDeadlineTimer &until,
                                                           bool *complete)
{
    UnreadContent unread;
    if (complete)
        *complete = false;
    for (App *app : m_liveApps) {
        if (app->m_description && app->m_screenshotsLoaded)
            continue;
        if (until.hasExpired())
            return unread;
        if (!app->m_description) {
            ReadFailure failure = ReadFailure::Retry;
            app->m_description = loadDescription(app, &failure);
            if (!app->m_description && failure == ReadFailure::Lost) {
                ++unread.lost;
                app->m_description = QByteArray();
                app->m_contentToFetch = true;
            }
        }
        if (!app->m_screenshotsLoaded) {
            ReadFailure failure = ReadFailure::Retry;
            if (!loadScreenshots(app, true, &failure) && failure == ReadFailure::Lost) {
                ++unread.lost;
                app->m_contentToFetch = true;
            }
        }
        if (!app->m_description || !app->m_screenshotsLoaded) {
            // The file is busy or short of memory: what it holds is read another time.
            ++unread.notNow;
            return unread;
        }
    }
    if (complete)
        *complete = true;
    return unread;
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
    m_listIds = {};
    m_appIds = {};
    m_screenshotIds = {};
}

namespace {

// Below this many applications a store is read in one part: a connection and a thread of
// their own cost more than they save.
constexpr quint64 kAppsPerPart = 2500;
constexpr quint64 kMaxParts = 4;
// How many rows are read between two looks at the cancel flag.
constexpr int kRowsBetweenCancelChecks = 512;

// The lowest and highest id of a table, or none for an empty table.
std::optional<std::pair<qint64, qint64>> idRange(Database &database, const QString &table,
                                                 bool *failed)
{
    // Apart, each is one lookup in the table's tree; together, SQLite reads the whole table.
    Statement range = database.prepare(
        QStringLiteral("SELECT (SELECT min(id) FROM %1), (SELECT max(id) FROM %1)").arg(table));
    if (!range.isValid() || range.step() != Statement::Step::Row) {
        *failed = true;
        return std::nullopt;
    }
    if (range.isNull(0))
        return std::nullopt;
    return std::pair { range.integer(0), range.integer(1) };
}

// Ids from first to last in `parts` parts of about the same span. Ids may lie anywhere from
// the smallest 64-bit value to the largest, so the spans are worked out without a sign.
struct IdParts
{
    qint64 first = 0;
    qint64 last = 0;
    quint64 count = 1;

    quint64 distance() const { return quint64(last) - quint64(first); }
    std::pair<qint64, qint64> part(quint64 index) const
    {
        const quint64 span = distance() / count + 1;
        const qint64 from = qint64(quint64(first) + index * span);
        const qint64 to = index + 1 == count ? last : qint64(quint64(from) + span - 1);
        return { from, to };
    }
};

bool cancelled(const std::atomic<bool> *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

} // namespace

bool ObjectContext::readApps(Database &database, qint64 firstId, qint64 lastId,
                             std::vector<LoadedApp> &apps, const std::atomic<bool> *cancel)
{
    Statement rows = database.prepare(QStringLiteral(
        "SELECT id, list_id, position, identifier, name, developer, price, last_price, rating,"
        " last_rating, icon_url, kind, app_store_url, version, last_version, notes, currency_code,"
        " store_country FROM apps WHERE id BETWEEN ?1 AND ?2 ORDER BY id"));
    if (!rows.isValid())
        return false;
    rows.bind(1, firstId);
    rows.bind(2, lastId);
    Statement::Step step;
    int sinceCheck = 0;
    while ((step = rows.step()) == Statement::Step::Row) {
        if (++sinceCheck == kRowsBetweenCancelChecks) {
            sinceCheck = 0;
            if (cancelled(cancel))
                return false;
        }
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
        app->m_currencyCode = rows.text(16, TextLimits::kShortText);
        app->m_storeCountry = rows.text(17, TextLimits::kShortText);
        app->m_screenshotsLoaded = false;
        apps.push_back({ std::move(app), listId });
    }
    return step == Statement::Step::Done;
}

bool ObjectContext::readApps(Database &database, std::vector<LoadedApp> &apps,
                             const std::atomic<bool> *cancel)
{
    bool failed = false;
    const std::optional<std::pair<qint64, qint64>> range
        = idRange(database, QStringLiteral("apps"), &failed);
    if (!range)
        return !failed;
    const char *file = database.handle() ? sqlite3_db_filename(database.handle(), "main") : nullptr;
    const quint64 cores = std::max(1u, std::thread::hardware_concurrency());
    IdParts parts { range->first, range->second };
    if (file && *file)
        parts.count = std::clamp<quint64>(parts.distance() / kAppsPerPart + 1, 1,
                                          std::min(kMaxParts, cores));

    // Every part but the first on its own connection and thread; a part whose connection
    // or thread cannot be had is read here afterwards.
    struct Part
    {
        std::vector<LoadedApp> apps;
        bool read = false;
    };
    std::vector<std::future<Part>> others;
    const QString path = QString::fromUtf8(file ? file : "");
    for (quint64 part = 1; part < parts.count; ++part) {
        try {
            others.push_back(
                std::async(std::launch::async, [this, path, cancel, range = parts.part(part)] {
                    Part result;
                    Database reader;
                    result.read = reader.open(path, false)
                        && readApps(reader, range.first, range.second, result.apps, cancel);
                    return result;
                }));
        } catch (const std::system_error &) {
            others.push_back(std::async(std::launch::deferred, [] { return Part {}; }));
        }
    }
    const auto [first, last] = parts.part(0);
    bool ok = readApps(database, first, last, apps, cancel);
    for (quint64 part = 1; part < parts.count; ++part) {
        Part result = others[std::size_t(part - 1)].get();
        if (!result.read) {
            result.apps.clear();
            const auto [partFirst, partLast] = parts.part(part);
            ok = ok && readApps(database, partFirst, partLast, result.apps, cancel);
        }
        std::move(result.apps.begin(), result.apps.end(), std::back_inserter(apps));
    }
    return ok;
}

bool ObjectContext::load(Database &database, QString *error, const std::atomic<bool> *cancel)
{
    clear();
    auto fail = [&] {
        if (error)
            *error = cancelled(cancel) ? QStringLiteral("cancelled") : database.lastError();
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
        m_listIds.include(id);
    }
    if (step == Statement::Step::Error)
        return fail();

    // Rows come in id order; the order of the index (list, position, id) is restored here by
    // a stable sort. Applications without a list come first, as NULL sorts first.
    std::vector<LoadedApp> loadedApps;
    if (!readApps(database, loadedApps, cancel))
        return fail();
    std::stable_sort(loadedApps.begin(), loadedApps.end(),
                     [](const LoadedApp &a, const LoadedApp &b) {
                         if (a.listId != b.listId)
                             return a.listId < b.listId;
                         return a.app->m_position < b.app->m_position;
                     });
    // Usually none: only a file of kept changes lacks content.
    std::unordered_set<qint64> contentToFetch;
    Statement marked = database.prepare(QStringLiteral("SELECT app_id FROM content_to_fetch"));
    if (!marked.isValid())
        return fail();
    while ((step = marked.step()) == Statement::Step::Row)
        contentToFetch.insert(marked.integer(0));
    if (step == Statement::Step::Error)
        return fail();
    m_allApps.reserve(loadedApps.size());
    m_liveApps.reserve(loadedApps.size());
    for (LoadedApp &loaded : loadedApps) {
        App *app = loaded.app.get();
        m_appIds.include(app->objectId());
        app->m_contentToFetch = !contentToFetch.empty() && contentToFetch.contains(app->objectId());
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

    // Screenshots are read per application on first use; new ones take ids beyond theirs.
    bool failed = false;
    if (const auto screenshots = idRange(database, QStringLiteral("screenshots"), &failed)) {
        m_screenshotIds.include(screenshots->first);
        m_screenshotIds.include(screenshots->second);
    }
    if (failed)
        return fail();
    return true;
}

} // namespace tanvill

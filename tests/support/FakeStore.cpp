#include "support/FakeStore.h"

#include "support/TestEnvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>

namespace tanvill::test {

FakeStore::FakeStore()
{
    m_hadStoreUrl = qEnvironmentVariableIsSet("TANVILL_STORE_URL");
    m_previousStoreUrl = qgetenv("TANVILL_STORE_URL");
    qputenv("TANVILL_STORE_URL", m_server.baseUrl().toEncoded());
    for (const char *path : { "/lookup", "/itunes/lookup.php" })
        m_server.setHandler(QLatin1String(path),
                            [this](const FakeRequest &request) { return answer(request, true); });
    for (const char *path : { "/search", "/itunes/search.php" })
        m_server.setHandler(QLatin1String(path),
                            [this](const FakeRequest &request) { return answer(request, false); });
}

FakeStore::~FakeStore()
{
    if (m_hadStoreUrl)
        qputenv("TANVILL_STORE_URL", m_previousStoreUrl);
    else
        qunsetenv("TANVILL_STORE_URL");
}

QByteArray FakeStore::lookupReply(const FakeStoreApp &app)
{
    const QJsonObject result {
        { "kind", app.kind },
        { "trackId", app.identifier.toLongLong() },
        { "trackName", app.name },
        { "description", app.name + QStringLiteral(" does things.") },
        { "trackViewUrl", "https://store.example/app/id" + app.identifier },
        { "artistName", app.developer },
        { "averageUserRating", app.rating },
        { "price", app.price },
        { "artworkUrl512", "https://store.example/icon/" + app.identifier + ".png" },
        { "screenshotUrls", QJsonArray::fromStringList(app.screenshots) },
        { "version", app.version },
        { "currency", app.currency },
    };
    const QJsonObject reply { { "resultCount", 1 }, { "results", QJsonArray { result } } };
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

QByteArray FakeStore::fixture(const QString &relativePath)
{
    QFile file(fixturesDir() + QStringLiteral("/store/") + relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void FakeStore::setLookup(const QString &identifier, const FakeResponse &response)
{
    QMutexLocker locker(&m_mutex);
    m_lookups.insert(identifier, response);
}

void FakeStore::setLookup(const FakeStoreApp &app, int delayMs)
{
    setLookup(app.identifier, FakeResponse::json(lookupReply(app)).delayed(delayMs));
}

void FakeStore::setLookup(const QString &country, const FakeStoreApp &app, bool held)
{
    FakeResponse response = FakeResponse::json(lookupReply(app));
    if (held)
        response.behaviour = FakeResponse::Behaviour::Held;
    setLookup(app.identifier + QLatin1Char('\n') + country, response);
}

void FakeStore::setSearch(const QString &term, const QString &entity, const FakeResponse &response)
{
    QMutexLocker locker(&m_mutex);
    m_searches.insert(term + QLatin1Char('\n') + entity, response);
}

void FakeStore::setDefaultResponse(const FakeResponse &response)
{
    QMutexLocker locker(&m_mutex);
    m_default = response;
}

int FakeStore::lookupCount(const QString &identifier) const
{
    QMutexLocker locker(&m_mutex);
    return m_lookupCounts.value(identifier);
}

int FakeStore::heldLookupCount(const QString &country) const
{
    QMutexLocker locker(&m_mutex);
    return m_heldCounts.value(country);
}

int FakeStore::lookupRequestCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_lookupRequests;
}

int FakeStore::searchRequestCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_searchRequests;
}

QStringList FakeStore::requestedPaths() const
{
    QStringList paths;
    for (const FakeRequest &request : m_server.requests())
        paths << request.path;
    return paths;
}

FakeResponse FakeStore::answer(const FakeRequest &request, bool lookup)
{
    QMutexLocker locker(&m_mutex);
    if (lookup) {
        const QString identifier
            = request.query.queryItemValue(QStringLiteral("id"), QUrl::FullyDecoded);
        ++m_lookupRequests;
        ++m_lookupCounts[identifier];
        const QString country
            = request.query.queryItemValue(QStringLiteral("country"), QUrl::FullyDecoded);
        if (const auto found = m_lookups.constFind(identifier + QLatin1Char('\n') + country);
            found != m_lookups.cend()) {
            if (found->behaviour == FakeResponse::Behaviour::Held)
                ++m_heldCounts[country];
            return *found;
        }
        if (const auto found = m_lookups.constFind(identifier); found != m_lookups.cend())
            return *found;
        return m_default.value_or(FakeResponse::json(R"({"resultCount":0,"results":[]})"));
    }
    ++m_searchRequests;
    const QString key = request.query.queryItemValue(QStringLiteral("term"), QUrl::FullyDecoded)
        + QLatin1Char('\n')
        + request.query.queryItemValue(QStringLiteral("entity"), QUrl::FullyDecoded);
    if (const auto found = m_searches.constFind(key); found != m_searches.cend())
        return *found;
    return m_default.value_or(FakeResponse::json(R"({"resultCount":0,"results":[]})"));
}

} // namespace tanvill::test

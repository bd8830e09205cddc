#pragma once

// The store's lookup and search services on a loopback FakeHttpServer, for the store
// client's tests and benchmarks. While it lives, TANVILL_STORE_URL points at it. Look-ups
// answer per identifier and searches per term and entity, on the store's paths and on the
// proxy's; anything not set up answers like the store does for an unknown identifier or a
// term without matches.

#include "support/FakeHttpServer.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>

namespace tanvill::test {

struct FakeStoreApp
{
    QString identifier;
    QString name = QStringLiteral("App");
    QString version = QStringLiteral("1.0");
    double price = 0.99;
    double rating = 4.0;
    QString currency = QStringLiteral("USD");
    QString kind = QStringLiteral("software");
    QString developer = QStringLiteral("Maker");
    QStringList screenshots = { QStringLiteral("https://store.example/1.png") };
};

class FakeStore
{
public:
    FakeStore();
    ~FakeStore();
    FakeStore(const FakeStore &) = delete;
    FakeStore &operator=(const FakeStore &) = delete;

    FakeHttpServer &server() { return m_server; }

    // A reply of the lookup service holding one result.
    static QByteArray lookupReply(const FakeStoreApp &app);
    // The bytes of a stored real reply ("lookup/mac-things.json").
    static QByteArray fixture(const QString &relativePath);

    void setLookup(const QString &identifier, const FakeResponse &response);
    void setLookup(const FakeStoreApp &app, int delayMs = 0);
    // The answer of one country's store ("JP"), before any answer for every country; when
    // `held`, it waits for server().releaseHeld().
    void setLookup(const QString &country, const FakeStoreApp &app, bool held);
    // entity is the raw value of the search scope ("software", "iPadSoftware", "macSoftware").
    void setSearch(const QString &term, const QString &entity, const FakeResponse &response);
    // Applies to look-ups and searches without an answer of their own.
    void setDefaultResponse(const FakeResponse &response);

    int lookupCount(const QString &identifier) const;
    // Look-ups of a country's store that got a held answer so far.
    int heldLookupCount(const QString &country) const;
    int lookupRequestCount() const;
    int searchRequestCount() const;
    // Paths the services were asked on, in order ("/lookup", "/itunes/search.php", ...).
    QStringList requestedPaths() const;

private:
    FakeResponse answer(const FakeRequest &request, bool lookup);

    mutable QMutex m_mutex;
    QHash<QString, FakeResponse> m_lookups;
    QHash<QString, FakeResponse> m_searches;
    std::optional<FakeResponse> m_default;
    QHash<QString, int> m_lookupCounts;
    QHash<QString, int> m_heldCounts;
    int m_lookupRequests = 0;
    int m_searchRequests = 0;
    QByteArray m_previousStoreUrl;
    bool m_hadStoreUrl = false;
    // Last: it stops, and its handlers with it, before the tables they read go away.
    FakeHttpServer m_server;
};

} // namespace tanvill::test

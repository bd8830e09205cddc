#pragma once

// The list-sharing service and the wish-list web site on one loopback FakeHttpServer, for the
// tests of list sharing and wish-list import. While it lives, TANVILL_SERVICE_URL and
// TANVILL_WISHLIST_URL point at it. Wish-list pages are served per user (the name as it
// stands, percent-encoded, in the path) and page number; a page not set up answers 404, as
// the site does for an unknown user.

#include "support/FakeHttpServer.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QStringList>

#include <optional>

namespace tanvill::test {

class FakeListServices
{
public:
    FakeListServices();
    ~FakeListServices();
    FakeListServices(const FakeListServices &) = delete;
    FakeListServices &operator=(const FakeListServices &) = delete;

    FakeHttpServer &server() { return m_server; }

    static constexpr const char *kSharePath = "/lists/v1.1/add.php";

    // The sharing service's answer to every list posted; a link until set.
    void setShareResponse(const FakeResponse &response);
    // The bodies of the lists posted so far, oldest first.
    QList<QByteArray> sharedBodies() const;
    QList<FakeRequest> shareRequests() const;

    void setWishlistPage(const QByteArray &encodedUser, qint64 page, const FakeResponse &response);
    void setWishlistPage(const QByteArray &encodedUser, qint64 page, const QByteArray &html);
    // Answers every wish-list page without one of its own (generated wish lists).
    using PageHandler = std::function<FakeResponse(const QByteArray &encodedUser, qint64 page)>;
    void setWishlistHandler(PageHandler handler);
    // The pages asked for, in order, and the request targets as sent.
    QList<qint64> requestedPages() const;
    QList<QByteArray> wishlistTargets() const;

    // A page in the site's shape: one entry per identifier (its data-appleid attribute) and,
    // when given, the "Next" link to that page.
    static QByteArray wishlistPage(const QByteArray &encodedUser, const QStringList &identifiers,
                                   std::optional<qint64> nextPage = std::nullopt);

private:
    FakeResponse answerWishlist(const FakeRequest &request);

    mutable QMutex m_mutex;
    FakeResponse m_shareResponse;
    QList<FakeRequest> m_shareRequests;
    QHash<QByteArray, FakeResponse> m_pages;
    PageHandler m_pageHandler;
    QList<qint64> m_requestedPages;
    QList<QByteArray> m_wishlistTargets;
    QByteArray m_previousServiceUrl;
    QByteArray m_previousWishlistUrl;
    bool m_hadServiceUrl = false;
    bool m_hadWishlistUrl = false;
    // Last: it stops, and its handlers with it, before the tables they read go away.
    FakeHttpServer m_server;
};

} // namespace tanvill::test

#include "support/FakeListServices.h"

#include <QMutexLocker>
#include <QRegularExpression>

namespace tanvill::test {

FakeListServices::FakeListServices()
    : m_shareResponse(FakeResponse::json(R"({"url":"https://lists.example/l/42"})"))
{
    m_hadServiceUrl = qEnvironmentVariableIsSet("TANVILL_SERVICE_URL");
    m_previousServiceUrl = qgetenv("TANVILL_SERVICE_URL");
    m_hadWishlistUrl = qEnvironmentVariableIsSet("TANVILL_WISHLIST_URL");
    m_previousWishlistUrl = qgetenv("TANVILL_WISHLIST_URL");
    qputenv("TANVILL_SERVICE_URL", m_server.baseUrl().toEncoded());
    qputenv("TANVILL_WISHLIST_URL", m_server.baseUrl().toEncoded());

    m_server.setHandler(QString::fromLatin1(kSharePath), [this](const FakeRequest &request) {
        QMutexLocker locker(&m_mutex);
        m_shareRequests.append(request);
        return request.method == "POST" ? m_shareResponse : FakeResponse::withStatus(405);
    });
    m_server.setFallbackHandler(
        [this](const FakeRequest &request) { return answerWishlist(request); });
}

FakeListServices::~FakeListServices()
{
    const auto restore = [](const char *name, bool had, const QByteArray &value) {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    };
    restore("TANVILL_SERVICE_URL", m_hadServiceUrl, m_previousServiceUrl);
    restore("TANVILL_WISHLIST_URL", m_hadWishlistUrl, m_previousWishlistUrl);
}

void FakeListServices::setShareResponse(const FakeResponse &response)
{
    QMutexLocker locker(&m_mutex);
    m_shareResponse = response;
}

QList<QByteArray> FakeListServices::sharedBodies() const
{
    QMutexLocker locker(&m_mutex);
    QList<QByteArray> bodies;
    for (const FakeRequest &request : m_shareRequests)
        bodies << request.body;
    return bodies;
}

QList<FakeRequest> FakeListServices::shareRequests() const
{
    QMutexLocker locker(&m_mutex);
    return m_shareRequests;
}

void FakeListServices::setWishlistPage(const QByteArray &encodedUser, qint64 page,
                                       const FakeResponse &response)
{
    QMutexLocker locker(&m_mutex);
    m_pages.insert(encodedUser + '/' + QByteArray::number(page), response);
}

void FakeListServices::setWishlistPage(const QByteArray &encodedUser, qint64 page,
                                       const QByteArray &html)
{
    setWishlistPage(encodedUser, page, FakeResponse::bytes(html, "text/html; charset=utf-8"));
}

void FakeListServices::setWishlistHandler(PageHandler handler)
{
    QMutexLocker locker(&m_mutex);
    m_pageHandler = std::move(handler);
}

QList<qint64> FakeListServices::requestedPages() const
{
    QMutexLocker locker(&m_mutex);
    return m_requestedPages;
}

QList<QByteArray> FakeListServices::wishlistTargets() const
{
    QMutexLocker locker(&m_mutex);
    return m_wishlistTargets;
}

FakeResponse FakeListServices::answerWishlist(const FakeRequest &request)
{
    // The user stays encoded, as the site sees it: "/user/a%2Fb/wishlist/0" is user "a%2Fb".
    static const QRegularExpression path(QStringLiteral("^/user/([^/?#]+)/wishlist/([0-9]+)$"));
    const QRegularExpressionMatch match = path.match(QString::fromLatin1(request.target));
    if (request.method != "GET" || !match.hasMatch())
        return FakeResponse::withStatus(404);
    const QByteArray user = match.captured(1).toLatin1();
    const qint64 page = match.captured(2).toLongLong();

    QMutexLocker locker(&m_mutex);
    m_requestedPages << page;
    m_wishlistTargets << request.target;
    if (const auto found = m_pages.constFind(user + '/' + QByteArray::number(page));
        found != m_pages.cend())
        return *found;
    if (m_pageHandler) {
        const PageHandler handler = m_pageHandler;
        locker.unlock();
        return handler(user, page);
    }
    return FakeResponse::withStatus(404, "<html><body>No such user</body></html>");
}

QByteArray FakeListServices::wishlistPage(const QByteArray &encodedUser,
                                          const QStringList &identifiers,
                                          std::optional<qint64> nextPage)
{
    QByteArray html = "<!DOCTYPE html>\n<html><head><title>Wish list</title></head><body>\n"
                      "<ul class=\"wishlist\">\n";
    for (const QString &identifier : identifiers) {
        html += "  <li class=\"app\" data-appleid=\"" + identifier.toLatin1()
            + "\"><a href=\"/apps/" + identifier.toLatin1() + "\">App " + identifier.toLatin1()
            + "</a></li>\n";
    }
    html += "</ul>\n";
    if (nextPage) {
        html += "<a href=\"/user/" + encodedUser + "/wishlist/" + QByteArray::number(*nextPage)
            + "\" class=\"btn outlined\" >Next</a>\n";
    }
    return html + "</body></html>\n";
}

} // namespace tanvill::test

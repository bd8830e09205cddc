#include "sharing/AppShopperImporter.h"

#include "core/TextLimits.h"
#include "platform/MainQueue.h"
#include "platform/NetworkFailure.h"
#include "platform/Strings.h"
#include "sharing/WishlistPage.h"
#include "store/AppStoreOperation.h"

#include <QDebug>

namespace tanvill {

// The state of one reading of the wish list, held by the callbacks of that run.
struct AppShopperImporter::Run
{
    Completion completion;
    // Different identifiers found so far, the page read last first.
    QStringList identifiers;
    QSet<QString> seen;
    int pagesRead = 0;
    Result result;
    qint64 finished = 0;
    qint64 total = 0;
};

namespace {

// A page request that ended without an answer: the wish-list site could not be reached.
Error transferError(const HttpResult &result)
{
    return networkFailureError(result,
                               Strings::localized(QStringLiteral("WishlistSiteUnreachable")),
                               TextLimits::capped(result.errorText, TextLimits::kMessage));
}

} // namespace

AppShopperImporter::AppShopperImporter(const QString &username)
    : m_username(wishlistUserPathSegment(username))
{ }

AppShopperImporter::~AppShopperImporter()
{
    m_alive.reset();
    for (const HttpClient::RequestId id : std::as_const(m_pageRequests))
        HttpClient::shared().cancel(id);
    m_downloadOperationQueue.cancelAllOperations();
}

Error AppShopperImporter::error(ErrorCode code)
{
    static const char *const descriptions[] = {
        "Received empty response!",
        "Received invalid response!",
        "No wish list found!",
        "Failed to download apps!",
        "This wish list holds more than %li apps, more than one import takes.",
    };
    Error error;
    error.domain = Error::domainFor(QStringLiteral("AppShopperImporter"));
    error.code = code;
    error.description = Strings::localizedFormat(QString::fromLatin1(descriptions[code - 1]),
                                                 { qint64(kMaxIdentifiers) });
    return error;
}

QUrl AppShopperImporter::pageUrl(qint64 page) const
{
    if (!m_username)
        return {};
    QByteArray base = wishlistBaseUrl().toEncoded();
    while (base.endsWith('/'))
        base.chop(1);
    return QUrl::fromEncoded(
        base + "/user/" + *m_username + "/wishlist/" + QByteArray::number(page), QUrl::StrictMode);
}

std::optional<qint64> AppShopperImporter::nextPageNumber(const QString &page) const
{
    if (!m_username)
        return std::nullopt;
    return wishlistNextPageNumber(page, *m_username);
}

void AppShopperImporter::downloadWishlistPage(Completion completion)
{
    auto run = std::make_shared<Run>();
    run->completion = std::move(completion);
    if (!m_username) {
        // No user can have that name: nothing to ask the site.
        MainQueue::async([this, alive = std::weak_ptr<bool>(m_alive), run] {
            if (!alive.expired())
                finish(run, std::nullopt, error(NoWishlist));
        });
        return;
    }
    requestPage(run, 0);
}

void AppShopperImporter::requestPage(const std::shared_ptr<Run> &run, qint64 page)
{
    HttpRequestOptions options;
    options.maxBodyBytes = kMaxPageBytes;
    auto id = std::make_shared<HttpClient::RequestId>(0);
    *id = HttpClient::shared().get(
        pageUrl(page),
        [this, alive = std::weak_ptr<bool>(m_alive), run, page, id](const HttpResult &result) {
            if (alive.expired())
                return;
            m_pageRequests.remove(*id);
            handlePage(run, page, result);
        },
        options);
    m_pageRequests.insert(*id);
}

void AppShopperImporter::handlePage(std::shared_ptr<Run> run, qint64 page, const HttpResult &result)
{
    ++run->pagesRead;
    if (result.statusCode != 0 && (result.statusCode < 200 || result.statusCode > 299)) {
        finish(run, std::nullopt, error(result.statusCode == 404 ? NoWishlist : InvalidResponse));
        return;
    }
    if (result.transferFailed()) {
        finish(run, std::nullopt, transferError(result));
        return;
    }
    if (result.body.isEmpty()) {
        finish(run, std::nullopt, error(EmptyResponse));
        return;
    }
    const std::optional<QString> text = decodeWishlistPage(result.body);
    if (!text) {
        finish(run, std::nullopt, error(InvalidResponse));
        return;
    }

    // An application listed twice is imported once, where it first appeared.
    QStringList found;
    for (const QString &identifier : wishlistIdentifiers(*text)) {
        if (!run->seen.contains(identifier)) {
            // Refused whole: a part of a wish list would look like all of it.
            if (run->seen.size() >= kMaxIdentifiers) {
                finish(run, std::nullopt, error(TooManyApps));
                return;
            }
            run->seen.insert(identifier);
            found << identifier;
        }
    }
    run->identifiers = found + run->identifiers;

    if (const auto callback = identifierDownloadCallback) {
        const std::weak_ptr<bool> alive = m_alive;
        callback(run->identifiers.size());
        if (alive.expired())
            return;
    }

    // Only later pages are followed, and only so many: a site that links back or on forever
    // cannot keep the import going.
    const std::optional<qint64> next = nextPageNumber(*text);
    if (next && *next > page && run->pagesRead < kMaxPages) {
        requestPage(run, *next);
        return;
    }
    if (run->identifiers.isEmpty()) {
        finish(run, std::nullopt, error(NoWishlist));
        return;
    }
    lookUpWishlistApps(run);
}

void AppShopperImporter::lookUpWishlistApps(const std::shared_ptr<Run> &run)
{
    run->total = run->identifiers.size();
    const std::weak_ptr<bool> alive = m_alive;
    auto count = [this, alive, run] {
        ++run->finished;
        if (alive.expired())
            return;
        if (const auto callback = appDownloadCallback)
            callback(run->finished, run->total);
    };

    std::vector<std::shared_ptr<Operation>> operations;
    operations.reserve(std::size_t(run->identifiers.size()));
    for (const QString &identifier : std::as_const(run->identifiers)) {
        auto operation = std::make_shared<AppStoreLookUpOperation>(identifier);
        operation->successHandler = [run, count](const CachedApp &app) {
            run->result[app.kind].push_back(app);
            count();
        };
        operation->errorHandler = [count, identifier](const Error &error, AppStoreOperation *) {
            qInfo().noquote().nospace()
                << "Wish list: the look-up of " << identifier << " failed: " << error.description
                << " (" << error.domain << ' ' << error.code << ')';
            count();
        };
        operations.push_back(std::move(operation));
    }
    m_downloadOperationQueue.addOperations(operations, [this, alive, run] {
        if (alive.expired())
            return;
        if (run->result.empty())
            finish(run, std::nullopt, error(NoApps));
        else
            finish(run, std::move(run->result), std::nullopt);
    });
}

void AppShopperImporter::finish(const std::shared_ptr<Run> &run, std::optional<Result> result,
                                std::optional<Error> error)
{
    const Completion completion = std::exchange(run->completion, nullptr);
    if (completion)
        completion(std::move(result), std::move(error));
}

} // namespace tanvill

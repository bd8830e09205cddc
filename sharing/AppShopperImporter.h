#pragma once

// Reads one user's public wish list on the wish-list web site page by page, pulls the store
// identifiers out of it and looks every one up in the store, five at a time, reporting
// progress as it goes. The import window makes one per submitted user name and decides what
// to do with the results; the importer stores nothing.

#include "core/AppKind.h"
#include "platform/Error.h"
#include "platform/HttpClient.h"
#include "platform/OperationQueue.h"
#include "store/CachedApp.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tanvill {

class AppShopperImporter
{
public:
    // The applications found, by platform, each platform in the order its look-ups ended. Only
    // platforms with at least one application have an entry.
    using Result = std::map<AppKind, std::vector<CachedApp>>;
    // Exactly one of the two is present.
    using Completion = std::function<void(std::optional<Result>, std::optional<Error>)>;

    enum ErrorCode {
        EmptyResponse = 1,
        InvalidResponse = 2,
        NoWishlist = 3,
        NoApps = 4,
        TooManyApps = 5,
    };

    // Bounds on what one wish list may cost: pages followed, bytes per page, applications
    // (a list with more is refused before anything is looked up), look-ups at once.
    static constexpr int kMaxPages = 200;
    static constexpr int kMaxIdentifiers = 10'000;
    static constexpr qint64 kMaxPageBytes = 4 * 1024 * 1024;
    static constexpr int kMaxConcurrentLookUps = 5;

    explicit AppShopperImporter(const QString &username);
    // Stops the page request and the look-ups under way; nothing is called afterwards.
    ~AppShopperImporter();
    AppShopperImporter(const AppShopperImporter &) = delete;
    AppShopperImporter &operator=(const AppShopperImporter &) = delete;

    // After every page read: the number of different identifiers found so far.
    std::function<void(qint64 found)> identifierDownloadCallback;
    // After every look-up that ended: how many ended so far, and how many there are.
    std::function<void(qint64 downloaded, qint64 overall)> appDownloadCallback;

    // Starts reading the wish list and returns at once. The completion runs once, on the UI
    // thread and never inside this call, unless the importer is destroyed first.
    void downloadWishlistPage(Completion completion);

    // The number of the page the page's "Next" link leads to.
    std::optional<qint64> nextPageNumber(const QString &page) const;
    // Where page `page` of this user's wish list lives; invalid for a name that names no user.
    QUrl pageUrl(qint64 page) const;

    // The importer's own errors, domain "com.tanvill.Tanvill.AppShopperImporter".
    static Error error(ErrorCode code);

private:
    struct Run;

    void requestPage(const std::shared_ptr<Run> &run, qint64 page);
    void handlePage(std::shared_ptr<Run> run, qint64 page, const HttpResult &result);
    void lookUpWishlistApps(const std::shared_ptr<Run> &run);
    void finish(const std::shared_ptr<Run> &run, std::optional<Result> result,
                std::optional<Error> error);

    std::optional<QByteArray> m_username;
    QSet<HttpClient::RequestId> m_pageRequests;
    // Handlers queued on the UI thread check it before touching the importer.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    OperationQueue m_downloadOperationQueue { kMaxConcurrentLookUps };
};

} // namespace tanvill

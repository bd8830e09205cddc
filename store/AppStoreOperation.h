#pragma once

// The store's lookup and search requests. Each operation fetches one reply, parses it and
// calls its success or its error handler once, on the UI thread; a cancelled operation
// calls neither. ListsController queues them (adding, searching, refreshing); the wish-list
// import queues its own.

#include "platform/Error.h"
#include "platform/HttpClient.h"
#include "platform/OperationQueue.h"
#include "store/CachedApp.h"

#include <QString>
#include <QUrl>

#include <nlohmann/json_fwd.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tanvill {

// Base of the store requests: the request link, the transfer and the two endings. Create
// the subclasses with std::make_shared and hand them to an OperationQueue.
class AppStoreOperation : public Operation, public std::enable_shared_from_this<AppStoreOperation>
{
public:
    using ErrorHandler = std::function<void(const Error &, AppStoreOperation *)>;

    enum ErrorCode {
        NoiTunesData = 1,
        InvalidiTunesData = 2,
        StoreServerFailed = 3,
        AppNotInStore = 4,
    };
    // The two errors of the store reply, each the same value every time.
    static const Error &noiTunesDataError();
    static const Error &invalidiTunesDataError();
    // The store answered with a status other than 2xx; its text names the status.
    static Error storeServerFailedError(int statusCode);
    // The store answered a look-up with no application: it has none of that identifier.
    static Error appNotInStoreError(const QString &identifier);

    const QString &subject() const { return m_subject; }
    // Built again on every call from the settings of the moment, but for the store country,
    // which stays the one asked once the request is sent.
    virtual QUrl requestUrl() const = 0;
    // The store country the request was sent to; empty until it is sent. Its answer is that
    // store's, whatever country is chosen by the time it arrives.
    const QString &askedCountryCode() const { return m_askedCountryCode; }
    // "storeLocale", else "US".
    static QString countryCode();
    // True when `code` names another store than the one chosen now; an empty code, a store not
    // known, names none.
    static bool isAnotherStore(const QString &code);
    // The language of the current locale, else "en".
    static QString languageCode();

    ErrorHandler errorHandler;

protected:
    explicit AppStoreOperation(QString subject);

    // Takes the "results" array, possibly empty; true when the result was delivered.
    virtual bool parseResults(const nlohmann::json &results) = 0;
    void finishWithError(const Error &error);
    void finishWithSuccessHandler(std::function<void()> handler);

    // The lookup or search link for `query` (already percent-encoded), on the store's host or,
    // with "forceTanvillAPI", on the proxy.
    static QUrl serviceUrl(const QString &storePath, const QString &proxyPath,
                           const QByteArray &encodedQuery);
    // "&country=…&lang=…" of the request: the country asked, else the one chosen now.
    QByteArray regionQuery() const;

    void execute() override;
    void cancelExecution() override;

private:
    void requestDidComplete(const HttpResult &result);

    QString m_subject;
    QString m_askedCountryCode;
    HttpClient::RequestId m_requestId = 0;
};

// Looks one application up by its store identifier.
class AppStoreLookUpOperation : public AppStoreOperation
{
public:
    explicit AppStoreLookUpOperation(QString identifier);

    QUrl requestUrl() const override;

    std::function<void(const CachedApp &)> successHandler;

protected:
    void execute() override;
    bool parseResults(const nlohmann::json &results) override;
};

// The platforms a search covers; the raw value is the "entity" of the search link.
enum class AppStoreSearchOperationScope { Phone = 0, Pad = 1, Mac = 2 };
QString rawValue(AppStoreSearchOperationScope scope);
std::optional<AppStoreSearchOperationScope> appStoreSearchScopeFromRawValue(const QString &raw);

// Finds every application that matches a term on one platform.
class AppStoreSearchOperation : public AppStoreOperation
{
public:
    AppStoreSearchOperation(QString term, AppStoreSearchOperationScope scope);

    AppStoreSearchOperationScope scope() const { return m_scope; }
    QUrl requestUrl() const override;

    // Every result that could be read, in the store's order; none when the store answered
    // that nothing matches. A reply whose results cannot be read at all ends in the error
    // InvalidiTunesData.
    std::function<void(const std::vector<CachedApp> &)> successHandler;

protected:
    bool parseResults(const nlohmann::json &results) override;

private:
    AppStoreSearchOperationScope m_scope;
};

} // namespace tanvill

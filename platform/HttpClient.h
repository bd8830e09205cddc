#pragma once

// The process's one HTTP client: asynchronous GET and POST over a single
// QNetworkAccessManager on the UI thread. Every request has a transfer timeout (for a server
// that falls silent), a deadline for the whole answer (for one that trickles) and a cap on
// the body size; redirects are followed on the same host only. Completions run exactly once,
// on the UI thread, with a result value; a cancelled request calls nothing. The store
// operations, the image cache and list sharing use it.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace tanvill {

struct HttpResult
{
    // 0 when no HTTP answer arrived (refused, reset, timed out, cancelled by a limit).
    int statusCode = 0;
    QByteArray body;
    QNetworkReply::NetworkError networkError = QNetworkReply::NoError;
    // Empty when the transfer itself worked (an HTTP 404 is still a transfer that worked).
    QString errorText;
    QList<QPair<QByteArray, QByteArray>> headers;
    // The link that answered, after redirects.
    QUrl url;

    // The transfer completed and the server answered with a 2xx status.
    bool isSuccess() const
    {
        return networkError == QNetworkReply::NoError && errorText.isEmpty() && statusCode >= 200
            && statusCode < 300;
    }
    bool transferFailed() const
    {
        return networkError != QNetworkReply::NoError || !errorText.isEmpty();
    }
    QByteArray header(const QByteArray &name) const;
};

struct HttpRequestOptions
{
    // Milliseconds without any transfer before the request fails; <= 0 uses the default.
    int timeoutMs = 0;
    // Milliseconds from the start by which the whole answer must have arrived, however
    // steadily it trickles in; <= 0 uses the default.
    int deadlineMs = 0;
    // Largest body accepted; a longer body aborts the transfer with an error. <= 0 uses the
    // default.
    qint64 maxBodyBytes = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    // Ask caches between us and the server for a fresh answer.
    bool bypassCache = false;
    // When set, the completion is dropped if this object is gone when the request ends.
    QPointer<const QObject> context;
};

class HttpClient
{
public:
    using RequestId = quint64;
    using Completion = std::function<void(const HttpResult &)>;

    static constexpr int kDefaultTimeoutMs = 60'000;
    static constexpr int kDefaultDeadlineMs = 120'000;
    static constexpr qint64 kDefaultMaxBodyBytes = 10 * 1024 * 1024;
    // Redirects are followed on the same host only (http may step up to https).
    static constexpr int kMaxRedirects = 5;

    // The application's client (see SharedInstance.h); use it on the UI thread only.
    static HttpClient &shared();

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    // Starts a request and returns at once; `completion` runs later on the UI thread, never
    // inside this call. Links other than http and https fail without any traffic. A redirect
    // to another host, a step down from https, a loop or too many redirects fail the request.
    RequestId get(const QUrl &url, Completion completion, const HttpRequestOptions &options = {});
    RequestId post(const QUrl &url, const QByteArray &body, Completion completion,
                   const HttpRequestOptions &options = {},
                   const QByteArray &contentType = QByteArrayLiteral("application/json"));

    // Stops the request; its completion is never called. Unknown or finished ids are ignored.
    void cancel(RequestId id);
    int runningRequestCount() const { return int(m_requests.size()); }

    // Defaults for requests that do not set their own (tests shorten the timeout).
    void setDefaultTimeoutMs(int milliseconds);
    int defaultTimeoutMs() const { return m_defaultTimeoutMs; }
    void setDefaultDeadlineMs(int milliseconds);
    int defaultDeadlineMs() const { return m_defaultDeadlineMs; }
    void setDefaultMaxBodyBytes(qint64 bytes);
    qint64 defaultMaxBodyBytes() const { return m_defaultMaxBodyBytes; }

    QNetworkAccessManager &networkAccessManager() { return *m_manager; }

private:
    struct Request;
    RequestId start(const QByteArray &verb, const QUrl &url, const QByteArray &body,
                    const QByteArray &contentType, Completion completion,
                    const HttpRequestOptions &options);
    void send(RequestId id, const std::shared_ptr<Request> &request, const QUrl &url);
    // The link a redirect answer sends us to, when it is one we follow; a refused redirect
    // sets the request's own error.
    static std::optional<QUrl> redirectTarget(Request &request, const QNetworkReply &reply);
    void failSoon(RequestId id, const QUrl &url, const QString &errorText);
    void finish(RequestId id, HttpResult result);

    std::unique_ptr<QNetworkAccessManager> m_manager;
    QHash<RequestId, std::shared_ptr<Request>> m_requests;
    RequestId m_nextId = 1;
    int m_defaultTimeoutMs = kDefaultTimeoutMs;
    int m_defaultDeadlineMs = kDefaultDeadlineMs;
    qint64 m_defaultMaxBodyBytes = kDefaultMaxBodyBytes;
};

// Where the services live: the environment (TANVILL_STORE_URL, TANVILL_SERVICE_URL,
// TANVILL_WISHLIST_URL) points them elsewhere for tests and benchmarks.
QUrl storeBaseUrl();
// Empty when TANVILL_SERVICE_URL is not set: the sharing service has no public default.
QUrl serviceBaseUrl();
QUrl wishlistBaseUrl();

} // namespace tanvill

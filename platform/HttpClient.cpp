#include "platform/HttpClient.h"

#include "platform/MainQueue.h"
#include "platform/SharedInstance.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>

namespace tanvill {

struct HttpClient::Request
{
    QPointer<QNetworkReply> reply;
    Completion completion;
    QPointer<const QObject> context;
    bool hasContext = false;
    QByteArray body;
    qint64 maxBodyBytes = 0;
    // Set when we stop the transfer ourselves for a reason the caller must hear about.
    QNetworkReply::NetworkError ownError = QNetworkReply::NoError;
    QString ownErrorText;
    // The scheme of the link being fetched now, after the redirects followed so far.
    QString scheme;
};

QByteArray HttpResult::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpClient &HttpClient::shared()
{
    Q_ASSERT(MainQueue::isMainThread());
    return SharedInstance<HttpClient>::get("HttpClient::shared");
}

HttpClient::HttpClient() : m_manager(std::make_unique<QNetworkAccessManager>())
{
    m_manager->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
}

HttpClient::~HttpClient()
{
    const auto requests = m_requests;
    m_requests.clear();
    for (const auto &request : requests) {
        if (request->reply) {
            request->reply->disconnect();
            request->reply->abort();
            delete request->reply;
        }
    }
}

HttpClient::RequestId HttpClient::get(const QUrl &url, Completion completion,
                                      const HttpRequestOptions &options)
{
    return start("GET", url, {}, {}, std::move(completion), options);
}

HttpClient::RequestId HttpClient::post(const QUrl &url, const QByteArray &body,
                                       Completion completion, const HttpRequestOptions &options,
                                       const QByteArray &contentType)
{
    return start("POST", url, body, contentType, std::move(completion), options);
}

HttpClient::RequestId HttpClient::start(const QByteArray &verb, const QUrl &url,
                                        const QByteArray &body, const QByteArray &contentType,
                                        Completion completion, const HttpRequestOptions &options)
{
    const RequestId id = m_nextId++;
    auto request = std::make_shared<Request>();
    request->completion = std::move(completion);
    request->context = options.context;
    request->hasContext = !options.context.isNull();
    request->maxBodyBytes = options.maxBodyBytes > 0 ? options.maxBodyBytes : m_defaultMaxBodyBytes;
    m_requests.insert(id, request);

    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        failSoon(id, url, QStringLiteral("Unsupported link: %1").arg(url.toDisplayString()));
        return id;
    }

    QNetworkRequest networkRequest(url);
    networkRequest.setTransferTimeout(options.timeoutMs > 0 ? options.timeoutMs
                                                            : m_defaultTimeoutMs);
    networkRequest.setMaximumRedirectsAllowed(kMaxRedirects);
    if (options.bypassCache) {
        networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                    QNetworkRequest::AlwaysNetwork);
        networkRequest.setRawHeader("Cache-Control", "no-cache");
    }
    if (!contentType.isEmpty())
        networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    for (const auto &[name, value] : options.headers)
        networkRequest.setRawHeader(name, value);

    QNetworkReply *reply
        = verb == "POST" ? m_manager->post(networkRequest, body) : m_manager->get(networkRequest);
    request->reply = reply;
    request->scheme = scheme;

    // Stops the transfer with an error of our own; abort() finishes the reply at once.
    auto stopWith = [request](QNetworkReply::NetworkError error, const QString &text) {
        request->ownError = error;
        request->ownErrorText = text;
        if (request->reply)
            request->reply->abort();
    };

    // Old store replies still carry http links whose servers move them to https; that step
    // up is followed, any step down or to another kind of link is not.
    QObject::connect(reply, &QNetworkReply::redirected, reply,
                     [reply, request, stopWith](const QUrl &target) {
                         const QString targetScheme = target.scheme().toLower();
                         const bool upgrade = request->scheme == QLatin1String("http")
                             && targetScheme == QLatin1String("https");
                         if (targetScheme != request->scheme && !upgrade) {
                             stopWith(QNetworkReply::InsecureRedirectError,
                                      QStringLiteral("Redirect to another scheme refused: %1")
                                          .arg(target.toDisplayString()));
                             return;
                         }
                         request->scheme = targetScheme;
                         emit reply->redirectAllowed();
                     });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, request, stopWith] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > request->maxBodyBytes) {
            stopWith(
                QNetworkReply::UnknownContentError,
                QStringLiteral("The answer is too large (%1 bytes).").arg(length.toLongLong()));
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, request, stopWith] {
        request->body += reply->readAll();
        if (request->body.size() > request->maxBodyBytes) {
            request->body.clear();
            stopWith(QNetworkReply::UnknownContentError,
                     QStringLiteral("The answer is too large (more than %1 bytes).")
                         .arg(request->maxBodyBytes));
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, id, reply, request] {
        HttpResult result;
        result.url = reply->url();
        if (request->ownError == QNetworkReply::NoError)
            request->body += reply->readAll();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        result.statusCode = status.isValid() ? status.toInt() : 0;
        result.headers = reply->rawHeaderPairs();
        result.networkError = reply->error();
        result.errorText = reply->errorString();
        if (request->ownError != QNetworkReply::NoError) {
            result.networkError = request->ownError;
            result.errorText = request->ownErrorText;
            result.statusCode = 0;
        } else if (result.networkError == QNetworkReply::OperationCanceledError) {
            // Only the transfer timeout aborts a reply without us knowing about it.
            result.networkError = QNetworkReply::TimeoutError;
            result.errorText = QStringLiteral("The request timed out.");
            result.statusCode = 0;
        } else if (result.statusCode >= 400 && result.networkError >= 201) {
            // An HTTP error status is an answer, not a failed transfer; callers read the status.
            result.networkError = QNetworkReply::NoError;
        }
        if (result.networkError == QNetworkReply::NoError)
            result.errorText.clear();
        else
            request->body.clear();
        result.body = std::move(request->body);
        reply->deleteLater();
        finish(id, std::move(result));
    });
    return id;
}

void HttpClient::failSoon(RequestId id, const QUrl &url, const QString &errorText)
{
    QTimer::singleShot(0, m_manager.get(), [this, id, url, errorText] {
        HttpResult result;
        result.url = url;
        result.networkError = QNetworkReply::ProtocolUnknownError;
        result.errorText = errorText;
        finish(id, std::move(result));
    });
}

void HttpClient::finish(RequestId id, HttpResult result)
{
    const auto request = m_requests.take(id);
    if (!request)
        return;
    if (request->hasContext && !request->context)
        return;
    if (request->completion)
        request->completion(result);
}

void HttpClient::cancel(RequestId id)
{
    const auto request = m_requests.take(id);
    if (!request || !request->reply)
        return;
    QNetworkReply *reply = request->reply;
    reply->disconnect();
    reply->abort();
    reply->deleteLater();
}

void HttpClient::setDefaultTimeoutMs(int milliseconds)
{
    m_defaultTimeoutMs = milliseconds > 0 ? milliseconds : kDefaultTimeoutMs;
}

void HttpClient::setDefaultMaxBodyBytes(qint64 bytes)
{
    m_defaultMaxBodyBytes = bytes > 0 ? bytes : kDefaultMaxBodyBytes;
}

static QUrl baseUrlFromEnvironment(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable).trimmed();
    return QUrl(value.isEmpty() ? fallback : value);
}

QUrl storeBaseUrl()
{
    return baseUrlFromEnvironment("TANVILL_STORE_URL", QStringLiteral("https://itunes.apple.com"));
}

QUrl serviceBaseUrl()
{
    return baseUrlFromEnvironment("TANVILL_SERVICE_URL", QString());
}

QUrl wishlistBaseUrl()
{
    return baseUrlFromEnvironment("TANVILL_WISHLIST_URL", QStringLiteral("https://appshopper.com"));
}

} // namespace tanvill

#include "platform/HttpClient.h"

#include "platform/MainQueue.h"
#include "platform/SharedInstance.h"
#include "platform/WebLink.h"

#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSet>
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
    // What each hop sends again after a redirect.
    QByteArray verb;
    QByteArray requestBody;
    QByteArray contentType;
    HttpRequestOptions options;
    int timeoutMs = 0;
    // The first link's host and every link visited so far, to refuse other hosts and loops.
    QString host;
    QSet<QUrl> visited;
    // Runs over every hop: the whole answer must be in by then.
    std::unique_ptr<QTimer> deadline;

    // Stops the transfer with an error of our own; abort() finishes the reply at once.
    void stopWith(QNetworkReply::NetworkError error, const QString &text)
    {
        ownError = error;
        ownErrorText = text;
        if (reply)
            reply->abort();
    }

    // Stops the transfer without a word to anyone. Only our handlers (see send()) are cut: the
    // reply's own link to its transfer must stay, or abort() would leave the transfer running
    // and its connection taken until the server answers.
    void abandon()
    {
        if (!reply)
            return;
        QObject::disconnect(reply, &QNetworkReply::metaDataChanged, reply, nullptr);
        QObject::disconnect(reply, &QNetworkReply::readyRead, reply, nullptr);
        QObject::disconnect(reply, &QNetworkReply::finished, reply, nullptr);
        reply->abort();
    }
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
            request->abandon();
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
    request->verb = verb;
    request->requestBody = body;
    request->contentType = contentType;
    request->options = options;
    request->timeoutMs = options.timeoutMs > 0 ? options.timeoutMs : m_defaultTimeoutMs;
    m_requests.insert(id, request);

    if (!isWebLink(url)) {
        failSoon(id, url, QStringLiteral("Unsupported link: %1").arg(url.toDisplayString()));
        return id;
    }
    request->host = url.host().toLower();
    request->visited.insert(url.adjusted(QUrl::RemoveFragment));

    // However steadily an answer trickles in, it must be complete by the deadline: the
    // transfer timeout only catches a server that falls silent.
    const int deadlineMs = options.deadlineMs > 0 ? options.deadlineMs : m_defaultDeadlineMs;
    request->deadline = std::make_unique<QTimer>();
    request->deadline->setSingleShot(true);
    QObject::connect(
        request->deadline.get(), &QTimer::timeout, m_manager.get(),
        [weak = std::weak_ptr<Request>(request), deadlineMs] {
            if (const auto locked = weak.lock())
                locked->stopWith(
                    QNetworkReply::TimeoutError,
                    QStringLiteral("The server did not finish its answer within %1 seconds.")
                        .arg(QLocale::c().toString(deadlineMs / 1000.0, 'g', 3)));
        });
    request->deadline->start(deadlineMs);

    send(id, request, url);
    return id;
}

void HttpClient::send(RequestId id, const std::shared_ptr<Request> &request, const QUrl &url)
{
    QNetworkRequest networkRequest(url);
    networkRequest.setTransferTimeout(request->timeoutMs);
    // Redirects are ours to judge (see redirectTarget); Qt's own following also misreads
    // answers that come back at once on a reused connection.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::ManualRedirectPolicy);
    if (request->options.bypassCache) {
        networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                    QNetworkRequest::AlwaysNetwork);
        networkRequest.setRawHeader("Cache-Control", "no-cache");
    }
    if (!request->contentType.isEmpty())
        networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, request->contentType);
    for (const auto &[name, value] : request->options.headers)
        networkRequest.setRawHeader(name, value);

    QNetworkReply *reply = request->verb == "POST"
        ? m_manager->post(networkRequest, request->requestBody)
        : m_manager->get(networkRequest);
    request->reply = reply;

    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, request] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > request->maxBodyBytes) {
            request->stopWith(
                QNetworkReply::UnknownContentError,
                QStringLiteral("The answer is too large (%1 bytes).").arg(length.toLongLong()));
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, request] {
        request->body += reply->readAll();
        if (request->body.size() > request->maxBodyBytes) {
            request->body.clear();
            request->stopWith(QNetworkReply::UnknownContentError,
                              QStringLiteral("The answer is too large (more than %1 bytes).")
                                  .arg(request->maxBodyBytes));
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, id, reply, request] {
        reply->deleteLater();
        if (request->ownError == QNetworkReply::NoError) {
            const std::optional<QUrl> target = redirectTarget(*request, *reply);
            if (request->ownError == QNetworkReply::NoError && target) {
                request->body.clear();
                // A redirect answering a POST with 301, 302 or 303 asks for a GET.
                const int status
                    = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                if (status != 307 && status != 308) {
                    request->verb = "GET";
                    request->requestBody.clear();
                    request->contentType.clear();
                }
                send(id, request, *target);
                return;
            }
        }
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
        } else if (result.statusCode >= 300 && result.networkError >= 201) {
            // An HTTP status is an answer, not a failed transfer; callers read the status.
            result.networkError = QNetworkReply::NoError;
        }
        if (result.networkError == QNetworkReply::NoError)
            result.errorText.clear();
        else
            request->body.clear();
        result.body = std::move(request->body);
        finish(id, std::move(result));
    });
}

std::optional<QUrl> HttpClient::redirectTarget(Request &request, const QNetworkReply &reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray location = reply.rawHeader("Location");
    if (status < 300 || status > 308 || status == 304 || status == 305 || status == 306
        || location.isEmpty())
        return std::nullopt;
    const QUrl from = reply.url();
    const QUrl target = from.resolved(QUrl::fromEncoded(location.trimmed()));
    const auto refuse = [&request](QNetworkReply::NetworkError error, const QString &text) {
        request.ownError = error;
        request.ownErrorText = text;
        return std::nullopt;
    };
    // Old store replies still carry http links whose servers move them to https; that step
    // up is followed. A step down, another kind of link or another host is not: an answer
    // from elsewhere is no answer of the server asked.
    const QString fromScheme = from.scheme().toLower();
    const QString targetScheme = target.scheme().toLower();
    const bool upgrade
        = fromScheme == QLatin1String("http") && targetScheme == QLatin1String("https");
    if (!target.isValid() || (targetScheme != fromScheme && !upgrade))
        return refuse(
            QNetworkReply::InsecureRedirectError,
            QStringLiteral("Redirect to another scheme refused: %1").arg(target.toDisplayString()));
    if (target.host().toLower() != request.host)
        return refuse(
            QNetworkReply::ProtocolUnknownError,
            QStringLiteral("Redirect to another server refused: %1").arg(target.toDisplayString()));
    const QUrl visit = target.adjusted(QUrl::RemoveFragment);
    if (request.visited.contains(visit))
        return refuse(
            QNetworkReply::TooManyRedirectsError,
            QStringLiteral("The server redirected in a loop: %1").arg(target.toDisplayString()));
    if (request.visited.size() > kMaxRedirects)
        return refuse(
            QNetworkReply::TooManyRedirectsError,
            QStringLiteral("The server redirected more than %1 times.").arg(kMaxRedirects));
    request.visited.insert(visit);
    return target;
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
    request->deadline.reset();
    if (request->hasContext && !request->context)
        return;
    if (request->completion)
        request->completion(result);
}

void HttpClient::cancel(RequestId id)
{
    const auto request = m_requests.take(id);
    if (!request)
        return;
    request->deadline.reset();
    if (!request->reply)
        return;
    QNetworkReply *reply = request->reply;
    request->abandon();
    reply->deleteLater();
}

void HttpClient::setDefaultTimeoutMs(int milliseconds)
{
    m_defaultTimeoutMs = milliseconds > 0 ? milliseconds : kDefaultTimeoutMs;
}

void HttpClient::setDefaultDeadlineMs(int milliseconds)
{
    m_defaultDeadlineMs = milliseconds > 0 ? milliseconds : kDefaultDeadlineMs;
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

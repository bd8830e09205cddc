#include "store/AppStoreOperation.h"

#include "core/SettingsKeys.h"
#include "core/TextLimits.h"
#include "platform/NetworkFailure.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <nlohmann/json.hpp>

#include <QLocale>

namespace tanvill {

namespace {

Error storeError(int code, const char *descriptionKey, const QVariantList &arguments = {})
{
    Error error;
    error.domain = Error::domainFor(QStringLiteral("AppStoreOperation"));
    error.code = code;
    error.description = Strings::localizedFormat(QString::fromLatin1(descriptionKey), arguments);
    error.recoverySuggestion = Strings::localized(QStringLiteral("ErrorSupportSuggestion"));
    error.recoveryOptions = { Strings::localized(QStringLiteral("OK")),
                              Strings::localized(QStringLiteral("Request Support")) };
    return error;
}

// A transfer that never produced an answer (refused, reset, timed out, too large): the store
// could not be reached. It offers the same way out as the store's own errors, since the
// windows show them alike.
Error transferError(const HttpResult &result)
{
    Error error
        = networkFailureError(result, Strings::localized(QStringLiteral("StoreUnreachable")),
                              TextLimits::capped(result.errorText, TextLimits::kMessage),
                              Strings::localized(QStringLiteral("ErrorSupportSuggestion")));
    error.recoveryOptions = { Strings::localized(QStringLiteral("OK")),
                              Strings::localized(QStringLiteral("Request Support")) };
    return error;
}

QByteArray encoded(const QString &value)
{
    // Everything but letters, digits and - . _ ~ is escaped, byte by byte of its UTF-8 form.
    return QUrl::toPercentEncoding(value);
}

QUrl proxyBaseUrl()
{
    if (qEnvironmentVariableIsSet("TANVILL_STORE_URL"))
        return storeBaseUrl();
    return QUrl(QStringLiteral("https://api.tanvill.com"));
}

} // namespace

const Error &AppStoreOperation::noiTunesDataError()
{
    static const Error error = storeError(NoiTunesData, "NoiTunesData");
    return error;
}

const Error &AppStoreOperation::invalidiTunesDataError()
{
    static const Error error = storeError(InvalidiTunesData, "InvalidiTunesData");
    return error;
}

Error AppStoreOperation::storeServerFailedError(int statusCode)
{
    return storeError(StoreServerFailed, "StoreServerFailed", { qint64(statusCode) });
}

Error AppStoreOperation::appNotInStoreError(const QString &identifier)
{
    return storeError(AppNotInStore, "AppNotInStore", { identifier });
}

AppStoreOperation::AppStoreOperation(QString subject) : m_subject(std::move(subject)) { }

bool AppStoreOperation::isAnotherStore(const QString &code)
{
    return !code.isEmpty() && code != countryCode();
}

QString AppStoreOperation::countryCode()
{
    const QString code = UserDefaults::standard().string(SettingsKeys::StoreLocale);
    return code.isEmpty() ? QStringLiteral("US") : code;
}

QString AppStoreOperation::languageCode()
{
    for (const QLocale &locale : { QLocale(), QLocale::system() }) {
        const QLocale::Language language = locale.language();
        if (language != QLocale::AnyLanguage && language != QLocale::C) {
            const QString code = QLocale::languageToCode(language);
            if (!code.isEmpty())
                return code;
        }
    }
    return QStringLiteral("en");
}

QUrl AppStoreOperation::serviceUrl(const QString &storePath, const QString &proxyPath,
                                   const QByteArray &encodedQuery)
{
    const bool proxy = UserDefaults::standard().boolean(SettingsKeys::ForceTanvillAPI);
    QByteArray base = (proxy ? proxyBaseUrl() : storeBaseUrl()).toEncoded();
    while (base.endsWith('/'))
        base.chop(1);
    const QString path = proxy ? proxyPath : storePath;
    return QUrl::fromEncoded(base + path.toLatin1() + '?' + encodedQuery, QUrl::StrictMode);
}

QByteArray AppStoreOperation::regionQuery() const
{
    const QString country = m_askedCountryCode.isEmpty() ? countryCode() : m_askedCountryCode;
    return "&country=" + encoded(country) + "&lang=" + encoded(languageCode());
}

void AppStoreOperation::execute()
{
    m_askedCountryCode = countryCode();
    const QUrl url = requestUrl();
    if (!url.isValid()) {
        finishWithError(invalidiTunesDataError());
        return;
    }
    // The largest search the store answers is about a megabyte; anything much larger is no
    // store reply, and reading it would only hold up the UI thread.
    HttpRequestOptions options;
    options.maxBodyBytes = 4 * 1024 * 1024;
    std::weak_ptr<AppStoreOperation> weakSelf = weak_from_this();
    m_requestId = HttpClient::shared().get(
        url,
        [weakSelf](const HttpResult &result) {
            if (const auto self = weakSelf.lock())
                self->requestDidComplete(result);
        },
        options);
}

void AppStoreOperation::cancelExecution()
{
    if (m_requestId != 0)
        HttpClient::shared().cancel(m_requestId);
    m_requestId = 0;
}

void AppStoreOperation::requestDidComplete(const HttpResult &result)
{
    m_requestId = 0;
    if (isCancelled() || isFinished())
        return;
    if (result.transferFailed()) {
        finishWithError(transferError(result));
        return;
    }
    // A failing server may still send something shaped like a reply (a cached page, a
    // stand-in's default answer); only a 2xx answer is read.
    if (result.statusCode < 200 || result.statusCode >= 300) {
        finishWithError(storeServerFailedError(result.statusCode));
        return;
    }
    if (result.body.isEmpty()) {
        finishWithError(noiTunesDataError());
        return;
    }
    const nlohmann::json document = nlohmann::json::parse(result.body.cbegin(), result.body.cend(),
                                                          nullptr, /*allow_exceptions=*/false);
    if (document.is_object()) {
        const auto found = document.find("results");
        if (found != document.end() && found->is_array() && parseResults(*found))
            return;
    }
    finishWithError(invalidiTunesDataError());
}

void AppStoreOperation::finishWithError(const Error &error)
{
    if (isCancelled() || isFinished())
        return;
    // Cancelled after finishing, before the UI thread got to it (itself or with its queue):
    // still no handler.
    postHandler([self = shared_from_this(), error] {
        if (self->errorHandler)
            self->errorHandler(error, self.get());
    });
    finish();
}

void AppStoreOperation::finishWithSuccessHandler(std::function<void()> handler)
{
    if (isCancelled() || isFinished())
        return;
    postHandler([self = shared_from_this(), handler = std::move(handler)] { handler(); });
    finish();
}

AppStoreLookUpOperation::AppStoreLookUpOperation(QString identifier)
    : AppStoreOperation(std::move(identifier))
{ }

QUrl AppStoreLookUpOperation::requestUrl() const
{
    return serviceUrl(QStringLiteral("/lookup"), QStringLiteral("/itunes/lookup.php"),
                      "id=" + encoded(subject()) + regionQuery());
}

void AppStoreLookUpOperation::execute()
{
    // Only digits name an application; anything else is refused before any traffic, with the
    // error the store itself gives for a malformed identifier.
    if (!isStoreIdentifier(subject())) {
        finishWithError(invalidiTunesDataError());
        return;
    }
    AppStoreOperation::execute();
}

bool AppStoreLookUpOperation::parseResults(const nlohmann::json &results)
{
    // No result: the store does not know the identifier, which is no unreadable answer.
    if (results.empty()) {
        finishWithError(appNotInStoreError(subject()));
        return true;
    }
    auto app = CachedApp::fromJson(results.front());
    if (!app)
        return false;
    app->countryCode = askedCountryCode();
    finishWithSuccessHandler([this, app = std::move(*app)] {
        if (successHandler)
            successHandler(app);
    });
    return true;
}

QString rawValue(AppStoreSearchOperationScope scope)
{
    switch (scope) {
    case AppStoreSearchOperationScope::Phone:
        return QStringLiteral("software");
    case AppStoreSearchOperationScope::Pad:
        return QStringLiteral("iPadSoftware");
    case AppStoreSearchOperationScope::Mac:
        return QStringLiteral("macSoftware");
    }
    return {};
}

std::optional<AppStoreSearchOperationScope> appStoreSearchScopeFromRawValue(const QString &raw)
{
    for (const auto scope :
         { AppStoreSearchOperationScope::Phone, AppStoreSearchOperationScope::Pad,
           AppStoreSearchOperationScope::Mac }) {
        if (rawValue(scope) == raw)
            return scope;
    }
    return std::nullopt;
}

AppStoreSearchOperation::AppStoreSearchOperation(QString term, AppStoreSearchOperationScope scope)
    : AppStoreOperation(std::move(term)), m_scope(scope)
{ }

QUrl AppStoreSearchOperation::requestUrl() const
{
    return serviceUrl(QStringLiteral("/search"), QStringLiteral("/itunes/search.php"),
                      "term=" + encoded(subject()) + "&entity=" + encoded(rawValue(m_scope))
                          + regionQuery());
}

bool AppStoreSearchOperation::parseResults(const nlohmann::json &results)
{
    std::vector<CachedApp> apps;
    apps.reserve(results.size());
    for (const nlohmann::json &element : results) {
        if (auto app = CachedApp::fromJson(element)) {
            app->countryCode = askedCountryCode();
            apps.push_back(std::move(*app));
        }
    }
    // An empty "results" is the store's answer that nothing matches; results of which none
    // can be read are no answer at all, and must not read as one.
    if (apps.empty() && !results.empty())
        return false;
    finishWithSuccessHandler([this, apps = std::move(apps)] {
        if (successHandler)
            successHandler(apps);
    });
    return true;
}

} // namespace tanvill

#include "sharing/ShareRequest.h"

#include "core/App.h"
#include "core/List.h"
#include "core/ListRows.h"
#include "core/ListsController.h"
#include "core/PriceTotals.h"
#include "core/SettingsKeys.h"
#include "platform/HttpClient.h"
#include "platform/UserDefaults.h"
#include "store/AppStoreOperation.h"

#include <QLocale>
#include <QRegularExpression>

#include <nlohmann/json.hpp>

#include <algorithm>

namespace tanvill {

namespace {

std::string utf8(const QString &text)
{
    return text.toStdString();
}

nlohmann::ordered_json optionalText(const std::optional<QString> &text)
{
    return text ? nlohmann::ordered_json(utf8(*text)) : nlohmann::ordered_json(nullptr);
}

} // namespace

ShareRequest ShareRequest::forList(const List &list, const QString &email, bool allowModification)
{
    const UserDefaults &defaults = UserDefaults::standard();
    ShareRequest request;
    request.name = list.name();
    if (!email.isEmpty())
        request.email = email;
    const CurrencyOrder currencies = CurrencyOrder::ofChosenStore();
    request.currencySymbol
        = tanvill::currencySymbol(currencies.chosenCurrency(), AppStoreOperation::languageCode());
    const QString theme = rawValue(list.theme().name);
    request.theme = theme.left(1).toUpper() + theme.mid(1);
    request.countryCode = AppStoreOperation::countryCode();
    request.allowModification = allowModification;
    // Only a text counts; an empty one is sent as it is, since the user chose it.
    if (defaults.value(SettingsKeys::AffiliateToken).typeId() == QMetaType::QString)
        request.affiliateToken = defaults.string(SettingsKeys::AffiliateToken);

    for (const TableRow &row : rowsForList(&list, savedListGrouping(), savedListSorting())) {
        if (!row.isThis())
            continue;
        const App *app = row.thisValue();
        std::optional<double> price;
        if (currencies.currencyOf(*app) == currencies.chosenCurrency())
            price = app->price().toDouble();
        request.apps.push_back({ app->iconUrl(), price, app->appKind(), app->identifier(),
                                 app->name(), app->developer() });
    }
    std::reverse(request.apps.begin(), request.apps.end());
    return request;
}

QByteArray ShareRequest::body() const
{
    nlohmann::ordered_json object;
    object["name"] = utf8(name);
    object["email"] = optionalText(email);
    object["currencySymbol"] = utf8(currencySymbol);
    object["theme"] = utf8(theme);
    object["countryCode"] = utf8(countryCode);
    object["allowModification"] = allowModification;
    object["affiliateToken"] = optionalText(affiliateToken);
    nlohmann::ordered_json sharedApps = nlohmann::ordered_json::array();
    for (const SharedApp &app : apps) {
        nlohmann::ordered_json entry;
        entry["iconUrl"] = utf8(app.iconUrl);
        entry["price"]
            = app.price ? nlohmann::ordered_json(*app.price) : nlohmann::ordered_json(nullptr);
        entry["platform"] = app.kind == AppKind::Mac ? "OSX" : "iOS";
        entry["identifier"] = utf8(app.identifier);
        entry["name"] = utf8(app.name);
        entry["developer"] = utf8(app.developer);
        sharedApps.push_back(std::move(entry));
    }
    object["apps"] = std::move(sharedApps);
    const std::string text
        = object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return QByteArray::fromStdString(text);
}

QUrl ShareRequest::serviceUrl()
{
    const QUrl base = serviceBaseUrl();
    if (!base.isValid() || base.host().isEmpty())
        return {};
    QUrl url = base;
    QString path = base.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/lists/v1.1/add.php"));
    return url;
}

QString currencySymbol(const QString &currencyCode, const QString &languageCode)
{
    const QString code = currencyCode.toUpper();
    if (!code.isEmpty()) {
        // A speaker of the user's language first, then anyone who uses the currency.
        const QLocale::Language language = QLocale::codeToLanguage(languageCode);
        QList<QLocale> candidates;
        if (language != QLocale::AnyLanguage)
            candidates
                = QLocale::matchingLocales(language, QLocale::AnyScript, QLocale::AnyTerritory);
        candidates += QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                               QLocale::AnyTerritory);
        for (const QLocale &locale : std::as_const(candidates)) {
            if (locale.currencySymbol(QLocale::CurrencyIsoCode) == code) {
                const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
                if (!symbol.isEmpty())
                    return symbol;
            }
        }
    }
    return QStringLiteral("$");
}

bool isAcceptableEmailAddress(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("\\A[^@]+@[^@]+\\.[^@]+\\z"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(text).hasMatch();
}

} // namespace tanvill

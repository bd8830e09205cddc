#include "store/CachedApp.h"

#include "core/Decimal.h"

#include <nlohmann/json.hpp>

#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace tanvill {

namespace {

using json = nlohmann::json;

const json *member(const json &object, const char *key)
{
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

QString numberText(const json &value)
{
    if (value.is_number_unsigned())
        return QString::number(value.get<quint64>());
    if (value.is_number_integer())
        return QString::number(value.get<qint64>());
    return QString::number(value.get<double>(), 'g', QLocale::FloatingPointShortest);
}

// Text of a string, decimal text of a number, "true"/"false" of a Boolean, empty otherwise
// (null included).
std::optional<QString> readText(const json &object, const char *key)
{
    const json *value = member(object, key);
    if (!value)
        return std::nullopt;
    if (value->is_string())
        return QString::fromStdString(value->get_ref<const std::string &>());
    if (value->is_number())
        return numberText(*value);
    if (value->is_boolean())
        return value->get<bool>() ? QStringLiteral("true") : QStringLiteral("false");
    return QString();
}

// A number's value, 1/0 for a Boolean, a text that reads wholly as a finite decimal number,
// and 0 for anything else.
std::optional<double> readNumber(const json &object, const char *key)
{
    const json *value = member(object, key);
    if (!value)
        return std::nullopt;
    if (value->is_number())
        return value->get<double>();
    if (value->is_boolean())
        return value->get<bool>() ? 1.0 : 0.0;
    if (value->is_string()) {
        bool ok = false;
        const QString text = QString::fromStdString(value->get_ref<const std::string &>());
        const double number = text.toDouble(&ok);
        return ok && std::isfinite(number) ? number : 0.0;
    }
    return 0.0;
}

// Only an array whose elements are all strings gives a list.
std::optional<QStringList> readTextList(const json &object, const char *key)
{
    const json *value = member(object, key);
    if (!value || !value->is_array())
        return std::nullopt;
    QStringList list;
    list.reserve(qsizetype(value->size()));
    for (const json &element : *value) {
        if (!element.is_string())
            return std::nullopt;
        list << QString::fromStdString(element.get_ref<const std::string &>());
    }
    return list;
}

} // namespace

bool isStoreIdentifier(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

std::optional<CachedApp> CachedApp::fromJson(const json &object)
{
    if (!object.is_object())
        return std::nullopt;

    const auto kindText = readText(object, "kind");
    const auto kind = kindText ? appKindFromRawValue(*kindText) : std::nullopt;
    const auto name = readText(object, "trackName");
    const auto description = readText(object, "description");
    const auto storeUrl = readText(object, "trackViewUrl");
    const auto developer = readText(object, "artistName");
    auto rating = readNumber(object, "averageUserRating");
    if (!rating)
        rating = readNumber(object, "averageUserRatingForCurrentVersion");
    const auto price = readNumber(object, "price");
    const auto iconUrl = readText(object, "artworkUrl512");
    auto screenshots = readTextList(object, "screenshotUrls");
    const auto identifier = readText(object, "trackId");
    const auto version = readText(object, "version");
    const auto currency = readText(object, "currency");

    if (!kind || !name || !description || !storeUrl || !developer || !price || !iconUrl
        || !identifier || !version)
        return std::nullopt;

    AppKind finalKind = *kind;
    if (!screenshots || screenshots->isEmpty()) {
        screenshots = readTextList(object, "ipadScreenshotUrls");
        if (!screenshots)
            return std::nullopt;
        finalKind = AppKind::Pad;
    }

    // The identifier goes into look-up links and the price into the object store: refuse
    // what neither can hold rather than store something that later misbehaves.
    if (!isStoreIdentifier(*identifier) || !Decimal::fromDouble(*price))
        return std::nullopt;

    float finalRating = rating ? float(*rating) : 0.0f;
    if (!std::isfinite(finalRating))
        finalRating = 0.0f;

    CachedApp app;
    app.name = *name;
    app.identifier = *identifier;
    app.description = *description;
    app.kind = finalKind;
    app.version = *version;
    app.storeUrl = *storeUrl;
    app.developer = *developer;
    app.rating = finalRating;
    app.price = *price;
    app.iconUrl = *iconUrl;
    app.screenshotUrls = *screenshots;
    // The code becomes the price texts' currency: anything but three letters would format
    // every price wrongly, so it counts as missing.
    static const QRegularExpression currencyPattern(QStringLiteral("^[A-Za-z]{3}$"));
    app.currencyCode = currency && currencyPattern.match(*currency).hasMatch()
        ? currency->toUpper()
        : QStringLiteral("USD");
    return app;
}

} // namespace tanvill

#include "store/CachedApp.h"

#include "core/Decimal.h"
#include "core/TextLimits.h"
#include "platform/WebLink.h"

#include <nlohmann/json.hpp>

#include <QLocale>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tanvill {

namespace {

using json = nlohmann::json;

// A store price beyond this is no price anyone pays; it is refused as unreadable.
constexpr double kMaximumPrice = 1'000'000.0;
constexpr double kMaximumRating = 5.0;
// Store identifiers are positive 64-bit numbers.
constexpr qsizetype kMaxIdentifierDigits = 19;

// A value read from one key: absent (the key is not there), unreadable (there, but of a
// kind the field cannot take) or read.
template<typename T> struct Reading
{
    bool present = false;
    std::optional<T> value;

    bool unreadable() const { return present && !value; }
};

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

// Text of a string, decimal text of a number, "true"/"false" of a Boolean. An object or an
// array is no text, nor is a null unless the field takes it as the empty text: the field is
// unreadable. Control characters are taken out.
enum class Null { Unreadable, Empty };
Reading<QString> readText(const json &object, const char *key, Null null = Null::Unreadable)
{
    const json *value = member(object, key);
    if (!value)
        return {};
    if (value->is_null() && null == Null::Empty)
        return { true, QString() };
    if (value->is_string())
        return { true,
                 withoutControlCharacters(
                     QString::fromStdString(value->get_ref<const std::string &>())) };
    if (value->is_number())
        return { true, numberText(*value) };
    if (value->is_boolean())
        return { true, value->get<bool>() ? QStringLiteral("true") : QStringLiteral("false") };
    return { true, std::nullopt };
}

// A finite number, or a text that reads wholly as one. Anything else (a null, a Boolean,
// "free", "NaN", an object) is unreadable rather than a silent 0.
Reading<double> readNumber(const json &object, const char *key)
{
    const json *value = member(object, key);
    if (!value)
        return {};
    double number = std::numeric_limits<double>::quiet_NaN();
    if (value->is_number()) {
        number = value->get<double>();
    } else if (value->is_string()) {
        bool ok = false;
        const double parsed
            = QString::fromStdString(value->get_ref<const std::string &>()).toDouble(&ok);
        if (ok)
            number = parsed;
    }
    if (!std::isfinite(number))
        return { true, std::nullopt };
    return { true, number };
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
        list << withoutControlCharacters(
            QString::fromStdString(element.get_ref<const std::string &>()));
    }
    return list;
}

bool isStoreLink(const QString &text)
{
    return text.size() <= TextLimits::kLink && isWebLink(text);
}

} // namespace

QString withoutControlCharacters(const QString &text)
{
    const auto isUnwanted = [](QChar c) {
        return c.category() == QChar::Other_Control && c != QLatin1Char('\t')
            && c != QLatin1Char('\n') && c != QLatin1Char('\r');
    };
    if (std::none_of(text.cbegin(), text.cend(), isUnwanted))
        return text;
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (!isUnwanted(c))
            kept += c;
    }
    return kept;
}

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
    const auto kind = kindText.value ? appKindFromRawValue(*kindText.value) : std::nullopt;
    const auto name = readText(object, "trackName");
    const auto description = readText(object, "description", Null::Empty);
    const auto storeUrl = readText(object, "trackViewUrl");
    const auto developer = readText(object, "artistName");
    auto rating = readNumber(object, "averageUserRating");
    if (!rating.present)
        rating = readNumber(object, "averageUserRatingForCurrentVersion");
    const auto price = readNumber(object, "price");
    const auto iconUrl = readText(object, "artworkUrl512");
    auto screenshots = readTextList(object, "screenshotUrls");
    const auto identifier = readText(object, "trackId");
    const auto version = readText(object, "version");
    const auto currency = readText(object, "currency");

    // Every field the refresh compares must have been read: a field the store sent in a
    // form we cannot read would otherwise be stored as an empty text or a zero and
    // announced as a change.
    if (!kind || !name.value || !storeUrl.value || !developer.value || !price.value
        || !iconUrl.value || !identifier.value || !version.value || rating.unreadable()
        || description.unreadable())
        return std::nullopt;
    if (name.value->trimmed().isEmpty() || version.value->trimmed().isEmpty()
        || !isStoreIdentifier(*identifier.value) || identifier.value->size() > kMaxIdentifierDigits
        || !isStoreLink(*storeUrl.value) || !isStoreLink(*iconUrl.value))
        return std::nullopt;
    if (*price.value < 0.0 || *price.value > kMaximumPrice || !Decimal::fromDouble(*price.value))
        return std::nullopt;
    const double ratingValue = rating.value.value_or(0.0);
    if (ratingValue < 0.0 || ratingValue > kMaximumRating)
        return std::nullopt;

    AppKind finalKind = *kind;
    if (!screenshots || screenshots->isEmpty()) {
        screenshots = readTextList(object, "ipadScreenshotUrls");
        if (!screenshots)
            return std::nullopt;
        finalKind = AppKind::Pad;
    }
    // A screenshot that is no web link could only fail to load; the others still show.
    screenshots->removeIf([](const QString &url) { return !isStoreLink(url); });

    // Texts of absurd length are cut here, before any window has to lay them out.
    using namespace TextLimits;
    CachedApp app;
    app.name = capped(*name.value, kShortText);
    app.identifier = *identifier.value;
    app.description = capped(description.value.value_or(QString()), kLongText);
    app.kind = finalKind;
    app.version = capped(*version.value, kShortText);
    app.storeUrl = *storeUrl.value;
    app.developer = capped(*developer.value, kShortText);
    app.rating = float(ratingValue);
    app.price = *price.value;
    app.iconUrl = *iconUrl.value;
    app.screenshotUrls = *screenshots;
    // The code becomes the price texts' currency: anything but three letters would format
    // every price wrongly, so it counts as missing.
    static const QRegularExpression currencyPattern(QStringLiteral("^[A-Za-z]{3}$"));
    app.currencyCode = currency.value && currencyPattern.match(*currency.value).hasMatch()
        ? currency.value->toUpper()
        : QStringLiteral("USD");
    return app;
}

} // namespace tanvill

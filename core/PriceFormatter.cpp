#include "core/PriceFormatter.h"

#include "core/SettingsKeys.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <QLocale>

#include <unicode/decimfmt.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/unistr.h>

#include <cmath>
#include <map>
#include <memory>
#include <variant>

namespace tanvill {

namespace {

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

// The fraction digits of a scaled amount: those of a dollar price.
constexpr int kScaledFractionDigits = 2;

// The amount to format (a scaled copy for large amounts) and the suffix that says the scale.
struct Scaled
{
    std::variant<double, Decimal> amount;
    QString suffix;
};

Scaled scale(const std::variant<double, Decimal> &amount)
{
    const double v = std::holds_alternative<double>(amount) ? std::get<double>(amount)
                                                            : std::get<Decimal>(amount).toDouble();
    const double magnitude = std::fabs(v);
    int exponent = 0;
    QString suffixKey;
    if (magnitude >= 1e9) {
        exponent = 9;
        suffixKey = QStringLiteral("BillionShortSuffix");
    } else if (magnitude >= 1e6) {
        exponent = 6;
        suffixKey = QStringLiteral("MillionShortSuffix");
    } else if (magnitude >= 1e3) {
        exponent = 3;
        suffixKey = QStringLiteral("ThousandShortSuffix");
    } else {
        return { amount, {} };
    }
    // The scaled amount keeps its sign, so that a negative total does not read as positive.
    const QString suffix = Strings::localized(suffixKey);
    if (const auto *decimal = std::get_if<Decimal>(&amount)) {
        if (decimal->scale() + exponent <= 18)
            return { Decimal::fromUnits(decimal->units(), decimal->scale() + exponent), suffix };
    }
    return { v / std::pow(10.0, exponent), suffix };
}

QString formatWith(const icu::NumberFormat &formatter, const Scaled &scaled)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text;
    if (const auto *decimal = std::get_if<Decimal>(&scaled.amount)) {
        const QByteArray digits = decimal->toString().toLatin1();
        icu::Formattable number(icu::StringPiece(digits.constData(), int32_t(digits.size())),
                                status);
        if (U_FAILURE(status))
            return QString();
        formatter.format(number, text, status);
    } else {
        formatter.format(std::get<double>(scaled.amount), text);
    }
    if (U_FAILURE(status))
        return QString();
    return fromIcu(text);
}

QString format(const std::variant<double, Decimal> &amount, const QString &languageCode,
               const QString &currencyCode = {})
{
    const UserDefaults &defaults = UserDefaults::standard();
    const QString currency = !currencyCode.isEmpty()
        ? currencyCode
        : defaults.string(SettingsKeys::CurrencyCode, QStringLiteral("USD"));
    const QString country = defaults.string(SettingsKeys::StoreLocale, QStringLiteral("US"));
    const QString language = languageCode.isEmpty() ? QStringLiteral("en") : languageCode;
    const QByteArray identifier
        = (language + u'_' + country + QStringLiteral("@currency=") + currency).toUtf8();

    const Scaled scaled = scale(amount);
    UErrorCode status = U_ZERO_ERROR;
    // Making a formatter costs far more than formatting: every row of a table shows a price.
    // Formatters are kept per locale and suffix, one set per thread.
    thread_local std::map<std::pair<QByteArray, QString>, std::unique_ptr<icu::NumberFormat>>
        formatters;
    std::unique_ptr<icu::NumberFormat> &formatter = formatters[{ identifier, scaled.suffix }];
    if (formatter)
        return formatWith(*formatter, scaled);
    formatter.reset(
        icu::NumberFormat::createCurrencyInstance(icu::Locale(identifier.constData()), status));
    if (U_FAILURE(status) || !formatter) {
        formatter.reset();
        return QString();
    }

    if (!scaled.suffix.isEmpty()) {
        // "2.31K" whatever the currency: its own fraction digits (none for yen) would round a
        // scaled amount to a whole number of thousands.
        formatter->setMinimumFractionDigits(kScaledFractionDigits);
        formatter->setMaximumFractionDigits(kScaledFractionDigits);
        if (auto *decimalFormat = dynamic_cast<icu::DecimalFormat *>(formatter.get())) {
            icu::UnicodeString suffix;
            decimalFormat->getPositiveSuffix(suffix);
            suffix += toIcu(scaled.suffix);
            decimalFormat->setPositiveSuffix(suffix);
            // Negative amounts show the scale too.
            icu::UnicodeString negativeSuffix;
            decimalFormat->getNegativeSuffix(negativeSuffix);
            negativeSuffix += toIcu(scaled.suffix);
            decimalFormat->setNegativeSuffix(negativeSuffix);
        }
    }

    return formatWith(*formatter, scaled);
}

} // namespace

QString preferredLanguageCode()
{
    return preferredLanguageCode(QLocale::system().uiLanguages());
}

QString preferredLanguageCode(const QStringList &languages)
{
    if (languages.isEmpty())
        return QStringLiteral("en");
    // "de-DE" or "de_DE": the country comes from the store, only the language from here.
    QString language = languages.first().section(u'-', 0, 0).section(u'_', 0, 0);
    return language.isEmpty() || language == u"C" ? QStringLiteral("en") : language;
}

QString localizedPriceStringFromNumber(double value)
{
    return format(value, preferredLanguageCode());
}

QString localizedPriceStringFromNumber(const Decimal &value)
{
    return format(value, preferredLanguageCode());
}

QString localizedPriceStringFromNumber(double value, const QString &languageCode)
{
    return format(value, languageCode);
}

QString localizedPriceStringFromNumber(const Decimal &value, const QString &languageCode)
{
    return format(value, languageCode);
}

QString localizedPriceStringInCurrency(const Decimal &value, const QString &currencyCode,
                                       const QString &languageCode)
{
    return format(value, languageCode.isEmpty() ? preferredLanguageCode() : languageCode,
                  currencyCode);
}

QString localizedPriceStringInCurrency(double value, const QString &currencyCode,
                                       const QString &languageCode)
{
    return format(value, languageCode.isEmpty() ? preferredLanguageCode() : languageCode,
                  currencyCode);
}

} // namespace tanvill

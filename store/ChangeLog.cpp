#include "store/ChangeLog.h"

#include "core/SettingsKeys.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <QLocale>
#include <QRandomGenerator>

#include <unicode/unum.h>

#include <array>
#include <memory>

namespace tanvill {

namespace {

constexpr int kPositivePhrases = 6;
constexpr int kNegativePhrases = 5;

QString randomPhrase(const QString &prefix, int count)
{
    // bounded() draws without modulo bias.
    const int index = int(QRandomGenerator::global()->bounded(quint32(count))) + 1;
    return Strings::localized(prefix + QString::number(index));
}

// The price in a currency, written as the given locale writes amounts ("en_GB", "de_DE").
QString currencyText(const Decimal &price, const QString &localeName, const QString &currency)
{
    const QByteArray locale = (localeName + QStringLiteral("@currency=") + currency).toLatin1();
    const QByteArray digits = price.toString().toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UNumberFormat, decltype(&unum_close)> formatter(
        unum_open(UNUM_CURRENCY, nullptr, 0, locale.constData(), nullptr, &status), &unum_close);
    std::array<UChar, 64> buffer {};
    const int32_t length = U_SUCCESS(status)
        ? unum_formatDecimal(formatter.get(), digits.constData(), int32_t(digits.size()),
                             buffer.data(), int32_t(buffer.size()), nullptr, &status)
        : 0;
    if (U_FAILURE(status))
        return price.toString() + QLatin1Char(' ') + currency;
    return QString(reinterpret_cast<const QChar *>(buffer.data()), length);
}

// The long form is told in sentences and ends like one, also where a text serves both forms;
// the short form is a line of the history and ends bare.
QString ended(QString text, bool longForm)
{
    if (longForm)
        text += Strings::localized(QStringLiteral("UpdateNotificationSubtitleSuffix"));
    return text;
}

} // namespace

QString ChangeLog::priceText(const Decimal &price, const QString &currencyCode)
{
    if (price.isZero())
        return Strings::localized(QStringLiteral("free"));
    const UserDefaults &defaults = UserDefaults::standard();
    // The amount is in the store's currency, whatever the user's locale pays in: a yen price
    // written in pounds would be untrue.
    const QString currency = !currencyCode.isEmpty()
        ? currencyCode
        : defaults.string(SettingsKeys::CurrencyCode, QStringLiteral("USD"));
    const QLocale locale;
    // A locale without a currency of its own (C, POSIX) writes amounts as English does in the
    // store's country.
    if (locale.currencySymbol(QLocale::CurrencyIsoCode).isEmpty())
        return currencyText(price,
                            QStringLiteral("en_")
                                + defaults.string(SettingsKeys::StoreLocale, QStringLiteral("US")),
                            currency);
    return currencyText(price, locale.name(), currency);
}

QString ChangeLog::ratingText(float rating)
{
    const QByteArray localeName = QLocale().name().toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UNumberFormat, decltype(&unum_close)> formatter(
        unum_open(UNUM_DECIMAL, nullptr, 0, localeName.constData(), nullptr, &status), &unum_close);
    if (U_FAILURE(status) || !formatter)
        return QString::number(double(rating), 'f', 1) + QChar(0x2605);
    unum_setAttribute(formatter.get(), UNUM_MAX_FRACTION_DIGITS, 1);
    unum_setAttribute(formatter.get(), UNUM_ROUNDING_MODE, UNUM_ROUND_HALFEVEN);
    const UChar star = 0x2605;
    unum_setTextAttribute(formatter.get(), UNUM_POSITIVE_SUFFIX, &star, 1, &status);
    std::array<UChar, 64> buffer {};
    const int32_t length = unum_formatDouble(formatter.get(), double(rating), buffer.data(),
                                             int32_t(buffer.size()), nullptr, &status);
    if (U_FAILURE(status))
        return QString::number(double(rating), 'f', 1) + QChar(0x2605);
    return QString(reinterpret_cast<const QChar *>(buffer.data()), length);
}

QString ChangeLog::priceChangeDescription(const Change<Decimal> &change, bool longForm,
                                          const QString &currencyCode)
{
    const QString last = priceText(change.last, currencyCode);
    const QString current = priceText(change.current, currencyCode);
    if (!longForm)
        return Strings::localizedFormat(QStringLiteral("PriceChangeShortDescription"),
                                        { last, current });
    if (change.current < change.last)
        return Strings::localizedFormat(
            QStringLiteral("PriceChangePositiveDescription"),
            { randomPhrase(QStringLiteral("PositivePriceChange"), kPositivePhrases), last,
              current });
    return Strings::localizedFormat(
        QStringLiteral("PriceChangeNegativeDescription"),
        { randomPhrase(QStringLiteral("NegativePriceChange"), kNegativePhrases), last, current });
}

QString ChangeLog::ratingChangeDescription(const Change<float> &change, bool longForm)
{
    const QString last = ratingText(change.last);
    const QString current = ratingText(change.current);
    if (change.current == 0.0f)
        return Strings::localizedFormat(longForm ? QStringLiteral("NoRatingLongDescription")
                                                 : QStringLiteral("NoRatingShortDescription"),
                                        { last });
    if (change.last == 0.0f)
        return ended(
            Strings::localizedFormat(QStringLiteral("RatingAvailableDescription"), { current }),
            longForm);
    return ended(
        Strings::localizedFormat(QStringLiteral("RatingChangeLongDescription"), { last, current }),
        longForm);
}

QString ChangeLog::versionChangeDescription(const Change<QString> &change, bool longForm)
{
    return ended(Strings::localizedFormat(QStringLiteral("VersionChangeDescription"),
                                          { change.last, change.current }),
                 longForm);
}

void ChangeLog::updateDescription(const LabelSetter &label1, const Closure &closure1,
                                  const LabelSetter &label2, const Closure &closure2,
                                  const LabelSetter &label3, const Closure &closure3,
                                  const AppUpdate &update, bool longForm,
                                  const std::function<void(int)> &completion)
{
    QStringList texts;
    if (update.pricingChange)
        texts << priceChangeDescription(*update.pricingChange, longForm, update.currencyCode);
    if (update.ratingChange)
        texts << ratingChangeDescription(*update.ratingChange, longForm);
    if (update.versionChange)
        texts << versionChangeDescription(*update.versionChange, longForm);

    const std::array<const LabelSetter *, 3> labels { &label1, &label2, &label3 };
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (*labels[size_t(i)])
            (*labels[size_t(i)])(texts[i]);
    }

    const int count = std::max(1, int(texts.size()));
    const std::array<const Closure *, 3> closures { &closure1, &closure2, &closure3 };
    for (int i = 0; i < count; ++i) {
        if (*closures[size_t(i)])
            (*closures[size_t(i)])();
    }
    if (completion)
        completion(count);
}

} // namespace tanvill

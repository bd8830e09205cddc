#pragma once

// The price text of applications and list totals: currency style for the store country
// ("storeLocale"), the currency ("currencyCode") and the user's language, with amounts of a
// thousand and more shortened to a scaled number with two decimals, in every currency, and a
// suffix ("$2.50M", "¥2.31K").

#include "core/Decimal.h"

#include <QString>
#include <QStringList>

namespace tanvill {

QString localizedPriceStringFromNumber(double value);
QString localizedPriceStringFromNumber(const Decimal &value);

// The same for an explicit language code ("en", "de"), instead of the user's first
// preferred language; tests use it to stay independent of the machine's locale.
QString localizedPriceStringFromNumber(double value, const QString &languageCode);
QString localizedPriceStringFromNumber(const Decimal &value, const QString &languageCode);

// One application's price in the currency it is in ("GBP"), which "currencyCode" (the currency
// of the latest answer) need not be until the next refresh; an empty code stands for
// "currencyCode", an empty language for the user's.
QString localizedPriceStringInCurrency(const Decimal &value, const QString &currencyCode,
                                       const QString &languageCode = {});
QString localizedPriceStringInCurrency(double value, const QString &currencyCode,
                                       const QString &languageCode = {});

// The language part of the user's first preferred UI language, "en" when there is none.
QString preferredLanguageCode();
// The same for a list of UI languages as the platform gives them ("en-US", "de_DE", "C"): the
// bare language, since the country of a price comes from the store.
QString preferredLanguageCode(const QStringList &uiLanguages);

} // namespace tanvill

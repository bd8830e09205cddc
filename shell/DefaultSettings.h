#pragma once

// The settings every part of the application reads: the registered defaults and the values
// written once on the first run. The composition root (Services) calls both as soon as it has
// made the settings, before it makes the lists controller or the updater.

#include <QList>
#include <QLocale>
#include <QString>
#include <QVariantMap>

namespace tanvill {

class UserDefaults;

// The 17 registered defaults of the settings-key table (core/SettingsKeys.h); registering
// never overwrites a stored value.
QVariantMap defaultSettings();
void registerDefaultSettings(UserDefaults &defaults);

// Writes "firstLaunchDate" (now, when no date is stored), "storeLocale" (the locale's country
// when the store sells there, else "US") and "currencyCode" (the locale's currency, else
// "USD") when absent.
void writeFirstRunValues(UserDefaults &defaults, const QLocale &locale = QLocale::system());

// One entry of the store-locale table: a country where the store sells, by its name (shown when
// the system has no name for the code) and its store country code (what "storeLocale" holds).
struct StoreLocale
{
    QString country;
    QString code;
};

// The store-locale table (resources/StoreLocales.json) in its own order; entries without a
// code are left out.
QList<StoreLocale> storeLocales();

// The store country codes of the store-locale table, in table order.
QStringList storeCountryCodes();

} // namespace tanvill

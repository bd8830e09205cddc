#pragma once

// The settings every part of the application reads: the registered defaults and the values
// written once on the first run. The application calls both at start-up, before it first
// asks for the lists controller or the updater.

#include <QLocale>
#include <QString>
#include <QVariantMap>

namespace tanvill {

// The 17 registered defaults (registering never overwrites a stored value).
QVariantMap defaultSettings();
void registerDefaultSettings();

// Writes "firstLaunchDate" (now, when no date is stored), "storeLocale" (the locale's country
// when the store sells there, else "US") and "currencyCode" (the locale's currency, else
// "USD") when absent.
void writeFirstRunValues(const QLocale &locale = QLocale::system());

// The store country codes of the store-locale table, in table order.
QStringList storeCountryCodes();

} // namespace tanvill

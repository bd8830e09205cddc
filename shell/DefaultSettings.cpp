#include "shell/DefaultSettings.h"

#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tanvill {

QVariantMap defaultSettings()
{
    QVariantMap defaults;
    for (const SettingsKey *key : SettingsKeys::all()) {
        if (key->registeredDefault.isValid())
            defaults.insert(key->name, key->registeredDefault);
    }
    return defaults;
}

void registerDefaultSettings(UserDefaults &defaults)
{
    defaults.registerDefaults(defaultSettings());
}

QList<StoreLocale> storeLocales()
{
    QFile file(QStringLiteral(":/StoreLocales.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<StoreLocale> locales;
    const QJsonArray entries = QJsonDocument::fromJson(file.readAll()).array();
    for (const QJsonValue &entry : entries) {
        const QJsonObject object = entry.toObject();
        const QJsonValue code = object.value(QStringLiteral("code"));
        if (!code.isString() || code.toString().isEmpty())
            continue;
        const QJsonValue country = object.value(QStringLiteral("country"));
        locales.append(
            { country.isString() ? country.toString() : code.toString(), code.toString() });
    }
    return locales;
}

QStringList storeCountryCodes()
{
    QStringList codes;
    for (const StoreLocale &locale : storeLocales())
        codes.append(locale.code);
    return codes;
}

namespace {

bool holdsString(const UserDefaults &defaults, const QString &key)
{
    const int type = defaults.value(key).typeId();
    return type == QMetaType::QString || type == QMetaType::QByteArray;
}

} // namespace

void writeFirstRunValues(UserDefaults &defaults, const QLocale &locale)
{
    if (!defaults.date(SettingsKeys::FirstLaunchDate))
        defaults.setValue(SettingsKeys::FirstLaunchDate, QDateTime::currentDateTime());

    if (!holdsString(defaults, SettingsKeys::StoreLocale)) {
        const QString country = locale.territory() == QLocale::AnyTerritory
            ? QString()
            : QLocale::territoryToCode(locale.territory());
        QString storeLocale = QStringLiteral("US");
        if (!country.isEmpty() && storeCountryCodes().contains(country))
            storeLocale = country;
        defaults.setValue(SettingsKeys::StoreLocale, storeLocale);
    }

    if (!holdsString(defaults, SettingsKeys::CurrencyCode)) {
        QString currency = locale.currencySymbol(QLocale::CurrencyIsoCode);
        if (currency.isEmpty())
            currency = QStringLiteral("USD");
        defaults.setValue(SettingsKeys::CurrencyCode, currency);
    }
}

} // namespace tanvill

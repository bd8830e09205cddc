#include "shell/DefaultSettings.h"

#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tanvill {

QVariantMap defaultSettings()
{
    return {
        { QStringLiteral("selectedList"), 0 },
        { QStringLiteral("AutomaticallyUpdateApps"), true },
        { QStringLiteral("NotifyAboutChanges.Pricing"), false },
        { QStringLiteral("NotifyAboutChanges.Version"), false },
        { QStringLiteral("NotifyAboutChanges.Rating"), false },
        { QStringLiteral("hasSeenListSharingInfo"), false },
        { QStringLiteral("displayAppCountAsIconBadge"), false },
        { QStringLiteral("displayPlatformIcons"), false },
        { QStringLiteral("hasSeenFirstArchiveNotice"), false },
        { QStringLiteral("lastSelectedSearchScope"), 0 },
        { QStringLiteral("completedReviewPrompt"), false },
        { QStringLiteral("launchAtLogin"), false },
        { QStringLiteral("multipleAppWindows"), true },
        { QStringLiteral("suppressQuitWarning"), false },
        { QStringLiteral("listSorting"), QStringLiteral("none") },
        { QStringLiteral("listGrouping"), QStringLiteral("none") },
        { QStringLiteral("AppUpdateInverval"), 900 },
    };
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
    if (!defaults.date(QStringLiteral("firstLaunchDate")))
        defaults.setValue(QStringLiteral("firstLaunchDate"), QDateTime::currentDateTime());

    if (!holdsString(defaults, QStringLiteral("storeLocale"))) {
        const QString country = locale.territory() == QLocale::AnyTerritory
            ? QString()
            : QLocale::territoryToCode(locale.territory());
        QString storeLocale = QStringLiteral("US");
        if (!country.isEmpty() && storeCountryCodes().contains(country))
            storeLocale = country;
        defaults.setValue(QStringLiteral("storeLocale"), storeLocale);
    }

    if (!holdsString(defaults, QStringLiteral("currencyCode"))) {
        QString currency = locale.currencySymbol(QLocale::CurrencyIsoCode);
        if (currency.isEmpty())
            currency = QStringLiteral("USD");
        defaults.setValue(QStringLiteral("currencyCode"), currency);
    }
}

} // namespace tanvill

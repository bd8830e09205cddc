#pragma once

// One application as the store describes it, parsed from one element of a lookup or search
// reply. The store operations hand it to ListsController (adding, refreshing), to the search
// results and to the wish-list import.

#include "core/AppKind.h"

#include <QString>
#include <QStringList>

#include <nlohmann/json_fwd.hpp>

#include <optional>

namespace tanvill {

struct CachedApp
{
    QString name;
    QString identifier;
    QString description;
    AppKind kind = AppKind::Phone;
    QString version;
    QString storeUrl;
    QString developer;
    float rating = 0;
    double price = 0;
    QString iconUrl;
    QStringList screenshotUrls;
    QString currencyCode;

    // No value when the object lacks a field the system needs, names a kind that is not an
    // application, or holds an identifier that is not decimal digits or an unusable price.
    static std::optional<CachedApp> fromJson(const nlohmann::json &object);

    friend bool operator==(const CachedApp &, const CachedApp &) = default;
};

// True for a non-empty text of ASCII decimal digits, the only form a store identifier takes.
bool isStoreIdentifier(const QString &text);

} // namespace tanvill

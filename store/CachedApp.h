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
    // The store country that gave it ("JP"), as the operation asked; empty when not known.
    QString countryCode;

    // No value when the object lacks a field the system needs or holds one it cannot read:
    // a kind that is not an application, an identifier that is not decimal digits, an empty
    // name or version, links that are not web links, a price outside 0 to 1,000,000 or a
    // rating outside 0 to 5. A missing rating reads as 0 and a missing or null description
    // as the empty text. Control characters other than tab and line breaks are taken out of
    // every text.
    static std::optional<CachedApp> fromJson(const nlohmann::json &object);

    friend bool operator==(const CachedApp &, const CachedApp &) = default;
};

// The text without control characters, but for tab, line feed and carriage return.
QString withoutControlCharacters(const QString &text);

// True for a non-empty text of ASCII decimal digits, the only form a store identifier takes.
bool isStoreIdentifier(const QString &text);

} // namespace tanvill

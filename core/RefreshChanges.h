#pragma once

// What a refresh changes in the values whose history a record keeps (price, version, rating),
// worked out apart from any record so that the rules stand on their own, and applied to a
// record by moving its current values into the previous ones.

#include "core/Decimal.h"
#include "store/AppUpdate.h"
#include "store/CachedApp.h"

#include <QString>

#include <optional>

namespace tanvill {

class App;

// A record's current price (with its currency, empty when not known), version and rating.
struct TrackedValues
{
    QString version;
    float rating = 0;
    Decimal price;
    QString currencyCode;

    static TrackedValues of(const App &app);
};

// The new values a refresh found, each present only when it changed.
struct RefreshChanges
{
    std::optional<QString> version;
    std::optional<float> rating;
    std::optional<Decimal> price;
    // The answer's currency when the record's differs. A price in another currency than the
    // stored one (a new store country, a store answering in another currency) tells nothing of
    // how the price moved: it is no change, and becomes the previous price too.
    std::optional<QString> currencyCode;

    bool isEmpty() const { return !version && !rating && !price && !currencyCode; }
    bool operator==(const RefreshChanges &) const = default;
};

// A version changes when its text differs (beyond how accented letters are composed); a rating
// when it moved by 0.05 or more; a price when it moved by half a cent or more in the same
// currency (a record whose currency is not known is taken to be in the answer's).
RefreshChanges detectRefreshChanges(const TrackedValues &stored, const CachedApp &result);

// Moves the changed values' current values into the previous ones, stores the new values and
// returns what changed, named after the application; none when no price, version or rating
// change was recorded.
std::optional<AppUpdate> applyRefreshChanges(App &app, const RefreshChanges &changes);

} // namespace tanvill

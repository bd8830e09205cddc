#include "core/RefreshChanges.h"

#include "core/App.h"
#include "core/StoreResultRecord.h"

#include <cmath>

namespace tanvill {

TrackedValues TrackedValues::of(const App &app)
{
    return { app.version(), app.rating(), app.price(), app.currencyCode() };
}

RefreshChanges detectRefreshChanges(const TrackedValues &stored, const CachedApp &result)
{
    RefreshChanges changes;
    if (!sameStoreText(stored.version, result.version))
        changes.version = result.version;
    if (std::fabs(stored.rating - result.rating) >= 0.05f)
        changes.rating = result.rating;
    const bool otherCurrency
        = !stored.currencyCode.isEmpty() && stored.currencyCode != result.currencyCode;
    if (stored.currencyCode != result.currencyCode)
        changes.currencyCode = result.currencyCode;
    if (otherCurrency || std::fabs(stored.price.toDouble() - result.price) >= 0.005)
        changes.price = Decimal::fromDouble(result.price).value_or(Decimal());
    return changes;
}

std::optional<AppUpdate> applyRefreshChanges(App &app, const RefreshChanges &changes)
{
    if (changes.isEmpty())
        return std::nullopt;
    AppUpdate update(app.name());
    update.identifier = app.identifier();
    if (changes.version) {
        app.setLastVersion(app.version());
        app.setVersion(*changes.version);
        update.versionChange = Change<QString> { app.lastVersion(), app.version() };
    }
    if (changes.rating) {
        app.setLastRating(app.rating());
        app.setRating(*changes.rating);
        update.ratingChange = Change<float> { app.lastRating(), app.rating() };
    }
    if (changes.price) {
        const bool sameCurrency = !changes.currencyCode || app.currencyCode().isEmpty();
        app.setLastPrice(sameCurrency ? app.price() : *changes.price);
        app.setPrice(*changes.price);
        if (sameCurrency) {
            update.pricingChange = Change<Decimal> { app.lastPrice(), app.price() };
            update.currencyCode = app.currencyCode();
        }
    }
    if (changes.currencyCode)
        app.setCurrencyCode(*changes.currencyCode);
    if (update.numberOfChanges() == 0)
        return std::nullopt;
    return update;
}

} // namespace tanvill

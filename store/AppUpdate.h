#pragma once

// What one refresh changed in one application: its name and up to three changes. Kept by
// the updater as its latest changes and shown by the Latest Changes window and the
// notifications.

#include "core/Change.h"
#include "core/Decimal.h"

#include <QString>

#include <optional>

namespace tanvill {

struct AppUpdate
{
    AppUpdate() = default;
    // Price, rating, version: the order the refresh works them out in.
    explicit AppUpdate(QString appName, std::optional<Change<Decimal>> pricing = std::nullopt,
                       std::optional<Change<float>> rating = std::nullopt,
                       std::optional<Change<QString>> version = std::nullopt,
                       QString currency = {});

    // Present changes, 0 to 3; the Latest Changes window picks its row layout by it.
    int numberOfChanges() const;

    QString app;
    std::optional<Change<Decimal>> pricingChange;
    std::optional<Change<QString>> versionChange;
    std::optional<Change<float>> ratingChange;
    // The currency both prices of the price change are in; empty stands for the store's
    // ("currencyCode"), as when there is no price change.
    QString currencyCode;

    friend bool operator==(const AppUpdate &, const AppUpdate &) = default;
};

} // namespace tanvill

#pragma once

// What one refresh changed in one application: its name and up to three changes. Kept by
// the updater as its latest changes and shown by the Latest Changes window and the
// notifications.

#include "core/Change.h"
#include "core/Decimal.h"

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

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
    // The application's store identifier; empty when not known.
    QString identifier;
    std::optional<Change<Decimal>> pricingChange;
    std::optional<Change<QString>> versionChange;
    std::optional<Change<float>> ratingChange;
    // The currency both prices of the price change are in; empty stands for the store's
    // ("currencyCode"), as when there is no price change.
    QString currencyCode;

    friend bool operator==(const AppUpdate &, const AppUpdate &) = default;
};

// The changes of one or more refreshes, one per application in the order first found. A later
// change of an application already in (by its identifier) takes the place of the earlier one's
// kinds of change, so that each reads as the application's record holds it; a change of an
// application large numbers of refreshes found is looked up, not searched for.
class AppUpdateList
{
public:
    void add(const AppUpdate &update);
    bool empty() const { return m_updates.empty(); }
    std::vector<AppUpdate> take();

private:
    std::vector<AppUpdate> m_updates;
    QHash<QString, size_t> m_positions;
};

} // namespace tanvill

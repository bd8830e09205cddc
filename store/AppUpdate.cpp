#include "store/AppUpdate.h"

#include <utility>

namespace tanvill {

AppUpdate::AppUpdate(QString appName, std::optional<Change<Decimal>> pricing,
                     std::optional<Change<float>> rating, std::optional<Change<QString>> version,
                     QString currency)
    : app(std::move(appName)), pricingChange(std::move(pricing)), versionChange(std::move(version)),
      ratingChange(rating), currencyCode(std::move(currency))
{ }

int AppUpdate::numberOfChanges() const
{
    return int(pricingChange.has_value()) + int(versionChange.has_value())
        + int(ratingChange.has_value());
}

} // namespace tanvill

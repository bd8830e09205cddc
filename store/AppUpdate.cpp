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

void AppUpdateList::add(const AppUpdate &update)
{
    const auto known = update.identifier.isEmpty() ? m_positions.cend()
                                                   : m_positions.constFind(update.identifier);
    if (known == m_positions.cend()) {
        if (!update.identifier.isEmpty())
            m_positions.insert(update.identifier, m_updates.size());
        m_updates.push_back(update);
        return;
    }
    AppUpdate &earlier = m_updates[*known];
    earlier.app = update.app;
    if (update.pricingChange) {
        earlier.pricingChange = update.pricingChange;
        earlier.currencyCode = update.currencyCode;
    }
    if (update.ratingChange)
        earlier.ratingChange = update.ratingChange;
    if (update.versionChange)
        earlier.versionChange = update.versionChange;
}

std::vector<AppUpdate> AppUpdateList::take()
{
    m_positions.clear();
    return std::exchange(m_updates, {});
}

} // namespace tanvill

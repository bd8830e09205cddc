#include "core/ListGrouping.h"

#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"

namespace tanvill {

std::optional<ListGrouping> listGroupingFromRawValue(const QString &value)
{
    for (const ListGrouping grouping :
         { ListGrouping::None, ListGrouping::Platform, ListGrouping::Developer }) {
        if (rawValue(grouping) == value)
            return grouping;
    }
    return std::nullopt;
}

QString rawValue(ListGrouping grouping)
{
    switch (grouping) {
    case ListGrouping::None:
        return QStringLiteral("none");
    case ListGrouping::Platform:
        return QStringLiteral("kind");
    case ListGrouping::Developer:
        return QStringLiteral("developer");
    }
    return QStringLiteral("none");
}

int tag(ListGrouping grouping)
{
    return static_cast<int>(grouping);
}

ListGrouping savedListGrouping()
{
    return listGroupingFromRawValue(UserDefaults::standard().string(SettingsKeys::ListGrouping))
        .value_or(ListGrouping::None);
}

void setSavedListGrouping(ListGrouping grouping)
{
    UserDefaults::standard().setValue(SettingsKeys::ListGrouping, rawValue(grouping));
}

} // namespace tanvill

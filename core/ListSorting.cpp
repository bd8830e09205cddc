#include "core/ListSorting.h"

#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"

namespace tanvill {

std::optional<ListSorting> listSortingFromRawValue(const QString &value)
{
    for (const ListSorting sorting : { ListSorting::None, ListSorting::Price, ListSorting::Name }) {
        if (rawValue(sorting) == value)
            return sorting;
    }
    return std::nullopt;
}

QString rawValue(ListSorting sorting)
{
    switch (sorting) {
    case ListSorting::None:
        return QStringLiteral("none");
    case ListSorting::Price:
        return QStringLiteral("price");
    case ListSorting::Name:
        return QStringLiteral("name");
    }
    return QStringLiteral("none");
}

int tag(ListSorting sorting)
{
    return static_cast<int>(sorting);
}

ListSorting savedListSorting()
{
    return listSortingFromRawValue(UserDefaults::standard().string(SettingsKeys::ListSorting))
        .value_or(ListSorting::None);
}

void setSavedListSorting(ListSorting sorting)
{
    UserDefaults::standard().setValue(SettingsKeys::ListSorting, rawValue(sorting));
}

} // namespace tanvill

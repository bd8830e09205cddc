#pragma once

// The order of the applications and sections of every list, chosen in the application menu
// and kept in the user defaults under "listSorting" as its raw value.

#include <QString>

#include <cstddef>
#include <optional>

namespace tanvill {

enum class ListSorting { None = 0, Price = 1, Name = 2 };

// Exact, case-sensitive: "none", "price", "name".
std::optional<ListSorting> listSortingFromRawValue(const QString &rawValue);
QString rawValue(ListSorting sorting);
int tag(ListSorting sorting);

// The user's choice; None when the setting holds nothing or an unknown value.
ListSorting savedListSorting();
void setSavedListSorting(ListSorting sorting);

} // namespace tanvill

template<> struct std::hash<tanvill::ListSorting>
{
    std::size_t operator()(tanvill::ListSorting sorting) const noexcept
    {
        return static_cast<std::size_t>(tanvill::tag(sorting));
    }
};

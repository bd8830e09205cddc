#pragma once

// The order of the applications and sections of every list, chosen in the application menu
// and kept in the user defaults under "listSorting" as its raw value.

#include "core/TagHash.h"

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

template<> struct std::hash<tanvill::ListSorting> : tanvill::TagHash<tanvill::ListSorting>
{
};

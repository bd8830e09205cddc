#pragma once

// The sectioning of every list (one section, one per platform, one per developer), chosen
// in the application menu and kept in the user defaults under "listGrouping" as its raw
// value. Platform is stored as "kind".

#include "core/TagHash.h"

#include <QString>

#include <cstddef>
#include <optional>

namespace tanvill {

enum class ListGrouping { None = 0, Platform = 1, Developer = 2 };

// Exact, case-sensitive: "none", "kind", "developer".
std::optional<ListGrouping> listGroupingFromRawValue(const QString &rawValue);
QString rawValue(ListGrouping grouping);
int tag(ListGrouping grouping);

// The user's choice; None when the setting holds nothing or an unknown value.
ListGrouping savedListGrouping();
void setSavedListGrouping(ListGrouping grouping);

} // namespace tanvill

template<> struct std::hash<tanvill::ListGrouping> : tanvill::TagHash<tanvill::ListGrouping>
{
};

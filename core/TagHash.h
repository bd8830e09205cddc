#pragma once

// The hash of the enumerations whose values carry a tag (AppKind, ThemeName, ListSorting,
// ListGrouping): the hash of a value is its tag. Each type's header derives its std::hash
// from it.

#include <cstddef>

namespace tanvill {

template<typename Enum> struct TagHash
{
    std::size_t operator()(Enum value) const noexcept
    {
        return static_cast<std::size_t>(tag(value));
    }
};

} // namespace tanvill

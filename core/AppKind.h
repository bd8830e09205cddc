#pragma once

// The platform an application is sold for. Stored in App as its integer tag, read from
// store results by its raw value (the store's kind string), shown by its description
// (also the section titles of grouping by platform).

#include "core/TagHash.h"

#include <QString>

#include <cstddef>
#include <optional>

namespace tanvill {

enum class AppKind { Phone = 0, Pad = 1, Mac = 2 };

// The case whose store kind string equals rawValue exactly; none for any other string.
std::optional<AppKind> appKindFromRawValue(const QString &rawValue);
QString rawValue(AppKind kind);
QString description(AppKind kind);
int tag(AppKind kind);

} // namespace tanvill

template<> struct std::hash<tanvill::AppKind> : tanvill::TagHash<tanvill::AppKind>
{
};

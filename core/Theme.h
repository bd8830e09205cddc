#pragma once

// The ten list colours and the light tint and dark shade each gives to list headers,
// buttons, the list editor, the list-order view and the page dots. Lists store a colour
// by its raw value.

#include "core/TagHash.h"

#include <QColor>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

namespace tanvill {

enum class ThemeName {
    Yellow,
    Orange,
    Pink,
    Red,
    Purple,
    Navy,
    Blue,
    Cyan,
    LightGreen,
    Green,
};

// Every case in declaration order (the order of the colour pickers).
const std::array<ThemeName, 10> &allThemeNames();
// Exact, case-sensitive: "lightGreen" is a colour, "LightGreen" is not.
std::optional<ThemeName> themeNameFromRawValue(const QString &rawValue);
QString rawValue(ThemeName name);
int tag(ThemeName name);

struct Theme
{
    ThemeName name = ThemeName::Yellow;

    QColor lightColor() const;
    QColor darkColor() const;

    friend bool operator==(const Theme &, const Theme &) = default;
};

} // namespace tanvill

template<> struct std::hash<tanvill::ThemeName> : tanvill::TagHash<tanvill::ThemeName>
{
};

#include "core/Theme.h"

namespace tanvill {

namespace {

struct Components
{
    const char *rawValue;
    double light[3];
    double dark[3];
};

// Indexed by the ThemeName tag.
constexpr Components kThemes[] = {
    { "yellow", { 0.996, 0.898, 0.411 }, { 0.465, 0.342, 0.138 } },
    { "orange", { 0.999, 0.723, 0.443 }, { 0.468, 0.166, 0.075 } },
    { "pink", { 1.0, 0.631, 0.62 }, { 0.468, 0.16, 0.172 } },
    { "red", { 1.0, 0.489, 0.42 }, { 0.587, 0.149, 0.23 } },
    { "purple", { 0.998, 0.633, 0.883 }, { 0.587, 0.154, 0.528 } },
    { "navy", { 0.477, 0.53, 0.992 }, { 0.267, 0.275, 0.581 } },
    { "blue", { 0.362, 0.65, 0.992 }, { 0.165, 0.343, 0.581 } },
    { "cyan", { 0.587, 0.91, 0.991 }, { 0.0, 0.515, 0.581 } },
    { "lightGreen", { 0.669, 0.977, 0.667 }, { 0.284, 0.573, 0.453 } },
    { "green", { 0.331, 0.665, 0.354 }, { 0.136, 0.361, 0.127 } },
};

QColor colorFrom(const double (&rgb)[3])
{
    return QColor::fromRgbF(static_cast<float>(rgb[0]), static_cast<float>(rgb[1]),
                            static_cast<float>(rgb[2]), 1.0f);
}

} // namespace

const std::array<ThemeName, 10> &allThemeNames()
{
    static const std::array<ThemeName, 10> names = {
        ThemeName::Yellow,     ThemeName::Orange, ThemeName::Pink, ThemeName::Red,
        ThemeName::Purple,     ThemeName::Navy,   ThemeName::Blue, ThemeName::Cyan,
        ThemeName::LightGreen, ThemeName::Green,
    };
    return names;
}

std::optional<ThemeName> themeNameFromRawValue(const QString &value)
{
    for (const ThemeName name : allThemeNames()) {
        if (value == QLatin1String(kThemes[tag(name)].rawValue))
            return name;
    }
    return std::nullopt;
}

QString rawValue(ThemeName name)
{
    return QString::fromLatin1(kThemes[tag(name)].rawValue);
}

int tag(ThemeName name)
{
    return static_cast<int>(name);
}

QColor Theme::lightColor() const
{
    return colorFrom(kThemes[tag(name)].light);
}

QColor Theme::darkColor() const
{
    return colorFrom(kThemes[tag(name)].dark);
}

} // namespace tanvill

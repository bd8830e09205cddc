#include "core/AppKind.h"

namespace tanvill {

std::optional<AppKind> appKindFromRawValue(const QString &value)
{
    for (const AppKind kind : { AppKind::Phone, AppKind::Pad, AppKind::Mac }) {
        if (rawValue(kind) == value)
            return kind;
    }
    return std::nullopt;
}

QString rawValue(AppKind kind)
{
    switch (kind) {
    case AppKind::Phone:
        return QStringLiteral("software");
    case AppKind::Pad:
        return QStringLiteral("iPadSoftware");
    case AppKind::Mac:
        return QStringLiteral("mac-software");
    }
    return QStringLiteral("software");
}

QString description(AppKind kind)
{
    switch (kind) {
    case AppKind::Phone:
        return QStringLiteral("iPhone");
    case AppKind::Pad:
        return QStringLiteral("iPad");
    case AppKind::Mac:
        return QStringLiteral("Mac");
    }
    return QStringLiteral("iPhone");
}

int tag(AppKind kind)
{
    return static_cast<int>(kind);
}

} // namespace tanvill

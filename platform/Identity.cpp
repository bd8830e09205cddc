#include "platform/Identity.h"

#include <QStandardPaths>

namespace tanvill {

QString applicationFolder(int standardLocation)
{
    const auto location = static_cast<QStandardPaths::StandardLocation>(standardLocation);
    return QStandardPaths::writableLocation(location) + QLatin1Char('/') + bundleIdentifier();
}

} // namespace tanvill

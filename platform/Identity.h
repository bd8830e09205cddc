#pragma once

// The application's identity: one constant names the data folders, error domains and ids.

#include <QString>

namespace tanvill {

inline constexpr const char kBundleIdentifier[] = "com.tanvill.Tanvill";

inline QString bundleIdentifier()
{
    return QString::fromLatin1(kBundleIdentifier);
}

// The folder of the given kind for this application, e.g. $XDG_DATA_HOME/com.tanvill.Tanvill.
// Kinds are QStandardPaths::GenericDataLocation, GenericCacheLocation, GenericConfigLocation.
QString applicationFolder(int standardLocation);

} // namespace tanvill

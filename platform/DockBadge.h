#pragma once

// The count on the application's launcher icon, sent as the Unity LauncherEntry "Update"
// signal on the session bus (understood by the common docks and panels). Without a session
// bus nothing is sent; the label is still kept so that tests can read it.

#include <QString>

#include <optional>

namespace tanvill {

class DockBadge
{
public:
    // Shows label (a decimal count) on the icon, or removes the badge when there is none.
    static void setLabel(const std::optional<QString> &label);
    static std::optional<QString> label();
};

} // namespace tanvill

#pragma once

// Lists a kept window in the shell's Window menu while it is open: added when it shows,
// retitled with it, removed when it is closed or destroyed. For windows that are hidden and
// shown again (preferences, archive) as well as those made anew each time (Latest Changes).
// Nothing happens while no shell is installed.

class QWidget;

namespace tanvill {

void listInWindowsMenuWhileOpen(QWidget *window);

} // namespace tanvill

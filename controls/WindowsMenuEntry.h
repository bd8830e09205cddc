#pragma once

// Lists a kept window in the shell's Window menu while it is open: added when it shows,
// retitled with it, removed when it is closed. For windows that are hidden and shown again
// rather than made anew (preferences, archive). Nothing happens while no shell is installed.

class QWidget;

namespace tanvill {

void listInWindowsMenuWhileOpen(QWidget *window);

} // namespace tanvill

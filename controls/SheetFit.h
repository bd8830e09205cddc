#pragma once

// Keeps a window-modal sheet inside the window it is attached to, at every size that window
// allows: no wider than the window (its texts wrap instead) and centred over it, on the screen,
// also where the window manager first puts it somewhere else. The main window's narrowest size
// sets the widths the sheets are designed for; an alert with a long text is the sheet that
// needs narrowing. The list sheets and the alert presenter use it.

class QDialog;

namespace tanvill {

// From its next showing on, `sheet` fits its parent's window whenever it is shown or resized.
void keepSheetInsideWindow(QDialog *sheet);

} // namespace tanvill

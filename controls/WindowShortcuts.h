#pragma once

// The keys that close a secondary window (archive, detail, Latest Changes, preferences, wish-list
// import): Ctrl+W, the desktop's Close key, while the window has the focus. A popover or sheet
// open on the window takes its keys first.

class QWidget;

namespace tanvill {

// `alsoEscape`: Escape closes the window too, for a window that is one piece of work.
void closeWindowOnStandardKeys(QWidget *window, bool alsoEscape = false);

} // namespace tanvill

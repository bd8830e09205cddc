#pragma once

// Keeps a window's place and size between closings and between runs under an autosave name
// ("MainWindowFrame", "ArchiveWindowFrame", "DetailWindowFrame"), in the settings key that
// windowFrameSettingsKey names. The windows the application delegate keeps and the detail
// windows use it.

#include <QString>

class QWidget;

namespace tanvill {

class UserDefaults;

// Puts the window where it stood when last saved under `name` (if that place is still on a
// screen), then saves its frame whenever it moves, is resized, hidden or closed. Each time it
// is shown it is moved and shrunk onto its screen where it no longer fits (WindowPlacement.h).
void setFrameAutosaveName(QWidget *window, const QString &name, UserDefaults &settings);

// The name given to the window; empty when none.
QString frameAutosaveName(const QWidget *window);

} // namespace tanvill

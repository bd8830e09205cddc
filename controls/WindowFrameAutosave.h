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
// screen), then saves the frame the user gives it whenever they move or resize it. Each time
// it is shown it is moved and shrunk onto its screen where it no longer fits
// (WindowPlacement.h); that fitting is never saved, so the frame the user chose comes back on
// a screen large enough for it.
void setFrameAutosaveName(QWidget *window, const QString &name, UserDefaults &settings);

// The name given to the window; empty when none.
QString frameAutosaveName(const QWidget *window);

} // namespace tanvill

#pragma once

#include <QPalette>

class QApplication;

namespace tanvill {

// The application's one look, dark on every desktop whatever its theme: the Fusion style with
// the palette below, thin scroll bars that show while scrolling and fade away, dark menus and
// tool tips, and a focus ring on the control the keyboard works on (KeyboardFocus.h). Installed at
// start-up by the program and by the widget test programs.
void applyDarkStyle(QApplication &application);

// The colours of every window: dark grey windows, darker tables, light text.
QPalette darkPalette();

} // namespace tanvill

#pragma once

// A sheet or modal window keeps the keyboard while it is up. Qt sends no input to a window a
// modal one blocks, yet a window manager may still make that window the active one when the user
// clicks it (it does not hand the activation on to the modal child); the keys would then go to a
// window that takes none, and the sheet would show no focus. Such an activation goes straight back
// to the modal window, whose focus and ring are where they were. The layer under a sheet inside a
// window (ModalBackgroundView) takes no focus from a click either. installKeyboardFocus installs
// this for the program and the widget test programs.

class QGuiApplication;

namespace tanvill {

void keepKeyboardInModalWindows(QGuiApplication &application);

} // namespace tanvill

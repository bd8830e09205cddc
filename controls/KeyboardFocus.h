#pragma once

// Keyboard use in every window. A ring marks the control the keyboard works on: a rounded outline
// in the accent colour around the focused control, shown once the focus came by the keyboard (Tab,
// Shift+Tab, a shortcut) and kept while the focus stays, also when its window is left and
// entered again and when a pop-up, a menu, the menu bar or a part of the window that held the
// keys for a while (FocusReturn) hands the focus back. Text fields are left to their own focused
// frame. The ring is a widget over the control, in the control's parent, and follows it as it
// moves, resizes or hides. Return presses the focused button in windows that are no dialogs, as
// Space does (dialogs have their default buttons).
// A sheet or modal window keeps the keyboard while it is up (ModalWindows.h).
// applyDarkStyle installs all of it for the program and the widget test programs.

#include <QColor>
#include <QPointer>
#include <QWidget>

class QApplication;

namespace tanvill {

void installKeyboardFocus(QApplication &application);

// The control the ring marks now; null when it shows nowhere.
QWidget *focusRingTarget();

// A widget that takes the focus without being a control a user tabs to (an overlay that only
// swallows keys, a sheet's own frame) gets no ring. A control that the window's Tab order passes
// by, because its container leads the keyboard to it (a button in a table row), gets one when
// set to show it.
void setShowsFocusRing(QWidget *widget, bool shows);

// The colour of every ring: the application's accent, whatever the palette of the card the
// control sits on.
QColor focusRingColor();

// Gives `widget` the focus as the keyboard does, its ring with it. In a window that is not active
// the focus waits on it, and comes with its ring when the window becomes active.
void setKeyboardFocus(QWidget *widget);

// The focus a part of a window takes over for a while (the add field in the add button's place,
// a sheet or the busy overlay over the window's content), given back when that part goes: to
// where the keyboard was in the window, with its ring, as a window gives it back when it is
// active again; to the focused widget, without a ring, when the keyboard was nowhere there.
class FocusReturn
{
public:
    // Notes where the keyboard, else the focus, is in `window` now.
    void keep(const QWidget *window);
    // Notes `widget` as where the keyboard goes when the part has gone, whatever held it
    // before.
    void returnTo(QWidget *widget);
    // Holds the focus on `holder` (a widget that takes no keys of its own) while what was kept
    // cannot take it yet; the window goes on remembering the keyboard where it was, so that a
    // part that takes the focus meanwhile gives it back there too.
    void holdOn(QWidget *holder);
    // Gives the focus back where it was kept, or to `instead` where that widget has gone or is
    // hidden or off; where neither can take it, it stays where it is.
    void giveBack(QWidget *instead = nullptr);

private:
    QPointer<QWidget> m_widget;
    bool m_byKeyboard = false;
};

} // namespace tanvill

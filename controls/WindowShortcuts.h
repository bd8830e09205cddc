#pragma once

// The keys that close a secondary window (archive, detail, Latest Changes, preferences, wish-list
// import): Ctrl+W, the desktop's Close key, while the window has the focus. A popover or sheet
// open on the window takes its keys first. The keys that open a window's menus (F10, Alt and a
// menu title's letter) reach them from its pop-ups too.

class QMenuBar;
class QWidget;

namespace tanvill {

// `alsoEscape`: Escape closes the window too, for a window that is one piece of work.
void closeWindowOnStandardKeys(QWidget *window, bool alsoEscape = false);

// Opens the first menu of `bar` that can open, its first item chosen: what F10 does.
void openFirstMenu(QMenuBar *bar);

// The menu bar takes the keyboard while its keys walk the menus (after Escape in a menu, F10 or
// an Alt letter); once they are done (an item chosen, Escape, the window left) it gives it
// back to the control of its window that had it, as a window gives the keyboard back when it
// is active again. Qt forgets that control when an Alt letter opens a menu while the bar has
// the keyboard, and keeps it on the bar whenever the window is left meanwhile.
void returnKeyboardFromMenuBar(QMenuBar *bar);

// Lets F10 and Alt with a menu title's letter reach the menu bar of the window `popup` stands
// on, as they do from every field of that window: the pop-up closes, keeping what was typed in
// it, and the menu opens. Ctrl+W and the desktop's Close key close the pop-up and then its
// window. A pop-up takes every key while it is open, so the window's own shortcuts never hear
// them; other keys, Alt with a letter no menu has included, stay its own.
void passMenuKeysToWindow(QWidget *popup);

} // namespace tanvill

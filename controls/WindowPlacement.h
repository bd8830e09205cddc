#pragma once

// Where windows open. Secondary windows (preferences, wish-list import) and alerts without a
// window open centred on the screen the user works on, their window-manager frame included, so
// that no title bar starts off the screen; sheets and alerts of a window open over it, on its
// screen. Every window opens within the available area of its screen: a remembered frame from a
// larger or a missing screen, or a default size taller than a small screen, is moved and shrunk
// onto the screen as the window is shown.
// An X11 window manager frames a window only once it is shown; until then its frame is taken
// to be like that of a window already on screen (the main window), and once the frame is known
// the window is moved by what that guess was off.

#include <QList>
#include <QRect>

class QScreen;
class QWidget;

namespace tanvill {

// Centres `window`, frame included, in the available area of `screen` (the primary screen when
// null), shrinking it where the area is smaller (never below its minimum size; then its
// top-left corner stays on the area). `reference` is a framed window whose frame the unframed
// `window` is expected to get; null looks for any framed window of the application.
void centreOnScreen(QWidget *window, QScreen *screen, const QWidget *reference = nullptr);

// Puts `sheet` (a dialog attached to `window`) over that window: centred over its content,
// its top no higher than the content's, or where it stands already when `keepTop` (a sheet on
// screen that grows or shrinks); its frame moved, and if need be shrunk, into the available
// area of the window's screen.
void placeOverWindow(QWidget *sheet, const QWidget *window, bool keepTop);

// Puts `window`, about to be shown, where it covers no window of its kind: down and right of
// `previous` (the one opened last) by `step`, or without one open at its own place, and further
// down and right while a window of `open` stands within a step of that place. Where a step would
// take it past the bottom or right edge of its screen's available area, it is shrunk to fit
// (never below its minimum size) or, at its minimum, starts again at the top or left edge.
// Nothing is done for a window with no place of its own and no `previous`: the window manager
// places it.
void cascadeAmong(QWidget *window, const QWidget *previous, const QList<const QWidget *> &open,
                  int step);

// From now on, each time `window` is shown, moves it and if need be shrinks it (never below
// its minimum size) by as little as it takes for its frame to lie in the available area of the
// screen it opens on. A window without a place of its own keeps the one the window manager
// gives it; only its size is fitted.
void keepOnScreen(QWidget *window);

// Whether the window stands where one of the functions above put it: they are placing it, the
// window manager has yet to frame it, or it has not moved or been resized since. Its frame is
// then not one the user chose, and is not to be kept as such.
bool standsWherePlaced(const QWidget &window);
// Takes the window's present frame to be the user's from now on, even where it comes back to
// the place this module last put it.
void forgetPlacement(QWidget &window);

// The largest content size `window` can have with its frame inside the available area of its
// screen (the one its place lies on while hidden).
QSize availableContentSize(const QWidget &window);

// The screen `window` is on while shown, else the one under the pointer.
QScreen *screenOfWindow(const QWidget *window);

// Whether `frame` lies wholly in the available area of one screen.
bool frameLiesOnScreen(const QRect &frame);

} // namespace tanvill

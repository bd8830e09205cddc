#pragma once

// Where secondary windows (preferences, wish-list import) open: centred on the screen the user
// works on, their window-manager frame included, so that no title bar starts off the screen.
// An X11 window manager frames a window only once it is shown; until then its frame is taken
// to be like that of a window already on screen (the main window), and once the frame is known
// the window is moved by what that guess was off.

#include <QRect>

class QScreen;
class QWidget;

namespace tanvill {

// Centres `window`, frame included, in the available area of `screen` (the primary screen when
// null); a window larger than that area keeps its top-left corner on it. `reference` is a
// framed window whose frame the unframed `window` is expected to get; null guesses none.
void centreOnScreen(QWidget *window, QScreen *screen, const QWidget *reference = nullptr);

// The screen `window` is on while shown, else the one under the pointer.
QScreen *screenOfWindow(const QWidget *window);

// Whether `frame` lies wholly in the available area of one screen.
bool frameLiesOnScreen(const QRect &frame);

} // namespace tanvill

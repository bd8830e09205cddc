#pragma once

// The clock of the main window's transitions. Every timed step of the add field, the search
// results and the add button's shake runs on Qt's animation clock, so that a test can drive
// that clock by hand; in instant mode (tests) a transition takes its end state at once and its
// delayed steps run in order before the call that started it returns.

#include <QObject>

#include <functional>

namespace tanvill::transitions {

bool instant();
void setInstant(bool instant);

// Runs `step` once, `milliseconds` later on the animation clock, unless `context` has gone by
// then; in instant mode at once.
void after(QObject *context, int milliseconds, std::function<void()> step);

} // namespace tanvill::transitions

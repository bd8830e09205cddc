#pragma once

// For the start-up benchmark (TANVILL_TRACE_STARTUP set): a line on standard output once the
// main window was painted for the first time; then, after watching the event loop for a
// while, the longest time the UI thread went without running it since, and the program's
// resident memory now and at its peak.

namespace tanvill {

class MainWindowController;

void traceStartup(MainWindowController &window);

} // namespace tanvill

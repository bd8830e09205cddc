#pragma once

// Opens the Latest Changes window: a new window for each list of changes, closing the one it
// opened before. The application shell owns one and lets the updater show the window through it.

#include "store/AppUpdate.h"
#include "store/widgets/ChangesViewController.h"

#include <QPointer>

#include <vector>

namespace tanvill {

class ChangesWindowController
{
public:
    static constexpr int kDefaultWidth = 460;

    ChangesWindowController() = default;
    // The window still open goes with its controller, at quit.
    ~ChangesWindowController();
    ChangesWindowController(const ChangesWindowController &) = delete;
    ChangesWindowController &operator=(const ChangesWindowController &) = delete;

    // Closes the current window, then opens a new one for `updates` and keeps it.
    void showWindow(const std::vector<AppUpdate> &updates);

    // The window opened last, while it is open.
    ChangesViewController *currentWindow() const { return m_current; }

private:
    QPointer<ChangesViewController> m_current;
};

} // namespace tanvill

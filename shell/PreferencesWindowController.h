#pragma once

// Keeps the preferences window: made once, with the services its panes use, then shown,
// closed and shown again for the rest of the run, so that the panes' sizes are remembered.
// The application delegate makes one on first use and shows it for the Preferences menu item
// and a list header's preferences button. The window stores no frame of its own.

#include "shell/PreferencesViewController.h"

#include <memory>

namespace tanvill {

class PreferencesWindowController
{
public:
    explicit PreferencesWindowController(const PreferencesServices &services);
    ~PreferencesWindowController();
    PreferencesWindowController(const PreferencesWindowController &) = delete;
    PreferencesWindowController &operator=(const PreferencesWindowController &) = delete;

    // Shows the window (on its first pane when it was closed) and brings it to the front: the
    // first time centred on the screen of `mainWindow`, later where the user left it.
    void showWindow(const QWidget *mainWindow = nullptr);

    PreferencesViewController *window() const { return m_window.get(); }

private:
    std::unique_ptr<PreferencesViewController> m_window;
    bool m_placed = false;
};

} // namespace tanvill

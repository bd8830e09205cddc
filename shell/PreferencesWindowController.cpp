#include "shell/PreferencesWindowController.h"

#include "controls/WindowPlacement.h"
#include "controls/WindowsMenuEntry.h"

namespace tanvill {

PreferencesWindowController::PreferencesWindowController(const PreferencesServices &services)
    : m_window(std::make_unique<PreferencesViewController>(services))
{
    listInWindowsMenuWhileOpen(m_window.get());
    keepOnScreen(m_window.get());
}

PreferencesWindowController::~PreferencesWindowController() = default;

void PreferencesWindowController::showWindow(const QWidget *mainWindow)
{
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(m_window.get(), screenOfWindow(mainWindow), mainWindow);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace tanvill

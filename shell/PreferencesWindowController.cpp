#include "shell/PreferencesWindowController.h"

#include "controls/WindowsMenuEntry.h"

namespace tanvill {

PreferencesWindowController::PreferencesWindowController(const PreferencesServices &services)
    : m_window(std::make_unique<PreferencesViewController>(services))
{
    listInWindowsMenuWhileOpen(m_window.get());
}

PreferencesWindowController::~PreferencesWindowController() = default;

void PreferencesWindowController::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace tanvill

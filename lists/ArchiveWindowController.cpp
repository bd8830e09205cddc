#include "lists/ArchiveWindowController.h"

#include "controls/WindowFrameAutosave.h"
#include "controls/WindowShortcuts.h"
#include "controls/WindowsMenuEntry.h"
#include "lists/ArchiveViewController.h"
#include "platform/Strings.h"

#include <QMainWindow>

namespace tanvill {

ArchiveWindowController::ArchiveWindowController(ListsController &lists, UserDefaults &settings)
    : m_lists(lists), m_settings(settings)
{ }

ArchiveWindowController::~ArchiveWindowController() = default;

QMainWindow *ArchiveWindowController::window()
{
    if (m_window)
        return m_window.get();
    m_window = std::make_unique<QMainWindow>();
    m_window->setWindowTitle(Strings::localized(QStringLiteral("Archive")));
    m_content = new ArchiveViewController(m_lists, m_settings, m_window.get());
    m_window->setCentralWidget(m_content);
    m_window->setMinimumSize(320, 220);
    closeWindowOnStandardKeys(m_window.get());
    m_window->resize(kDefaultWidth, kDefaultHeight);
    // After the default size: a frame kept from an earlier run takes its place.
    setFrameAutosaveName(m_window.get(), kFrameAutosaveName, m_settings);
    listInWindowsMenuWhileOpen(m_window.get());
    return m_window.get();
}

ArchiveViewController *ArchiveWindowController::contentViewController()
{
    window();
    return m_content;
}

void ArchiveWindowController::showWindow()
{
    QMainWindow *shown = window();
    shown->show();
    shown->raise();
    shown->activateWindow();
}

} // namespace tanvill

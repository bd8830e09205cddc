#include "shell/KeptWindow.h"

#include "controls/WindowFrameAutosave.h"

#include <QWidget>

namespace tanvill {

KeptWindow::KeptWindow(QString frameAutosaveName)
    : m_frameAutosaveName(std::move(frameAutosaveName))
{ }

KeptWindow::~KeptWindow() = default;

QWidget *KeptWindow::window(UserDefaults &settings)
{
    if (!m_window && m_factory) {
        m_window = m_factory();
        if (m_window && !m_frameAutosaveName.isEmpty())
            setFrameAutosaveName(m_window.get(), m_frameAutosaveName, settings);
    }
    return m_window.get();
}

} // namespace tanvill

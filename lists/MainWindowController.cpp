#include "lists/MainWindowController.h"

#include "controls/WindowFrameAutosave.h"

#include <QEvent>

namespace tanvill {

MainWindowController::MainWindowController(const MainWindowServices &services, QWidget *parent)
    : QMainWindow(parent), m_content(new MainViewController(services, this))
{
    setWindowTitle(QStringLiteral("Tanvill"));
    setCentralWidget(m_content);
    resize(kDefaultWidth, kDefaultHeight);
    setFrameAutosaveName(this, kFrameAutosaveName, services.settings);
    m_content->installEventFilter(this);
}

bool MainWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        m_content->removeEventFilter(this);
        // After this paint, not before it.
        QMetaObject::invokeMethod(this, &MainWindowController::firstPainted, Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindowController::showWindow()
{
    show();
    raise();
    activateWindow();
}

} // namespace tanvill

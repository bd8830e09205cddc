#include "lists/MainWindowController.h"

#include "controls/WindowFrameAutosave.h"
#include "controls/WindowPlacement.h"

#include <QApplication>
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
    // Without a place of its own (the first start, or none kept) it opens in the middle of the
    // screen the user works on, where the welcome window stood, rather than wherever the window
    // manager finds room beside the windows still open.
    if (!isVisible() && !testAttribute(Qt::WA_Moved))
        centreOnScreen(this, screenOfWindow(QApplication::activeWindow()));
    show();
    raise();
    activateWindow();
}

} // namespace tanvill

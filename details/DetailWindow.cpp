#include "details/DetailWindow.h"

#include "controls/WindowPlacement.h"
#include "controls/WindowShortcuts.h"
#include "details/AppDetailViewController.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWindow>

namespace tanvill {

DetailWindow::DetailWindow(ListsController &lists, QWidget *parent)
    : QWidget(parent, Qt::Window), m_content(new AppDetailViewController(lists, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
    fitMinimumSizeToScreen();
    resize(kDefaultSize);
    closeWindowOnStandardKeys(this);
}

void DetailWindow::setVisible(bool visible)
{
    // Before the window is shown and fitted onto its screen, which it must be able to fit.
    if (visible)
        fitMinimumSizeToScreen();
    QWidget::setVisible(visible);
    if (visible && !m_followsScreen && windowHandle()) {
        m_followsScreen = true;
        connect(windowHandle(), &QWindow::screenChanged, this,
                &DetailWindow::fitMinimumSizeToScreen);
    }
}

void DetailWindow::fitMinimumSizeToScreen()
{
    const QSize available = availableContentSize(*this);
    QSize minimum = kMinimumSize;
    if (minimum.height() > available.height())
        minimum.setHeight(kSmallScreenMinimumHeight);
    setMinimumSize(minimum.boundedTo(available));
}

bool DetailWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        emit didBecomeKey(this);
        break;
    case QEvent::WindowDeactivate:
        emit didResignKey(this);
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void DetailWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit willClose(this);
}

} // namespace tanvill

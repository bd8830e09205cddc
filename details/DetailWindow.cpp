#include "details/DetailWindow.h"

#include "controls/WindowShortcuts.h"
#include "details/AppDetailViewController.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace tanvill {

DetailWindow::DetailWindow(ListsController &lists, QWidget *parent)
    : QWidget(parent, Qt::Window), m_content(new AppDetailViewController(lists, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
    setMinimumSize(kMinimumSize);
    resize(kDefaultSize);
    closeWindowOnStandardKeys(this);
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

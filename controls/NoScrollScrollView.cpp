#include "controls/NoScrollScrollView.h"

#include <QScrollBar>
#include <QWheelEvent>

namespace tanvill {

NoScrollScrollView::NoScrollScrollView(QWidget *parent) : QScrollArea(parent)
{
    horizontalScrollBar()->installEventFilter(this);
    verticalScrollBar()->installEventFilter(this);
}

void NoScrollScrollView::wheelEvent(QWheelEvent *event)
{
    // Accepted so that the enclosing views do not scroll either.
    event->accept();
}

bool NoScrollScrollView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return true;
    return QScrollArea::eventFilter(watched, event);
}

} // namespace tanvill

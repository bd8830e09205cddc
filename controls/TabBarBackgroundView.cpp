#include "controls/TabBarBackgroundView.h"

#include <QPainter>

namespace tanvill {

void TabBarBackgroundView::paintEvent(QPaintEvent *event)
{
    ColoredView::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 1), Qt::black);
}

} // namespace tanvill

#include "controls/ColoredView.h"

#include <QPainter>

namespace tanvill {

ColoredView::ColoredView(QWidget *parent)
    : QWidget(parent), m_color(palette().color(QPalette::Window))
{ }

void ColoredView::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void ColoredView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
}

} // namespace tanvill

#include "controls/PopoverShape.h"

namespace tanvill {

QPainterPath PopoverShape::outline(const QRectF &bounds, qreal arrowX) const
{
    const QRectF body = bounds.adjusted(0.5, arrowHeight + 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(body, cornerRadius, cornerRadius);
    const qreal x = bounds.left() + arrowX;
    QPainterPath arrow;
    arrow.moveTo(x - arrowHalfWidth, body.top() + 1);
    arrow.lineTo(x, bounds.top() + 0.5);
    arrow.lineTo(x + arrowHalfWidth, body.top() + 1);
    arrow.closeSubpath();
    return shape.united(arrow);
}

} // namespace tanvill

#include "controls/PopoverShape.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

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

PopoverShape::Placement PopoverShape::placeBelow(const QWidget &anchor, const QSize &size) const
{
    const QRect anchorRect(anchor.mapToGlobal(QPoint(0, 0)), anchor.size());
    QPoint origin(anchorRect.center().x() - size.width() / 2, anchorRect.bottom() + 1);
    if (const QScreen *screen = anchor.screen()) {
        const QRect available = screen->availableGeometry();
        origin.setX(std::clamp(origin.x(), available.left(),
                               std::max(available.left(), available.right() - size.width() + 1)));
        origin.setY(
            std::min(origin.y(), std::max(available.top(), available.bottom() - size.height())));
    }
    // A popover narrower than its corners and arrow still gets a valid range.
    const int inset = int(arrowHalfWidth + cornerRadius);
    const int arrowX = std::clamp(anchorRect.center().x() - origin.x(), inset,
                                  std::max(inset, size.width() - inset));
    return { origin, arrowX };
}

} // namespace tanvill

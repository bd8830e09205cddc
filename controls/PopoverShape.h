#pragma once

// The outline of a popover: a rounded body with a small arrow on its top edge pointing up at
// what opened it. The outline runs on half pixels so that a one-pixel border stays sharp.

#include <QPainterPath>
#include <QRectF>

namespace tanvill {

struct PopoverShape
{
    qreal cornerRadius = 8;
    // How far the arrow stands above the body, and half its width at the body.
    qreal arrowHeight = 8;
    qreal arrowHalfWidth = 8;

    // The outline filling `bounds` (the arrow's tip on its top edge), the arrow's tip at
    // `arrowX` from the left.
    QPainterPath outline(const QRectF &bounds, qreal arrowX) const;
};

} // namespace tanvill

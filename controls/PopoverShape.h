#pragma once

// The outline of a popover: a rounded body with a small arrow on its top edge pointing up at
// what opened it. The outline runs on half pixels so that a one-pixel border stays sharp.

#include <QPainterPath>
#include <QPoint>
#include <QRectF>
#include <QSize>

class QWidget;

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

    // Where a popover of `size` opens: centred below `anchor`, kept on the anchor's screen, with
    // its arrow pointing at the anchor's centre yet clear of the rounded corners.
    struct Placement
    {
        QPoint origin;
        int arrowX = 0;
    };
    Placement placeBelow(const QWidget &anchor, const QSize &size) const;
};

} // namespace tanvill

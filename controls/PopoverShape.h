#pragma once

// The outline of a popover: a rounded body with a small arrow on its top edge pointing up at
// what opened it. The outline runs on half pixels so that a one-pixel border stays sharp.

#include <QPainterPath>
#include <QPoint>
#include <QRectF>
#include <QSize>

#include <optional>

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

    // Fits the popover's window to the outline. Where the window system cannot show through
    // translucent windows (X11 without a compositing manager) the corners around the outline
    // would show black, so a mask cuts the window to the outline; elsewhere the outline keeps
    // its soft edge and the window has no mask. Call it whenever the size or the arrow changes.
    void shapeWindow(QWidget &popover, qreal arrowX) const;

    // Whether translucent windows show what lies under them: a compositing manager owns the
    // screen's "_NET_WM_CM_S<n>" selection on X11; Wayland always composites.
    static bool windowSystemShowsTranslucency();
    // Tests decide the answer; nullopt asks the window system again.
    static void setWindowSystemShowsTranslucency(std::optional<bool> answer);
};

} // namespace tanvill

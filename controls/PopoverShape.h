#pragma once

// The outline of a popover: a rounded body with a small arrow on its top edge pointing up at
// what opened it (or, for a popover that opened above it, on its bottom edge pointing down; for
// one beside it, on its left or right edge). The outline runs on half pixels so that a
// one-pixel border stays sharp.

#include <QColor>
#include <QPainterPath>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QSize>

#include <optional>

class QPainter;
class QWidget;

namespace tanvill {

struct PopoverShape
{
    enum class ArrowEdge { Top, Bottom, Left, Right };

    qreal cornerRadius = 8;
    // How far the arrow stands out of the body, and half its width at the body.
    qreal arrowHeight = 8;
    qreal arrowHalfWidth = 8;
    ArrowEdge arrowEdge = ArrowEdge::Top;

    // The outline filling `bounds` (the arrow's tip on its edge), the arrow's tip at `arrowX`
    // from the left (from the top where the arrow is on the left or right edge).
    QPainterPath outline(const QRectF &bounds, qreal arrowX) const;

    // Where a popover of `size` opens: centred below `anchor`, kept on the anchor's screen, with
    // its arrow pointing at the anchor's centre yet clear of the rounded corners.
    struct Placement
    {
        QPoint origin;
        int arrowX = 0;
        ArrowEdge arrowEdge = ArrowEdge::Top;
        // False where no side had the room: the popover then covers some of what it was to
        // keep clear (placeBeside).
        bool clear = true;
    };
    Placement placeBelow(const QWidget &anchor, const QSize &size) const;
    // Where a popover whose body (arrow aside) is `body` opens to point at `anchor` (global
    // coordinates, as the rest) from outside `keepClear` (the controls it tells about), all of
    // it on `available`: below the anchor, else above it, else at its right, else at its left,
    // its arrow on the edge facing the anchor and at the anchor's centre, the body slid along
    // that edge to stay on the screen. Where no side has the room, the side that covers the
    // least of `keepClear`, pushed onto the screen; never over the anchor or `keepInSight` (the
    // field the user types in, a part of `keepClear`) where another side can do without.
    Placement placeBeside(const QRect &anchor, const QSize &body, const QRegion &keepClear,
                          const QRect &available, const QRect &keepInSight = {}) const;
    // The popover's size for `body` with its arrow on `edge`.
    QSize frameSize(const QSize &body, ArrowEdge edge) const;

    // Paints the popover: its outline filled with `fill` (opaque) and drawn in `border`, a line
    // one point wide. A window cut to its outline (see shapeWindow) is first painted whole, cut
    // and all, in the colour of its edge: the cut runs along whole points, and at a scale
    // above one each point is several pixels, some of them beyond the smooth outline, which
    // would show black.
    void paint(QPainter &painter, const QWidget &popover, qreal arrowX, const QColor &fill,
               const QColor &border) const;

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

#include "controls/PopoverShape.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTransform>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

#if defined(TANVILL_HAVE_XCB) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace tanvill {

namespace {

std::optional<bool> &translucencyAnswer()
{
    static std::optional<bool> answer;
    return answer;
}

#if defined(TANVILL_HAVE_XCB) && QT_CONFIG(xcb)
// The X screen of the display the program runs on: "host:display.screen", 0 when not given.
int x11ScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    if (dot < 0 || dot < display.lastIndexOf(':'))
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok ? screen : 0;
}

bool x11CompositingManagerRuns()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(x11ScreenNumber());
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, quint16(name.size()), name.constData()),
        nullptr);
    // An atom no client ever named: no compositing manager ever ran on this display.
    const xcb_atom_t selection = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    std::free(owner);
    return owned;
}
#endif

} // namespace

QPainterPath PopoverShape::outline(const QRectF &bounds, qreal arrowX) const
{
    if (arrowEdge == ArrowEdge::Left || arrowEdge == ArrowEdge::Right) {
        // The outline with its arrow on top, turned a quarter (x and y swapped), and for the
        // right edge mirrored: the half pixels stay on half pixels.
        const QRectF turned(bounds.top(), bounds.left(), bounds.height(), bounds.width());
        const QTransform swap(0, 1, 1, 0, 0, 0);
        QTransform place = swap;
        if (arrowEdge == ArrowEdge::Right)
            place *= QTransform::fromTranslate(bounds.left() + bounds.right(), 0).scale(-1, 1);
        return place.map(
            PopoverShape { cornerRadius, arrowHeight, arrowHalfWidth }.outline(turned, arrowX));
    }
    if (arrowEdge == ArrowEdge::Bottom) {
        // The same outline upside down: the half pixels stay on half pixels.
        const QTransform flip
            = QTransform::fromTranslate(0, bounds.top() + bounds.bottom()).scale(1, -1);
        return flip.map(
            PopoverShape { cornerRadius, arrowHeight, arrowHalfWidth }.outline(bounds, arrowX));
    }
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
    return { origin, arrowX, ArrowEdge::Top };
}

QSize PopoverShape::frameSize(const QSize &body, ArrowEdge edge) const
{
    const int arrow = int(std::ceil(arrowHeight));
    return edge == ArrowEdge::Top || edge == ArrowEdge::Bottom ? body + QSize(0, arrow)
                                                               : body + QSize(arrow, 0);
}

PopoverShape::Placement PopoverShape::placeBeside(const QRect &anchor, const QSize &body,
                                                  const QRegion &keepClear, const QRect &available,
                                                  const QRect &keepInSight) const
{
    // A popover narrower than its corners and arrow still gets a valid range.
    const int inset = int(arrowHalfWidth + cornerRadius);
    const auto slideOnto = [&available](int start, int length, int low, int high) {
        return available.isNull() ? start
                                  : std::clamp(start, low, std::max(low, high - length + 1));
    };
    // The arrow at the anchor's centre, clear of the rounded corners.
    const auto arrowAt = [&anchor, inset](const QPoint &origin, const QSize &size, ArrowEdge edge) {
        const bool across = edge == ArrowEdge::Top || edge == ArrowEdge::Bottom;
        const int length = across ? size.width() : size.height();
        const int arrow
            = across ? anchor.center().x() - origin.x() : anchor.center().y() - origin.y();
        return std::clamp(arrow, inset, std::max(inset, length - inset));
    };
    struct Side
    {
        Placement placement;
        QRect frame;
    };
    const auto side = [&](ArrowEdge edge) {
        const QSize size = frameSize(body, edge);
        const bool above = edge == ArrowEdge::Bottom;
        const bool below = edge == ArrowEdge::Top;
        QPoint origin;
        if (above || below) {
            origin.setX(slideOnto(anchor.center().x() - size.width() / 2, size.width(),
                                  available.left(), available.right()));
            origin.setY(below ? anchor.bottom() + 1 : anchor.top() - size.height());
        } else {
            origin.setX(edge == ArrowEdge::Left ? anchor.right() + 1
                                                : anchor.left() - size.width());
            origin.setY(slideOnto(anchor.center().y() - size.height() / 2, size.height(),
                                  available.top(), available.bottom()));
        }
        return Side { { origin, arrowAt(origin, size, edge), edge }, QRect(origin, size) };
    };
    const auto covered = [](const QRegion &region) {
        qint64 area = 0;
        for (const QRect &part : region)
            area += qint64(part.width()) * part.height();
        return area;
    };

    std::optional<Side> best;
    std::pair<bool, qint64> bestCost;
    for (const ArrowEdge edge :
         { ArrowEdge::Top, ArrowEdge::Bottom, ArrowEdge::Left, ArrowEdge::Right }) {
        Side candidate = side(edge);
        const bool onScreen = available.isNull() || available.contains(candidate.frame);
        if (onScreen && !keepClear.intersects(candidate.frame))
            return candidate.placement;
        // No room on this side: the whole popover pushed onto the screen, for the choice
        // of the side that hides least.
        if (!available.isNull()) {
            const QPoint pushed(slideOnto(candidate.frame.x(), candidate.frame.width(),
                                          available.left(), available.right()),
                                slideOnto(candidate.frame.y(), candidate.frame.height(),
                                          available.top(), available.bottom()));
            candidate.frame.moveTopLeft(pushed);
            candidate.placement.origin = pushed;
            candidate.placement.arrowX = arrowAt(pushed, candidate.frame.size(), edge);
        }
        candidate.placement.clear = false;
        const std::pair<bool, qint64> cost(candidate.frame.intersects(anchor)
                                               || candidate.frame.intersects(keepInSight),
                                           covered(keepClear.intersected(candidate.frame)));
        if (!best || cost < bestCost) {
            best = candidate;
            bestCost = cost;
        }
    }
    return best->placement;
}

void PopoverShape::paint(QPainter &painter, const QWidget &popover, qreal arrowX,
                         const QColor &fill, const QColor &border) const
{
    const QRegion cut = popover.mask();
    if (!cut.isEmpty()) {
        // The border's colour laid over the fill, as the outline's edge shows it.
        const qreal alpha = border.alphaF();
        const auto over = [alpha](qreal top, qreal bottom) {
            return float(top * alpha + bottom * (1 - alpha));
        };
        const QColor edge = QColor::fromRgbF(over(border.redF(), fill.redF()),
                                             over(border.greenF(), fill.greenF()),
                                             over(border.blueF(), fill.blueF()));
        painter.save();
        painter.setClipRegion(cut);
        painter.fillRect(popover.rect(), edge);
        painter.restore();
    }
    const QPainterPath shape = outline(QRectF(popover.rect()), arrowX);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape, fill);
    painter.strokePath(shape, QPen(border, 1.0));
    painter.restore();
}

void PopoverShape::shapeWindow(QWidget &popover, qreal arrowX) const
{
    if (windowSystemShowsTranslucency() || popover.size().isEmpty()) {
        if (!popover.mask().isEmpty())
            popover.clearMask();
        return;
    }
    // Painted without smoothing, the border's pixels included: the mask has hard edges.
    QBitmap mask(popover.size());
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(QPen(Qt::color1, 1));
    painter.setBrush(Qt::color1);
    painter.drawPath(outline(QRectF(popover.rect()), arrowX));
    painter.end();
    popover.setMask(mask);
}

bool PopoverShape::windowSystemShowsTranslucency()
{
    if (translucencyAnswer())
        return *translucencyAnswer();
    const QString platform = QGuiApplication::platformName();
#if defined(TANVILL_HAVE_XCB) && QT_CONFIG(xcb)
    if (platform == QLatin1String("xcb"))
        return x11CompositingManagerRuns();
#endif
    // Wayland composites every window; the test platforms draw into images, which keep the
    // alpha. Other platforms without a compositor show opaque windows.
    return platform.startsWith(QLatin1String("wayland")) || platform == QLatin1String("offscreen")
        || platform == QLatin1String("minimal");
}

void PopoverShape::setWindowSystemShowsTranslucency(std::optional<bool> answer)
{
    translucencyAnswer() = answer;
}

} // namespace tanvill

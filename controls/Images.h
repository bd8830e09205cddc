#pragma once

// Image operations of the controls: the drawings shipped with the application, looked up by
// name ("star-full", "working_animation_1", …), and tinting and fading of any image. The
// rating view, the busy overlay, hover buttons and the list header use them.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSizeF>
#include <QString>

namespace tanvill {

class Images
{
public:
    // True when the application ships a drawing of that name.
    static bool contains(const QString &name);
    // The drawing's natural size in device-independent pixels; empty when there is none.
    static QSizeF naturalSize(const QString &name);
    // Draws the named drawing scaled into `target`; false (nothing drawn) when there is none.
    static bool draw(QPainter &painter, const QString &name, const QRectF &target);
    // The named drawing at `size` for a screen of `devicePixelRatio`; null when there is none.
    static QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio = 1.0);
};

// The image multiplied by `color` (white parts take the colour, black stays black); the
// image's transparency is kept, so only its own pixels change. A null image stays null.
QImage tintedImageWithColor(const QImage &image, const QColor &color);
QPixmap tintedImageWithColor(const QPixmap &pixmap, const QColor &color);

// A copy of the image with every pixel's opacity scaled by `alpha` (0 to 1).
QImage imageWithAlpha(const QImage &image, qreal alpha);
QPixmap imageWithAlpha(const QPixmap &pixmap, qreal alpha);

} // namespace tanvill

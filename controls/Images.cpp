#include "controls/Images.h"

#include <QFile>
#include <QHash>
#include <QSvgRenderer>

#include <memory>

static void initControlImages()
{
    Q_INIT_RESOURCE(tanvill_controls_images);
}

namespace tanvill {

namespace {

// Renderers are parsed once per name; a missing drawing is remembered as null.
QSvgRenderer *renderer(const QString &name)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    if (const auto found = cache.constFind(name); found != cache.constEnd())
        return found->get();
    initControlImages();
    std::shared_ptr<QSvgRenderer> loaded;
    // The controls' own drawings, then those the windows above them ship.
    for (const QString &folder : { QStringLiteral("controls"), QStringLiteral("images") }) {
        const QString path = QStringLiteral(":/%1/%2.svg").arg(folder, name);
        if (!QFile::exists(path))
            continue;
        loaded = std::make_shared<QSvgRenderer>(path);
        if (!loaded->isValid())
            loaded.reset();
        break;
    }
    cache.insert(name, loaded);
    return loaded.get();
}

} // namespace

bool Images::contains(const QString &name)
{
    return renderer(name) != nullptr;
}

QSizeF Images::naturalSize(const QString &name)
{
    QSvgRenderer *svg = renderer(name);
    return svg ? svg->viewBoxF().size() : QSizeF();
}

bool Images::draw(QPainter &painter, const QString &name, const QRectF &target)
{
    QSvgRenderer *svg = renderer(name);
    if (!svg)
        return false;
    svg->render(&painter, target);
    return true;
}

QPixmap Images::pixmap(const QString &name, const QSize &size, qreal devicePixelRatio)
{
    QSvgRenderer *svg = renderer(name);
    if (!svg || size.isEmpty())
        return {};
    QImage image(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg->render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return QPixmap::fromImage(image);
}

QImage tintedImageWithColor(const QImage &image, const QColor &color)
{
    if (image.isNull() || !color.isValid())
        return image;
    // Straight (not premultiplied) pixels, so that each colour channel is multiplied by the
    // tint while the pixel's own opacity stays as it was.
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    const QColor tint = color.toRgb();
    const int red = tint.red(), green = tint.green(), blue = tint.blue(), alpha = tint.alpha();
    for (int y = 0; y < result.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb pixel = line[x];
            line[x] = qRgba(qRed(pixel) * red / 255, qGreen(pixel) * green / 255,
                            qBlue(pixel) * blue / 255, qAlpha(pixel) * alpha / 255);
        }
    }
    result.setDevicePixelRatio(image.devicePixelRatio());
    return result;
}

QPixmap tintedImageWithColor(const QPixmap &pixmap, const QColor &color)
{
    if (pixmap.isNull())
        return pixmap;
    return QPixmap::fromImage(tintedImageWithColor(pixmap.toImage(), color));
}

QImage imageWithAlpha(const QImage &image, qreal alpha)
{
    if (image.isNull())
        return image;
    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    result.setDevicePixelRatio(image.devicePixelRatio());
    QPainter painter(&result);
    painter.setOpacity(qBound(0.0, alpha, 1.0));
    painter.drawImage(QPointF(0, 0), image);
    return result;
}

QPixmap imageWithAlpha(const QPixmap &pixmap, qreal alpha)
{
    if (pixmap.isNull())
        return pixmap;
    return QPixmap::fromImage(imageWithAlpha(pixmap.toImage(), alpha));
}

} // namespace tanvill

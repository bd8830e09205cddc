#include "controls/AppIconView.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <vector>

namespace tanvill {

AppIconView::AppIconView(QWidget *parent) : QWidget(parent) { }

namespace {

// Pictures made lately, by source image, size, density and corner radius: a table's rows that
// show the placeholder while their icons load all show the same one.
struct RenderedIcon
{
    qint64 imageKey;
    QSize size;
    qreal ratio;
    qreal radius;
    QPixmap picture;
};
constexpr std::size_t kRenderedIconsKept = 24;

std::vector<RenderedIcon> &renderedIcons()
{
    static std::vector<RenderedIcon> icons;
    return icons;
}

} // namespace

void AppIconView::setImage(const QPixmap &image)
{
    setImage(image.toImage());
}

void AppIconView::setImage(const QImage &image)
{
    m_image = image;
    m_rendered = QPixmap();
    update();
}

void AppIconView::setAppKind(std::optional<AppKind> kind)
{
    m_appKind = kind;
    if (!kind)
        return;
    const qreal fraction = *kind == AppKind::Mac ? 0.0 : kCornerRadiusFraction;
    if (fraction != m_cornerRadiusFraction)
        m_rendered = QPixmap();
    m_cornerRadiusFraction = fraction;
    update();
}

void AppIconView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_rendered = QPixmap();
}

QPixmap AppIconView::rendered()
{
    const qreal ratio = devicePixelRatioF();
    if (!m_rendered.isNull() && qFuzzyCompare(m_rendered.devicePixelRatio(), ratio))
        return m_rendered;
    std::vector<RenderedIcon> &recent = renderedIcons();
    const auto found = std::find_if(recent.begin(), recent.end(), [&](const RenderedIcon &icon) {
        return icon.imageKey == m_image.cacheKey() && icon.size == size()
            && qFuzzyCompare(icon.ratio, ratio)
            && qFuzzyCompare(icon.radius + 1, cornerRadius() + 1);
    });
    if (found != recent.end()) {
        m_rendered = found->picture;
        std::rotate(recent.begin(), found, found + 1);
        return m_rendered;
    }
    QPixmap canvas(size() * ratio);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Qt::transparent);
    // Scaled down to fit, keeping its proportions, and centred, like any image view. The
    // image is scaled on its own first: a scaling draw would be far slower.
    QSizeF size = m_image.deviceIndependentSize();
    if (size.width() > width() || size.height() > height())
        size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
    QImage image = m_image;
    const QSize pixels = (size * ratio).toSize();
    if (image.size() != pixels && !pixels.isEmpty())
        image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(ratio);
    QRectF target(QPointF(0, 0), size);
    target.moveCenter(QRectF(rect()).center());

    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    if (const qreal radius = cornerRadius(); radius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), radius, radius);
        painter.setClipPath(clip);
    }
    painter.drawImage(target.topLeft(), image);
    painter.end();
    m_rendered = canvas;
    recent.insert(recent.begin(),
                  { m_image.cacheKey(), this->size(), ratio, cornerRadius(), canvas });
    if (recent.size() > kRenderedIconsKept)
        recent.pop_back();
    return m_rendered;
}

void AppIconView::paintEvent(QPaintEvent *)
{
    if (width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    if (m_image.isNull()) {
        // Until the icon arrives (or when it never does) a faint tile of the icon's shape
        // keeps the row's layout readable instead of leaving a hole.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 20));
        const qreal radius = m_appKind ? cornerRadius() : width() * kCornerRadiusFraction;
        painter.drawRoundedRect(QRectF(rect()), radius, radius);
        return;
    }
    painter.drawPixmap(0, 0, rendered());
}

} // namespace tanvill

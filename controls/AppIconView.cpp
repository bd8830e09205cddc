#include "controls/AppIconView.h"

#include <QPainter>
#include <QPainterPath>

namespace tanvill {

AppIconView::AppIconView(QWidget *parent) : QWidget(parent) { }

void AppIconView::setImage(const QPixmap &image)
{
    m_image = image;
    update();
}

void AppIconView::setAppKind(std::optional<AppKind> kind)
{
    m_appKind = kind;
    if (!kind)
        return;
    m_cornerRadiusFraction = *kind == AppKind::Mac ? 0.0 : kCornerRadiusFraction;
    update();
}

void AppIconView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (const qreal radius = cornerRadius(); radius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), radius, radius);
        painter.setClipPath(clip);
    }
    // Scaled down to fit, keeping its proportions, and centred, like any image view.
    QSizeF size = m_image.deviceIndependentSize();
    if (size.width() > width() || size.height() > height())
        size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), size);
    target.moveCenter(QRectF(rect()).center());
    painter.drawPixmap(target, m_image, QRectF(m_image.rect()));
}

} // namespace tanvill
